// A data source of its own for one test: a configuration file and a database in a
// temporary directory, created the way the workspace creates its first one.
#pragma once

#include "Connection.h"
#include "RecordingUi.h"

#include <QTemporaryDir>

#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[';
    for (const QString &s : list)
        *os << '"' << s.toStdString() << "\" ";
    *os << ']';
}

namespace vk {

class TempDataSource
{
public:
    explicit TempDataSource(const QString &name = QStringLiteral("testsrc"));

    QString dir() const { return m_dir.path(); }
    QString configPath() const { return m_dir.path() + QStringLiteral("/vkconfig.ini"); }
    QString databaseDir() const { return m_dir.path() + QStringLiteral("/db"); }
    QString fileObjectDir() const { return databaseDir() + QStringLiteral("/folder"); }
    QString name() const { return m_name; }
    // Writes a file in the temporary directory and answers its path.
    QString writeFile(const QString &name, const QByteArray &content) const;

    bool created = false;
    RecordingUi ui;
    Connection connection;

private:
    QTemporaryDir m_dir;
    QString m_name;
};

} // namespace vk
