#include "LoopUnit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLayout>
#include <QRadioButton>

namespace vk {

TLoopForm::TLoopForm(EditedSlide &edited, QWidget *parent)
    : TFlagForm(edited, FlagKind::LoopStart, QStringLiteral("LoopForm"), QStringLiteral("Start Time"), true, parent)
{
    QGroupBox *end = addGroup(QStringLiteral("End Time"));
    EndTime = new TTimeBoxes(100, 100, end);
    end->layout()->addWidget(EndTime);
    QGroupBox *types = addGroup(QStringLiteral("Loop Types "));
    auto *grid = new QGridLayout;
    LimitTimeButton = new QRadioButton(QStringLiteral("Limit Time"), types);
    TimesButton = new QRadioButton(QStringLiteral("Times"), types);
    LimitTime = new TTimeBoxes(100, 100, types);
    Count = new TLimitedSpin(0, 9999, types);
    Count->setValue(1);
    grid->addWidget(LimitTimeButton, 0, 0);
    grid->addWidget(LimitTime, 0, 1);
    grid->addWidget(TimesButton, 1, 0);
    grid->addWidget(Count, 1, 1, Qt::AlignLeft);
    static_cast<QBoxLayout *>(types->layout())->addLayout(grid);
    LimitTimeButton->setChecked(true);
}

void TLoopForm::fill(const TsFlag &flag)
{
    EndTime->setTime(flag.Loop_EndTime);
    if (flag.FlagActive) {
        Count->setValue(flag.Time_Associated);
        TimesButton->setChecked(true);
    } else {
        LimitTime->setTime(flag.Time_Associated);
        LimitTimeButton->setChecked(true);
    }
}

void TLoopForm::fillNew(int time)
{
    EndTime->setTime(time + 100);
    LimitTime->setTime(100);
    LimitTimeButton->setChecked(true);
}

bool TLoopForm::propose(TsFlag &flag, QString *why)
{
    if (!EndTime->time(&flag.Loop_EndTime, why))
        return false;
    flag.FlagActive = TimesButton->isChecked();
    if (flag.FlagActive) {
        if (Count->value() < 0) {
            *why = QStringLiteral("A loop cannot repeat a negative number of times.");
            return false;
        }
        flag.Time_Associated = Count->value();
        return true;
    }
    return LimitTime->time(&flag.Time_Associated, why);
}

} // namespace vk
