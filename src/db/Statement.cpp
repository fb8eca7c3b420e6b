#include "Statement.h"

#include "Connection.h"

#include <QFileInfo>

namespace vk {

Statement::Statement(Connection &connection, const QString &text)
{
    m_openResult = vkdb::DbPrepare(connection.handle(), text.toStdString(), &m_stmt);
}

Statement::~Statement()
{
    vkdb::DbFreeStmt(&m_stmt);
}

int Statement::bind(const QString &value)
{
    return vkdb::DbBindParam(m_stmt, value.toStdString(), -3);
}

bool Statement::bindAll(const QStringList &values)
{
    for (const QString &v : values) {
        const int rc = bind(v);
        if (rc > 1 && rc != vkdb::DbNeedParams)
            return false;
    }
    return true;
}

int Statement::bindNull()
{
    return vkdb::DbBindParam(m_stmt, std::string(), -1);
}

int Statement::bindFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return bindNull();
    return vkdb::DbBindFile(m_stmt, path.toStdString());
}

int Statement::nextParamSet()
{
    return vkdb::DbNextParamSet(m_stmt);
}

int Statement::execute(QString *oid)
{
    std::string newOid;
    const int rc = vkdb::DbExecute(m_stmt, oid ? &newOid : nullptr);
    if (oid)
        *oid = QString::fromStdString(newOid);
    return rc;
}

int Statement::fetch(QStringList &row)
{
    row.clear();
    const int rc = vkdb::DbGetData(m_stmt, m_values);
    if (rc < 2) {
        row.reserve(int(m_values.size()));
        for (const std::string &v : m_values)
            row.append(QString::fromStdString(v));
    }
    return rc;
}

int Statement::next()
{
    return vkdb::DbFetchRow(m_stmt);
}

bool Statement::isEmpty(int column) const
{
    switch (vkdb::DbColumnType(m_stmt, column)) {
    case vkdb::DbValueType::Null:
        return true;
    case vkdb::DbValueType::Text:
    case vkdb::DbValueType::Blob:
        return vkdb::DbColumnText(m_stmt, column).empty();
    default:
        return false;
    }
}

QString Statement::text(int column) const
{
    const std::string_view bytes = vkdb::DbColumnText(m_stmt, column);
    return bytes.empty() ? QString() : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

int Statement::setColumnFile(int column, const QString &path)
{
    return vkdb::DbSetColumnFile(m_stmt, column, path.toStdString());
}

bool isOidText(const QString &text)
{
    if (text.size() != 18)
        return false;
    for (const QChar ch : text)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace vk
