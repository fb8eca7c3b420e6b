#include "QtUiServices.h"

#include "VkDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>

namespace vk {

namespace {

const QString Caption = QStringLiteral("Vellumark");

QMessageBox::Icon boxIcon(UiServices::Icon icon)
{
    switch (icon) {
    case UiServices::Icon::Warning:
        return QMessageBox::Warning;
    case UiServices::Icon::Error:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Information;
    }
}

} // namespace

void QtUiServices::showMessage(const QString &text, Icon icon)
{
    QMessageBox box(boxIcon(icon), Caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtUiServices::askYesNo(const QString &text)
{
    QMessageBox box(QMessageBox::Question, Caption, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

UiServices::Answer QtUiServices::askYesNoCancel(const QString &text)
{
    QMessageBox box(QMessageBox::Question, Caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    m_parent);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool QtUiServices::askOkCancel(const QString &text, Icon icon)
{
    QMessageBox box(boxIcon(icon), Caption, text, QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    return box.exec() == QMessageBox::Ok;
}

void QtUiServices::showInformation(const QString &caption, const QStringList &lines, const QString &prompt)
{
    TfrmVkDialog local(m_parent);
    TfrmVkDialog *dialog = m_prompt ? m_prompt : &local;
    dialog->settings.dialogCaption = caption;
    dialog->settings.parts = PartInformation | PartPrompt;
    dialog->settings.buttons = 0;
    dialog->settings.focusButton = 0;
    dialog->settings.informationLines = lines;
    dialog->settings.promptText = prompt;
    dialog->Execute();
}

int QtUiServices::askChoice(const QString &caption, const QString &prompt, const QStringList &lines,
                            const QStringList &choices, int chosen, const QString &optionText,
                            bool *optionChecked)
{
    TfrmVkDialog local(m_parent);
    TfrmVkDialog *dialog = m_prompt ? m_prompt : &local;
    PromptSettings &s = dialog->settings;
    s.dialogCaption = caption;
    s.parts = PartChoices | PartPrompt | (lines.isEmpty() ? 0 : PartInformation) |
              (optionText.isEmpty() ? 0 : PartOption);
    s.buttons = 2;
    s.focusButton = 0;
    s.informationLines = lines;
    s.promptText = prompt;
    s.choices = choices;
    s.chosenIndex = chosen;
    s.optionText = optionText;
    s.optionChecked = optionChecked && *optionChecked;
    const bool accepted = dialog->Execute() == QDialog::Accepted;
    if (optionChecked)
        *optionChecked = s.optionChecked;
    return accepted ? s.chosenIndex : -1;
}

void QtUiServices::progressStart(const QString &label, int total)
{
    delete m_progress;
    m_progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, total, m_parent);
    m_progress->setWindowTitle(Caption);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(500);
}

bool QtUiServices::progressStep(int done)
{
    if (!m_progress)
        return true;
    m_progress->setValue(done);
    return !m_progress->wasCanceled();
}

void QtUiServices::progressEnd()
{
    delete m_progress;
    m_progress = nullptr;
}

void QtUiServices::setHourglass(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUiServices::setStatusText(const QString &text)
{
    if (m_statusSink)
        m_statusSink(text);
}

} // namespace vk
