#include "RecordingUi.h"

namespace vk {

void RecordingUi::showMessage(const QString &text, Icon)
{
    messages.append(text);
}

bool RecordingUi::askYesNo(const QString &text)
{
    questions.append(text);
    return answer;
}

bool RecordingUi::askOkCancel(const QString &text, Icon)
{
    questions.append(text);
    return answer;
}

void RecordingUi::progressStart(const QString &, int)
{
    progressSteps.clear();
}

bool RecordingUi::progressStep(int done)
{
    progressSteps.append(done);
    return !cancelAtStep;
}

void RecordingUi::progressEnd() {}

} // namespace vk
