// UiServices for the workspace: message boxes captioned "Vellumark", a progress
// dialog, the hourglass cursor and the frame's status bar.
#pragma once

#include "UiServices.h"

#include <QPointer>

#include <functional>

class QWidget;
class QProgressDialog;

namespace vk {

class QtUiServices : public UiServices
{
public:
    explicit QtUiServices(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void setStatusSink(std::function<void(const QString &)> sink) { m_statusSink = std::move(sink); }

    void showMessage(const QString &text, Icon icon) override;
    bool askYesNo(const QString &text) override;
    Answer askYesNoCancel(const QString &text) override;
    bool askOkCancel(const QString &text, Icon icon) override;
    void showInformation(const QString &caption, const QStringList &lines, const QString &prompt) override;
    int askChoice(const QString &caption, const QString &prompt, const QStringList &lines,
                  const QStringList &choices, int chosen, const QString &optionText,
                  bool *optionChecked) override;
    // The frame's shared prompt dialog, used for information lists.
    void setPromptDialog(class TfrmVkDialog *dialog) { m_prompt = dialog; }
    void progressStart(const QString &label, int total) override;
    bool progressStep(int done) override;
    void progressEnd() override;
    void setHourglass(bool on) override;
    void setStatusText(const QString &text) override;

private:
    QPointer<QWidget> m_parent;
    QProgressDialog *m_progress = nullptr;
    class TfrmVkDialog *m_prompt = nullptr;
    std::function<void(const QString &)> m_statusSink;
};

} // namespace vk
