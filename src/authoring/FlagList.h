// Timeline flags: their records, the list of the edited slide's flags, their storage in
// Flag_Table and the rules every new or changed flag must pass.
//
// A slide's flags steer how its timeline plays: a Delay holds it, a Pause waits for the person,
// a Stop ends playing, a Loop repeats a stretch (a number of times or for a total time), a Jump
// continues at a Label. They live in Flag_Table, one row a flag; a loop is one row, and its end
// marker (LoopEnd) exists only in memory, right after its loop in the list.
//
// All times are integers in hundredths of a second (cs).
#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace vk {

class Connection;
class TDbObject;
class TDbSlide;

// ---------------------------------------------------------------------------------------------
// Flags

// The kind in memory. The stored Flag_Type_Id differs (see StoredFlagType).
enum class FlagKind : quint8
{
    LoopStart = 0,
    LoopEnd = 1, // in memory only
    Jump = 2,
    Label = 3,
    Delay = 4,
    Pause = 5,
    Stop = 6,
};

// Flag_Type_Id of a kind: LoopStart 0, Jump 1, Label 2, Delay 3, Stop 4, Pause 5; a LoopEnd is
// never stored (-1).
int StoredFlagType(FlagKind kind);
// The kind of a stored Flag_Type_Id; false for values no flag is stored with (6 among them),
// whose rows are passed over.
bool FlagKindOfStored(int type, FlagKind *kind);
// "Delay", "Pause", "Stop", "Loop" (a loop and its end), "Jump", "Label": the word of a kind
// in new flags' names and the flag buttons' hints.
QString FlagKindWord(FlagKind kind);
// "loopleft", "loopright", "jump", "label", "delay", "pause", "stop": the icon of each kind.
QString FlagIconName(FlagKind kind);

struct TsFlag
{
    int Flag_CB_Id = 0;
    int Flag_Slide_Id = 0;
    int Flag_Id = 0; // count of flags in the list + 1 when made
    int Flag_StartTime = 0;
    QString Flag_Name; // unique within the slide; jumps name their label by it
    FlagKind Kind = FlagKind::Label;
    int Loop_EndTime = 0; // loop: its end; LoopEnd: its loop's start
    QString Jump_To_MarkName;
    // Loop: counted ("Times") rather than time-limited ("Limit Time"). Pause: a key press
    // resumes, rather than a left mouse click.
    bool FlagActive = false;
    // Loop: repeat count or total loop time; delay: hold time; jump: the destination's place
    // in the flag list or play list, -1 when there is none (no behaviour hangs on it).
    int Time_Associated = 0;

    bool operator==(const TsFlag &) const = default;
};

// The LoopEnd of a loop: its name followed by "(End)", at the loop's end, pointing back at its
// start; the rest as the loop has it.
TsFlag LoopEndOf(const TsFlag &loop);

class TDbFlagList;

// A flag. Its icon on the timeline ruler is a view that points at it.
class TDbFlag
{
public:
    explicit TDbFlag(const TsFlag &rec = TsFlag()) : Rec(rec) {}

    TsFlag Rec;
    TDbFlagList *Owner = nullptr;

    FlagKind kind() const { return Rec.Kind; }
};

// What the timeline table does when the flag list changes. Every hook does nothing unless a
// view overrides it.
class FlagViews
{
public:
    virtual ~FlagViews() = default;
    // The icon of the flag placed at its time on the ruler (made first when it has none).
    virtual void placeFlagIcon(TDbFlag *) {}
    // The flag is about to be freed: its icon goes with it.
    virtual void destroyFlagIcon(TDbFlag *) {}
    virtual void hideFlagIcons() {}
    // The two selection outlines: on `first` and on `second`; null hides one.
    virtual void outlineFlags(TDbFlag * /*first*/, TDbFlag * /*second*/) {}
};

