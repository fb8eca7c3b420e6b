#include "Main.h"

#include "Messages.h"
#include "Paths.h"
#include "QtUiServices.h"
#include "Splash.h"
#include "VkDialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QMdiArea>
#include <QSettings>
#include <QStatusBar>

namespace vk {

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Vellumark Workspace"));
    resize(1024, 720);
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setBackground(QColor(0x2b, 0x4a, 0x5c));
    setCentralWidget(m_mdiArea);
    statusBar();
    m_ui = std::make_unique<QtUiServices>(this);
    // The shared prompt dialog exists before the load sequence: the integration check shows
    // its lost files in it.
    PromptDialog = new TfrmVkDialog(this);
    m_ui->setPromptDialog(PromptDialog);
    m_ui->setStatusSink([this](const QString &text) { statusBar()->showMessage(text); });

    Startup::Hooks hooks;
    hooks.ui = m_ui.get();
    hooks.status = [](const QString &text) { ShowStartupStatus(text); };
    hooks.repairWizard = [this](Connection &) {
        // The data recovery system is not part of this version: the program ends in order.
        m_ui->showMessage(vkMessage("NoRepairWizard"), UiServices::Icon::Warning);
        return false;
    };
    m_startup = std::make_unique<Startup>(std::move(hooks), configFilePath());
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

bool TMainForm::FormCreate()
{
    Startup &s = *m_startup;
    // 1. The configuration file; on a first start it gets the default data source.
    if (!s.installDefaultDataSource(defaultDataSourceDirectory(QLatin1String(DefaultDataSource))))
        return false;
    s.checks.integration = IntegrationState();
    // 3. The workspace mode.
    s.workspaceMode = ModeWorkspace;
    // 4. Settings of the database.
    ShowStartupStatus(vkMessage("ConnectDatabase"));
    QSettings settings;
    s.readDatabaseSettings(settings);
    // (The data source dialog is shown here once it exists.)
    // 5-6. The connection, with its recovery and failure branches.
    if (!s.connectDatabase())
        return false;
    // 7. Integration check, 8. schema check, 9. display options and the SpeedPanel and
    // MediaManage settings.
    setCursor(Qt::WaitCursor);
    const bool checked = s.checkAndInitialize(settings);
    unsetCursor();
    if (!checked)
        return false;
    // (9: the slide-show settings get their defaults here once slide shows exist.)
    // 11. The work directory.
    s.prepareWorkDirectory(privateTempDirectory(), QDir::currentPath());
    // 12. Data loading: the folder tree with its media (the keywords join it here).
    if (!s.loadData())
        return false;
    // 13 (the prompt dialog exists from the start; the top panel comes with the frame's layout).
    // 14. The folder explorer's settings (its window comes with the library windows; the values
    // are kept so that they are written back unchanged).
    ReadSettings(settings, SettingsGroup::FolderExplorer, s.settings);
    // 15-24 (audio player, shared windows, cursors, type bitmaps, background, clipboard,
    // toolbars, view state) come here.
    return true;
}

void TMainForm::comeForward()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TMainForm::FormClose()
{
    m_startup->close();
}

void TMainForm::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    QSettings settings;
    m_startup->destroy(settings);
}

} // namespace vk
