#include "Startup.h"

#include "ConfigFile.h"
#include "DatabaseSetup.h"
#include "Engine.h"
#include "Messages.h"
#include "UiServices.h"
#include "VideoFrames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <filesystem>

#include <sqlite3.h>

namespace vk {

Startup::Startup(Hooks hooks, QString configPath_)
    : configPath(std::move(configPath_)), m_hooks(std::move(hooks))
{
    connection.setUi(m_hooks.ui);
}

bool Startup::installDefaultDataSource(const QString &directory)
{
    if (QFileInfo::exists(configPath))
        return true;
    Connection scratch;
    scratch.setUi(m_hooks.ui);
    const bool made = CreateDatabaseIn(scratch, configPath, QLatin1String(DefaultDataSource),
                                       QLatin1String(DefaultUserName), QString(), directory);
    scratch.disconnect();
    return made;
}

void Startup::readDatabaseSettings(QSettings &s)
{
    ReadSettings(s, SettingsGroup::Database, settings);
}

bool Startup::checkAndInitialize(QSettings &s)
{
    checks.status = m_hooks.status;
    if (!RunConnectChecks(connection, checks))
        return false;
    ReadSettings(s, SettingsGroup::SpeedPanel, settings);
    ReadSettings(s, SettingsGroup::MediaManage, settings);
    return true;
}

void Startup::chooseDataSource()
{
    if (!m_hooks.chooseDataSource)
        return;
    const vkdb::ConfigFile config(configPath.toStdString());
    const std::vector<std::string> sections = config.sections();
    if (sections.size() == 1 && config.hasSection(settings.database.dataSource.toStdString()))
        return;
    QString name = settings.database.dataSource;
    if (m_hooks.chooseDataSource(name) && !name.isEmpty())
        settings.database.dataSource = name;
}

bool Startup::connectDatabase()
{
    const DatabaseSettings &database = settings.database;
    if (connection.connect(configPath, database.dataSource, database.userName, database.password) ==
        vkdb::DbOk)
        return true;

    auto runWizard = [this, &database](const QString &message) {
        connectError = QString::fromStdString(vkdb::DbErrorText());
        const QString dbFile = DatabaseFileIn(
            QString::fromStdString(vkdb::ConfigFile(configPath.toStdString())
                                       .unquotedValue(database.dataSource.toStdString(), "DB_DBDIR")),
            database.dataSource);
        databaseRepairable = QFileInfo(dbFile).isFile();
        if (m_hooks.ui)
            m_hooks.ui->showMessage(message, UiServices::Icon::Warning);
        if (m_hooks.repairWizard && m_hooks.repairWizard(connection) && connection.isConnected())
            return true;
        connection.disconnect();
        return false;
    };

    const int error = vkdb::DbLastError();
    switch (error) {
    case vkdb::ErrNotADatabase:
        // A database file whose first page is damaged (or that another program stripped of the
        // engine's tables) is offered to the recovery system like any other that cannot be opened.
        return runWizard(vkMessage(MsgDatabaseSystemError));
    case vkdb::ErrRecoveryNeeded: {
        vkdb::ConfigFile config(configPath.toStdString());
        const std::string section = database.dataSource.toStdString();
        config.setValue(section, "DB_SMODE", "2");
        config.flush();
        const int rc =
            connection.connect(configPath, database.dataSource, database.userName, database.password);
        config.reload();
        config.setValue(section, "DB_SMODE", "1");
        config.flush();
        if (rc == vkdb::DbOk)
            return true;
        return runWizard(vkMessage(MsgDatabaseWarning));
    }
    case vkdb::ErrFileAccess:
    case vkdb::ErrDiskFull:
    case vkdb::ErrIo:
        if (m_hooks.ui)
            m_hooks.ui->showMessage(vkMessage(MsgDatabaseSystemError), UiServices::Icon::Error);
        return false;
    default:
        return runWizard(vkMessage(MsgDatabaseWarning) + QLatin1Char('(') + database.dataSource +
                         QLatin1Char(')') + QStringLiteral("\n\r"));
    }
}

bool Startup::loadData()
{
    if (m_hooks.status)
        m_hooks.status(vkMessage("DataLoading"));
    rootFolders = std::make_unique<TDbFolderList>(connection);
    rootFolders->status = m_hooks.status;
    rootFolders->thumbnailer = mediaThumbnailer(settings.embeddedPreviews);
    const DisplayOptions &o = checks.options;
    // A folder table that cannot be read ends the program (its message has been shown),
    // unless the reason is a damaged page that a salvage can get past.
    if (!rootFolders->Load(o.DefaultPanelWidth, o.DefaultPanelHeight, o.DefaultPanelBorderWidth)) {
        if (rootFolders->QuitRequested || !offerRepair())
            return false;
        rootFolders = std::make_unique<TDbFolderList>(connection);
        rootFolders->status = m_hooks.status;
        rootFolders->thumbnailer = mediaThumbnailer(settings.embeddedPreviews);
        if (!rootFolders->Load(o.DefaultPanelWidth, o.DefaultPanelHeight, o.DefaultPanelBorderWidth))
            return false;
    }
    if (rootFolders->QuitRequested)
        return false;
    keyWords.Load(connection);
    return true;
}

bool Startup::databaseDamaged()
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(vkdb::DbNativeHandle(connection.handle()), "pragma quick_check", -1, &st,
                           nullptr) != SQLITE_OK)
        return true;
    const bool intact = sqlite3_step(st) == SQLITE_ROW &&
                        qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "ok") == 0;
    sqlite3_finalize(st);
    return !intact;
}

