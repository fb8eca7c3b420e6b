// The workspace's load sequence and shutdown, apart from any window: the frame runs
// these steps in order (showing each status on the splash window) and the tests run
// them headless.
#pragma once

#include "ConnectChecks.h"
#include "Connection.h"
#include "DbFolder.h"
#include "KeyWords.h"
#include "Settings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

namespace vk {

class UiServices;

// Bits of the workspace mode.
enum WorkspaceModeBit : int
{
    ModeWorkspace = 1,
    ModeAuthoring = 2,
    ModeSlidePlaying = 4,
    ModeSlideShow = 8
};

class Startup
{
public:
    struct Hooks
    {
        UiServices *ui = nullptr;
        // Shows a status text on the splash window while it exists.
        std::function<void(const QString &)> status;
        // The data recovery system: true when it closed with OK and `connection` is connected.
        std::function<bool(Connection &connection)> repairWizard;
        // The data source dialog before connecting: true when it closed with OK, `name` then
        // holding the choice.
        std::function<bool(QString &name)> chooseDataSource;
    };

    Startup(Hooks hooks, QString configPath);

    // First start: when no configuration file exists, the data source "svkbook" is made in
    // the per-user data directory, the way "Run Vellumark with no data." makes one.
    bool installDefaultDataSource(const QString &directory);

    // Reads the "Database" settings (defaults written back).
    void readDatabaseSettings(QSettings &settings);
    // Shows the data source dialog when there is a choice to make: more than one data source, or
    // none of the configuration's is the one the settings name.
    void chooseDataSource();
    // Connects, with the recovery retry and the failure branches. False: the program ends.
    bool connectDatabase();
    // Why the last connection attempt failed (the engine's text), for the repair wizard.
    QString connectError;
    // The database file of the data source is there but could not be opened as it is.
    bool databaseRepairable = false;
    // The integration check, the schema check and the display options; then the
    // SpeedPanel and MediaManage settings. False: the program ends.
    bool checkAndInitialize(QSettings &settings);
    // Data loading: the folder tree with every folder's media. False: the program ends.
    bool loadData();
    // The private work directory, emptied; falls back as described in the load sequence.
    void prepareWorkDirectory(const QString &tempDir, const QString &startDir);
    // Closing: the clipboard lets go of what it holds (the last holders delete rows).
    void close();
    // Shutdown; does nothing when no connection was made.
    void destroy(QSettings &settings);

    Connection connection;
    WorkspaceSettings settings;
    ConnectChecks checks;
    std::unique_ptr<TDbFolderList> rootFolders;
    TDbKeyWordList keyWords;
    // The workspace clipboard of cut or copied media, folders and slide objects.
    TSelectedList clipboard;
    QString configPath;
    QString tempDir;
    QString workDir;
    int workspaceMode = 0;

private:
    // True when SQLite finds damage in the database.
    bool databaseDamaged();
    // Asks whether to salvage the damaged database, does it, reconnects; true when the
    // load can be tried again.
    bool offerRepair();

    Hooks m_hooks;
};

// Deletes everything inside `dir` without following symbolic links (a link is removed, never
// what it points to). Answers false when something could not be removed.
bool emptyDirectory(const QString &dir);

} // namespace vk
