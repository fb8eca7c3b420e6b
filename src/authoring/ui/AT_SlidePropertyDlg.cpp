#include "AT_SlidePropertyDlg.h"

#include "AT_SlidePrefDlg.h"
#include "Connection.h"
#include "Icons.h"
#include "MaskedStatement.h"
#include "ObjectKinds.h"
#include "RecordStatements.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vk {

QIcon ObjectKindIcon(int kind)
{
    QString name;
    if (isImageKind(kind))
        name = QStringLiteral("image");
    else if (kind >= 100 && kind < 200)
        name = QStringLiteral("audio");
    else if (kind >= 200 && kind < 300)
        name = QStringLiteral("video");
    else
        switch (kind) {
        case ObjectKind::Text:
            name = QStringLiteral("text");
            break;
        case ObjectKind::Button:
            name = QStringLiteral("button");
            break;
        case ObjectKind::Memo:
            name = QStringLiteral("memo");
            break;
        case ObjectKind::Rectangle:
            name = QStringLiteral("rectangle");
            break;
        case ObjectKind::RoundRectangle:
            name = QStringLiteral("roundrect");
            break;
        case ObjectKind::Ellipse:
            name = QStringLiteral("ellipse");
            break;
        case ObjectKind::LineDown:
        case ObjectKind::LineUp:
            name = QStringLiteral("line");
            break;
        case ObjectKind::Polyline:
            name = QStringLiteral("polyline");
            break;
        default:
            return QIcon();
        }
    return vkIcon(name);
}

TSlidePropertyForm::TSlidePropertyForm(TDbClearBookList &books, const QString &workDir, QWidget *parent)
    : QDialog(parent), m_books(books)
{
    setWindowTitle(QStringLiteral("Slide Property"));
    auto *layout = new QVBoxLayout(this);
    pgcProperty = new QTabWidget;
    pgcProperty->setObjectName(QStringLiteral("pgcProperty"));
    layout->addWidget(pgcProperty);

    auto *general = new QWidget;
    auto *gl = new QFormLayout(general);
    TitleEdit = new QLineEdit;
    TitleEdit->setMaxLength(MaxAuthoringTitle);
    AuthorEdit = new QLineEdit;
    AuthorEdit->setMaxLength(MaxAuthoringTitle);
    Description = new QTextEdit;
    Description->setAcceptRichText(false);
    Description->setTabChangesFocus(true);
    gl->addRow(QStringLiteral("&Title:"), TitleEdit);
    gl->addRow(QStringLiteral("&Author:"), AuthorEdit);
    gl->addRow(QStringLiteral("&Description:"), Description);
    pgcProperty->addTab(general, QStringLiteral("&General"));

    auto *ending = new QWidget;
    auto *el = new QVBoxLayout(ending);
    rdbPause = new QRadioButton(QStringLiteral("&Pause"));
    rdbRepeat = new QRadioButton(QStringLiteral("&Repeat"));
    rdbSequence = new QRadioButton(QStringLiteral("&Sequence"));
    rdbJump = new QRadioButton(QStringLiteral("&Jump to Specific Slide"));
    trvJump = new QTreeWidget;
    trvJump->setObjectName(QStringLiteral("trvJump"));
    trvJump->setHeaderHidden(true);
    for (QRadioButton *r : {rdbPause, rdbRepeat, rdbSequence, rdbJump}) {
        el->addWidget(r);
        connect(r, &QRadioButton::toggled, this, &TSlidePropertyForm::endingChosen);
    }
    el->addWidget(trvJump);
    pgcProperty->addTab(ending, QStringLiteral("&Ending Action"));

    ObjectTreeView = new QTreeWidget;
    ObjectTreeView->setObjectName(QStringLiteral("ObjectTreeView"));
    ObjectTreeView->setHeaderHidden(true);
    pgcProperty->addTab(ObjectTreeView, QStringLiteral("&Objects"));

    background = new TSlideBackgroundBox(books.connection().ui(), workDir, true);
    pgcProperty->addTab(background, QStringLiteral("&Background"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ok"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A slide keeps a title.
    connect(TitleEdit, &QLineEdit::textChanged, this, [buttons](const QString &t) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!t.trimmed().isEmpty());
    });
    layout->addWidget(buttons);
    resize(560, 420);
}

