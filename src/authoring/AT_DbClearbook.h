// ClearBooks, slides and slide objects: the authoring model over ClearBook_Table, Slide_Table
// and Object_Table, kept in memory as the authoring window's working copy.
//
// A ClearBook is stored the moment it is made; a slide and its objects are edited in memory
// and written by SaveSlide (the edited slide) or at once (any other slide). Objects are shared
// by reference count between their slide's list and clipboard entries; the holder that lets go
// of the last reference frees the object and, where that is what letting go means, its row.
//
// The model draws nothing: the slide explorer, the design surface, the timeline table and the
// flag list follow it through AuthoringViews.
#pragma once

#include "PropertyText.h"
#include "TextForms.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace vk {

class Connection;
class TDbClearBook;
class TDbSlide;
class TDbObject;
class TDbMedia;
struct ClipboardEntry;
using TSelectedList = QList<ClipboardEntry>;

inline const QString NotStored = QStringLiteral("-1");

// ---------------------------------------------------------------------------------------------
// Slide objects

struct TsObject
{
    QString OID = NotStored;
    int CB_Id = -1;
    int Slide_Id = -1;
    int Id = -1;
    bool Obj_Flag = false; // true: Obj_Media names a file the row refers to where it lies
    int Obj_TypeId = -1;
    int Db_FolderId = 0;
    QString Db_OID;
    QString Db_Title;
    int Obj_Link_CBId = 0;
    int Obj_Link_SlideId = 0; // 0 none, >0 a slide, -1 next, -2 previous, -3 back, -4 replay
    QString LinkClearBookTitle;
    QString LinkSlideTitle;
    QString Obj_Media;
    int Bar_Left = -1;  // 1/100 s
    int Bar_Width = -1; // 1/100 s
    QString Hint;
    QString Caption;
    int Height = -1;
    int Left = -1;
    int Top = -1;
    int Width = -1;
    int Tag = -1;
    QString Title;
    QString Spec_Property2;
    bool Uncommitted = false;
    bool Removed = false;
    double Index = 0;
    double Left_S = 0; // held units: reference units × DesignScale
    double Top_S = 0;
    double Width_S = 0;
    double Height_S = 0;
    int Design_Index = 0;

    bool operator==(const TsObject &) const = default;
};

// Column bits of an object's `Changed` mask.
enum ObjectColumn : quint32
{
    ObjCBId = 1u << 1,
    ObjSlideId = 1u << 2,
    ObjId = 1u << 3,
    ObjFlag = 1u << 4,
    ObjTypeId = 1u << 5,
    ObjLinkCBId = 1u << 6,
    ObjLinkSlideId = 1u << 7,
    ObjMedia = 1u << 8,
    ObjBarLeft = 1u << 9,
    ObjBarWidth = 1u << 10,
    ObjHint = 1u << 11,
    ObjCaption = 1u << 12,
    ObjHeight = 1u << 13,
    ObjLeft = 1u << 14,
    ObjTop = 1u << 15,
    ObjWidth = 1u << 16,
    ObjTag = 1u << 17,
    ObjTitle = 1u << 18,
    ObjSpecProperty2 = 1u << 19,
    ObjIndex = 1u << 20,
    ObjLeftS = 1u << 21,
    ObjTopS = 1u << 22,
    ObjWidthS = 1u << 23,
    ObjHeightS = 1u << 24,
    ObjDesignIndex = 1u << 25,
};
inline constexpr quint32 ObjectSaveMask = 0x03FFFECE;     // all but Obj_Flag, Obj_TypeId, Obj_Media
inline constexpr quint32 ObjectReadBackMask = 0x00000108; // Id and Obj_Media after an insert
inline constexpr quint32 ObjectPlaceMask = 0x02100206;    // CB_Id, Slide_Id, Bar_Left, Index, Design_Index
inline constexpr quint32 ObjectDetachMask = 0x00000006;   // CB_Id, Slide_Id