bool Startup::offerRepair()
{
    // A page that only shows its damage when it is read: the connection was made, the load
    // failed. The person is asked before anything is rebuilt.
    if (!connection.isConnected() || !databaseDamaged() || !m_hooks.ui ||
        !m_hooks.ui->askYesNo(vkMessage("RepairDamagedDatabase")))
        return false;
    rootFolders.reset();
    connection.disconnect();
    const DatabaseSettings &database = settings.database;
    vkdb::DbEnvironment env{configPath.toStdString()};
    vkdb::SalvageReport report;
    if (vkdb::DbSalvage(database.dataSource.toStdString(), &env, report) != vkdb::DbOk) {
        m_hooks.ui->showMessage(QString::fromStdString(vkdb::DbErrorText()), UiServices::Icon::Error);
        return false;
    }
    // The tables that lost something first; the rest only say what they kept.
    QStringList damaged, whole;
    for (const vkdb::SalvagedTable &t : report.tables) {
        if (t.name.rfind("_vk_", 0) == 0 || t.name.rfind("sqlite_", 0) == 0)
            continue;
        const QString name = QString::fromStdString(t.name);
        if (t.pagesLost)
            damaged << vkMessage("SalvagedTableDamaged").arg(name).arg(t.rowsKept).arg(t.pagesLost);
        else
            whole << vkMessage("SalvagedTable").arg(name).arg(t.rowsKept);
    }
    QStringList lines = damaged + whole;
    for (const std::string &note : report.notes)
        lines << QString::fromStdString(note);
    lines << vkMessage("DamagedCopyKept").arg(QString::fromStdString(report.damagedCopy));
    m_hooks.ui->showInformation(QStringLiteral("Vellumark"), lines, vkMessage("DatabaseSalvaged"));
    if (connection.connect(configPath, database.dataSource, database.userName, database.password) !=
        vkdb::DbOk) {
        m_hooks.ui->showMessage(QString::fromStdString(vkdb::DbErrorText()), UiServices::Icon::Error);
        return false;
    }
    return true;
}

void Startup::close()
{
    if (rootFolders)
        rootFolders->ClipboardClear(clipboard);
}

bool emptyDirectory(const QString &dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root(dir.toStdString());
    if (fs::is_symlink(root, ec) || !fs::is_directory(root, ec))
        return false;
    bool all = true;
    for (const fs::directory_entry &entry : fs::directory_iterator(root, ec)) {
        // remove_all never follows a symbolic link: it removes the link itself.
        fs::remove_all(entry.path(), ec);
        if (ec)
            all = false;
    }
    return all && !ec;
}

void Startup::prepareWorkDirectory(const QString &systemTemp, const QString &startDir)
{
    if (systemTemp.isEmpty()) {
        if (m_hooks.ui)
            m_hooks.ui->showMessage(vkMessage("GetTempPathFailed"), UiServices::Icon::Warning);
        tempDir = startDir;
    } else {
        tempDir = systemTemp;
        if (tempDir.endsWith(QLatin1Char('/')) && tempDir.size() > 1)
            tempDir.chop(1);
    }
    workDir = tempDir + QStringLiteral("/_vktmp");
    const QFileInfo info(workDir);
    if (info.isSymLink()) {
        // Never work inside a directory some link points us to.
        QFile::remove(workDir);
    }
    if (QFileInfo(workDir).isDir()) {
        emptyDirectory(workDir);
    } else if (!QDir().mkdir(workDir)) {
        workDir = tempDir;
    }
    if (workDir != tempDir)
        QFile::setPermissions(workDir,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    connection.setTempFilePrefix(workDir);
}

void Startup::destroy(QSettings &settings)
{
    if (!connection.isConnected())
        return;
    // Settings are written back only after a connection was made.
    WriteSettings(settings, this->settings);
    settings.sync();
    rootFolders.reset();
    SaveOptions(connection, checks.options);
    if (connection.disconnect() >= 2 && m_hooks.ui)
        m_hooks.ui->showMessage(vkMessage(MsgDisconnectFailed), UiServices::Icon::Warning);
    if (!workDir.isEmpty() && workDir != tempDir) {
        if (emptyDirectory(workDir))
            QDir().rmdir(workDir);
    }
}

} // namespace vk
