#include "LabelUnit.h"

namespace vk {

TLabelForm::TLabelForm(EditedSlide &edited, QWidget *parent)
    : TFlagForm(edited, FlagKind::Label, QStringLiteral("LabelForm"), QStringLiteral("Start Time"), true, parent)
{
}

} // namespace vk
