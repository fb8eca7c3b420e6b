// Per-user settings kept outside the database (QSettings under the program's key
// paths). On reading, a value that is missing is written with its default first, so
// after the first start every value exists; they are written back once, at shutdown,
// and only when a connection was made.
#pragma once

#include <QRect>
#include <QString>

class QSettings;

namespace vk {

inline constexpr const char *DefaultDataSource = "svkbook";
inline constexpr const char *DefaultUserName = "SYSADM";

struct DatabaseSettings
{
    QString dataSource;
    QString userName;
    QString password;
};

struct ExplorerSettings
{
    bool visible = true;
    bool dock = true;
    QRect geometry; // the window's geometry when it was created, until one is stored
};

// How files are imported.
enum ImportType : int
{
    ImportDatabaseFile = 0,
    ImportExternalFile = 1,
    ImportAskUser = 2
};

struct WorkspaceSettings
{
    DatabaseSettings database;
    bool speedPanelVisible = true;
    ExplorerSettings folderExplorer;
    int defaultImportType = ImportDatabaseFile;
    bool showExternalMark = false;
    // Thumbnails of camera pictures from the previews they carry (see decodeThumbnailFromPreview).
    bool embeddedPreviews = true;
    bool mediaToolbarVisible = true;
    ExplorerSettings slideExplorer;
};

enum class SettingsGroup
{
    Database,
    SpeedPanel,
    FolderExplorer,
    MediaManage,
    MediaToolbar,
    SlideExplorer
};

// Reads one group into `values` (geometry defaults come from what `values` holds).
void ReadSettings(QSettings &settings, SettingsGroup group, WorkspaceSettings &values);
// Writes, in order, the database texts, SpeedPanel, FolderExplorer and MediaManage.
void WriteSettings(QSettings &settings, const WorkspaceSettings &values);
// The authoring window's own: MediaToolbar and SlideExplorer.
void WriteAuthoringSettings(QSettings &settings, const WorkspaceSettings &values);
// The slide explorer's group alone (written when the authoring window closes).
void WriteSlideExplorerSettings(QSettings &settings, const ExplorerSettings &values);

DatabaseSettings readDatabaseSettings(QSettings &settings);
// MediaManage/UseEmbeddedPreviews, read without writing a default.
bool EmbeddedPreviewsSetting(QSettings &settings);

// Reads a value, writing its default first when it is missing.
QString readWithDefault(QSettings &settings, const QString &key, const QString &defaultValue);

} // namespace vk
