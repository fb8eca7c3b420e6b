// The Stop flag's dialog: where the play ends.
#pragma once

#include "FlagForm.h"

namespace vk {

class TStopForm : public TFlagForm
{
    Q_OBJECT
public:
    explicit TStopForm(EditedSlide &edited, QWidget *parent = nullptr);
};

} // namespace vk
