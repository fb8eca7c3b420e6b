#include "EditedSlide.h"

#include "Connection.h"
#include "DbFolder.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "ObjectKinds.h"
#include "SlideExplorerRules.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

namespace vk {

namespace {

// The surface's zoom is an area percentage: lengths scale by its square root.
double linearScale(double surfaceZoom)
{
    return std::sqrt(std::max(surfaceZoom, 1.0) / 100.0);
}

QRect displayRect(const TDbObject *o)
{
    const TsObject &r = o->Rec;
    return QRect(r.Left, r.Top, std::max(1, r.Width), std::max(1, r.Height));
}

// What undo and redo restore of an object: what the person sees and edits, not where its row
// and its file are kept, which a save may have changed since the step was taken.
void restoreEditable(TsObject &into, const TsObject &from)
{
    const TsObject keep = into;
    into = from;
    into.OID = keep.OID;
    into.Id = keep.Id;
    into.CB_Id = keep.CB_Id;
    into.Slide_Id = keep.Slide_Id;
    into.Obj_Flag = keep.Obj_Flag;
    into.Obj_Media = keep.Obj_Media;
    into.Uncommitted = keep.Uncommitted;
}

} // namespace

EditedSlide::EditedSlide(TDbClearBookList &books, QObject *parent)
    : QObject(parent), m_books(books), m_flags(books.connection())
{
    m_books.setViews(this);
}

EditedSlide::~EditedSlide()
{
    m_books.setViews(nullptr);
}

// ---------------------------------------------------------------------------------------------
// What is there

QList<TDbObject *> EditedSlide::objects() const
{
    QList<TDbObject *> shown;
    if (TDbSlide *s = slide())
        for (TDbObject *o : std::as_const(s->Objects.Objects))
            if (!o->Rec.Removed)
                shown.append(o);
    return shown;
}

QList<TDbObject *> EditedSlide::selection() const
{
    return slide() ? slide()->Selection : QList<TDbObject *>();
}

QList<TDbObject *> EditedSlide::selectionInStackOrder() const
{
    QList<TDbObject *> chosen = selection();
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const TDbObject *a, const TDbObject *b) { return a->Rec.Index < b->Rec.Index; });
    return chosen;
}

