#include "stopFormFile.h"

namespace vk {

TStopForm::TStopForm(EditedSlide &edited, QWidget *parent)
    : TFlagForm(edited, FlagKind::Stop, QStringLiteral("Stop"), QStringLiteral("Stop Time"), false, parent)
{
}

} // namespace vk
