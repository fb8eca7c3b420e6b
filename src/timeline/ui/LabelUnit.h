// The Label flag's dialog: a named place that jumps go to.
#pragma once

#include "FlagForm.h"

namespace vk {

class TLabelForm : public TFlagForm
{
    Q_OBJECT
public:
    explicit TLabelForm(EditedSlide &edited, QWidget *parent = nullptr);
};

} // namespace vk
