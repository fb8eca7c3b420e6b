// The slide open in the authoring window, as one model: the slide, its objects and flags, the
// selection, whether it was changed since it was stored, and its history.
//
// Every window that edits the open slide (the surface, the timeline table, the flag and
// attribute dialogs, the slide explorer's drops) turns a gesture into one of the named requests
// below. A request answers true when it was made: the change is one step that Undo and Redo
// take back and forth. It answers false, with nothing changed and no step, when the model's own
// rules refuse it (or when it would change nothing). A gesture over several events (a drag) is
// one request begun and ended: the moves in between are one step.
//
// The views follow through the signals and paint what the model holds; none of them writes a
// field of the slide or its objects.
#pragma once

#include "AT_DbClearbook.h"
#include "FlagList.h"
#include "PropertyText.h"

#include <QObject>
#include <QRect>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>

namespace vk {

// The font of a text, button or memo as the font dialog gives it.
struct FontChoice
{
    QString family;
    float size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

// How a picture or clip is sized to its own proportions.
enum class PictureSize
{
    Actual,
    FitBest,
    FitToWidth,
    FitToHeight
};

// The timeline table's row popup on two or more bars: the first selected bar is the measure.
enum class BarAlignment
{
    LeftEdges,    // every other bar starts where the first starts
    RightEdges,   // ends where the first ends, never before 0
    LengthEqual,  // as long as the first
    ObjectsEqual, // both
    Series,       // in selection order, each starts where the one before ends
};

// What the Graphic Attribute dialog chose: each attribute only when it was chosen.
struct GraphicChoice
{
    std::optional<ColorValue> penColor, brushColor;
    std::optional<int> penStyle;   // 0 solid .. 6 inside frame
    std::optional<int> brushStyle; // 0 solid .. 7 diagonal cross
    std::optional<int> penWidth;   // 1 .. 6 points
    std::optional<int> arrow;      // 0 none, 1 head at the end, 2 at the start, 3 both
    std::optional<bool> withTouch;
    bool operator==(const GraphicChoice &) const = default;
};

// Whether every value chosen lies in its range: the message telling what does not, or empty.
QString GraphicChoiceRefusal(const GraphicChoice &choice);

// The shortest bar a typed length gives (half a second); a drag may make it as short as 1.
inline constexpr int MinTypedBarLength = 50;

class EditedSlide : public QObject, public AuthoringViews
{
    Q_OBJECT
public:
    explicit EditedSlide(TDbClearBookList &books, QObject *parent = nullptr);
    ~EditedSlide() override;
    EditedSlide(const EditedSlide &) = delete;
    EditedSlide &operator=(const EditedSlide &) = delete;

    TDbClearBookList &books() const { return m_books; }
    TDbSlide *slide() const { return m_books.ActiveSlide; }
    TDbClearBook *clearBook() const { return m_books.ActiveClearBook; }
    bool isOpen() const { return slide() != nullptr; }
    bool isModified() const { return m_books.SlideModified; }
    const TDbFlagList &flags() const { return m_flags; }
    // The objects of the slide bottom to top, without the removed ones.
    QList<TDbObject *> objects() const;
    // In the order they were selected.
    QList<TDbObject *> selection() const;
    // The selection bottom to top, as cut and copy take it.
    QList<TDbObject *> selectionInStackOrder() const;
    // The timeline's length: where the latest bar ends.
    int maxTime() const;

    // The slide explorer's hooks (the tree of ClearBooks, slides and objects).
    void setTreeViews(AuthoringViews *views) { m_tree = views ? views : &m_noTree; }
    // The font family new texts, buttons and memos get (the window's).
    void setDefaultFontFamily(const QString &family) { m_defaultFont = family; }
    // The surface's zoom (an area percentage): the objects' display integers follow it.
    void setZoom(double zoom);
    // Another slide's objects made ready to be shown (the player shows slides that are not
    // open): their looks read from their property text, nothing written.
    void prepareForShow(TDbSlide *slide) const;

    // --- Opening and closing (not steps: each ends the history)
    // The ClearBook new slides go into when none is named.
    void setClearBook(TDbClearBook *cb);
    // A new slide of `cb`, open and to be saved, with its description (stored with it).
    TDbSlide *openNew(TDbClearBook *cb, const QString &title, const QString &author,
                      const QString &description = QString());
    bool open(TDbSlide *slide);
    // Stores the slide, its objects and flags as one change; the history stays.
    bool save();
    // Closes the slide, asking whether to store it when it was changed. False when the person
    // cancelled, or it was to be stored and could not be: it stays open with its changes.
    bool close();