class TDbObject
{
public:
    TsObject Rec;
    bool Disabled = false;
    quint32 Changed = 0;
    bool Selected = false;
    TDbSlide *Owner = nullptr;
    int RefCount = 0;
    // The property text decoded (the edited slide's model keeps it and the text in step);
    // the views paint from it.
    ObjectProperties Props;
    bool Prepared = false;
    // A memo's text as its visual (or a caller that builds a ClearBook) holds it; written to a
    // work file when the object is saved.
    QString MemoText;
    bool HasMemoText = false;
    // A stored object moved onto the edited slide from another slide: the slide its row still
    // belongs to, until the edited slide is saved. Reverting gives the object back there.
    TDbSlide *HomeSlide = nullptr;
    // A work file that belongs to this object alone (a memo copy's text, the copy of a deleted
    // object's file that an undo stores again), removed with it.
    QString OwnWorkFile;
    // While a save deletes the row of an object the history keeps: the copy of its file.
    QString UndoFile;

    ~TDbObject();

    bool isStored() const { return Rec.OID != NotStored; }
    int kind() const { return Rec.Obj_TypeId; }

    // Disabled := flag, and the disabled line of the property text rewritten.
    bool SetDisabled(bool flag);
    // The disabled mark as the property text has it.
    void ReadDisabled();
};

// A slide's objects: `Objects` in Index order (first = bottom of the stack) and `DesignOrder`,
// the same objects in Design_Index order. Freeing the list lets go of each object.
class TDbObjectList
{
public:
    TDbObjectList() = default;
    ~TDbObjectList();
    TDbObjectList(const TDbObjectList &) = delete;
    TDbObjectList &operator=(const TDbObjectList &) = delete;

    QList<TDbObject *> Objects;
    QList<TDbObject *> DesignOrder;

    // DesignOrder rebuilt from Objects: each object goes before the first entry whose
    // Design_Index is larger, so equal values keep their Objects order.
    void RebuildDesignOrder();
};

// ---------------------------------------------------------------------------------------------
// Slides and ClearBooks

struct TsSlide
{
    QString OID = NotStored;
    int CB_Id = 0;
    int Slide_Id = 0;
    QString Slide_Title;
    DateValue Slide_DateTime = -1;
    QString Slide_Author;
    QString Slide_Describe; // the work file that holds the description, when there is one
    QString Slide_BGround;  // the background picture's path; after a read, the engine's name
    int Slide_Index = -1;
    QString Slide_BGroundX = QStringLiteral("0"); // "0" Center, "1" Full, "2" Tile
    double Slide_Ratio = 0;
    QString Slide_BColor = QStringLiteral("clWhite");
    int Slide_Gradient = 0;
    int Jump_CB_Id = 0;
    int Jump_Slide_Id = 0; // 0 Pause, -1 Sequence, -4 Repeat, >0 jump to that slide
};

// Ending actions (Jump_Slide_Id).
namespace EndingAction {
constexpr int Pause = 0;
constexpr int Sequence = -1;
constexpr int Repeat = -4;
} // namespace EndingAction

enum SlideColumn : quint16
{
    SlideColCBId = 1u << 1,
    SlideColSlideId = 1u << 2,
    SlideColTitle = 1u << 3,
    SlideColDateTime = 1u << 4,
    SlideColAuthor = 1u << 5,
    SlideColDescribe = 1u << 6,
    SlideColBGround = 1u << 7,
    SlideColIndex = 1u << 8,
    SlideColBGroundX = 1u << 9,
    SlideColRatio = 1u << 10,
    SlideColBColor = 1u << 11,
    SlideColGradient = 1u << 12,
    SlideColJumpCBId = 1u << 13,
    SlideColJumpSlideId = 1u << 14,
};
inline constexpr quint16 SlideSaveMask = 0x7F2A;
inline constexpr quint16 SlideRevertMask = 0x7EAC;
inline constexpr quint16 SlidePlaceMask = 0x0102;
inline constexpr quint16 SlideSaveAsMask = 0x002E;

