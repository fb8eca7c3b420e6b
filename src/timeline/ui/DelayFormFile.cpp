#include "DelayFormFile.h"

#include <QGroupBox>
#include <QLayout>

namespace vk {

TDelayForm::TDelayForm(EditedSlide &edited, QWidget *parent)
    : TFlagForm(edited, FlagKind::Delay, QStringLiteral("DelayForm"), QStringLiteral("Start Time"), false, parent)
{
    QGroupBox *hold = addGroup(QStringLiteral("Hold Time"));
    HoldTime = new TTimeBoxes(99, 99, hold);
    hold->layout()->addWidget(HoldTime);
}

void TDelayForm::fill(const TsFlag &flag)
{
    HoldTime->setTime(flag.Time_Associated);
}

void TDelayForm::fillNew(int)
{
    HoldTime->setTime(100); // a second
}

bool TDelayForm::propose(TsFlag &flag, QString *why)
{
    return HoldTime->time(&flag.Time_Associated, why);
}

} // namespace vk
