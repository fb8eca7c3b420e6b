#include "PauseFormFile.h"

#include <QGroupBox>
#include <QLayout>
#include <QRadioButton>

namespace vk {

TPauseForm::TPauseForm(EditedSlide &edited, QWidget *parent)
    : TFlagForm(edited, FlagKind::Pause, QStringLiteral("Pause"), QStringLiteral("Pause Time"), false, parent)
{
    QGroupBox *way = addGroup(QStringLiteral("Cancel Pause Way"));
    AnyKey = new QRadioButton(QStringLiteral("Press Any Key"), way);
    MouseDown = new QRadioButton(QStringLiteral("Mouse Down"), way);
    way->layout()->addWidget(AnyKey);
    way->layout()->addWidget(MouseDown);
    MouseDown->setChecked(true);
}

void TPauseForm::fill(const TsFlag &flag)
{
    (flag.FlagActive ? AnyKey : MouseDown)->setChecked(true);
}

void TPauseForm::fillNew(int)
{
    MouseDown->setChecked(true);
}

bool TPauseForm::propose(TsFlag &flag, QString *)
{
    flag.FlagActive = AnyKey->isChecked();
    return true;
}

} // namespace vk
