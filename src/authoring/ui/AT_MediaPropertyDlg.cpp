#include "AT_MediaPropertyDlg.h"

#include "AT_DbClearbook.h"
#include "AT_SlidePropertyDlg.h"
#include "MediaTypes.h"
#include "ObjectKinds.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vk {

TMediaPropertyForm::TMediaPropertyForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Media Property"));
    auto *form = new QFormLayout(this);
    TitleEdit = new QLineEdit;
    TitleEdit->setMaxLength(MaxAuthoringTitle);
    MediaTypeEdit = new QLineEdit;
    MediaTypeEdit->setReadOnly(true);
    Image = new QLabel;
    auto *type = new QHBoxLayout;
    type->addWidget(MediaTypeEdit);
    type->addWidget(Image);
    form->addRow(QStringLiteral("&Title:"), TitleEdit);
    form->addRow(QStringLiteral("Media Type:"), type);
    auto *link = new QGroupBox(QStringLiteral("Link To Slide:"));
    auto *ll = new QFormLayout(link);
    CBLinkEdit = new QLineEdit;
    CBLinkEdit->setReadOnly(true);
    SlideLinkEdit = new QLineEdit;
    SlideLinkEdit->setReadOnly(true);
    ll->addRow(QStringLiteral("Clearbook:"), CBLinkEdit);
    ll->addRow(QStringLiteral("Slide:"), SlideLinkEdit);
    form->addRow(link);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(TitleEdit, &QLineEdit::textChanged, this, [buttons](const QString &t) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!t.trimmed().isEmpty());
    });
    form->addRow(buttons);
    setMinimumWidth(360);
}

QPair<QString, QString> TMediaPropertyForm::linkTexts(const TDbObject *o)
{
    switch (o->Rec.Obj_Link_SlideId) {
    case 0:
        return {QStringLiteral("None"), QStringLiteral("None")};
    case -1:
        return {QStringLiteral("-"), QStringLiteral("(Next)")};
    case -2:
        return {QStringLiteral("-"), QStringLiteral("(Previous)")};
    case -3:
        return {QStringLiteral("-"), QStringLiteral("(Backward)")};
    case -4:
        return {QStringLiteral("-"), QStringLiteral("(Replay)")};
    default:
        return {o->Rec.LinkClearBookTitle, o->Rec.LinkSlideTitle};
    }
}

void TMediaPropertyForm::fill(const TDbObject *o)
{
    TitleEdit->setText(o->Rec.Title);
    TitleEdit->selectAll();
    TitleEdit->setFocus();
    const int kind = o->kind();
    QString label = TypeLabel(kind);
    if (label.isEmpty() || !isMediaKind(kind))
        label = objectTypeName(kind);
    MediaTypeEdit->setText(label);
    Image->setPixmap(ObjectKindIcon(kind).pixmap(22, 22));
    const auto [book, slide] = linkTexts(o);
    CBLinkEdit->setText(book);
    SlideLinkEdit->setText(slide);
}

QString TMediaPropertyForm::title() const
{
    return TitleEdit->text().trimmed();
}

} // namespace vk
