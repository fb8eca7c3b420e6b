#include "DatabaseSetup.h"

#include "ConfigFile.h"
#include "Connection.h"
#include "Engine.h"
#include "Messages.h"
#include "Schema.h"

#include <QDir>

namespace vk {

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

bool WriteEngineKeys(Connection &c, const QString &configPath, const QString &dataSource, const QString &user,
                     const QString &directory, bool forCreate)
{
    vkdb::ConfigFile config(configPath.toStdString());
    const std::string section = dataSource.toStdString();
    config.setValue(section, "DB_DBDIR", quoted(directory).toStdString());
    const QString foDir = directory.endsWith(QLatin1Char('/')) ? directory + QStringLiteral("folder")
                                                               : directory + QStringLiteral("/folder");
    config.setValue(section, "DB_FODIR", quoted(foDir).toStdString());
    if (!QDir(foDir).exists() && !QDir().mkpath(foDir)) {
        config.flush();
        c.report(QStringLiteral("Create directory failed!'") +
                 (forCreate ? QLatin1Char('\'') + directory + QLatin1Char('\'') : directory));
        return false;
    }
    config.setValue(section, "DB_USRFO", "1");
    config.setValue(section, "DB_JnlSz", "500");
    config.setValue(section, "DB_SECUR", "0");
    config.setValue(section, "DB_USRID", user.toStdString());
    if (!config.flush()) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QStringLiteral("Cannot write ") + configPath);
        return false;
    }
    return true;
}

bool CreateDatabaseIn(Connection &c, const QString &configPath, const QString &dataSource,
                      const QString &user, const QString &password, const QString &directory)
{
    if (!WriteEngineKeys(c, configPath, dataSource, user, directory, true))
        return false;
    vkdb::DbEnvironment env{configPath.toStdString()};
    vkdb::DbConnection *created = nullptr;
    if (vkdb::DbCreate(dataSource.toStdString(), &env, &created) != vkdb::DbOk) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        return false;
    }
    vkdb::DbCloseCreate(&env, &created);
    if (c.connect(configPath, dataSource, user, password) != vkdb::DbOk) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        return false;
    }
    if (vkdb::DbExecDirect(c.handle(), FolderCreateStatement) >= 2) {
        c.report(MsgCreateTable, QStringLiteral("Folder"));
        return false;
    }
    if (vkdb::DbExecDirect(c.handle(), MediaDataCreateStatement) >= 2) {
        c.report(MsgCreateTable, QStringLiteral("MediaData"));
        return false;
    }
    vkdb::DbExecDirect(c.handle(), MediaDataOrderIndexStatement);
    return true;
}

} // namespace vk
