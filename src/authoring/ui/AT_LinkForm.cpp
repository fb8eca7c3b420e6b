#include "AT_LinkForm.h"

#include "Connection.h"
#include "Icons.h"
#include "MaskedStatement.h"
#include "RecordStatements.h"
#include "UiServices.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QFile>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vk {

namespace {

const QString None = QStringLiteral("<None>");

struct FixedKind
{
    int code;
    const char *text;
};
const FixedKind FixedKinds[] = {{-1, "<Next>"}, {-2, "<Previous>"}, {-3, "<Backward>"}, {-4, "<Replay>"}};

} // namespace

TLinkForm::TLinkForm(TDbClearBookList &books, QWidget *parent) : QDialog(parent), m_books(books)
{
    setWindowTitle(QStringLiteral("Link to"));
    auto *layout = new QGridLayout(this);
    auto *from = new QGroupBox(QStringLiteral("Link from object(s):"));
    auto *fl = new QFormLayout(from);
    labSourceBook = new QLabel(QStringLiteral("???"));
    labSourceSlide = new QLabel(QStringLiteral("???"));
    labSourceObject = new QLabel(QStringLiteral("???"));
    fl->addRow(QStringLiteral("Clearbook:"), labSourceBook);
    fl->addRow(QStringLiteral("Slide:"), labSourceSlide);
    fl->addRow(QStringLiteral("Object:"), labSourceObject);
    layout->addWidget(from, 0, 0);

    auto *kinds = new QGroupBox;
    auto *kl = new QVBoxLayout(kinds);
    rdbNext = new QRadioButton(QStringLiteral("Sequential &Next"));
    rdbPrevious = new QRadioButton(QStringLiteral("Sequential &Previous"));
    rdbBackward = new QRadioButton(QStringLiteral("&Backward"));
    rdbReplay = new QRadioButton(QStringLiteral("&Replay"));
    rdbSelect = new QRadioButton(QStringLiteral("&Select a slide to link:"));
    for (QRadioButton *r : {rdbNext, rdbPrevious, rdbBackward, rdbReplay, rdbSelect}) {
        kl->addWidget(r);
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on && !m_filling)
                kindChosen();
        });
    }
    trvSlides = new QTreeWidget;
    trvSlides->setHeaderHidden(true);
    kl->addWidget(trvSlides);
    layout->addWidget(kinds, 1, 0, 2, 1);

    auto *to = new QGroupBox(QStringLiteral("Link to slide:"));
    auto *tl = new QFormLayout(to);
    labLinkBook = new QLabel(None);
    labLinkSlide = new QLabel(None);
    tl->addRow(QStringLiteral("Clearbook:"), labLinkBook);
    tl->addRow(QStringLiteral("Slide:"), labLinkSlide);
    layout->addWidget(to, 0, 1);

    auto *details = new QGroupBox;
    auto *dl = new QFormLayout(details);
    labAuthor = new QLabel;
    labDescription = new QLabel;
    labDescription->setWordWrap(true);
    dl->addRow(QStringLiteral("Author:"), labAuthor);
    dl->addRow(QStringLiteral("Description:"), labDescription);
    layout->addWidget(details, 1, 1);

    auto *actions = new QVBoxLayout;
    btnChange = new QPushButton(QStringLiteral("C&hange Link"));
    btnClear = new QPushButton(QStringLiteral("C&lear Link"));
    btnNewSlide = new QPushButton(QStringLiteral("Ne&w Slide to Link..."));
    actions->addWidget(btnChange);
    actions->addWidget(btnClear);
    actions->addWidget(btnNewSlide);
    actions->addStretch();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    actions->addWidget(buttons);
    layout->addLayout(actions, 2, 1);

    m_details = new QTimer(this);
    m_details->setSingleShot(true);
    m_details->setInterval(300);
    connect(m_details, &QTimer::timeout, this, &TLinkForm::showDetails);
    connect(trvSlides, &QTreeWidget::currentItemChanged, m_details, qOverload<>(&QTimer::start));
    connect(trvSlides, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (item && item->parent())
            changeLink();
    });
    connect(btnChange, &QPushButton::clicked, this, &TLinkForm::changeLink);
    connect(btnClear, &QPushButton::clicked, this, &TLinkForm::clearLink);
    connect(btnNewSlide, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QString title = QInputDialog::getText(this, QStringLiteral("New Slide"), QStringLiteral("Title:"),
                                                    QLineEdit::Normal, QString(), &ok);
        if (ok && !title.trimmed().isEmpty())
            newSlideToLink(title.trimmed(), QString(), QString());
    });
}

