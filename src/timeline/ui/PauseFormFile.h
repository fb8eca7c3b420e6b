// The Pause flag's dialog: where the play waits, and whether a key or a click goes on.
#pragma once

#include "FlagForm.h"

class QRadioButton;

namespace vk {

class TPauseForm : public TFlagForm
{
    Q_OBJECT
public:
    explicit TPauseForm(EditedSlide &edited, QWidget *parent = nullptr);
    QRadioButton *AnyKey, *MouseDown;

protected:
    void fill(const TsFlag &flag) override;
    void fillNew(int time) override;
    bool propose(TsFlag &flag, QString *why) override;
};

} // namespace vk
