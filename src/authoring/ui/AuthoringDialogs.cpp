// The authoring window's slide explorer and the dialogs of its ClearBook, slide and object
// commands: how each is opened, and where what it collects is stored.
#include "AT_CBPropertyDlg.h"
#include "AT_DrawAttribute.h"
#include "AT_InsertMemo.h"
#include "AT_InsertText.h"
#include "AT_LinkForm.h"
#include "AT_MediaPropertyDlg.h"
#include "AT_OpenClearBook.h"
#include "AT_SlideExplorer.h"
#include "AT_SlidePrefDlg.h"
#include "AT_SlidePropertyDlg.h"
#include "Authormain.h"
#include "Connection.h"
#include "MediaTypes.h"
#include "ObjectKinds.h"
#include "RecordStatements.h"
#include "SlideBack.h"
#include "UiServices.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTreeView>

namespace vk {

namespace {

// The private work directory the connection's temporary files go to.
QString workDirOf(const Connection &c)
{
    return QFileInfo(c.tempFilePrefix() + QStringLiteral("x")).absolutePath();
}

} // namespace

void TAuthorMain::createSlideExplorer()
{
    m_explorer = new TSlideExplorer(*this);
    // The explorer's Play plays the slide chosen there.
    m_explorer->setPlayEnabled(true);
    connect(m_explorer, &TSlideExplorer::playRequested, this, [this](TDbSlide *slide) { PlaySlide(slide); });
    connect(m_explorer, &TSlideExplorer::selectionChanged, this, [this] {
        updateDialogItems();
        if (m_frame.changed)
            m_frame.changed();
    });
    // The surface shows the open slide's background as its properties give it.
    connect(&m_edited, &EditedSlide::slidePropertiesChanged, this, [this] {
        if (m_edited.slide() && !playing())
            m_surface->ShowSlide(m_edited.slide());
        setStatusTip(statusText());
    });
}

TSlideExplorer *TAuthorMain::slideExplorer() const
{
    return m_explorer.data();
}

bool TAuthorMain::explorerActive() const
{
    return m_explorer && m_explorer->isActiveView();
}

TDbSlide *TAuthorMain::targetSlide() const
{
    // With a ClearBook or nothing chosen in the explorer, the open slide is still the one.
    if (explorerActive() && m_explorer->selectedSlide())
        return m_explorer->selectedSlide();
    return m_books.ActiveSlide;
}

void TAuthorMain::wireAuthoringDialogs()
{
    auto item = [this](const char *name) { return m_actions.value(QLatin1String(name)); };
    auto reconnect = [this](QAction *a, auto slot) {
        if (!a)
            return;
        disconnect(a, &QAction::triggered, nullptr, nullptr);
        connect(a, &QAction::triggered, this, slot);
    };
    auto *open = new QAction(QStringLiteral("&Open..."), this);
    open->setObjectName(QStringLiteral("muiOpenClearBook"));
    m_clearBookMenu->insertAction(item("muiDeleteClearBook"), open);
    m_actions.insert(open->objectName(), open);
    connect(open, &QAction::triggered, this, &TAuthorMain::OpenClearBookDialog);
    reconnect(item("muiClearBookProperty"), [this] {
        TDbClearBook *cb = explorerActive() ? m_explorer->selectedClearBook() : nullptr;
        if (!cb)
            cb = m_books.ActiveClearBook;
        ClearBookPropertyDialog(cb);
    });
    reconnect(item("muiSlideProperty"), [this] { SlidePropertyDialog(targetSlide()); });
    auto *preference = addAction(m_slideMenu, QStringLiteral("muiSlidePreference"), QStringLiteral("&Preference..."));
    connect(preference, &QAction::triggered, this, &TAuthorMain::PreferenceDialog);
    auto *property = new QAction(QStringLiteral("P&roperty..."), this);
    property->setObjectName(QStringLiteral("muiObjectProperty"));
    m_objectMenu->insertAction(item("muiBringToFront"), property);
    m_actions.insert(property->objectName(), property);
    connect(property, &QAction::triggered, this, [this] {
        const QList<TDbObject *> chosen = selected();
        if (!chosen.isEmpty())
            MediaPropertyDialog(chosen.last());
    });
    reconnect(item("muiAttrLinkTo"), [this] { LinkToDialog(); });
    auto askCaption = [this] {
        const QList<TDbObject *> chosen = selected();
        TInsertTextForm form(chosen.isEmpty() ? QString() : chosen.first()->Rec.Caption, this);
        if (form.exec() == QDialog::Accepted)
            SetCaption(form.text());
    };
    reconnect(item("muiAttrInsertLabelText"), askCaption);
    reconnect(item("muiAttrCaption"), askCaption);
    reconnect(item("muiAttrInsertMemoText"), [this] {
        const QList<TDbObject *> chosen = selected();
        const TDbObject *first = chosen.value(0);
        TMemoForm form(first && first->HasMemoText ? first->MemoText : QString(), this);
        if (form.exec() == QDialog::Accepted)
            SetMemoText(form.text());
    });
    for (QMenu *m : {m_clearBookMenu, m_slideMenu, m_objectMenu})
        connect(m, &QMenu::aboutToShow, this, &TAuthorMain::updateDialogItems);
    connect(&m_edited, &EditedSlide::stateChanged, this, &TAuthorMain::updateDialogItems);
    connect(&m_edited, &EditedSlide::slideChanged, this, &TAuthorMain::updateDialogItems);
    connect(&m_edited, qOverload<>(&EditedSlide::selectionChanged), this, &TAuthorMain::updateDialogItems);
    updateDialogItems();
}

void TAuthorMain::updateDialogItems()
{
    auto set = [this](const char *name, bool on) {
        if (QAction *a = m_actions.value(QLatin1String(name)))
            a->setEnabled(on);
    };
    const bool explorer = explorerActive();
    set("muiOpenClearBook", !m_books.ClearBooks.isEmpty());
    set("muiClearBookProperty", (explorer && m_explorer->selectedClearBook()) || m_books.ActiveClearBook);
    set("muiSlideProperty", targetSlide() != nullptr && !playing());
    set("muiSlidePreference", m_books.ActiveSlide != nullptr && !playing());
    set("muiObjectProperty", m_books.ActiveSlide && !m_books.ActiveSlide->Selection.isEmpty());
}

void TAuthorMain::newSlideDialogFor(TDbClearBook *cb)
{
    // The dialog offers the ClearBook first; it becomes the active one with the new slide.
    TDbClearBook *was = m_books.ActiveClearBook;
    TDbSlide *before = m_books.ActiveSlide;
    if (cb)
        m_books.ActiveClearBook = cb;
    newSlideDialog();
    if (m_books.ActiveSlide == before)
        m_books.ActiveClearBook = was;
}

bool TAuthorMain::OpenClearBookDialog()
{
    if (m_books.ClearBooks.isEmpty()) {
        m_ui.showMessage(QStringLiteral("No clearbook,You must create a clearbook first."));
        return false;
    }
    TOpenClearBookDlg dialog(m_books, this);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen())
        return false;
    TDbClearBook *cb = dialog.chosen();
    if (!CloseSlide())
        return false;
    m_edited.setClearBook(cb);
    if (m_explorer) {
        m_explorer->select(cb);
        m_explorer->tree()->expand(m_explorer->tree()->currentIndex());
    }
    setStatusTip(statusText());
    UpdateMenuItems();
    return true;
}

