// The Delay flag's dialog: where the play holds, and for how long.
#pragma once

#include "FlagForm.h"

namespace vk {

class TDelayForm : public TFlagForm
{
    Q_OBJECT
public:
    explicit TDelayForm(EditedSlide &edited, QWidget *parent = nullptr);
    TTimeBoxes *HoldTime;

protected:
    void fill(const TsFlag &flag) override;
    void fillNew(int time) override;
    bool propose(TsFlag &flag, QString *why) override;
};

} // namespace vk
