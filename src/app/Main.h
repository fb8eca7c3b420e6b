// The workspace frame: "Vellumark Workspace", a multiple-document window that holds
// the folder windows and the authoring window.
#pragma once

#include "Startup.h"

#include <QMainWindow>

#include <memory>

class QMdiArea;

namespace vk {

class QtUiServices;

class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // The load sequence. False when the program must end (its message has been shown).
    bool FormCreate();

    Startup &startup() { return *m_startup; }
    QMdiArea *mdiArea() const { return m_mdiArea; }

    // The shared prompt dialog.
    class TfrmVkDialog *PromptDialog = nullptr;

    // Brings the window to the front (a second copy asked for it).
    void comeForward();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormClose();
    void FormDestroy();

    std::unique_ptr<QtUiServices> m_ui;
    std::unique_ptr<Startup> m_startup;
    QMdiArea *m_mdiArea = nullptr;
    bool m_destroyed = false;
};

} // namespace vk