bool TAuthorMain::SetSlideProperties(TDbSlide *slide, const SlideProperties &p, const QString *description)
{
    if (!slide)
        return false;
    if (slide == m_books.ActiveSlide) {
        if (!description && SlidePropertiesOf(slide->Rec) == p)
            return true; // nothing to change
        const bool made = m_edited.requestSetSlideProperties(p, description);
        UpdateMenuItems();
        return made;
    }
    return m_books.SetSlideProperties(slide, p, description);
}

bool TAuthorMain::SlidePropertyDialog(TDbSlide *slide)
{
    if (!slide)
        return false;
    TSlidePropertyForm form(m_books, workDirOf(m_connection), this);
    form.fill(slide);
    if (form.exec() != QDialog::Accepted)
        return false;
    const QString text = form.description();
    return SetSlideProperties(slide, form.result(), form.descriptionModified() ? &text : nullptr);
}

bool TAuthorMain::ClearBookPropertyDialog(TDbClearBook *cb)
{
    if (!cb)
        return false;
    TCBPropertyForm form(m_books, this);
    form.fill(cb);
    if (form.exec() != QDialog::Accepted)
        return false;
    const bool ok = form.apply();
    setStatusTip(statusText());
    return ok;
}

bool TAuthorMain::MediaPropertyDialog(TDbObject *o)
{
    if (!o)
        return false;
    TMediaPropertyForm form(this);
    form.fill(o);
    if (form.exec() != QDialog::Accepted || form.title() == o->Rec.Title)
        return false;
    return RenameObject(o, form.title());
}

