// Timeline flags: records, the edited slide's list, storage and rules.
#include "FlagList.h"

#include "AT_DbClearbook.h"
#include "Connection.h"
#include "Messages.h"
#include "ObjectKinds.h"
#include "Statement.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace vk {

namespace {

// The name the flag table's failures are reported under.
const QString FlagTableName = QStringLiteral(",FlagTable");

int saturated(qint64 value)
{
    return int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

int slideClearBookId(const TDbSlide *slide)
{
    return slide->Owner ? slide->Owner->Rec.CB_Id : slide->Rec.CB_Id;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Kinds

int StoredFlagType(FlagKind kind)
{
    switch (kind) {
    case FlagKind::LoopStart:
        return 0;
    case FlagKind::LoopEnd:
        return -1;
    case FlagKind::Jump:
        return 1;
    case FlagKind::Label:
        return 2;
    case FlagKind::Delay:
        return 3;
    case FlagKind::Pause:
        return 5;
    case FlagKind::Stop:
        return 4;
    }
    return -1;
}

bool FlagKindOfStored(int type, FlagKind *kind)
{
    static const FlagKind kinds[] = {FlagKind::LoopStart, FlagKind::Jump, FlagKind::Label,
                                     FlagKind::Delay,     FlagKind::Stop, FlagKind::Pause};
    if (type < 0 || type > 5)
        return false;
    *kind = kinds[type];
    return true;
}

QString FlagKindWord(FlagKind kind)
{
    switch (kind) {
    case FlagKind::Delay:
        return QStringLiteral("Delay");
    case FlagKind::Pause:
        return QStringLiteral("Pause");
    case FlagKind::Stop:
        return QStringLiteral("Stop");
    case FlagKind::LoopStart:
    case FlagKind::LoopEnd:
        return QStringLiteral("Loop");
    case FlagKind::Jump:
        return QStringLiteral("Jump");
    case FlagKind::Label:
        return QStringLiteral("Label");
    }
    return QString();
}

QString FlagIconName(FlagKind kind)
{
    switch (kind) {
    case FlagKind::LoopStart:
        return QStringLiteral("loopleft");
    case FlagKind::LoopEnd:
        return QStringLiteral("loopright");
    case FlagKind::Jump:
        return QStringLiteral("jump");
    case FlagKind::Label:
        return QStringLiteral("label");
    case FlagKind::Delay:
        return QStringLiteral("delay");
    case FlagKind::Pause:
        return QStringLiteral("pause");
    case FlagKind::Stop:
        return QStringLiteral("stop");
    }
    return QString();
}

TsFlag LoopEndOf(const TsFlag &loop)
{
    TsFlag end = loop;
    end.Kind = FlagKind::LoopEnd;
    end.Flag_Name = loop.Flag_Name + QStringLiteral("(End)");
    end.Flag_StartTime = loop.Loop_EndTime;
    end.Loop_EndTime = loop.Flag_StartTime;
    return end;
}

// ---------------------------------------------------------------------------------------------
// The flag list

TDbFlagList::TDbFlagList(Connection &connection) : m_connection(connection) {}

TDbFlagList::~TDbFlagList()
{
    qDeleteAll(Flags);
}

namespace {

// The slide's stored flags (loops without their ends), in start-time order; false when they
// could not all be read (what was read is kept).
bool readStoredFlags(Connection &c, int cbId, int slideId, QList<TsFlag> *flags)
{
    Statement st(
        c, QStringLiteral("select Flag_CB_Id,Flag_Slide_Id,Flag_Id,Flag_StartTime,Flag_Name,Flag_Type_Id,"
                          "Loop_EndTime,Jump_To_MarkName,FlagActive_Type,Time_Associated from Flag_Table "
                          "where Flag_CB_Id=? and Flag_Slide_Id=? order by Flag_StartTime, Flag_Id"));
    bool ok =
        st.needsParams() && st.bindAll({QString::number(cbId), QString::number(slideId)}) && st.execute() < 2;
    if (ok) {
        QStringList row;
        int rc;
        while ((rc = st.fetch(row)) < 2) {
            TsFlag r;
            if (!FlagKindOfStored(row.value(5).toInt(), &r.Kind))
                continue;
            r.Flag_CB_Id = row.value(0).toInt();
            r.Flag_Slide_Id = row.value(1).toInt();
            r.Flag_Id = row.value(2).toInt();
            r.Flag_StartTime = row.value(3).toInt();
            r.Flag_Name = row.value(4);
            r.Loop_EndTime = row.value(6).toInt();
            r.Jump_To_MarkName = row.value(7);
            r.FlagActive = row.value(8).toInt() == 1;
            r.Time_Associated = row.value(9).toInt();
            flags->append(r);
        }
        ok = rc == vkdb::DbNoMoreRows;
    }
    return ok;
}

} // namespace

void TDbFlagList::appendStored(const TsFlag &r)
{
    auto *flag = new TDbFlag(r);
    AddFlag(flag);
    PlaceFlagIcon(flag);
    if (r.Kind == FlagKind::LoopStart) {
        auto *end = new TDbFlag(LoopEndOf(r));
        AddFlag(end);
        PlaceFlagIcon(end);
    }
}

void TDbFlagList::rememberStored()
{
    m_storedNames.clear();
    for (const TDbFlag *f : std::as_const(Flags))
        if (f->kind() != FlagKind::LoopEnd)
            m_storedNames.insert(f->Rec.Flag_Name);
}

bool TDbFlagList::LoadFlags(int cbId, int slideId)
{
    ClearFlags();
    Connection &c = m_connection;
    QList<TsFlag> stored;
    const bool ok = readStoredFlags(c, cbId, slideId, &stored);
    for (const TsFlag &r : std::as_const(stored))
        appendStored(r);
    rememberStored();
    if (!ok) {
        // What was read stays to be seen, but it is not the whole of what is stored.
        c.report(MsgRetrieveDataFromTable, FlagTableName);
        m_complete = false;
    }
    return ok;
}

bool TDbFlagList::DeleteFlags(int cbId, int slideId)
{
    Statement st(m_connection,
                 QStringLiteral("delete From Flag_Table where Flag_CB_Id=? and Flag_Slide_Id=?"));
    if (!st.needsParams() || !st.bindAll({QString::number(cbId), QString::number(slideId)}) ||
        st.execute() > 1) {
        m_connection.report(MsgDeleteTable, FlagTableName);
        return false;
    }
    return true;
}

bool TDbFlagList::SaveFlags(int cbId, int slideId)
{
    Connection &c = m_connection;
    if (!m_complete) {
        c.report(vkMessage("FlagsNotRead"));
        return false;
    }
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    // Flags another program stored since this list was read are kept: they join the list, unless
    // one of ours has taken the name meanwhile. Those this list had read and no longer holds
    // were removed here, and go.
    QList<TsFlag> stored;
    if (!readStoredFlags(c, cbId, slideId, &stored)) {
        c.report(MsgRetrieveDataFromTable, FlagTableName);
        return false;
    }
    for (TsFlag r : std::as_const(stored))
        if (!m_storedNames.contains(r.Flag_Name) && !FindFlag(r.Flag_Name)) {
            r.Flag_Id = int(count()) + 1;
            appendStored(r);
        }
    if (!DeleteFlags(cbId, slideId))
        return false;
    for (const TDbFlag *flag : std::as_const(Flags)) {
        const TsFlag &r = flag->Rec;
        if (r.Kind == FlagKind::LoopEnd)
            continue;
        Statement st(c,
                     QStringLiteral("insert into Flag_Table (Flag_CB_Id,Flag_Slide_Id,Flag_Id,Flag_StartTime,"
                                    "Flag_Name,Flag_Type_Id,Loop_EndTime,Jump_To_MarkName,FlagActive_Type,"
                                    "Time_Associated) values(?,?,?,?,?,?,?,?,?,?)"));
        const QStringList values{QString::number(cbId),
                                 QString::number(slideId),
                                 QString::number(r.Flag_Id),
                                 QString::number(r.Flag_StartTime),
                                 r.Flag_Name,
                                 QString::number(StoredFlagType(r.Kind)),
                                 QString::number(r.Loop_EndTime),
                                 r.Jump_To_MarkName,
                                 r.FlagActive ? QStringLiteral("1") : QStringLiteral("0"),
                                 QString::number(r.Time_Associated)};
        if (!st.needsParams() || !st.bindAll(values) || st.execute() > 1) {
            c.report(MsgInsertData, FlagTableName);
            return false;
        }
    }
    if (!tx.commit()) {
        c.report(MsgInsertData, FlagTableName);
        return false;
    }
    // The flags belong to the slide they were stored with: a new slide's got its ids only now.
    for (TDbFlag *flag : std::as_const(Flags)) {
        flag->Rec.Flag_CB_Id = cbId;
        flag->Rec.Flag_Slide_Id = slideId;
    }
    rememberStored();
    return true;
}

bool TDbFlagList::LoadFlags(const TDbSlide *slide)
{
    return LoadFlags(slideClearBookId(slide), slide->Rec.Slide_Id);
}

bool TDbFlagList::SaveFlags(const TDbSlide *slide)
{
    return SaveFlags(slideClearBookId(slide), slide->Rec.Slide_Id);
}

void TDbFlagList::freeFlag(TDbFlag *flag)
{
    m_views->destroyFlagIcon(flag);
    delete flag;
}

void TDbFlagList::ClearFlags()
{
    SelectFlag(nullptr);
    const QList<TDbFlag *> flags = std::exchange(Flags, {});
    for (TDbFlag *flag : flags)
        freeFlag(flag);
    m_complete = true;
    m_storedNames.clear();
}

void TDbFlagList::ReplaceFlags(const QList<TsFlag> &records)
{
    const bool complete = m_complete;
    const QSet<QString> storedNames = m_storedNames;
    ClearFlags();
    m_complete = complete;
    m_storedNames = storedNames;
    for (const TsFlag &r : records)
        AddFlag(new TDbFlag(r));
}

void TDbFlagList::HideFlags()
{
    SelectFlag(nullptr);
    m_views->hideFlagIcons();
}

TDbFlag *TDbFlagList::FindFlag(const QString &name) const
{
    for (TDbFlag *flag : Flags)
        if (flag->Rec.Flag_Name == name)
            return flag;
    return nullptr;
}

qsizetype TDbFlagList::FlagIndex(const QString &name) const
{
    for (qsizetype i = 0; i < Flags.size(); ++i)
        if (Flags[i]->Rec.Flag_Name == name)
            return i;
    return -1;
}

void TDbFlagList::AddFlag(TDbFlag *flag)
{
    flag->Owner = this;
    Flags.append(flag);
}

TDbFlag *TDbFlagList::Partner(const TDbFlag *flag) const
{
    const qsizetype i = Flags.indexOf(const_cast<TDbFlag *>(flag));
    if (i < 0)
        return nullptr;
    if (flag->kind() == FlagKind::LoopStart) {
        TDbFlag *next = Flags.value(i + 1);
        return next && next->kind() == FlagKind::LoopEnd ? next : nullptr;
    }
    if (flag->kind() == FlagKind::LoopEnd) {
        TDbFlag *previous = Flags.value(i - 1);
        return previous && previous->kind() == FlagKind::LoopStart ? previous : nullptr;
    }
    return nullptr;
}

void TDbFlagList::RemoveFlag(TDbFlag *flag)
{
    if (!Flags.contains(flag))
        return;
    TDbFlag *partner = Partner(flag);
    if (Selected == flag || (partner && Selected == partner))
        SelectFlag(nullptr);
    Flags.removeOne(flag);
    freeFlag(flag);
    if (partner) {
        Flags.removeOne(partner);
        freeFlag(partner);
    }
}

void TDbFlagList::SelectFlag(TDbFlag *flag)
{
    Selected = flag;
    if (!flag) {
        m_views->outlineFlags(nullptr, nullptr);
        return;
    }
    TDbFlag *first = flag;
    TDbFlag *second = nullptr;
    if (flag->kind() == FlagKind::LoopStart) {
        second = Partner(flag);
    } else if (flag->kind() == FlagKind::LoopEnd) {
        second = flag;
        if (TDbFlag *start = Partner(flag))
            first = start;
    }
    m_views->outlineFlags(first, second);
}

// ---------------------------------------------------------------------------------------------
// Rules

int SlideMaxTime(const TDbSlide *slide)
{
    qint64 end = 0;
    if (slide)
        for (const TDbObject *o : slide->Objects.Objects)
            if (!o->Rec.Removed)
                end = qMax(end, qint64(o->Rec.Bar_Left) + o->Rec.Bar_Width);
    return saturated(end);
}

bool IntervalsCross(int a, int b, int c, int d)
{
    if (a > b)
        std::swap(a, b);
    if (c > d)
        std::swap(c, d);
    // "Strictly inside" compares rather than multiplies the two distances, which would not
    // fit in any integer for times far apart.
    const auto inside = [a, b](int x) { return a < x && x < b; };
    return inside(c) != inside(d);
}

QString FlagRefusal(const TDbFlagList &list, const TDbFlag *flag, const TsFlag &params, bool lenient,
                    int maxTime)
{
    const auto refused = [](const char *name) { return vkMessage(name); };
    const bool loop = params.Kind == FlagKind::LoopStart;
    const int start = params.Flag_StartTime;
    const int end = params.Loop_EndTime;

    // A loop's end carries a name too, "(End)" after the loop's: another flag must not have it,
    // or a jump to that flag could be led to the loop's end instead. The loop's own end is
    // renamed with it.
    const QString endName = loop ? LoopEndOf(params).Flag_Name : QString();
    const TDbFlag *ownEnd = loop && flag ? list.Partner(flag) : nullptr;
    for (const TDbFlag *f : list.Flags)
        if (f != flag && f != ownEnd &&
            (f->Rec.Flag_Name == params.Flag_Name || (loop && f->Rec.Flag_Name == endName)))
            return refused("FlagNameDuplicated");
    if (!lenient) {
        if (start > maxTime || (loop && end > maxTime))
            return refused("FlagExceedsMaxTime");
        if (loop && start >= end)
            return refused("LoopStartNotBeforeEnd");
        if (loop && !params.FlagActive && qint64(params.Time_Associated) < qAbs(qint64(start) - end))
            return refused("LessThanOneLoop");
        if (loop && params.FlagActive && params.Time_Associated <= 0)
            return refused("LoopTimeTooSmall");
    }
    if (loop) {
        for (const TDbFlag *p : list.Flags)
            if (p != flag && p->kind() == FlagKind::LoopStart &&
                IntervalsCross(start, end, p->Rec.Flag_StartTime, p->Rec.Loop_EndTime))
                return refused("LoopCrossError");
        for (const TDbFlag *p : list.Flags) {
            if (p->kind() != FlagKind::Jump)
                continue;
            const TDbFlag *destination = list.FindFlag(p->Rec.Jump_To_MarkName);
            if (destination &&
                IntervalsCross(start, end, p->Rec.Flag_StartTime, destination->Rec.Flag_StartTime))
                return refused("JumpToLoopError");
        }
    }
    const auto crossesALoop = [&list](int from, int to) {
        for (const TDbFlag *q : list.Flags)
            if (q->kind() == FlagKind::LoopStart &&
                IntervalsCross(q->Rec.Flag_StartTime, q->Rec.Loop_EndTime, from, to))
                return true;
        return false;
    };
    if (params.Kind == FlagKind::Jump) {
        const TDbFlag *destination = list.FindFlag(params.Jump_To_MarkName);
        if (!destination)
            return refused("NoJumpDestination");
        if (crossesALoop(start, destination->Rec.Flag_StartTime))
            return refused("JumpToLoopError");
    }
    if (params.Kind == FlagKind::Label && flag) {
        for (const TDbFlag *p : list.Flags)
            if (p->kind() == FlagKind::Jump && p->Rec.Jump_To_MarkName == flag->Rec.Flag_Name &&
                crossesALoop(p->Rec.Flag_StartTime, start))
                return refused("JumpToLoopError");
    }
    return QString();
}

bool ValidateFlag(const TDbFlagList &list, const TDbFlag *flag, const TsFlag &params, bool lenient,
                  int maxTime)
{
    const QString refusal = FlagRefusal(list, flag, params, lenient, maxTime);
    if (refusal.isEmpty())
        return false;
    list.connection().report(refusal);
    return true;
}

} // namespace vk