void TLinkForm::fill(const QList<TDbObject *> &objects)
{
    m_filling = true;
    const TDbObject *first = objects.value(0);
    const TDbSlide *slide = first ? first->Owner : nullptr;
    m_sourceBook = slide ? slide->Owner : nullptr;
    labSourceBook->setText(m_sourceBook ? m_sourceBook->Rec.CB_Title : QStringLiteral("???"));
    labSourceSlide->setText(slide ? slide->Rec.Slide_Title : QStringLiteral("???"));
    labSourceObject->setText(objects.size() > 1 ? QStringLiteral("(Multiple)")
                                                : (first ? first->Rec.Title : QStringLiteral("???")));
    trvSlides->clear();
    QTreeWidgetItem *current = nullptr;
    const int link = first ? first->Rec.Obj_Link_SlideId : 0;
    const int linkCB = first ? first->Rec.Obj_Link_CBId : 0;
    for (TDbClearBook *cb : std::as_const(m_books.ClearBooks)) {
        auto *book = new QTreeWidgetItem(trvSlides, {cb->Rec.CB_Title});
        book->setIcon(0, vkIcon(QStringLiteral("authoring")));
        book->setData(0, Qt::UserRole, QVariant::fromValue<void *>(cb));
        for (TDbSlide *s : std::as_const(cb->Slides)) {
            auto *item = new QTreeWidgetItem(book, {s->Rec.Slide_Title});
            item->setIcon(0, vkIcon(QStringLiteral("slide-new")));
            item->setData(0, Qt::UserRole, QVariant::fromValue<void *>(s));
            if (!s->isStored())
                item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            if (link > 0 && s->Rec.Slide_Id == link && cb->Rec.CB_Id == linkCB)
                current = item;
        }
    }
    trvSlides->expandAll();
    m_cbId = 0;
    m_slideId = link;
    switch (link) {
    case -1:
        rdbNext->setChecked(true);
        break;
    case -2:
        rdbPrevious->setChecked(true);
        break;
    case -3:
        rdbBackward->setChecked(true);
        break;
    case -4:
        rdbReplay->setChecked(true);
        break;
    default:
        rdbSelect->setChecked(true);
        break;
    }
    m_filling = false;
    kindChosen();
    if (link > 0 && first) {
        m_cbId = linkCB;
        m_slideId = link;
        labLinkBook->setText(first->Rec.LinkClearBookTitle);
        labLinkSlide->setText(first->Rec.LinkSlideTitle);
        if (current)
            trvSlides->setCurrentItem(current);
    } else if (link == 0) {
        m_slideId = 0;
        labLinkBook->setText(None);
        labLinkSlide->setText(None);
    }
}

void TLinkForm::kindChosen()
{
    const bool select = rdbSelect->isChecked();
    trvSlides->setEnabled(select);
    btnChange->setEnabled(select);
    if (select) {
        m_cbId = 0;
        m_slideId = 0;
        labLinkBook->setText(None);
        labLinkSlide->setText(None);
        return;
    }
    const QRadioButton *chosen[] = {rdbNext, rdbPrevious, rdbBackward, rdbReplay};
    for (int i = 0; i < 4; ++i)
        if (chosen[i]->isChecked())
            setTarget(0, FixedKinds[i].code, QStringLiteral("-"), QLatin1String(FixedKinds[i].text));
}