bool TAuthorMain::RenameObject(TDbObject *o, const QString &title)
{
    if (!o || title.trimmed().isEmpty() || title.size() > MaxAuthoringTitle)
        return false;
    if (title == o->Rec.Title)
        return true;
    if (o->Owner && o->Owner == m_books.ActiveSlide) {
        const bool made = m_edited.requestSetTitle(o, title);
        UpdateMenuItems();
        return made;
    }
    if (o->isStored() && !WriteTitle(m_connection, o->Rec.OID, title, RecordKind::Object))
        return false;
    o->Rec.Title = title;
    o->Rec.Hint = TypeLabel(o->kind()) + title;
    if (o->Owner)
        m_books.views().slideRefreshed(o->Owner);
    return true;
}

bool TAuthorMain::SetObjectLink(TDbObject *o, int cbId, int slideId)
{
    if (!o || (o->Rec.Obj_Link_CBId == cbId && o->Rec.Obj_Link_SlideId == slideId))
        return false;
    if (o->isStored() && !m_books.SetLinkRow(o->Rec.OID, cbId, slideId))
        return false;
    o->Rec.Obj_Link_CBId = cbId;
    o->Rec.Obj_Link_SlideId = slideId;
    o->Rec.LinkClearBookTitle = cbId ? m_books.ClearBookTitle(cbId) : QString();
    o->Rec.LinkSlideTitle = slideId > 0 ? m_books.SlideTitle(slideId) : QString();
    return true;
}

bool TAuthorMain::LinkToDialog(TDbObject *o)
{
    QList<TDbObject *> objects;
    if (o)
        objects = {o};
    else
        objects = selected();
    if (objects.isEmpty())
        return false;
    TLinkForm form(m_books, this);
    form.fill(objects);
    if (form.exec() != QDialog::Accepted)
        return false;
    const int cbId = form.linkCBId(), slideId = form.linkSlideId();
    if (objects.first()->Owner == m_books.ActiveSlide) {
        if (o)
            m_edited.selectOnly(o);
        SetLink(cbId, slideId);
        return true;
    }
    bool any = false;
    for (TDbObject *x : std::as_const(objects))
        any = SetObjectLink(x, cbId, slideId) || any;
    return any;
}

bool TAuthorMain::PreferenceDialog()
{
    TDbSlide *slide = m_books.ActiveSlide;
    if (!slide) {
        m_ui.showMessage(QStringLiteral("No active slide, Please open an existing slide, or create a new slide."));
        return false;
    }
    TPreferenceDlg dialog(&m_ui, workDirOf(m_connection), this);
    const SlideProperties now = SlidePropertiesOf(slide->Rec);
    dialog.fill(now);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return SetSlideProperties(slide, dialog.result(now));
}

bool TAuthorMain::GraphicAttributeDialog()
{
    QList<TDbObject *> shapes;
    for (TDbObject *o : selected())
        if (isShapeKind(o->kind()))
            shapes.append(o);
    if (shapes.isEmpty())
        return false;
    TDrawAttributeFrm dialog(shapes, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return SetGraphicChoice(dialog.choice());
}

bool TAuthorMain::SetGraphicChoice(const GraphicChoice &choice)
{
    if (const QString refusal = GraphicChoiceRefusal(choice); !refusal.isEmpty()) {
        m_ui.showMessage(refusal);
        return false;
    }
    const bool made = m_edited.requestSetGraphicAttributes(choice);
    UpdateMenuItems();
    return made;
}

} // namespace vk
