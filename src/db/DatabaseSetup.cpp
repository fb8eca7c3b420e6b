#include "DatabaseSetup.h"

#include "ConfigFile.h"
#include "Connection.h"
#include "Engine.h"
#include "Messages.h"
#include "Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <filesystem>

#include <sqlite3.h>

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

namespace {

// A private copy of the configuration, on which a data source's new keys are tried before the
// real file gets them.
struct ScratchConfig
{
    QTemporaryDir dir;
    QString path;

    explicit ScratchConfig(const QString &configPath)
    {
        if (!dir.isValid())
            return;
        path = dir.path() + QStringLiteral("/vkconfig.ini");
        if (QFileInfo::exists(configPath) && !QFile::copy(configPath, path))
            path.clear();
    }
};

bool makeTables(Connection &c)
{
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

void reportScratchFailure(Connection &c)
{
    c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
             QStringLiteral("No private temporary directory for the configuration."));
}

} // namespace

QString DatabaseFileIn(const QString &directory, const QString &dataSource)
{
    QString dir = directory;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir + QLatin1Char('/') + dataSource + QStringLiteral(".db");
}

bool CreateDatabaseIn(Connection &c, const QString &configPath, const QString &dataSource,
                      const QString &user, const QString &password, const QString &directory)
{
    const QString dbFile = DatabaseFileIn(directory, dataSource);
    if (QFileInfo::exists(dbFile) || QFileInfo(dbFile).isSymLink()) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QStringLiteral("A database already exists at \"%1\".").arg(dbFile));
        return false;
    }
    ScratchConfig scratch(configPath);
    if (scratch.path.isEmpty()) {
        reportScratchFailure(c);
        return false;
    }
    if (!WriteEngineKeys(c, scratch.path, dataSource, user, directory, true))
        return false;
    // What the attempt made is taken away again when it fails, so that a second try finds the
    // directory as it was.
    auto removeMade = [&dbFile] {
        for (const char *suffix : {"", "-wal", "-shm", ".vk-lock", ".vk-reserve"})
            QFile::remove(dbFile + QLatin1String(suffix));
    };
    vkdb::DbEnvironment env{scratch.path.toStdString()};
    vkdb::DbConnection *created = nullptr;
    if (vkdb::DbCreate(dataSource.toStdString(), &env, &created) != vkdb::DbOk) {
        const int code = vkdb::DbLastError();
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        // A database another program made meanwhile, or one it holds, is not ours to take away.
        if (code != vkdb::ErrDatabaseExists && code != vkdb::ErrBusy)
            removeMade();
        return false;
    }
    vkdb::DbCloseCreate(&env, &created);
    if (c.connect(scratch.path, dataSource, user, password) != vkdb::DbOk) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        removeMade();
        return false;
    }
    const bool made = makeTables(c);
    c.disconnect();
    if (!made) {
        removeMade();
        return false;
    }
    if (!WriteEngineKeys(c, configPath, dataSource, user, directory, true))
        return false;
    if (c.connect(configPath, dataSource, user, password) != vkdb::DbOk) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        return false;
    }
    return true;
}

bool UseDatabaseIn(Connection &c, const QString &configPath, const QString &dataSource, const QString &user,
                   const QString &password, const QString &directory)
{
    ScratchConfig scratch(configPath);
    if (scratch.path.isEmpty()) {
        reportScratchFailure(c);
        return false;
    }
    if (!WriteEngineKeys(c, scratch.path, dataSource, user, directory, false))
        return false;
    if (c.connect(scratch.path, dataSource, user, password) != vkdb::DbOk) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        return false;
    }
    c.disconnect();
    if (!WriteEngineKeys(c, configPath, dataSource, user, directory, false))
        return false;
    if (c.connect(configPath, dataSource, user, password) != vkdb::DbOk) {
        c.report(vkMessage(MsgDatabaseSystemError) + QStringLiteral("\n\r") +
                 QString::fromStdString(vkdb::DbErrorText()));
        return false;
    }
    return true;
}

