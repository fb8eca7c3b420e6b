#include "Connection.h"

#include "Messages.h"
#include "UiServices.h"

namespace vk {

Connection::~Connection()
{
    if (m_handle)
        disconnect();
}

int Connection::connect(const QString &configPath, const QString &dataSource, const QString &user,
                        const QString &password)
{
    if (m_handle)
        disconnect();
    m_environment.configPath = configPath.toStdString();
    m_configPath = configPath;
    m_dataSource = dataSource;
    return vkdb::DbConnect(&m_handle, dataSource.toStdString(), user.toStdString(), password.toStdString(),
                           &m_environment);
}

int Connection::disconnect()
{
    if (!m_handle)
        return vkdb::DbOk;
    const int rc = vkdb::DbDisconnect(m_handle, &m_environment);
    m_handle = nullptr;
    return rc;
}

void Connection::setTempFilePrefix(const QString &prefix)
{
    m_tempFilePrefix = prefix;
    if (!m_tempFilePrefix.isEmpty() && !m_tempFilePrefix.endsWith(QLatin1Char('/')))
        m_tempFilePrefix += QLatin1Char('/');
}

void Connection::report(const QString &text) const
{
    if (!m_ui)
        return;
    // The program's own text says what failed; on a full disk the engine's says why.
    if (vkdb::DbLastError() == vkdb::ErrDiskFull && !text.contains(QLatin1String("(20914)")))
        m_ui->showMessage(text + QLatin1Char('\n') + QString::fromStdString(vkdb::DbErrorText()),
                          UiServices::Icon::Warning);
    else
        m_ui->showMessage(text, UiServices::Icon::Warning);
}

void Connection::report(int messageNumber, const QString &name) const
{
    report(vkMessage(messageNumber) + name);
}

Transaction::Transaction(Connection &connection) : m_connection(connection)
{
    m_active = vkdb::DbBeginTransaction(connection.handle()) == vkdb::DbOk;
    // The work that needed the transaction is not done at all, and the person is told why.
    if (!m_active)
        connection.report(vkMessage(MsgDatabaseSystemError) + QLatin1Char('\n') +
                          QString::fromStdString(vkdb::DbErrorText()));
}

Transaction::~Transaction()
{
    if (m_active)
        rollback();
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    if (vkdb::DbCommit(m_connection.handle()) == vkdb::DbOk)
        return true;
    // Nothing of the work was stored: the person is told why, whatever the caller adds.
    m_connection.report(vkMessage(MsgDatabaseSystemError) + QLatin1Char('\n') +
                        QString::fromStdString(vkdb::DbErrorText()));
    return false;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    vkdb::DbRollback(m_connection.handle());
}

} // namespace vk