    // --- The selection (never a step)
    void selectOnly(TDbObject *o);
    void addToSelection(TDbObject *o);
    void deselect(TDbObject *o);
    void clearSelection();
    void selectAll();
    void setSelection(const QList<TDbObject *> &objects);
    void selectFlag(TDbFlag *flag);

    // --- Objects
    // A new object from a record (a band drawn with a tool); selected alone.
    TDbObject *requestAddObject(const TsObject &rec);
    bool requestRemoveObjects(const QList<TDbObject *> &objects);
    // The selection onto the clipboard, gone from the slide.
    bool requestCut(TSelectedList &clipboard);
    // What the clipboard holds, at the end of the design order, starting at `time`: slide
    // objects as copies, library media as new objects (a folder ends the paste). The pasted
    // objects are selected. `pictureSize` tells a library picture's own size (empty: unknown),
    // which its object keeps the proportions of.
    int requestPaste(const TSelectedList &clipboard, int time,
                     const std::function<QSize(const QString &file, int kind)> &pictureSize = {});
    // By (dx, dy) display pixels.
    bool requestMove(const QList<TDbObject *> &objects, int dx, int dy);
    // To a rectangle in display pixels. A line whose rectangle was turned over in one
    // direction only (`flippedX` != `flippedY`) runs along the other diagonal afterwards.
    bool requestResize(TDbObject *o, const QRect &display, bool flippedX = false, bool flippedY = false);
    bool requestBringToFront();
    bool requestSendToBack();
    // Objects of the slide to a place of its design order (the order of the slide explorer's
    // object nodes and of the timeline rows): `position` counts the design order as it is now,
    // before the objects are taken out; they go there one after another in the order given.
    // Refused when one of them is not on the slide, or when the order would stay as it is.
    bool requestReorder(const QList<TDbObject *> &objects, int position);

    // --- Attributes of the selected objects (each refused when none of them takes it)
    bool requestSetDisabled(bool on);
    bool requestSetTransparent(bool on);
    bool requestSetFont(const FontChoice &font);
    bool requestSetColor(ColorValue color);
    bool requestSetCaption(const QString &caption); // texts and buttons
    bool requestSetMemoText(const QString &text);
    // One object's title (and its hint, the kind's label before it); refused when empty or
    // longer than MaxAuthoringTitle.
    bool requestSetTitle(TDbObject *o, const QString &title);
    bool requestSetLink(int cbId, int slideId);
    // Pen, brush, arrow heads and touch of the selected shapes.
    bool requestSetGraphicAttributes(const ObjectProperties &props);
    // Only the attributes `choice` names, the others kept per shape (the Graphic Attribute
    // dialog on several shapes leaves the lists it was not given untouched). Refused when no
    // selected object is a shape, or a value is out of its range.
    bool requestSetGraphicAttributes(const GraphicChoice &choice);
    // Pictures and clips to their own proportions; `naturalSize` tells each one's own size.
    bool requestResizeToPicture(PictureSize rule, const std::function<QSize(const TDbObject *)> &naturalSize);

    // --- The slide itself
    // Its title, author, background and ending action, as its property and preference dialogs
    // set them, with a new description when given; refused (and told) as
    // TDbClearBookList::SlidePropertiesRefusal says. Written when the slide is saved.
    bool requestSetSlideProperties(const SlideProperties &p, const QString *description = nullptr);

    // --- Bars (1/100 s)
    // A bar as a drag leaves it: starts at 0 or later, at least 1 long.
    bool requestSetBar(TDbObject *o, int start, int length);
    // The typed times of the selected bars: start (the end stays), end, or length; a bar is
    // never shorter than MinTypedBarLength this way.
    bool requestSetBarStart(int start);
    bool requestSetBarEnd(int end);
    bool requestSetBarLength(int length);
    // The selected bars (at least two) to the first one selected.
    bool requestAlignBars(BarAlignment how);

    // --- Flags (validated as ValidateFlag says; refusals are told)
    // "Delay" + n (n = flags + 1, raised until no flag has the name), and so on for each kind.
    QString newFlagName(FlagKind kind) const;
    // A new flag from a dialog (strict rules); a loop comes with its end. Null when refused.
    TDbFlag *requestAddFlag(const TsFlag &proposed);
    // A flag's values from its dialog (strict rules); a loop's end follows it.
    bool requestChangeFlag(TDbFlag *flag, const TsFlag &proposed);
    // A flag's icon dropped at `time` (lenient rules): a loop's end moves the loop's end time.
    bool requestMoveFlag(TDbFlag *flag, int time);
    // A loop goes with its end.
    bool requestRemoveFlag(TDbFlag *flag);