class TDbSlide
{
public:
    TsSlide Rec;
    quint16 Changed = 0;
    TDbObjectList Objects;
    QList<TDbObject *> Selection;
    TDbClearBook *Owner = nullptr;
    bool DescribeChanged = false;
    bool BackgroundChanged = false;

    bool isStored() const { return Rec.OID != NotStored; }
};

using TDbSlideList = QList<TDbSlide *>;

// The most characters a ClearBook's or a slide's title or author holds.
inline constexpr int MaxAuthoringTitle = 127;

// What a slide's property and preference dialogs edit: its title and author, its background
// (colour, gradient, picture and the picture's style) and its ending action.
struct SlideProperties
{
    QString title;
    QString author;
    QString background;                  // a picture file; empty: none
    QString style = QStringLiteral("0"); // "0" Center, "1" Full, "2" Tile
    QString color = QStringLiteral("clWhite");
    int gradient = 0;
    int jumpCB = 0;
    int jumpSlide = 0; // EndingAction, or a slide's Slide_Id

    bool operator==(const SlideProperties &) const = default;
};
SlideProperties SlidePropertiesOf(const TsSlide &r);
// The Slide_Table columns that differ between the record and `p`.
quint16 SlidePropertiesMask(const TsSlide &r, const SlideProperties &p);
void ApplySlideProperties(TsSlide &r, const SlideProperties &p);
// A background picture's file is one of these kinds (by extension).
bool IsWallpaperFile(const QString &path);

// A memo's text: the one it holds, or else its file's, read only when that file is the memo's
// own (its stored copy in the data source's file-object directory, or a work file of its own)
// and a regular file. Whatever else a row names is not read.
QString MemoTextOf(Connection &c, const TDbObject *o);

struct TsClearBook
{
    QString OID = NotStored;
    int CB_Id = 0;
    QString CB_Title;
    DateValue CB_DateTime = -1;
    QString CB_Author;
    int CB_Index = -1;
};

class TDbClearBook
{
public:
    TsClearBook Rec;
    TDbSlideList Slides; // owned, in Slide_Index order

    ~TDbClearBook();
};

// What the views do when the model changes: the slide explorer's tree, and what becomes of the
// edited slide's objects (its model, EditedSlide, turns these into its signals). Every hook
// does nothing unless overridden.
class TDbFlagList;
class AuthoringViews
{
public:
    virtual ~AuthoringViews() = default;

    // Slide explorer.
    virtual void clearBookAdded(TDbClearBook *) {}
    virtual void clearBookRemoved(TDbClearBook *) {}
    virtual void clearBookRefreshed(TDbClearBook *) {}
    virtual void slideInserted(TDbSlide *, int /*position*/) {}
    virtual void slideRemoved(TDbSlide *) {}
    virtual void slideRefreshed(TDbSlide *) {}
    virtual void objectInserted(TDbObject *, int /*designPosition*/) {}
    virtual void objectRemoved(TDbObject *) {}

    // The edited slide's objects: shown on it, taken off it, about to be freed.
    virtual void buildVisual(TDbObject *) {}
    virtual void destroyVisual(TDbObject *) {}
    virtual void hideVisual(TDbObject *) {}
    virtual void restack(TDbObject *, bool /*toFront*/) {}
    virtual void selectionChanged(TDbSlide *) {}
    virtual void surfaceHidden() {}

    // The edited slide's history: it ends (revert, close); whether a removed object is still
    // wanted by it when the slide is saved (it is then kept, unstored, for an undo to store
    // again); an object the history must let go of.
    virtual void historyEnded(TDbSlide *) {}
    virtual bool keepsRemoved(const TDbObject *) const { return false; }
    virtual void objectDropped(TDbObject *) {}
    // The flags stored with a slide and read again when it is reverted (the edited slide's).
    virtual TDbFlagList *slideFlags(const TDbSlide *) { return nullptr; }
};

// The ClearBooks in CB_Index order, with the edited slide and every operation on the tree.
class TDbClearBookList
{
public:
    explicit TDbClearBookList(Connection &connection);
    ~TDbClearBookList();
    TDbClearBookList(const TDbClearBookList &) = delete;
    TDbClearBookList &operator=(const TDbClearBookList &) = delete;

