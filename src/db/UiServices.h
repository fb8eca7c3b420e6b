// How models and the database layer speak to the person using the program.
//
// The workspace implements it with Qt dialogs (message boxes captioned
// "Vellumark"); vkctl prints to stderr; tests record what would be shown.
#pragma once

#include <QString>
#include <QStringList>

namespace vk {

class UiServices
{
public:
    enum class Icon
    {
        Information,
        Warning,
        Error
    };

    virtual ~UiServices() = default;

    // A message box with the caption "Vellumark" and one OK button.
    virtual void showMessage(const QString &text, Icon icon = Icon::Information) = 0;
    virtual bool askYesNo(const QString &text) = 0;
    virtual bool askOkCancel(const QString &text, Icon icon = Icon::Warning) = 0;
    enum class Answer
    {
        Yes,
        No,
        Cancel
    };
    // Yes, No or Cancel (Escape). A front end that cannot offer Cancel answers as askYesNo.
    virtual Answer askYesNoCancel(const QString &text) { return askYesNo(text) ? Answer::Yes : Answer::No; }
    // The prompt dialog with an information box (one line each) and a prompt, OK only.
    virtual void showInformation(const QString &caption, const QStringList &lines, const QString &prompt) = 0;
    // The prompt dialog with choices: answers the chosen index, -1 when cancelled. With an
    // option text, *optionChecked carries the check box's state in and out.
    virtual int askChoice(const QString &caption, const QString &prompt, const QStringList &lines,
                          const QStringList &choices, int chosen, const QString &optionText,
                          bool *optionChecked) = 0;

    virtual void progressStart(const QString &label, int total) = 0;
    // Answers false when the person asked to cancel.
    virtual bool progressStep(int done) = 0;
    virtual void progressEnd() = 0;

    virtual void setHourglass(bool on) = 0;
    virtual void setStatusText(const QString &text) = 0;
};

} // namespace vk