    // --- Drags: one step from begin to end
    void beginDrag();
    // Recorded when something changed.
    void endDrag();
    // Everything since beginDrag is put back.
    void cancelDrag();
    bool dragging() const { return m_pending.has_value(); }

    // --- History
    bool undo();
    bool redo();
    bool canUndo() const;
    bool canRedo() const;

    // AuthoringViews: what the ClearBook list does to the slide's objects reaches the views
    // through the signals; the tree's hooks go on to the slide explorer.
    void clearBookAdded(TDbClearBook *cb) override { m_tree->clearBookAdded(cb); }
    void clearBookRemoved(TDbClearBook *cb) override { m_tree->clearBookRemoved(cb); }
    void clearBookRefreshed(TDbClearBook *cb) override { m_tree->clearBookRefreshed(cb); }
    void slideInserted(TDbSlide *s, int position) override { m_tree->slideInserted(s, position); }
    void slideRemoved(TDbSlide *s) override { m_tree->slideRemoved(s); }
    void slideRefreshed(TDbSlide *s) override { m_tree->slideRefreshed(s); }
    void objectInserted(TDbObject *o, int position) override { m_tree->objectInserted(o, position); }
    void objectRemoved(TDbObject *o) override { m_tree->objectRemoved(o); }
    void buildVisual(TDbObject *o) override;
    void destroyVisual(TDbObject *o) override;
    void hideVisual(TDbObject *o) override;
    void restack(TDbObject *o, bool toFront) override;
    void selectionChanged(TDbSlide *) override { emit selectionChanged(); }
    void surfaceHidden() override;
    void historyEnded(TDbSlide *slide) override;
    bool keepsRemoved(const TDbObject *o) const override;
    void objectDropped(TDbObject *o) override;
    TDbFlagList *slideFlags(const TDbSlide *slide) override;

signals:
    // A slide was opened, or the open one closed.
    void slideChanged();
    // An object appeared on the slide, was hidden, or left it (or is about to be freed): a
    // view drops what it made for it.
    void objectShown(vk::TDbObject *o);
    void objectHidden(vk::TDbObject *o);
    void objectGone(vk::TDbObject *o);
    void restacked(vk::TDbObject *o, bool toFront);
    // The slide's title, author, background or ending action changed.
    void slidePropertiesChanged();
    // Objects' places, sizes, bars or attributes changed.
    void objectsChanged();
    // Everything may have changed (undo, redo): views build what they show anew.
    void reset();
    void selectionChanged();
    void flagsChanged();
    // Whether the slide is to be stored, or what Undo and Redo can do, may have changed.
    void stateChanged();

private:
    struct ObjectState
    {
        TsObject rec;
        bool disabled = false;
        QString memoText;
        bool hasMemoText = false;
        ObjectProperties props;
        bool operator==(const ObjectState &) const = default;
    };
    struct SlideState
    {
        TDbSlide *slide = nullptr;
        QList<TDbObject *> objects, design;
        QHash<TDbObject *, ObjectState> states;
        QList<TsFlag> flags;
        SlideProperties look;
        QString describe;
        bool describeChanged = false;
        bool backgroundChanged = false;
        bool operator==(const SlideState &) const = default;
    };

    // Makes `change` one step: put back and refused when it answers false or changes nothing.
    bool request(const std::function<bool()> &change);
    // The same for a change of objects' places, sizes, bars or attributes, which the views
    // then repaint.
    bool requestObjects(const std::function<bool()> &change);
    SlideState capture() const;
    void restore(const SlideState &state);
    void clearHistory();
    void purgeKept();
    void setModified(bool on);
    // The property text decoded into the object, or the object's first state written into it.
    void prepare(TDbObject *o);
    ObjectProperties defaultProperties(int kind) const;
    // The object's decoded properties written back into its property text.
    void writeProperties(TDbObject *o);
    void storeGeometry(TDbObject *o, const QRect &display);
    bool changeSelected(const std::function<bool(TDbObject *)> &change);
    void loadFlags();
    void relinkJumps();
    QList<TDbObject *> selectedBars() const;

    TDbClearBookList &m_books;
    TDbFlagList m_flags;
    AuthoringViews m_noTree;
    AuthoringViews *m_tree = &m_noTree;
    QString m_defaultFont;
    QList<SlideState> m_undo, m_redo;
    std::optional<SlideState> m_pending;
};

} // namespace vk
