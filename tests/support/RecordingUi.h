// A UiServices that records what the program would show, for tests to assert the exact texts.
#pragma once

#include "UiServices.h"

#include <QStringList>

namespace vk {

class RecordingUi : public UiServices
{
public:
    void showMessage(const QString &text, Icon icon) override;
    bool askYesNo(const QString &text) override;
    Answer askYesNoCancel(const QString &text) override
    {
        questions.append(text);
        return cancel ? Answer::Cancel : answer ? Answer::Yes : Answer::No;
    }
    bool askOkCancel(const QString &text, Icon icon) override;
    int askChoice(const QString &, const QString &prompt, const QStringList &lines, const QStringList &,
                  int chosen, const QString &, bool *optionChecked) override
    {
        prompts.append(prompt);
        informationLines.append(lines);
        if (optionChecked)
            *optionChecked = choiceToAll;
        return choiceAnswer < -1 ? chosen : choiceAnswer;
    }
    int choiceAnswer = -2; // -2: the preselected choice
    bool choiceToAll = false;
    void showInformation(const QString &caption, const QStringList &lines, const QString &prompt) override
    {
        informationCaptions.append(caption);
        informationLines.append(lines);
        prompts.append(prompt);
    }
    void progressStart(const QString &label, int total) override;
    bool progressStep(int done) override;
    void progressEnd() override;
    void setHourglass(bool on) override { hourglass = on; }
    void setStatusText(const QString &text) override { statusTexts.append(text); }

    QStringList messages;
    QStringList informationCaptions;
    QList<QStringList> informationLines;
    QStringList prompts;
    QStringList questions;
    QStringList statusTexts;
    QList<int> progressSteps;
    bool answer = true;
    bool cancel = false; // a Yes/No/Cancel question is cancelled
    bool cancelAtStep = false;
    bool hourglass = false;
};

} // namespace vk