    QList<TDbClearBook *> ClearBooks; // owned
    TDbClearBook *ActiveClearBook = nullptr;
    TDbSlide *ActiveSlide = nullptr;
    bool SlideModified = false;
    // min(screen width / 800, screen height / 600), fixed when the authoring window opens.
    double DesignScale = 1.0;
    // The design surface's zoom percentage.
    double SurfaceZoom = 100;

    Connection &connection() const { return m_connection; }
    void setViews(AuthoringViews *views) { m_views = views ? views : &m_noViews; }
    AuthoringViews &views() const { return *m_views; }

    // --- ClearBooks and slides
    bool LoadClearBooks();
    TDbClearBook *CreateClearBook(const QString &title, const QString &author);
    // One change: when any step fails, the rows and the lists stay as they were.
    bool DeleteClearBook(TDbClearBook *cb);
    TDbSlide *NewSlide(TDbClearBook *cb, const QString &title);

    bool InsertSlide(TDbSlide *slide, bool withFileParameter);
    bool UpdateSlide(TDbSlide *slide);
    bool SelectSlide(TDbSlide *slide);
    bool DeleteSlideRows(TDbSlide *slide, bool byId);

    // Stores the slide, its objects and its flags as one change. On failure nothing is
    // written and the slide stays as it was (still to be saved).
    bool SaveSlide(TDbSlide *slide);
    bool RevertSlide(TDbSlide *slide);
    // Asks (Yes, No, Cancel) whether to store the changed slide first when `ask`. Answers false,
    // the slide left open, when the person cancelled or the slide could not be saved.
    bool CloseSlide(TDbSlide *slide, bool ask);

    // Save-as: a stored copy of the slide's record in `target` (not yet in its list), with
    // unstored copies of the objects.
    TDbSlide *CopySlide(TDbSlide *slide, TDbClearBook *target);
    // The rest of Save-as: title, author and optional description of the copy, its place at
    // the end of the target, and its objects stored. One change.
    TDbSlide *SaveSlideAs(TDbSlide *slide, TDbClearBook *target, const QString &title, const QString &author,
                          const QString *description = nullptr);
    // A stored copy of a whole ClearBook, appended: its slides, objects and flags. The copy's
    // objects share the media files the originals refer to, and get files of their own where
    // the originals hold theirs.
    TDbClearBook *CopyClearBook(TDbClearBook *cb, const QString &title);

    // A stored slide to `position` of `target` (its place after the move), as the slide
    // explorer's drop moves it: within its ClearBook by MoveSlide; into another, with its
    // objects' rows, its flags and the links and ending actions that lead to it following it.
    // One change. The edited slide is closed first by the caller.
    bool MoveSlideTo(TDbSlide *slide, TDbClearBook *target, int position);
    // A stored copy of the slide (title, author, description, background, objects and flags)
    // at `position` of `target`. Links and ending actions stay as they are: inside the source's
    // ClearBook they still lead to its slides. One change.
    TDbSlide *CopySlideTo(TDbSlide *slide, TDbClearBook *target, int position);

    bool PlaceSlide(TDbSlideList &list, TDbSlide *slide, int position, TDbClearBook *cb);
    bool MoveSlide(TDbSlideList &list, TDbSlide *slide, int position);
    bool DetachSlide(TDbSlideList &list, TDbSlide *slide);
    bool RemoveSlide(TDbSlideList &list, TDbSlide *slide);
    bool RenumberSlides(TDbSlideList &list);

    TDbSlide *NextSlide(TDbSlide *slide) const;
    TDbSlide *PreviousSlide(TDbSlide *slide) const;
    QString ClearBookTitle(int cbId);
    QString SlideTitle(int slideId);
    // kind 2 ClearBook, 3 slide.
    bool SetAuthor(const QString &oid, const QString &author, int kind);

