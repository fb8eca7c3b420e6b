// The program's one connection to its database, with what every statement
// helper needs beside the handle: where to report, and where temporary files go.
#pragma once

#include "Engine.h"

#include <QString>

namespace vk {

class UiServices;

class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // DbConnect with the data source of the configuration file at configPath. Answers the engine's
    // result; on failure DbLastError() and DbErrorText() tell why.
    int connect(const QString &configPath, const QString &dataSource, const QString &user,
                const QString &password);
    // DbDisconnect; answers the engine's result (2 or more: failed). The connection is empty afterwards.
    int disconnect();
    bool isConnected() const { return m_handle != nullptr; }

    vkdb::DbConnection *handle() const { return m_handle; }
    UiServices *ui() const { return m_ui; }
    void setUi(UiServices *ui) { m_ui = ui; }

    const QString &dataSourceName() const { return m_dataSource; }
    const QString &configPath() const { return m_configPath; }

    // The directory prefix of temporary files (ends with '/' when not empty).
    const QString &tempFilePrefix() const { return m_tempFilePrefix; }
    void setTempFilePrefix(const QString &prefix);

    // Shows a message through the UI services, when there are any.
    void report(const QString &text) const;
    void report(int messageNumber, const QString &name = QString()) const;

private:
    vkdb::DbConnection *m_handle = nullptr;
    vkdb::DbEnvironment m_environment;
    UiServices *m_ui = nullptr;
    QString m_dataSource;
    QString m_configPath;
    QString m_tempFilePrefix;
};

// Runs a group of statements as one change: committed by commit(), rolled back otherwise.
class Transaction
{
public:
    explicit Transaction(Connection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    void rollback();

private:
    Connection &m_connection;
    bool m_active = false;
};

} // namespace vk
