// The select of a row's columns named by a `Changed` mask, shared by folders and media:
// the text is built from the set bits in a fixed column order.
#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace vk {

class Connection;

struct ColumnPiece
{
    quint16 bit;
    const char *piece; // " Title," — with its leading blank and trailing comma
};

// "select" + the pieces of the set bits (the last comma cut) + tail; `order` receives the
// bits in select order.
QString maskedSelectText(std::initializer_list<ColumnPiece> pieces, quint16 mask, const char *tail,
                         QList<quint16> &order);

// Runs such a select for the row `oid` and fetches its one row. With `descriptionFile` set,
// the last column (the description) is delivered into that file. Reports "SQL open failed:"
// or `executeMessage` + `table`; a failed fetch answers false without a message.
bool selectMaskedRow(Connection &c, const QString &text, const QString &oid, int executeMessage,
                     const QString &table, const QString &descriptionFile, int columns, QStringList &row);

// Opens `file` (its name set) for reading only when it names a regular file: a pipe, a device
// or a folder is refused without waiting on it. False otherwise, with the reason in `why`.
bool openRegularFile(QFile &file, QString *why = nullptr);

// The whole content of a text file; empty when there is none or it is not a regular file.
QString readTextFile(const QString &path);

} // namespace vk
