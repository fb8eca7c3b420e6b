#include "Settings.h"

#include <QSettings>

namespace vk {

namespace {

bool readFlag(QSettings &s, const QString &key, bool defaultValue)
{
    return readWithDefault(s, key, defaultValue ? QStringLiteral("1") : QStringLiteral("0")) ==
           QLatin1String("1");
}

// A number the program did not write (a hand-edited value) reads as its default.
int readNumber(QSettings &s, const QString &key, int defaultValue)
{
    bool ok = false;
    const int value = readWithDefault(s, key, QString::number(defaultValue)).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

void readExplorer(QSettings &s, const QString &group, ExplorerSettings &e)
{
    e.visible = readFlag(s, group + QStringLiteral("/Visible"), true);
    e.dock = readFlag(s, group + QStringLiteral("/Dock"), true);
    e.geometry = QRect(readNumber(s, group + QStringLiteral("/Left"), e.geometry.left()),
                       readNumber(s, group + QStringLiteral("/Top"), e.geometry.top()),
                       readNumber(s, group + QStringLiteral("/Width"), e.geometry.width()),
                       readNumber(s, group + QStringLiteral("/Height"), e.geometry.height()));
}

void writeExplorer(QSettings &s, const QString &group, const ExplorerSettings &e)
{
    s.setValue(group + QStringLiteral("/Visible"), flag(e.visible));
    s.setValue(group + QStringLiteral("/Dock"), flag(e.dock));
    s.setValue(group + QStringLiteral("/Left"), QString::number(e.geometry.left()));
    s.setValue(group + QStringLiteral("/Top"), QString::number(e.geometry.top()));
    s.setValue(group + QStringLiteral("/Width"), QString::number(e.geometry.width()));
    s.setValue(group + QStringLiteral("/Height"), QString::number(e.geometry.height()));
}

} // namespace

QString readWithDefault(QSettings &settings, const QString &key, const QString &defaultValue)
{
    if (!settings.contains(key))
        settings.setValue(key, defaultValue);
    return settings.value(key).toString();
}

DatabaseSettings readDatabaseSettings(QSettings &settings)
{
    DatabaseSettings s;
    s.dataSource =
        readWithDefault(settings, QStringLiteral("Database/DataSource"), QLatin1String(DefaultDataSource));
    s.userName =
        readWithDefault(settings, QStringLiteral("Database/UserName"), QLatin1String(DefaultUserName));
    s.password = readWithDefault(settings, QStringLiteral("Database/Password"), QString());
    if (s.dataSource.isEmpty())
        s.dataSource = QLatin1String(DefaultDataSource);
    if (s.userName.isEmpty())
        s.userName = QLatin1String(DefaultUserName);
    return s;
}

bool EmbeddedPreviewsSetting(QSettings &s)
{
    // Absent until the workspace first writes its settings back: previews are used.
    return s.value(QStringLiteral("MediaManage/UseEmbeddedPreviews")).toString() != QLatin1String("0");
}

void ReadSettings(QSettings &s, SettingsGroup group, WorkspaceSettings &v)
{
    switch (group) {
    case SettingsGroup::Database:
        v.database = readDatabaseSettings(s);
        break;
    case SettingsGroup::SpeedPanel:
        v.speedPanelVisible = readFlag(s, QStringLiteral("Toolbars/SpeedPanel/Visible"), true);
        break;
    case SettingsGroup::FolderExplorer:
        readExplorer(s, QStringLiteral("FolderExplorer"), v.folderExplorer);
        break;
    case SettingsGroup::MediaManage:
        v.defaultImportType =
            readNumber(s, QStringLiteral("MediaManage/DefaultImportType"), ImportDatabaseFile);
        if (v.defaultImportType < ImportDatabaseFile || v.defaultImportType > ImportAskUser)
            v.defaultImportType = ImportDatabaseFile;
        v.showExternalMark = readFlag(s, QStringLiteral("MediaManage/IsShowExternalMark"), false);
        v.embeddedPreviews = EmbeddedPreviewsSetting(s);
        break;
    case SettingsGroup::MediaToolbar:
        v.mediaToolbarVisible = readFlag(s, QStringLiteral("Toolbars/MediaToolbar/Visible"), true);
        break;
    case SettingsGroup::SlideExplorer:
        readExplorer(s, QStringLiteral("SlideExplorer"), v.slideExplorer);
        break;
    }
}

void WriteSettings(QSettings &s, const WorkspaceSettings &v)
{
    s.setValue(QStringLiteral("Database/DataSource"), v.database.dataSource);
    s.setValue(QStringLiteral("Database/UserName"), v.database.userName);
    s.setValue(QStringLiteral("Database/Password"), v.database.password);
    s.setValue(QStringLiteral("Toolbars/SpeedPanel/Visible"), flag(v.speedPanelVisible));
    writeExplorer(s, QStringLiteral("FolderExplorer"), v.folderExplorer);
    s.setValue(QStringLiteral("MediaManage/DefaultImportType"), QString::number(v.defaultImportType));
    s.setValue(QStringLiteral("MediaManage/IsShowExternalMark"), flag(v.showExternalMark));
    s.setValue(QStringLiteral("MediaManage/UseEmbeddedPreviews"), flag(v.embeddedPreviews));
}

void WriteAuthoringSettings(QSettings &s, const WorkspaceSettings &v)
{
    s.setValue(QStringLiteral("Toolbars/MediaToolbar/Visible"), flag(v.mediaToolbarVisible));
    writeExplorer(s, QStringLiteral("SlideExplorer"), v.slideExplorer);
}

void WriteSlideExplorerSettings(QSettings &s, const ExplorerSettings &v)
{
    writeExplorer(s, QStringLiteral("SlideExplorer"), v);
}

} // namespace vk
