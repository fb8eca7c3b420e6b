#include "JumpUnit.h"

#include "EditedSlide.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>

namespace vk {

TJumpForm::TJumpForm(EditedSlide &edited, QWidget *parent)
    : TFlagForm(edited, FlagKind::Jump, QStringLiteral("JumpForm"), QStringLiteral("Start Time"), true, parent)
{
    QGroupBox *to = addGroup(QStringLiteral("Jump To"));
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("Mark Name"), to);
    MarkList = new QComboBox(to);
    MarkList->setMinimumContentsLength(12);
    label->setBuddy(MarkList);
    row->addWidget(label);
    row->addWidget(MarkList, 1);
    static_cast<QBoxLayout *>(to->layout())->addLayout(row);
}

void TJumpForm::listLabels()
{
    MarkList->clear();
    for (const TDbFlag *f : m_edited.flags().Flags)
        if (f->kind() == FlagKind::Label)
            MarkList->addItem(f->Rec.Flag_Name);
    MarkList->setCurrentIndex(-1);
}

void TJumpForm::fill(const TsFlag &flag)
{
    listLabels();
    MarkList->setCurrentIndex(MarkList->findText(flag.Jump_To_MarkName));
}

void TJumpForm::fillNew(int)
{
    listLabels();
}

bool TJumpForm::propose(TsFlag &flag, QString *)
{
    // Nothing chosen proposes no destination, which the slide refuses with its reason.
    flag.Jump_To_MarkName = MarkList->currentIndex() < 0 ? QString() : MarkList->currentText();
    return true;
}

} // namespace vk
