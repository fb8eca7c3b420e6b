// The shared prompt dialog: a notice longer than a message box, a question with
// several choices, or an option check box. One instance (`PromptDialog`) lives for
// the whole run; callers fill its settings and run it.
#pragma once

#include <QDialog>
#include <QList>
#include <QRect>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vk {

enum PromptPart : int
{
    PartInformation = 1,
    PartPrompt = 2,
    PartOption = 4,
    PartChoices = 8
};

struct PromptSettings
{
    QString dialogCaption; // empty: "Vellumark"
    int parts = 0;         // PromptPart bits
    int buttons = 0;       // 0 OK only; 2 OK and Cancel; 1 as they are
    int focusButton = 0;   // 0 OK, 1 Cancel
    QStringList informationLines;
    QString promptText;
    QString optionText;
    bool optionChecked = false;
    QStringList choices;
    int chosenIndex = -1;
};

// What the layout needs to know of the widgets' sizes.
struct PromptMetrics
{
    // The narrowest the dialog is; it widens to show its prompt, choices and option whole.
    int dialogWidth = 252;
    // The widest it may grow (the screen's width); 0 sets no limit.
    int maxWidth = 0;
    // What a radio button or check box adds to its text's width (the indicator and gaps).
    int indicatorWidth = 20;
    int okWidth = 75, okHeight = 25;
    int cancelWidth = 75, cancelHeight = 25;
    int radioHeight = 17;
    int checkHeight = 17;
    int promptHeight = 13;
    std::function<int(const QString &)> textWidth;
};

struct PromptLayout
{
    QString caption;
    bool panelVisible = false;
    QRect panel;
    bool memoVisible = false;
    bool memoBorder = false;
    QRect memo;          // in panel coordinates
    QList<QRect> radios; // in panel coordinates
    bool optionVisible = false;
    QRect option;
    bool promptVisible = false;
    QRect prompt;
    bool okVisible = true, cancelVisible = false;
    QRect ok, cancel;
    int dialogWidth = 0;
    int dialogHeight = 0;
};

// The dialog's layout from its settings, as a plain function.
PromptLayout layoutPrompt(const PromptSettings &settings, const PromptMetrics &metrics);

class TfrmVkDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmVkDialog(QWidget *parent = nullptr);

    PromptSettings settings;

    // Lays the dialog out from `settings` and shows it modally; afterwards `settings.chosenIndex`
    // and `settings.optionChecked` hold the answers.
    int Execute();
    // A text with OK only: one line as the prompt, several in the information box.
    void ShowNotice(const QString &text);

    PromptMetrics metrics() const;
    // Applies the layout without showing the dialog (Execute does this first).
    void applyLayout();

private:
    void collectAnswers();

    QFrame *m_pnlInformation = nullptr;
    QPlainTextEdit *m_meoInformation = nullptr;
    QCheckBox *m_ckbNextOption = nullptr;
    QLabel *m_labPrompt = nullptr;
    QPushButton *m_btnOk = nullptr;
    QPushButton *m_btnCancel = nullptr;
    QList<QRadioButton *> m_radios;
};

} // namespace vk
