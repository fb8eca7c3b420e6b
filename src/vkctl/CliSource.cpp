#include "CliSource.h"

#include "Cli.h"
#include "CliOutput.h"
#include "CliUi.h"
#include "ConnectChecks.h"
#include "Connection.h"
#include "DbFolder.h"
#include "Engine.h"
#include "FolderNames.h"
#include "OptionStore.h"
#include "Paths.h"
#include "Settings.h"
#include "Statement.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace vk {

bool openSource(const GlobalOptions &options, CliUi &ui, Connection &c, bool readOnly)
{
    c.setUi(&ui);
    QSettings settings;
    DatabaseSettings db = readDatabaseSettings(settings);
    if (!options.source.isEmpty())
        db.dataSource = options.source;
    if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
        printError(engineError());
        return false;
    }
    if (!options.check)
        return true;
    ConnectChecks checks;
    checks.integration.relocate = !readOnly;
    if (!RunConnectChecks(c, checks))
        return false;
    for (const QString &change : checks.changes)
        printError(change);
    return true;
}

bool openTree(const Call &call, Connection &c, DisplayOptions &display, TDbFolderList &roots)
{
    if (!call.open(c))
        return false;
    LoadOptions(c, display);
    return roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight, display.DefaultPanelBorderWidth);
}

bool openPart(const Call &call, Connection &c, DisplayOptions &display, TDbFolderList &roots,
              const QStringList &folderOids, const QStringList &mediaOids)
{
    if (!call.open(c))
        return false;
    LoadOptions(c, display);
    roots.DefaultWidth = display.DefaultPanelWidth;
    roots.DefaultHeight = display.DefaultPanelHeight;
    roots.DefaultBorder = display.DefaultPanelBorderWidth;
    for (const QString &oid : folderOids)
        roots.LoadOneFolder(oid);
    for (const QString &oid : mediaOids)
        if (!roots.LoadFolderOfMedia(oid))
            return roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight,
                              display.DefaultPanelBorderWidth);
    return true;
}

TDbFolder *namedFolder(TDbFolderList &roots, const QString &name)
{
    QString error;
    TDbFolder *f = FindFolderByName(roots, name, &error);
    if (!f)
        printError(error);
    return f;
}

QString namedFolderOid(Connection &c, const QString &name)
{
    QString error;
    const QString oid = FolderOidByName(c, name, &error);
    if (oid.isEmpty())
        printError(error);
    return oid;
}

TDbFolder *loadNamedFolder(Connection &c, TDbFolderList &roots, const QString &name)
{
    // An OID is read at once; a title path (or a title of 18 digits) goes through the titles.
    QString oid = name;
    if (!isOidText(name) || (!roots.FindFolderByOid(name) && !roots.LoadOneFolder(name))) {
        oid = namedFolderOid(c, name);
        if (oid.isEmpty())
            return nullptr;
    }
    if (TDbFolder *f = roots.FindFolderByOid(oid))
        return f;
    if (TDbFolder *f = roots.LoadOneFolder(oid))
        return f;
    printError(QStringLiteral("there is no folder %1").arg(name));
    return nullptr;
}

QString workDirectoryBase()
{
    const QString privateTemp = privateTempDirectory();
    return privateTemp.isEmpty() ? QDir::tempPath() : privateTemp;
}

bool writableTarget(Connection &c, const QString &path)
{
    const QString dir = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    const QString own =
        QFileInfo(QString::fromStdString(vkdb::DbFileObjectDir(c.handle()))).canonicalFilePath();
    if (dir.isEmpty() || own.isEmpty() || dir != own)
        return true;
    printError(
        QStringLiteral("\"%1\" lies in the library's own file-object directory, where the stored copies "
                       "are kept: write it elsewhere")
            .arg(path));
    return false;
}

} // namespace vk
