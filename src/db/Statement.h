// The one statement pattern: open (DbPrepare), give the values, execute, fetch,
// and free the statement on every path (the destructor).
#pragma once

#include "Engine.h"

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace vk {

class Connection;

class Statement
{
public:
    // Opens the text: a text without `?` runs at once.
    Statement(Connection &connection, const QString &text);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // DbPrepare's result: below 2 done, 99 waits for values, anything else failed.
    int openResult() const { return m_openResult; }
    bool isOpen() const { return m_openResult < 2 || m_openResult == vkdb::DbNeedParams; }
    bool needsParams() const { return m_openResult == vkdb::DbNeedParams; }

    int bind(const QString &value);
    int bindNull();
    // A missing file is given as null.
    int bindFile(const QString &path);
    // Gives the texts in order; false when one is refused.
    bool bindAll(const QStringList &values);
    int nextParamSet();
    int execute(QString *oid = nullptr);

    // One row; below 2 a row, 100 no more rows.
    int fetch(QStringList &row);

    // One row left in the statement (below 2 a row, 100 no more rows), read column by
    // column with the accessors below until the next call: reads of many rows make no
    // list of the whole row, and a number is not turned into text and back.
    int next();
    vkdb::DbValueType type(int column) const { return vkdb::DbColumnType(m_stmt, column); }
    // Null, or a text or blob of no bytes: what fetch answers as an empty text.
    bool isEmpty(int column) const;
    // The column's text as fetch answers it: null as a null QString.
    QString text(int column) const;
    std::string_view utf8(int column) const { return vkdb::DbColumnText(m_stmt, column); }
    qint64 integer(int column) const { return vkdb::DbColumnInt64(m_stmt, column); }
    double real(int column) const { return vkdb::DbColumnDouble(m_stmt, column); }
    // The next fetch writes column `column` into the file at path.
    int setColumnFile(int column, const QString &path);

    vkdb::DbStatement *handle() const { return m_stmt; }

private:
    vkdb::DbStatement *m_stmt = nullptr;
    int m_openResult = vkdb::DbFailed;
    std::vector<std::string> m_values;
};

// 18 digits: the form of the engine's row identity (an OID).
bool isOidText(const QString &text);

} // namespace vk