// The flags of the slide being edited, in order of loading or making; owns them. A LoopEnd
// always directly follows its LoopStart.
class TDbFlagList
{
public:
    explicit TDbFlagList(Connection &connection);
    ~TDbFlagList();
    TDbFlagList(const TDbFlagList &) = delete;
    TDbFlagList &operator=(const TDbFlagList &) = delete;

    QList<TDbFlag *> Flags;
    TDbFlag *Selected = nullptr;

    Connection &connection() const { return m_connection; }
    void setViews(FlagViews *views) { m_views = views ? views : &m_noViews; }

    qsizetype count() const { return Flags.size(); }
    TDbFlag *at(qsizetype i) const { return Flags.value(i); }

    // Replaces the list with the slide's stored flags, in start-time order, each loop followed
    // by its LoopEnd. When the flags cannot be read the person is told, the list keeps what was
    // read, and it is marked incomplete: SaveFlags refuses to write it over the stored flags.
    bool LoadFlags(int cbId, int slideId);
    // Replaces the slide's stored flags with the list (LoopEnds are not stored), as one change,
    // under the ids given, which every flag of the list takes. Flags another program stored
    // since the list was read are kept and join the list. False (told, nothing written)
    // when any statement fails or the list was not read whole.
    bool SaveFlags(int cbId, int slideId);
    bool DeleteFlags(int cbId, int slideId);
    // The same for a slide of the authoring model: its ClearBook's id and its own.
    bool LoadFlags(const TDbSlide *slide);
    bool SaveFlags(const TDbSlide *slide);

    // Deselects, frees every flag and its icon, and leaves an empty list, complete as a new
    // slide's is.
    void ClearFlags();
    // The flags made anew from records (an undo puts a list back this way); whether the list
    // was read whole stays as it was.
    void ReplaceFlags(const QList<TsFlag> &records);
    // Deselects and hides every icon.
    void HideFlags();
    // False after a load that could not read every row, until the list is cleared or loaded.
    bool isComplete() const { return m_complete; }

    TDbFlag *FindFlag(const QString &name) const;
    qsizetype FlagIndex(const QString &name) const;
    void AddFlag(TDbFlag *flag);
    // Takes a flag out and frees it, a loop together with its LoopEnd.
    void RemoveFlag(TDbFlag *flag);
    // A loop's LoopEnd and a LoopEnd's loop, by the list's order; null for other kinds.
    TDbFlag *Partner(const TDbFlag *flag) const;

    void PlaceFlagIcon(TDbFlag *flag) { m_views->placeFlagIcon(flag); }
    void SelectFlag(TDbFlag *flag);

private:
    void freeFlag(TDbFlag *flag);
    // A stored flag appended, a loop with its end.
    void appendStored(const TsFlag &r);
    // The names of the flags as they are stored now.
    void rememberStored();

    Connection &m_connection;
    FlagViews m_noViews;
    FlagViews *m_views = &m_noViews;
    bool m_complete = true;
    QSet<QString> m_storedNames; // as last read or stored
};

// The timeline's length: where the latest-ending bar of the slide's objects ends (0 without
// objects).
int SlideMaxTime(const TDbSlide *slide);

// Whether two intervals cross: exactly one end of the second lies strictly inside the first.
// Touching, nested and apart do not cross.
bool IntervalsCross(int a, int b, int c, int d);

// The message name of the first rule that refuses the proposed values (empty when none does).
// `flag` is the flag being changed, null for a new one; a loop is checked with its own values
// (start and Loop_EndTime), never through its LoopEnd. In lenient mode (dragging icons) the
// rules of time and loop length do not refuse.
QString FlagRefusal(const TDbFlagList &list, const TDbFlag *flag, const TsFlag &params, bool lenient,
                    int maxTime);
// The rules above; true when refused, after showing why.
bool ValidateFlag(const TDbFlagList &list, const TDbFlag *flag, const TsFlag &params, bool lenient,
                  int maxTime);

} // namespace vk