int EditedSlide::maxTime() const
{
    return slide() ? SlideMaxTime(slide()) : 0;
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

void EditedSlide::setClearBook(TDbClearBook *cb)
{
    m_books.ActiveClearBook = cb;
    emit stateChanged();
}

TDbSlide *EditedSlide::openNew(TDbClearBook *cb, const QString &title, const QString &author,
                               const QString &description)
{
    if (!cb || slide())
        return nullptr;
    TDbSlide *s = m_books.NewSlide(cb, title);
    s->Rec.Slide_Author = author;
    if (!description.isEmpty()) {
        // The description goes in with the slide's row, from a work file.
        const Connection &c = m_books.connection();
        const QString file = (c.tempFilePrefix().isEmpty() ? QDir::tempPath() + QLatin1Char('/')
                                                          : c.tempFilePrefix()) +
                             QStringLiteral("SlideDescription");
        QFile::remove(file);
        QFile f(file);
        if (f.open(QIODevice::WriteOnly) && f.write(description.toUtf8()) >= 0) {
            s->Rec.Slide_Describe = file;
            s->DescribeChanged = true;
        }
    }
    m_books.ActiveClearBook = cb;
    m_books.ActiveSlide = s;
    clearHistory();
    m_flags.ClearFlags();
    // A new slide always asks to be saved.
    m_books.SlideModified = true;
    emit slideChanged();
    emit flagsChanged();
    emit stateChanged();
    return s;
}

bool EditedSlide::open(TDbSlide *s)
{
    if (!s || slide())
        return false;
    m_books.ActiveClearBook = s->Owner;
    m_books.ActiveSlide = s;
    m_books.SlideModified = false;
    clearHistory();
    loadFlags();
    for (TDbObject *o : std::as_const(s->Objects.Objects))
        if (!o->Rec.Removed) {
            prepare(o);
            m_books.ApplyDisplayGeometry(o);
        }
    emit slideChanged();
    emit flagsChanged();
    emit stateChanged();
    return true;
}

bool EditedSlide::save()
{
    TDbSlide *s = slide();
    if (!s)
        return false;
    const bool ok = m_books.SaveSlide(s);
    if (ok)
        m_books.SlideModified = false;
    emit objectsChanged();
    emit flagsChanged(); // flags another program stored meanwhile joined the slide's
    emit stateChanged();
    return ok;
}

bool EditedSlide::close()
{
    TDbSlide *s = slide();
    if (!s)
        return true;
    m_pending.reset();
    if (!m_books.CloseSlide(s, m_books.SlideModified)) {
        // The save failed: the slide stays open with its changes.
        emit reset();
        emit stateChanged();
        return false;
    }
    clearHistory();
    m_books.ActiveSlide = nullptr;
    m_books.SlideModified = false;
    m_flags.ClearFlags();
    emit slideChanged();
    emit flagsChanged();
    emit stateChanged();
    return true;
}

void EditedSlide::setZoom(double zoom)
{
    m_books.SurfaceZoom = zoom;
    if (TDbSlide *s = slide())
        for (TDbObject *o : std::as_const(s->Objects.Objects))
            m_books.ApplyDisplayGeometry(o);
    emit objectsChanged();
}

void EditedSlide::loadFlags()
{
    m_flags.ClearFlags();
    if (TDbSlide *s = slide(); s && s->isStored())
        m_flags.LoadFlags(s);
}

// ---------------------------------------------------------------------------------------------
// The selection

void EditedSlide::selectOnly(TDbObject *o)
{
    setSelection(o ? QList<TDbObject *>{o} : QList<TDbObject *>());
}

void EditedSlide::addToSelection(TDbObject *o)
{
    TDbSlide *s = slide();
    if (!s || !o || o->Owner != s || o->Rec.Removed || s->Selection.contains(o))
        return;
    s->Selection.append(o);
    o->Selected = true;
    emit selectionChanged();
}

void EditedSlide::deselect(TDbObject *o)
{
    TDbSlide *s = slide();
    if (!s || !o || !s->Selection.removeOne(o))
        return;
    o->Selected = false;
    emit selectionChanged();
}

void EditedSlide::clearSelection()
{
    setSelection({});
}

void EditedSlide::selectAll()
{
    setSelection(objects());
}

void EditedSlide::setSelection(const QList<TDbObject *> &chosen)
{
    TDbSlide *s = slide();
    if (!s)
        return;
    for (TDbObject *o : std::as_const(s->Selection))
        o->Selected = false;
    s->Selection.clear();
    for (TDbObject *o : chosen)
        if (o && o->Owner == s && !o->Rec.Removed && !s->Selection.contains(o)) {
            s->Selection.append(o);
            o->Selected = true;
        }
    emit selectionChanged();
}

void EditedSlide::selectFlag(TDbFlag *flag)
{
    if (flag && !m_flags.Flags.contains(flag))
        return;
    m_flags.SelectFlag(flag);
    emit flagsChanged();
}

// ---------------------------------------------------------------------------------------------
// Requests: objects

TDbObject *EditedSlide::requestAddObject(const TsObject &rec)
{
    TDbSlide *s = slide();
    if (!s)
        return nullptr;
    TDbObject *o = nullptr;
    if (!request([&] {
            o = m_books.AddNewObject(s, rec);
            return o != nullptr;
        }))
        return nullptr;
    selectOnly(o);
    return o;
}

bool EditedSlide::requestRemoveObjects(const QList<TDbObject *> &chosen)
{
    TDbSlide *s = slide();
    if (!s)
        return false;
    QList<TDbObject *> present;
    for (TDbObject *o : chosen)
        if (o && o->Owner == s && !o->Rec.Removed && !present.contains(o))
            present.append(o);
    if (present.isEmpty())
        return false;
    const bool made = request([&] {
        bool all = true;
        for (qsizetype i = present.size() - 1; i >= 0; --i)
            all = m_books.RemoveObject(s->Objects, present[i], s) && all;
        return all;
    });
    emit selectionChanged();
    return made;
}

bool EditedSlide::requestCut(TSelectedList &clipboard)
{
    TDbSlide *s = slide();
    if (!s || s->Selection.isEmpty())
        return false;
    const QList<TDbObject *> chosen = selectionInStackOrder();
    const bool made = request([&] {
        for (TDbObject *o : chosen) {
            TDbObject *taken = o;
            // The slide keeps the object marked removed; the clipboard holds a copy of it.
            m_books.TakeFromDesignOrder(s->Objects, taken, true);
            m_books.ClipboardAdd(clipboard, taken);
        }
        return true;
    });
    clearSelection();
    return made;
}

int EditedSlide::requestPaste(const TSelectedList &clipboard, int time,
                              const std::function<QSize(const QString &, int)> &pictureSize)
{
    TDbSlide *s = slide();
    if (!s || clipboard.isEmpty())
        return 0;
    const int first = int(s->Objects.DesignOrder.size());
    int pasted = 0;
    request([&] {
        for (const ClipboardEntry &e : clipboard) {
            TDbObject *o = nullptr;
            if (e.IsObject) {
                o = m_books.CopyObject(e.SlideObject, s);
            } else if (e.Kind == FolderKind || e.Kind == SubFolderType || !e.Media) {
                break; // a folder ends the paste
            } else {
                o = m_books.ObjectFromMedia(e.Media);
                const int kind = o->kind();
                const QSize own = pictureSize && (isImageKind(kind) || isVideoKind(kind))
                                      ? pictureSize(o->Rec.Obj_Media, kind)
                                      : QSize();
                // The default square, fitted to the picture's own proportions.
                if (own.width() > 0 && own.height() > 0) {
                    TsObject &r = o->Rec;
                    if (own.width() >= own.height()) {
                        r.Height = std::max(1, int(r.Width * double(own.height()) / own.width()));
                        r.Height_S = r.Width_S * own.height() / own.width();
                    } else {
                        r.Width = std::max(1, int(r.Height * double(own.width()) / own.height()));
                        r.Width_S = r.Height_S * own.width() / own.height();
                    }
                }
            }
            o->Rec.Bar_Left = time;
            if (m_books.PlaceObject(s->Objects, o, int(s->Objects.DesignOrder.size()), s, true))
                ++pasted;
            else
                delete o;
        }
        return pasted > 0;
    });
    if (pasted)
        m_books.SelectRange(s->Objects, first, pasted);
    return pasted;
}

void EditedSlide::storeGeometry(TDbObject *o, const QRect &rect)
{
    const double z = linearScale(m_books.SurfaceZoom);
    TsObject &r = o->Rec;
    r.Left = rect.left();
    r.Top = rect.top();
    r.Width = rect.width();
    r.Height = rect.height();
    r.Left_S = r.Left / z;
    r.Top_S = r.Top / z;
    r.Width_S = r.Width / z;
    r.Height_S = r.Height / z;
}

bool EditedSlide::requestMove(const QList<TDbObject *> &chosen, int dx, int dy)
{
    TDbSlide *s = slide();
    if (!s || (dx == 0 && dy == 0))
        return false;
    return requestObjects([&] {
        bool any = false;
        for (TDbObject *o : chosen)
            if (o && o->Owner == s && !o->Rec.Removed) {
                storeGeometry(o, displayRect(o).translated(dx, dy));
                any = true;
            }
        return any;
    });
}

bool EditedSlide::requestResize(TDbObject *o, const QRect &display, bool flippedX, bool flippedY)
{
    TDbSlide *s = slide();
    if (!s || !o || o->Owner != s || o->Rec.Removed || display.width() < 1 || display.height() < 1)
        return false;
    return requestObjects([&] {
        storeGeometry(o, display);
        // A line pulled past one of its ends (but not both) runs the other diagonal now.
        if (flippedX != flippedY && (o->kind() == ObjectKind::LineDown || o->kind() == ObjectKind::LineUp)) {
            o->Rec.Obj_TypeId = o->kind() == ObjectKind::LineDown ? ObjectKind::LineUp : ObjectKind::LineDown;
            o->Rec.Title = QStringLiteral("Line");
        }
        return true;
    });
}

bool EditedSlide::requestBringToFront()
{
    if (selection().isEmpty())
        return false;
    return requestObjects([this] {
        m_books.BringToFront();
        return true;
    });
}

bool EditedSlide::requestSendToBack()
{
    if (selection().isEmpty())
        return false;
    return requestObjects([this] {
        m_books.SendToBack();
        return true;
    });
}

bool EditedSlide::requestReorder(const QList<TDbObject *> &objects, int position)
{
    TDbSlide *s = slide();
    if (!s || objects.isEmpty())
        return false;
    QList<int> old;
    for (TDbObject *o : objects) {
        const int at = int(s->Objects.DesignOrder.indexOf(o));
        if (at < 0 || o->Rec.Removed || old.contains(at))
            return false;
        old.append(at);
    }
    // The order it would give: the same order is no step.
    const int place = PositionAfterTakingOut(std::clamp(position, 0, int(s->Objects.DesignOrder.size())), old);
    QList<TDbObject *> after = s->Objects.DesignOrder;
    for (TDbObject *o : objects)
        after.removeOne(o);
    for (int i = 0; i < objects.size(); ++i)
        after.insert(std::min(place + i, int(after.size())), objects[i]);
    if (after == s->Objects.DesignOrder)
        return false;
    return requestObjects([&] {
        TDbObjectList &list = s->Objects;
        const QList<TDbObject *> selected = s->Selection;
        int at = place;
        for (TDbObject *o : objects) {
            TDbObject *moving = o;
            m_books.TakeFromDesignOrder(list, moving, false);
        }
        bool ok = true;
        for (TDbObject *o : objects)
            ok = m_books.PlaceObject(list, o, at++, s, false) && ok;
        // Taking out deselects; what was chosen stays chosen.
        for (TDbObject *o : selected)
            if (!s->Selection.contains(o)) {
                s->Selection.append(o);
                o->Selected = true;
            }
        m_tree->slideRefreshed(s);
        return ok;
    });
}

// ---------------------------------------------------------------------------------------------
// Requests: attributes

bool EditedSlide::changeSelected(const std::function<bool(TDbObject *)> &change)
{
    const QList<TDbObject *> chosen = selection();
    if (chosen.isEmpty())
        return false;
    return requestObjects([&] {
        bool any = false;
        for (TDbObject *o : chosen)
            any = change(o) || any;
        return any;
    });
}

bool EditedSlide::requestSetDisabled(bool on)
{
    return changeSelected([&](TDbObject *o) {
        o->SetDisabled(on);
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestSetTransparent(bool on)
{
    return changeSelected([&](TDbObject *o) {
        if (o->kind() != ObjectKind::Text)
            return false;
        o->Props.Transparent = on;
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestSetFont(const FontChoice &font)
{
    return changeSelected([&](TDbObject *o) {
        if (!isFontKind(o->kind()))
            return false;
        ObjectProperties &p = o->Props;
        p.FontName = font.family;
        p.FontSize = font.size;
        p.Bold = font.bold;
        p.Italic = font.italic;
        p.Underline = font.underline;
        p.StrikeOut = font.strikeOut;
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestSetColor(ColorValue color)
{
    return changeSelected([&](TDbObject *o) {
        if (o->kind() != ObjectKind::Text && o->kind() != ObjectKind::Memo)
            return false;
        o->Props.Color = color;
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestSetCaption(const QString &caption)
{
    return changeSelected([&](TDbObject *o) {
        if (o->kind() != ObjectKind::Text && o->kind() != ObjectKind::Button)
            return false;
        o->Rec.Caption = caption;
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestSetTitle(TDbObject *o, const QString &title)
{
    if (!o || o->Owner != slide() || title.trimmed().isEmpty() || title.size() > MaxAuthoringTitle)
        return false;
    const bool made = requestObjects([&] {
        o->Rec.Title = title;
        o->Rec.Hint = TypeLabel(o->kind()) + title;
        return true;
    });
    if (made)
        m_tree->slideRefreshed(o->Owner);
    return made;
}

bool EditedSlide::requestSetMemoText(const QString &text)
{
    return changeSelected([&](TDbObject *o) {
        if (o->kind() != ObjectKind::Memo)
            return false;
        o->MemoText = text;
        o->HasMemoText = true;
        o->Rec.Caption = text.left(255);
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestSetLink(int cbId, int slideId)
{
    return changeSelected([&](TDbObject *o) {
        if (o->Rec.Obj_Link_SlideId == slideId && o->Rec.Obj_Link_CBId == cbId)
            return false;
        o->Rec.Obj_Link_CBId = cbId;
        o->Rec.Obj_Link_SlideId = slideId;
        o->Rec.LinkClearBookTitle = cbId ? m_books.ClearBookTitle(cbId) : QString();
        o->Rec.LinkSlideTitle = slideId > 0 ? m_books.SlideTitle(slideId) : QString();
        return true;
    });
}

bool EditedSlide::requestSetGraphicAttributes(const ObjectProperties &props)
{
    return changeSelected([&](TDbObject *o) {
        if (!isShapeKind(o->kind()))
            return false;
        ObjectProperties &p = o->Props;
        p.PenColor = props.PenColor;
        p.BrushColor = props.BrushColor;
        p.PenStyle = props.PenStyle;
        p.BrushStyle = props.BrushStyle;
        p.PenWidth = props.PenWidth;
        p.Arrow = props.Arrow;
        p.WithTouch = props.WithTouch;
        writeProperties(o);
        return true;
    });
}

QString GraphicChoiceRefusal(const GraphicChoice &c)
{
    if (c.penStyle && (*c.penStyle < 0 || *c.penStyle > 6))
        return QStringLiteral("The pen style is not one of the list.");
    if (c.brushStyle && (*c.brushStyle < 0 || *c.brushStyle > 7))
        return QStringLiteral("The brush style is not one of the list.");
    if (c.penWidth && (*c.penWidth < 1 || *c.penWidth > 6))
        return QStringLiteral("The pen width must be from 1 to 6 points.");
    if (c.arrow && (*c.arrow < 0 || *c.arrow > 3))
        return QStringLiteral("The arrow is not one of the list.");
    return {};
}

bool EditedSlide::requestSetGraphicAttributes(const GraphicChoice &c)
{
    if (!GraphicChoiceRefusal(c).isEmpty())
        return false;
    return changeSelected([&](TDbObject *o) {
        if (!isShapeKind(o->kind()))
            return false;
        ObjectProperties &p = o->Props;
        const ObjectProperties before = p;
        if (c.penColor)
            p.PenColor = *c.penColor;
        if (c.brushColor)
            p.BrushColor = *c.brushColor;
        if (c.penStyle)
            p.PenStyle = quint8(*c.penStyle);
        if (c.brushStyle)
            p.BrushStyle = quint8(*c.brushStyle);
        if (c.penWidth)
            p.PenWidth = *c.penWidth;
        if (c.arrow)
            p.Arrow = quint8(*c.arrow);
        if (c.withTouch)
            p.WithTouch = *c.withTouch;
        if (p == before)
            return false;
        writeProperties(o);
        return true;
    });
}

bool EditedSlide::requestResizeToPicture(PictureSize rule,
                                         const std::function<QSize(const TDbObject *)> &naturalSize)
{
    const double z = linearScale(m_books.SurfaceZoom);
    return changeSelected([&](TDbObject *o) {
        if (!(isImageKind(o->kind()) || isVideoKind(o->kind())))
            return false;
        const QSize own = naturalSize ? naturalSize(o) : QSize();
        if (own.width() <= 0 || own.height() <= 0)
            return false;
        const double w = own.width(), h = own.height();
        TsObject &r = o->Rec;
        switch (rule) {
        case PictureSize::Actual:
            r.Width_S = w;
            r.Height_S = h;
            r.Width = int(z * w);
            r.Height = int(z * h);
            break;
        case PictureSize::FitBest:
            if (w < h)
                r.Width = int(w / h * r.Height);
            else
                r.Height = int(h / w * r.Width);
            break;
        case PictureSize::FitToWidth:
            r.Height = int(h / w * r.Width);
            break;
        case PictureSize::FitToHeight:
            r.Width = int(w / h * r.Height);
            break;
        }
        if (rule != PictureSize::Actual) {
            r.Width_S = r.Width / z;
            r.Height_S = r.Height / z;
        }
        return true;
    });
}

// ---------------------------------------------------------------------------------------------
// Requests: bars

QList<TDbObject *> EditedSlide::selectedBars() const
{
    QList<TDbObject *> bars;
    for (TDbObject *o : selection())
        if (!o->Rec.Removed)
            bars.append(o);
    return bars;
}

bool EditedSlide::requestSetBar(TDbObject *o, int start, int length)
{
    TDbSlide *s = slide();
    if (!s || !o || o->Owner != s || o->Rec.Removed || start < 0 || length < 1)
        return false;
    return requestObjects([&] {
        o->Rec.Bar_Left = start;
        o->Rec.Bar_Width = length;
        return true;
    });
}

bool EditedSlide::requestSetBarStart(int start)
{
    if (start < 0)
        return false;
    return changeSelected([&](TDbObject *o) {
        const qint64 end = qint64(o->Rec.Bar_Left) + o->Rec.Bar_Width;
        o->Rec.Bar_Left = start;
        o->Rec.Bar_Width = int(std::max<qint64>(end - start, MinTypedBarLength));
        return true;
    });
}

bool EditedSlide::requestSetBarEnd(int end)
{
    return changeSelected([&](TDbObject *o) {
        o->Rec.Bar_Width = int(std::max<qint64>(qint64(end) - o->Rec.Bar_Left, MinTypedBarLength));
        return true;
    });
}

bool EditedSlide::requestSetBarLength(int length)
{
    return changeSelected([&](TDbObject *o) {
        o->Rec.Bar_Width = std::max(length, MinTypedBarLength);
        return true;
    });
}

bool EditedSlide::requestAlignBars(BarAlignment how)
{
    const QList<TDbObject *> bars = selectedBars();
    if (bars.size() < 2)
        return false;
    return requestObjects([&] {
        const TsObject &first = bars.first()->Rec;
        const int left = first.Bar_Left, width = first.Bar_Width;
        for (qsizetype i = 1; i < bars.size(); ++i) {
            TsObject &r = bars[i]->Rec;
            switch (how) {
            case BarAlignment::LeftEdges:
                r.Bar_Left = left;
                break;
            case BarAlignment::RightEdges:
                r.Bar_Left = std::max(0, left + width - r.Bar_Width);
                break;
            case BarAlignment::LengthEqual:
                r.Bar_Width = width;
                break;
            case BarAlignment::ObjectsEqual:
                r.Bar_Left = left;
                r.Bar_Width = width;
                break;
            case BarAlignment::Series: {
                const TsObject &before = bars[i - 1]->Rec;
                r.Bar_Left = before.Bar_Left + before.Bar_Width;
                break;
            }
            }
        }
        return true;
    });
}

// ---------------------------------------------------------------------------------------------
// Requests: flags

QString EditedSlide::newFlagName(FlagKind kind) const
{
    const QString word = FlagKindWord(kind);
    qsizetype n = m_flags.count() + 1;
    while (m_flags.FindFlag(word + QString::number(n)))
        ++n;
    return word + QString::number(n);
}

void EditedSlide::relinkJumps()
{
    for (TDbFlag *f : std::as_const(m_flags.Flags))
        if (f->kind() == FlagKind::Jump)
            f->Rec.Time_Associated = int(m_flags.FlagIndex(f->Rec.Jump_To_MarkName));
}

TDbFlag *EditedSlide::requestAddFlag(const TsFlag &proposed)
{
    TDbSlide *s = slide();
    if (!s || proposed.Kind == FlagKind::LoopEnd)
        return nullptr;
    if (ValidateFlag(m_flags, nullptr, proposed, false, maxTime()))
        return nullptr;
    TDbFlag *made = nullptr;
    const bool done = request([&] {
        TsFlag r = proposed;
        r.Flag_CB_Id = s->Owner ? s->Owner->Rec.CB_Id : s->Rec.CB_Id;
        r.Flag_Slide_Id = s->Rec.Slide_Id;
        r.Flag_Id = int(m_flags.count()) + 1;
        made = new TDbFlag(r);
        m_flags.AddFlag(made);
        if (r.Kind == FlagKind::LoopStart) {
            TsFlag end = LoopEndOf(r);
            end.Flag_Id = int(m_flags.count()) + 1;
            m_flags.AddFlag(new TDbFlag(end));
        }
        relinkJumps();
        return true;
    });
    if (!done)
        return nullptr;
    m_flags.SelectFlag(made);
    emit flagsChanged();
    return made;
}

bool EditedSlide::requestChangeFlag(TDbFlag *flag, const TsFlag &proposed)
{
    if (!slide() || !flag || !m_flags.Flags.contains(flag))
        return false;
    if (flag->kind() == FlagKind::LoopEnd)
        flag = m_flags.Partner(flag);
    if (!flag || proposed.Kind != flag->kind())
        return false;
    if (ValidateFlag(m_flags, flag, proposed, false, maxTime()))
        return false;
    const QString name = proposed.Flag_Name;
    const bool made = request([&] {
        TsFlag &r = flag->Rec;
        r.Flag_Name = proposed.Flag_Name;
        r.Flag_StartTime = proposed.Flag_StartTime;
        switch (r.Kind) {
        case FlagKind::Delay:
            r.Time_Associated = proposed.Time_Associated;
            break;
        case FlagKind::Pause:
            r.FlagActive = proposed.FlagActive;
            break;
        case FlagKind::LoopStart:
            r.Loop_EndTime = proposed.Loop_EndTime;
            r.FlagActive = proposed.FlagActive;
            r.Time_Associated = proposed.Time_Associated;
            if (TDbFlag *end = m_flags.Partner(flag)) {
                const TsFlag e = LoopEndOf(r);
                end->Rec.Flag_Name = e.Flag_Name;
                end->Rec.Flag_StartTime = e.Flag_StartTime;
                end->Rec.Loop_EndTime = e.Loop_EndTime;
                end->Rec.FlagActive = e.FlagActive;
                end->Rec.Time_Associated = e.Time_Associated;
            }
            break;
        case FlagKind::Jump:
            r.Jump_To_MarkName = proposed.Jump_To_MarkName;
            break;
        default:
            break;
        }
        relinkJumps();
        return true;
    });
    if (made) {
        m_flags.SelectFlag(m_flags.FindFlag(name));
        emit flagsChanged();
    }
    return made;
}

bool EditedSlide::requestMoveFlag(TDbFlag *flag, int time)
{
    if (!slide() || !flag || !m_flags.Flags.contains(flag) || time < 0)
        return false;
    const bool isEnd = flag->kind() == FlagKind::LoopEnd;
    TDbFlag *checked = isEnd ? m_flags.Partner(flag) : flag;
    if (!checked)
        return false;
    TsFlag proposed = checked->Rec;
    if (isEnd)
        proposed.Loop_EndTime = time;
    else
        proposed.Flag_StartTime = time;
    // However freely an icon is dragged, a loop still ends after it starts.
    if (checked->kind() == FlagKind::LoopStart && proposed.Flag_StartTime >= proposed.Loop_EndTime) {
        m_books.connection().report(vkMessage("LoopStartNotBeforeEnd"));
        return false;
    }
    if (ValidateFlag(m_flags, checked, proposed, true, maxTime()))
        return false;
    const QString name = flag->Rec.Flag_Name;
    const bool made = request([&] {
        flag->Rec.Flag_StartTime = time;
        if (TDbFlag *partner = m_flags.Partner(flag))
            partner->Rec.Loop_EndTime = time;
        relinkJumps();
        return true;
    });
    if (made) {
        m_flags.SelectFlag(m_flags.FindFlag(name));
        emit flagsChanged();
    }
    return made;
}

bool EditedSlide::requestRemoveFlag(TDbFlag *flag)
{
    if (!slide() || !flag || !m_flags.Flags.contains(flag))
        return false;
    const bool made = request([&] {
        m_flags.RemoveFlag(flag);
        relinkJumps();
        return true;
    });
    if (made)
        emit flagsChanged();
    return made;
}

// ---------------------------------------------------------------------------------------------
// The slide itself

bool EditedSlide::requestSetSlideProperties(const SlideProperties &p, const QString *description)
{
    TDbSlide *s = slide();
    if (!s)
        return false;
    const QString refusal = m_books.SlidePropertiesRefusal(s, p);
    if (!refusal.isEmpty()) {
        m_books.connection().report(refusal);
        return false;
    }
    const bool lookChanged = !(SlidePropertiesOf(s->Rec) == p);
    const bool made = request([&] {
        if (description) {
            // A new work file each time: the version an undo goes back to stays as it was.
            const QString file = m_books.DescriptionWorkFile(s);
            QFile f(file);
            const QByteArray bytes = description->toUtf8();
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
                m_books.connection().report(QStringLiteral("The description could not be kept in %1.").arg(file));
                return false;
            }
            s->Rec.Slide_Describe = file;
            s->DescribeChanged = true;
        }
        if (s->Rec.Slide_BGround != p.background)
            s->BackgroundChanged = true;
        ApplySlideProperties(s->Rec, p);
        return true;
    });
    if (made) {
        if (lookChanged)
            emit slidePropertiesChanged();
        m_tree->slideRefreshed(s);
    }
    return made;
}

// ---------------------------------------------------------------------------------------------
// Steps

EditedSlide::SlideState EditedSlide::capture() const
{
    SlideState s;
    s.slide = slide();
    if (!s.slide)
        return s;
    s.objects = s.slide->Objects.Objects;
    s.design = s.slide->Objects.DesignOrder;
    for (TDbObject *o : std::as_const(s.objects))
        s.states.insert(o, {o->Rec, o->Disabled, o->MemoText, o->HasMemoText, o->Props});
    for (const TDbFlag *f : m_flags.Flags)
        s.flags.append(f->Rec);
    s.look = SlidePropertiesOf(s.slide->Rec);
    s.describe = s.slide->Rec.Slide_Describe;
    s.describeChanged = s.slide->DescribeChanged;
    s.backgroundChanged = s.slide->BackgroundChanged;
    return s;
}

void EditedSlide::restore(const SlideState &state)
{
    TDbSlide *s = state.slide;
    if (!s || s != slide())
        return;
    QList<TDbObject *> &objects = s->Objects.Objects;
    // Objects that came after the state go again (they stay listed, removed, until a save).
    QList<TDbObject *> order;
    for (TDbObject *o : state.objects)
        if (objects.contains(o))
            order.append(o);
    for (TDbObject *o : std::as_const(objects))
        if (!state.states.contains(o)) {
            o->Rec.Removed = true;
            order.append(o);
        }
    objects = order;
    for (auto it = state.states.cbegin(); it != state.states.cend(); ++it) {
        TDbObject *o = it.key();
        if (!objects.contains(o))
            continue;
        restoreEditable(o->Rec, it.value().rec);
        o->Disabled = it.value().disabled;
        o->MemoText = it.value().memoText;
        o->HasMemoText = it.value().hasMemoText;
        o->Props = it.value().props;
    }
    s->Objects.DesignOrder.clear();
    for (TDbObject *o : state.design)
        if (objects.contains(o) && !o->Rec.Removed)
            s->Objects.DesignOrder.append(o);
    for (TDbObject *o : std::as_const(s->Selection))
        o->Selected = false;
    s->Selection.clear();
    m_flags.ReplaceFlags(state.flags);
    const bool lookChanged = !(SlidePropertiesOf(s->Rec) == state.look);
    ApplySlideProperties(s->Rec, state.look);
    s->Rec.Slide_Describe = state.describe;
    s->DescribeChanged = state.describeChanged;
    s->BackgroundChanged = state.backgroundChanged;
    m_books.SlideModified = true;
    if (lookChanged)
        emit slidePropertiesChanged();
    emit reset();
    emit selectionChanged();
    emit flagsChanged();
    m_tree->slideRefreshed(s);
}

bool EditedSlide::request(const std::function<bool()> &change)
{
    if (!slide())
        return false;
    if (m_pending) // part of a drag: its step is recorded when it ends
        return change();
    const SlideState before = capture();
    if (!change()) {
        if (!(before == capture()))
            restore(before);
        return false;
    }
    if (before == capture())
        return false; // nothing changed: no step
    m_undo.append(before);
    m_redo.clear();
    m_books.SlideModified = true;
    emit stateChanged();
    return true;
}

bool EditedSlide::requestObjects(const std::function<bool()> &change)
{
    const bool made = request(change);
    if (made)
        emit objectsChanged();
    return made;
}

void EditedSlide::beginDrag()
{
    if (slide())
        m_pending = capture();
}

void EditedSlide::endDrag()
{
    if (!m_pending)
        return;
    SlideState before = *m_pending;
    m_pending.reset();
    if (before == capture())
        return; // nothing changed: no step
    m_undo.append(before);
    m_redo.clear();
    m_books.SlideModified = true;
    emit stateChanged();
}

void EditedSlide::cancelDrag()
{
    if (!m_pending)
        return;
    const SlideState before = *m_pending;
    m_pending.reset();
    if (!(before == capture()))
        restore(before);
}

bool EditedSlide::canUndo() const
{
    return !m_undo.isEmpty() && m_undo.last().slide == slide();
}

bool EditedSlide::canRedo() const
{
    return !m_redo.isEmpty() && m_redo.last().slide == slide();
}

bool EditedSlide::undo()
{
    if (!canUndo() || m_pending)
        return false;
    const SlideState now = capture();
    restore(m_undo.takeLast());
    m_redo.append(now);
    emit stateChanged();
    return true;
}

bool EditedSlide::redo()
{
    if (!canRedo() || m_pending)
        return false;
    const SlideState now = capture();
    restore(m_redo.takeLast());
    m_undo.append(now);
    emit stateChanged();
    return true;
}

void EditedSlide::clearHistory()
{
    m_undo.clear();
    m_redo.clear();
    m_pending.reset();
    purgeKept();
}

void EditedSlide::purgeKept()
{
    // Removed objects a save kept for the history, now nobody's: nothing of them is stored.
    TDbSlide *s = slide();
    if (!s)
        return;
    QList<TDbObject *> &objects = s->Objects.Objects;
    for (qsizetype i = objects.size() - 1; i >= 0; --i) {
        TDbObject *o = objects[i];
        if (o->Rec.Removed && !o->isStored() && o->RefCount <= 1) {
            objects.removeAt(i);
            s->Objects.DesignOrder.removeOne(o);
            emit objectGone(o);
            delete o;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Properties

ObjectProperties EditedSlide::defaultProperties(int kind) const
{
    ObjectProperties props = newObjectProperties(kind);
    if (isFontKind(kind)) {
        props.FontName = m_defaultFont;
        props.FontSize = float(18 / linearScale(m_books.SurfaceZoom));
    }
    return props;
}

void EditedSlide::prepareForShow(TDbSlide *s) const
{
    for (TDbObject *o : std::as_const(s->Objects.Objects)) {
        if (o->Prepared || o->Rec.Removed)
            continue;
        o->Props = defaultProperties(o->kind());
        QString text = o->Rec.Spec_Property2;
        if (!text.isEmpty())
            ReadPropertyText(o->kind(), o->Props, text, m_books.DesignScale);
    }
}

void EditedSlide::prepare(TDbObject *o)
{
    if (o->Prepared)
        return;
    const int kind = o->kind();
    o->Props = defaultProperties(kind);
    if (o->Rec.Spec_Property2.isEmpty()) {
        // The first state written into the property text, which the slide then stores.
        if (kind != ObjectKind::Polyline) {
            o->Rec.Spec_Property2 = WritePropertyText(kind, o->Props, m_books.DesignScale);
            if (!o->Rec.Spec_Property2.isEmpty())
                m_books.SlideModified = true;
        }
    } else {
        QString text = o->Rec.Spec_Property2;
        ReadPropertyText(kind, o->Props, text, m_books.DesignScale);
        o->Rec.Spec_Property2 = text;
        o->Disabled = o->Props.Disabled;
    }
    o->Prepared = true;
}

void EditedSlide::writeProperties(TDbObject *o)
{
    o->Props.Disabled = o->Disabled;
    const QString text = WritePropertyText(o->kind(), o->Props, m_books.DesignScale);
    if (!text.isEmpty())
        o->Rec.Spec_Property2 = text;
}

// ---------------------------------------------------------------------------------------------
// What the ClearBook list does to the edited slide

void EditedSlide::buildVisual(TDbObject *o)
{
    if (!o || o->Owner != slide())
        return;
    prepare(o);
    m_books.ApplyDisplayGeometry(o);
    emit objectShown(o);
}

void EditedSlide::destroyVisual(TDbObject *o)
{
    emit objectGone(o);
}

void EditedSlide::hideVisual(TDbObject *o)
{
    emit objectHidden(o);
}

void EditedSlide::restack(TDbObject *o, bool toFront)
{
    emit restacked(o, toFront);
}

void EditedSlide::surfaceHidden()
{
    // The slide was deleted, or its ClearBook: it is open no more.
    clearHistory();
    m_flags.ClearFlags();
    emit slideChanged();
    emit flagsChanged();
    emit stateChanged();
}

void EditedSlide::historyEnded(TDbSlide *s)
{
    if (s == slide())
        clearHistory();
}

bool EditedSlide::keepsRemoved(const TDbObject *o) const
{
    auto wanted = [o](const SlideState &state) {
        const auto it = state.states.constFind(const_cast<TDbObject *>(o));
        return it != state.states.cend() && !it->rec.Removed;
    };
    return std::any_of(m_undo.cbegin(), m_undo.cend(), wanted) ||
           std::any_of(m_redo.cbegin(), m_redo.cend(), wanted);
}

void EditedSlide::objectDropped(TDbObject *o)
{
    auto forget = [o](SlideState &s) {
        s.objects.removeAll(o);
        s.design.removeAll(o);
        s.states.remove(o);
    };
    for (SlideState &s : m_undo)
        forget(s);
    for (SlideState &s : m_redo)
        forget(s);
    if (m_pending)
        forget(*m_pending);
}

TDbFlagList *EditedSlide::slideFlags(const TDbSlide *s)
{
    return s && s == slide() ? &m_flags : nullptr;
}

} // namespace vk