QString DataSourceNameRefusal(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("A data source needs a name.");
    if (name.size() > MaxDataSourceNameLength)
        return QStringLiteral("A data source name has at most %1 characters.").arg(MaxDataSourceNameLength);
    auto plain = [](QChar ch) {
        return (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) ||
               (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
               (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'));
    };
    if (!plain(name.front()))
        return QStringLiteral("A data source name begins with a letter or a digit.");
    for (QChar ch : name)
        if (!plain(ch) && ch != QLatin1Char('_') && ch != QLatin1Char('-'))
            return QStringLiteral("A data source name holds only letters, digits, '_' and '-'.");
    return QString();
}

QStringList SearchDatabases(const QStringList &roots, const QString &dataSource,
                            const std::function<bool(const QString &directory)> &visit)
{
    namespace fs = std::filesystem;
    const QString wanted = dataSource + QStringLiteral(".db");
    QStringList found;
    QStringList seen;
    bool stopped = false;
    for (const QString &root : roots) {
        if (stopped)
            break;
        std::error_code ec;
        const fs::path start(QFile::encodeName(root).toStdString());
        if (fs::is_symlink(start, ec) || !fs::is_directory(start, ec))
            continue;
        // A root inside one searched already is not searched twice.
        const QString canonical = QFileInfo(root).canonicalFilePath();
        bool inside = false;
        for (const QString &s : seen)
            inside = inside || canonical == s ||
                     canonical.startsWith(s == QLatin1String("/") ? s : s + QLatin1Char('/'));
        if (inside)
            continue;
        seen << canonical;
        if (visit && !visit(root)) {
            stopped = true;
            break;
        }
        fs::recursive_directory_iterator it(start, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::directory_entry &entry = *it;
            std::error_code typeEc;
            // symlink_status: a link is never taken for what it points to, so the walk stays
            // inside the tree and cannot run in circles.
            const fs::file_status status = entry.symlink_status(typeEc);
            if (typeEc)
                continue;
            if (fs::is_directory(status)) {
                if (visit && !visit(QFile::decodeName(entry.path().c_str()))) {
                    stopped = true;
                    break;
                }
                continue;
            }
            if (!fs::is_regular_file(status))
                continue;
            const QString name = QFile::decodeName(entry.path().filename().c_str());
            if (name == wanted)
                found << QFile::decodeName(entry.path().c_str());
        }
    }
    return found;
}

QStringList DatabaseSearchRoots()
{
    QStringList roots{QDir::homePath()};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || !volume.device().startsWith("/dev/"))
            continue;
        const QString root = volume.rootPath();
        // The system's own file systems hold no libraries of a user.
        if (root == QLatin1String("/") || root.startsWith(QLatin1String("/boot")) ||
            root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys")))
            continue;
        if (!roots.contains(root))
            roots << root;
    }
    return roots;
}

bool RepairDataSource(const QString &configPath, const QString &dataSource, QStringList &lines,
                      QString *error)
{
    vkdb::DbEnvironment env{configPath.toStdString()};
    const std::string name = dataSource.toStdString();
    std::vector<std::string> notes, kept;
    // The engine's own tables first: a database another program stripped of them opens again.
    if (vkdb::DbRebuildEngineTables(name, &env, notes, kept) == vkdb::DbOk) {
        for (const std::string &note : notes)
            lines << QStringLiteral("rebuilt: ") + QString::fromStdString(note);
        for (const std::string &path : kept)
            lines << QStringLiteral("kept: ") + QString::fromStdString(path);
        // Whole again only when it opens and SQLite finds every page in order; otherwise the
        // damage is deeper and the rows are salvaged.
        Connection probe;
        bool whole = false;
        if (probe.connect(configPath, dataSource, QString(), QString()) == vkdb::DbOk) {
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(vkdb::DbNativeHandle(probe.handle()), "pragma quick_check", -1, &st,
                                   nullptr) == SQLITE_OK) {
                whole = sqlite3_step(st) == SQLITE_ROW &&
                        qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "ok") == 0;
                sqlite3_finalize(st);
            }
            probe.disconnect();
        }
        if (whole)
            return true;
    }
    vkdb::SalvageReport report;
    if (vkdb::DbSalvage(name, &env, report) != vkdb::DbOk) {
        if (error)
            *error = QString::fromStdString(vkdb::DbErrorText());
        return false;
    }
    for (const vkdb::SalvagedTable &t : report.tables) {
        if (t.name.rfind("_vk_", 0) == 0 || t.name.rfind("sqlite_", 0) == 0)
            continue;
        const QString table = QString::fromStdString(t.name);
        lines << (t.pagesLost ? vkMessage("SalvagedTableDamaged").arg(table).arg(t.rowsKept).arg(t.pagesLost)
                              : vkMessage("SalvagedTable").arg(table).arg(t.rowsKept));
    }
    for (const std::string &note : report.notes)
        lines << QString::fromStdString(note);
    if (!report.damagedCopy.empty())
        lines << vkMessage("DamagedCopyKept").arg(QString::fromStdString(report.damagedCopy));
    return true;
}

} // namespace vk
