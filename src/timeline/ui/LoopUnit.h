// The Loop flag's dialog: the stretch that repeats, and whether it repeats a number of times
// or for a total time. The loop's end marker follows what is set here.
#pragma once

#include "FlagForm.h"

class QRadioButton;

namespace vk {

class TLoopForm : public TFlagForm
{
    Q_OBJECT
public:
    explicit TLoopForm(EditedSlide &edited, QWidget *parent = nullptr);
    TTimeBoxes *EndTime, *LimitTime;
    QRadioButton *LimitTimeButton, *TimesButton;
    TLimitedSpin *Count;

protected:
    void fill(const TsFlag &flag) override;
    void fillNew(int time) override;
    bool propose(TsFlag &flag, QString *why) override;
};

} // namespace vk