void TLinkForm::setTarget(int cbId, int slideId, const QString &book, const QString &slide)
{
    m_cbId = cbId;
    m_slideId = slideId;
    labLinkBook->setText(book);
    labLinkSlide->setText(slide);
}

QString TLinkForm::clearBookText() const
{
    return labLinkBook->text();
}

QString TLinkForm::slideText() const
{
    return labLinkSlide->text();
}

bool TLinkForm::changeLink()
{
    QTreeWidgetItem *item = trvSlides->currentItem();
    if (!item)
        return false;
    if (!item->parent()) {
        if (UiServices *ui = m_books.connection().ui())
            ui->showMessage(QStringLiteral("Unable to link clearbook!"));
        return false;
    }
    auto *s = static_cast<TDbSlide *>(item->data(0, Qt::UserRole).value<void *>());
    if (!s->isStored())
        return false;
    const int cbId = s->Owner ? s->Owner->Rec.CB_Id : s->Rec.CB_Id;
    setTarget(cbId, s->Rec.Slide_Id, m_books.ClearBookTitle(cbId), m_books.SlideTitle(s->Rec.Slide_Id));
    return true;
}

void TLinkForm::clearLink()
{
    setTarget(0, 0, None, None);
}

bool TLinkForm::newSlideToLink(const QString &title, const QString &author, const QString &description)
{
    TDbClearBook *cb = m_sourceBook;
    if (!cb)
        return false;
    rdbSelect->setChecked(true);
    TDbSlide *s = m_books.NewSlide(cb, title);
    if (!s)
        return false;
    s->Rec.Slide_Author = author;
    if (!description.isEmpty()) {
        s->Rec.Slide_Describe = m_books.DescriptionWorkFile(s);
        QFile f(s->Rec.Slide_Describe);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(description.toUtf8());
        s->DescribeChanged = true;
    }
    if (!m_books.SaveSlide(s)) {
        m_books.RemoveSlide(cb->Slides, s);
        return false;
    }
    QTreeWidgetItem *book = nullptr;
    for (int i = 0; i < trvSlides->topLevelItemCount(); ++i)
        if (trvSlides->topLevelItem(i)->data(0, Qt::UserRole).value<void *>() == cb)
            book = trvSlides->topLevelItem(i);
    if (book) {
        auto *item = new QTreeWidgetItem(book, {s->Rec.Slide_Title});
        item->setIcon(0, vkIcon(QStringLiteral("slide-new")));
        item->setData(0, Qt::UserRole, QVariant::fromValue<void *>(s));
        trvSlides->setCurrentItem(item);
    }
    setTarget(cb->Rec.CB_Id, s->Rec.Slide_Id, cb->Rec.CB_Title, s->Rec.Slide_Title);
    return true;
}

void TLinkForm::showDetails()
{
    labAuthor->clear();
    labDescription->clear();
    QTreeWidgetItem *item = trvSlides->currentItem();
    if (!item)
        return;
    QString text;
    if (!item->parent()) {
        auto *cb = static_cast<TDbClearBook *>(item->data(0, Qt::UserRole).value<void *>());
        labAuthor->setText(cb->Rec.CB_Author);
        ReadDescription(m_books.connection(), cb->Rec.OID, RecordKind::ClearBook, &text);
    } else {
        auto *s = static_cast<TDbSlide *>(item->data(0, Qt::UserRole).value<void *>());
        labAuthor->setText(s->Rec.Slide_Author);
        if (s->isStored() && !s->DescribeChanged)
            ReadDescription(m_books.connection(), s->Rec.OID, RecordKind::Slide, &text);
        else
            text = readTextFile(s->Rec.Slide_Describe);
    }
    labDescription->setText(text);
}

} // namespace vk