void TSlidePropertyForm::endingChosen()
{
    const bool jump = rdbJump->isChecked();
    trvJump->setEnabled(jump);
}

void TSlidePropertyForm::fill(TDbSlide *slide)
{
    m_slide = slide;
    m_start = SlidePropertiesOf(slide->Rec);
    pgcProperty->setCurrentIndex(0);
    ObjectTreeView->clear();
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        if (!o->Rec.Removed) {
            auto *item = new QTreeWidgetItem(ObjectTreeView, {o->Rec.Title});
            item->setIcon(0, ObjectKindIcon(o->kind()));
        }
    TitleEdit->setText(slide->Rec.Slide_Title);
    TitleEdit->setModified(false);
    AuthorEdit->setText(slide->Rec.Slide_Author);
    AuthorEdit->setModified(false);
    // Emptied before every read, so that no other slide's text is shown or stored here.
    Description->clear();
    QString text;
    if (slide->DescribeChanged || !slide->isStored())
        text = readTextFile(slide->Rec.Slide_Describe);
    else
        ReadDescription(m_books.connection(), slide->Rec.OID, RecordKind::Slide, &text);
    Description->setPlainText(text);
    Description->document()->setModified(false);

    const int jump = slide->Rec.Jump_Slide_Id;
    for (QRadioButton *r : {rdbPause, rdbRepeat, rdbSequence, rdbJump}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
    if (jump >= 1)
        rdbJump->setChecked(true);
    else if (jump == EndingAction::Repeat)
        rdbRepeat->setChecked(true);
    else if (jump == EndingAction::Sequence)
        rdbSequence->setChecked(true);
    else if (jump == EndingAction::Pause)
        rdbPause->setChecked(true);
    trvJump->clear();
    for (TDbClearBook *cb : std::as_const(m_books.ClearBooks)) {
        auto *book = new QTreeWidgetItem(trvJump, {cb->Rec.CB_Title});
        book->setIcon(0, vkIcon(QStringLiteral("authoring")));
        book->setData(0, Qt::UserRole, QVariant::fromValue<void *>(cb));
        for (TDbSlide *s : std::as_const(cb->Slides)) {
            auto *item = new QTreeWidgetItem(book, {s->Rec.Slide_Title});
            item->setIcon(0, vkIcon(QStringLiteral("slide-new")));
            item->setData(0, Qt::UserRole, QVariant::fromValue<void *>(s));
            item->setData(0, Qt::UserRole + 1, true);
            // A slide never saved has no id to jump to yet.
            if (!s->isStored())
                item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            if (jump >= 1 && cb->Rec.CB_Id == slide->Rec.Jump_CB_Id && s->Rec.Slide_Id == jump)
                trvJump->setCurrentItem(item);
        }
    }
    trvJump->expandAll();
    endingChosen();
    background->fill(m_start);
}

SlideProperties TSlidePropertyForm::result() const
{
    SlideProperties p = m_start;
    p.title = TitleEdit->text();
    p.author = AuthorEdit->text();
    if (rdbPause->isChecked()) {
        p.jumpSlide = EndingAction::Pause;
    } else if (rdbRepeat->isChecked()) {
        p.jumpSlide = EndingAction::Repeat;
    } else if (rdbSequence->isChecked()) {
        p.jumpSlide = EndingAction::Sequence;
    } else if (rdbJump->isChecked()) {
        if (QTreeWidgetItem *item = trvJump->currentItem()) {
            if (item->data(0, Qt::UserRole + 1).toBool()) {
                auto *s = static_cast<TDbSlide *>(item->data(0, Qt::UserRole).value<void *>());
                p.jumpCB = s->Owner ? s->Owner->Rec.CB_Id : s->Rec.CB_Id;
                p.jumpSlide = s->Rec.Slide_Id;
            } else {
                p.jumpSlide = EndingAction::Pause;
            }
        }
    }
    if (p.jumpSlide <= 0)
        p.jumpCB = 0;
    return background->applyTo(p);
}

bool TSlidePropertyForm::descriptionModified() const
{
    return Description->document()->isModified();
}

QString TSlidePropertyForm::description() const
{
    return Description->toPlainText();
}

} // namespace vk