    // Why the slide cannot take these properties, or empty: a title that is there, titles and
    // authors of at most MaxAuthoringTitle, a style 0-2, a colour text, a background picture of a
    // wallpaper kind that exists, an ending action that is Pause, Repeat, Sequence or a jump to
    // a stored slide of a loaded ClearBook.
    QString SlidePropertiesRefusal(const TDbSlide *slide, const SlideProperties &p) const;
    // A slide that is not the edited one takes the properties (and a new description when
    // given), written at once; told and nothing changed when refused or when the row cannot be
    // written. The edited slide changes through EditedSlide::requestSetSlideProperties.
    bool SetSlideProperties(TDbSlide *slide, const SlideProperties &p, const QString *description = nullptr);
    // A ClearBook's title, author and (when given) description, each written at once.
    bool SetClearBookProperties(TDbClearBook *cb, const QString &title, const QString &author,
                                const QString *description = nullptr);
    // The work file a slide's edited description is kept in until the slide is written: a new
    // name each time, so that an older version an undo returns to is still there.
    QString DescriptionWorkFile(const TDbSlide *slide) const;

    TDbClearBook *FindClearBook(int cbId) const;
    TDbClearBook *FindClearBookByOid(const QString &oid) const;
    TDbSlide *FindSlide(int slideId) const;

    // --- Objects
    bool LoadObjects(TDbSlide *slide);
    bool SelectObject(TDbObject *o);
    bool UpdateObject(TDbObject *o);
    bool InsertObject(TDbObject *o, bool copyMedia);
    bool DeleteObjectRow(TDbObject *o);
    bool SetLinkRow(const QString &oid, int cbId, int slideId);
    bool SetPropertyTextRow(const QString &oid, const QString &text);

    TDbObject *CopyObject(TDbObject *source, TDbSlide *target);
    TDbObject *ObjectFromMedia(const TDbMedia *item) const;
    TDbObject *AddNewObject(TDbSlide *slide, const TsObject &rec);
    bool PlaceObject(TDbObjectList &list, TDbObject *o, int position, TDbSlide *slide, bool isNew);
    bool RenumberDesignOrder(TDbObjectList &list);
    int TakeFromDesignOrder(TDbObjectList &list, TDbObject *&o, bool forClipboard);
    bool RemoveObject(TDbObjectList &list, TDbObject *o, TDbSlide *slide);
    // Moves an object to another slide, at a position of its design order.
    bool MoveObjectToSlide(TDbObject *o, TDbSlide *target, int position);
    void SelectRange(TDbObjectList &list, int position, int count);
    // On the edited slide's selection, or on one object.
    void BringToFront(TDbObject *one = nullptr);
    void SendToBack(TDbObject *one = nullptr);

    // Slide objects on the workspace clipboard: each entry holds a reference; clearing lets go
    // of them (the last holder deletes a stored object's row).
    void ClipboardAdd(TSelectedList &clipboard, TDbObject *o);
    void ClipboardClear(TSelectedList &clipboard);
    // Lets go of one reference; the last deletes the row (when stored) and frees the object.
    bool ReleaseObject(TDbObject *o);

    // The display integers from the held floats: × √(SurfaceZoom / 100), truncated; a held 0
    // leaves its integer; rows without floats get them from the integers first.
    void ApplyDisplayGeometry(TDbObject *o) const;

    // The work file a memo's text is written to before its row is written.
    QString MemoWorkFile(int position) const;

private:
    bool insertObjectRow(TDbObject *o, bool copyMedia);
    bool writeMemoText(TDbObject *o, int position, QString *workFile);
    void freeSlide(TDbSlide *slide);
    void detachShared(TDbSlide *slide);
    bool deleteSlideFlags(TDbSlide *slide);
    bool storeSlideIndex(TDbSlide *slide);
    void loadLinkTitles(TDbObject *o);
    void giveBack(TDbObject *o);
    bool keepForUndo(TDbObject *o);

    Connection &m_connection;
    AuthoringViews m_noViews;
    AuthoringViews *m_views = &m_noViews;
};

} // namespace vk
