// Timeline flags: their stored form, loading and saving a slide's flags as one change, and the
// rules every new or changed flag must pass.
#include "AT_DbClearbook.h"
#include "Engine.h"
#include "FlagList.h"
#include "Messages.h"
#include "Schema.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cctype>
#include <climits>
#include <vector>

using namespace vk;

namespace {

TEST(FlagKindTest, KindsAreStoredWithTheirOwnTypeCodes)
{
    const struct
    {
        FlagKind kind;
        int stored;
        const char *icon;
    } cases[] = {{FlagKind::LoopStart, 0, "loopleft"}, {FlagKind::Jump, 1, "jump"},
                 {FlagKind::Label, 2, "label"},        {FlagKind::Delay, 3, "delay"},
                 {FlagKind::Stop, 4, "stop"},          {FlagKind::Pause, 5, "pause"},
                 {FlagKind::LoopEnd, -1, "loopright"}};
    for (const auto &k : cases) {
        EXPECT_EQ(StoredFlagType(k.kind), k.stored) << k.icon;
        EXPECT_EQ(FlagIconName(k.kind), k.icon);
        FlagKind back = FlagKind::Label;
        EXPECT_EQ(FlagKindOfStored(k.stored, &back), k.stored >= 0) << k.icon;
        if (k.stored >= 0) {
            EXPECT_EQ(back, k.kind) << k.icon;
        }
    }
    FlagKind unused;
    for (int type : {6, 7, 100, -1})
        EXPECT_FALSE(FlagKindOfStored(type, &unused)) << type;
}

// ---------------------------------------------------------------------------------------------
// The flag table

class FlagTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(c());
        AuthoringSchemaCheck(c());
        ASSERT_TRUE(work.isValid());
        c().setTempFilePrefix(work.path());
    }
    Connection &c() { return src.connection; }
    void exec(const char *sql) { ASSERT_LT(vkdb::DbExecDirect(c().handle(), sql), 2) << sql; }

    // Rows as stored: "slide start name type loopEnd jumpTo active value", in start-time order.
    QStringList rows(int cbId = 1, int slideId = 2)
    {
        Statement st(c(),
                     QStringLiteral("select Flag_Slide_Id,Flag_StartTime,Flag_Name,Flag_Type_Id,Loop_EndTime,"
                                    "Jump_To_MarkName,FlagActive_Type,Time_Associated from Flag_Table "
                                    "where Flag_CB_Id=? order by Flag_StartTime, Flag_Name"));
        st.bind(QString::number(cbId));
        st.execute();
        QStringList out, row;
        while (st.fetch(row) < 2)
            if (slideId < 0 || row.value(0) == QString::number(slideId))
                out << row.mid(1).join(' ');
        return out;
    }
    void insertRow(int slideId, int start, const QString &name, int type, int loopEnd = 0,
                   const QString &jumpTo = QString(), int active = 0, int value = 0)
    {
        Statement st(c(),
                     QStringLiteral("insert into Flag_Table (Flag_CB_Id,Flag_Slide_Id,Flag_Id,Flag_StartTime,"
                                    "Flag_Name,Flag_Type_Id,Loop_EndTime,Jump_To_MarkName,FlagActive_Type,"
                                    "Time_Associated) values(?,?,?,?,?,?,?,?,?,?)"));
        for (const QString &v :
             {QStringLiteral("1"), QString::number(slideId), QStringLiteral("9"), QString::number(start),
              name, QString::number(type), QString::number(loopEnd), jumpTo, QString::number(active),
              QString::number(value)})
            st.bind(v);
        ASSERT_LT(st.execute(), 2);
    }
    static QStringList described(const TDbFlagList &list)
    {
        QStringList out;
        for (const TDbFlag *f : list.Flags)
            out << QStringLiteral("%1 %2 %3 %4")
                       .arg(f->Rec.Flag_Name)
                       .arg(int(f->kind()))
                       .arg(f->Rec.Flag_StartTime)
                       .arg(f->Rec.Loop_EndTime);
        return out;
    }
    TDbFlag *add(TDbFlagList &list, FlagKind kind, const QString &name, int start)
    {
        TsFlag r;
        r.Kind = kind;
        r.Flag_Name = name;
        r.Flag_StartTime = start;
        auto *f = new TDbFlag(r);
        list.AddFlag(f);
        return f;
    }

    TempDataSource src;
    QTemporaryDir work;
};

TEST_F(FlagTableTest, StoredRowsLoadAsFlagsWithLoopEndsAndSaveBackAsRows)
{
    insertRow(2, 400, "P", 5, 0, "", 2); // a pause; only 1 stores "a key resumes"
    insertRow(2, 500, "S", 4);           // a stop
    insertRow(2, 100, "L", 0, 300, "", 1, 2);
    insertRow(2, 50, "old", 6); // a type no flag is stored with
    insertRow(2, 60, "future", 9);
    insertRow(2, 200, "J", 1, 0, "X", 0, 4);
    insertRow(2, 250, "X", 2);
    insertRow(2, 20, "D", 3, 0, "", 0, 150);
    insertRow(3, 10, "Alone", 0, 90, "", 0, 80); // another slide: only a loop

    TDbFlagList flags(c());
    ASSERT_TRUE(flags.LoadFlags(1, 2));
    EXPECT_EQ(described(flags), QStringList({"D 4 20 0", "L 0 100 300", "L(End) 1 300 100", "J 2 200 0",
                                             "X 3 250 0", "P 5 400 0", "S 6 500 0"}));
    const TDbFlag *end = flags.at(2);
    EXPECT_EQ(flags.Partner(flags.at(1)), end);
    EXPECT_TRUE(end->Rec.FlagActive);
    EXPECT_EQ(end->Rec.Time_Associated, 2);
    EXPECT_EQ(end->Rec.Flag_Id, 9);
    EXPECT_FALSE(flags.FindFlag("P")->Rec.FlagActive);
    EXPECT_EQ(flags.FindFlag("D")->Rec.Time_Associated, 150);
    EXPECT_EQ(flags.FlagIndex("X"), 4);
    EXPECT_EQ(flags.FlagIndex("x"), -1);

    // Saved and read again: the same flags, each loop's end made anew; Pause 5 and Stop 4.
    ASSERT_TRUE(flags.SaveFlags(1, 2));
    EXPECT_EQ(rows(), QStringList({"20 D 3 0  0 150", "100 L 0 300  1 2", "200 J 1 0 X 0 4", "250 X 2 0  0 0",
                                   "400 P 5 0  0 0", "500 S 4 0  0 0"}));
    const QStringList before = described(flags);
    ASSERT_TRUE(flags.LoadFlags(1, 2));
    EXPECT_EQ(described(flags), before);

    ASSERT_TRUE(flags.LoadFlags(1, 3));
    EXPECT_EQ(described(flags), QStringList({"Alone 0 10 90", "Alone(End) 1 90 10"}));
}

// Flags are made with the ids of the slide being edited; a slide not yet stored has none yet.
TEST_F(FlagTableTest, ANewSlidesFlagsAreStoredUnderTheIdsItGetsWhenSaved)
{
    TDbClearBookList books(c());
    ASSERT_TRUE(books.LoadClearBooks());
    TDbFlagList flags(c());
    struct Forward : AuthoringViews
    {
        TDbFlagList *flags;
        TDbFlagList *slideFlags(const TDbSlide *) override { return flags; }
    } views;
    views.flags = &flags;
    books.setViews(&views);

    TDbClearBook *cb = books.CreateClearBook("Book", "me");
    ASSERT_TRUE(cb);
    TDbSlide *slide = books.NewSlide(cb, "New");
    add(flags, FlagKind::Label, "Here", 100)->Rec.Flag_Slide_Id = slide->Rec.Slide_Id;
    ASSERT_TRUE(books.SaveSlide(slide));
    ASSERT_GT(slide->Rec.Slide_Id, 0);

    EXPECT_EQ(rows(cb->Rec.CB_Id, slide->Rec.Slide_Id), QStringList({"100 Here 2 0  0 0"}));
    EXPECT_EQ(flags.at(0)->Rec.Flag_Slide_Id, slide->Rec.Slide_Id);
    EXPECT_EQ(flags.at(0)->Rec.Flag_CB_Id, cb->Rec.CB_Id);
    ASSERT_TRUE(flags.LoadFlags(slide));
    EXPECT_EQ(described(flags), QStringList({"Here 3 100 0"}));
}

// Two programs edit the flags of one slide: a save keeps what the other stored meanwhile, and
// removes only what it had read and then removed itself.
TEST_F(FlagTableTest, ASaveKeepsTheFlagsAnotherProgramStoredMeanwhile)
{
    insertRow(2, 100, "Kept", 2);
    insertRow(2, 200, "Removed here", 2);
    TDbFlagList here(c());
    ASSERT_TRUE(here.LoadFlags(1, 2));

    Connection other;
    ASSERT_EQ(other.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    TDbFlagList there(other);
    ASSERT_TRUE(there.LoadFlags(1, 2));
    add(there, FlagKind::Label, "From there", 300);
    TsFlag loop;
    loop.Kind = FlagKind::LoopStart;
    loop.Flag_Name = "Loop there";
    loop.Flag_StartTime = 400;
    loop.Loop_EndTime = 500;
    there.AddFlag(new TDbFlag(loop));
    there.AddFlag(new TDbFlag(LoopEndOf(loop)));
    ASSERT_TRUE(there.SaveFlags(1, 2));

    here.RemoveFlag(here.FindFlag("Removed here"));
    add(here, FlagKind::Label, "From here", 600);
    ASSERT_TRUE(here.SaveFlags(1, 2));
    EXPECT_EQ(rows(), QStringList({"100 Kept 2 0  0 0", "300 From there 2 0  0 0", "400 Loop there 0 500  0 0",
                                   "600 From here 2 0  0 0"}));
    EXPECT_TRUE(here.FindFlag("From there")) << "the other program's flags join the list";
    EXPECT_EQ(here.Partner(here.FindFlag("Loop there"))->Rec.Flag_Name, "Loop there(End)");

    // The other program still shows the flag this one removed: as with objects, what a person
    // still sees on the slide is stored again when they save it, and nothing of this one's is lost.
    ASSERT_TRUE(there.SaveFlags(1, 2));
    EXPECT_EQ(rows(), QStringList({"100 Kept 2 0  0 0", "200 Removed here 2 0  0 0", "300 From there 2 0  0 0",
                                   "400 Loop there 0 500  0 0", "600 From here 2 0  0 0"}));
}

TEST_F(FlagTableTest, AFailedSaveWritesNothingAndSaysWhy)
{
    const struct
    {
        const char *trigger;
        const char *message;
    } cases[] = {
        {"create trigger refuse before insert on Flag_Table when new.Flag_Name = 'bad' "
         "begin select raise(abort, 'refused'); end",
         "Insert data into table failed:,FlagTable"},
        {"create trigger refuse before delete on Flag_Table begin select raise(abort, 'refused'); end",
         "Delete table failed:,FlagTable"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.message);
        exec("delete from Flag_Table");
        insertRow(2, 100, "kept", 2);
        exec(k.trigger);
        c().setUi(&src.ui);
        src.ui.messages.clear();

        TDbFlagList flags(c());
        add(flags, FlagKind::Label, "first", 50);
        add(flags, FlagKind::Label, "bad", 60);
        add(flags, FlagKind::Label, "last", 70);
        EXPECT_FALSE(flags.SaveFlags(1, 2));
        EXPECT_EQ(src.ui.messages, QStringList({k.message}));
        EXPECT_EQ(rows(), QStringList({"100 kept 2 0  0 0"}));
        exec("drop trigger refuse");
    }
}

TEST_F(FlagTableTest, AListNotReadWholeIsNotSavedOverTheStoredFlags)
{
    insertRow(2, 100, "A", 2);
    insertRow(2, 200, "B", 2);
    c().setUi(&src.ui);
    TDbFlagList flags(c());

    exec("alter table Flag_Table rename to Flag_Aside");
    EXPECT_FALSE(flags.LoadFlags(1, 2));
    EXPECT_EQ(src.ui.messages, QStringList({"Retrieve data from table failed:,FlagTable"}));
    EXPECT_FALSE(flags.isComplete());
    exec("alter table Flag_Aside rename to Flag_Table");

    // The person goes on editing; saving would lose the flags that were never read.
    add(flags, FlagKind::Label, "C", 300);
    EXPECT_FALSE(flags.SaveFlags(1, 2));
    EXPECT_EQ(src.ui.messages.last(), vkMessage("FlagsNotRead"));
    EXPECT_EQ(rows(), QStringList({"100 A 2 0  0 0", "200 B 2 0  0 0"}));

    // Read whole, the list may be saved again; a cleared list is a new slide's, complete.
    ASSERT_TRUE(flags.LoadFlags(1, 2));
    EXPECT_TRUE(flags.SaveFlags(1, 2));
    flags.ClearFlags();
    EXPECT_TRUE(flags.isComplete());
}

TEST_F(FlagTableTest, LoopsAreSelectedAndRemovedWithTheirEnds)
{
    struct Outlines : FlagViews
    {
        QStringList seen;
        void outlineFlags(TDbFlag *a, TDbFlag *b) override
        {
            seen << (a ? a->Rec.Flag_Name : QString("-")) + "/" + (b ? b->Rec.Flag_Name : QString("-"));
        }
        void destroyFlagIcon(TDbFlag *f) override { seen << "free " + f->Rec.Flag_Name; }
    } views;
    TDbFlagList flags(c());
    flags.setViews(&views);
    TsFlag loop;
    loop.Kind = FlagKind::LoopStart;
    loop.Flag_Name = "L";
    loop.Loop_EndTime = 100;
    flags.AddFlag(new TDbFlag(loop));
    flags.AddFlag(new TDbFlag(LoopEndOf(loop)));
    add(flags, FlagKind::Stop, "S", 50);

    flags.SelectFlag(flags.at(0));
    flags.SelectFlag(flags.at(1));
    flags.SelectFlag(flags.at(2));
    flags.SelectFlag(flags.at(1));
    flags.RemoveFlag(flags.at(0));
    EXPECT_EQ(views.seen,
              QStringList({"L/L(End)", "L/L(End)", "S/-", "L/L(End)", "-/-", "free L", "free L(End)"}));
    EXPECT_EQ(described(flags), QStringList({"S 6 50 0"}));
    EXPECT_EQ(flags.Selected, nullptr);
}

// ---------------------------------------------------------------------------------------------
// The rules

struct F
{
    FlagKind kind;
    const char *name;
    int start;
    int end = 0; // a loop's end
    const char *jumpTo = "";
    bool counted = false;
    int value = 0;
};

TsFlag record(const F &f)
{
    TsFlag r;
    r.Kind = f.kind;
    r.Flag_Name = QString::fromUtf8(f.name);
    r.Flag_StartTime = f.start;
    r.Loop_EndTime = f.end;
    r.Jump_To_MarkName = QString::fromUtf8(f.jumpTo);
    r.FlagActive = f.counted;
    r.Time_Associated = f.value;
    return r;
}

constexpr auto Loop = FlagKind::LoopStart;
constexpr auto Jump = FlagKind::Jump;
constexpr auto Label = FlagKind::Label;
constexpr auto Delay = FlagKind::Delay;

struct RuleCase
{
    const char *what;
    std::vector<F> list;
    const char *changing; // the name of the flag being changed, null for a new one
    F proposed;
    const char *refusal; // "" when it passes
    bool lenient = false;
    int maxTime = 1000;
};

const RuleCase ruleCases[] = {
    {"a new flag named like another",
     {{Label, "A", 100}},
     nullptr,
     {Label, "A", 200},
     "Duplicated Flag Name"},
    {"a changed flag keeping its name", {{Label, "A", 100}}, "A", {Label, "A", 300}, ""},
    {"a new loop whose end would be named like another flag",
     {{Label, "A(End)", 100}},
     nullptr,
     {Loop, "A", 200, 300, "", true, 1},
     "Duplicated Flag Name"},
    {"a loop renamed so that its end is named like another flag",
     {{Loop, "L", 200, 300, "", true, 1}, {Label, "A(End)", 100}},
     "L",
     {Loop, "A", 200, 300, "", true, 1},
     "Duplicated Flag Name"},
    {"a loop renamed to its own end's name",
     {{Loop, "L", 200, 300, "", true, 1}},
     "L",
     {Loop, "L(End)", 200, 300, "", true, 1},
     ""},
    {"a changed flag given a free name", {{Label, "A", 100}, {Label, "B", 200}}, "A", {Label, "C", 100}, ""},
    {"a changed flag given another's name",
     {{Label, "A", 100}, {Label, "B", 200}},
     "A",
     {Label, "B", 100},
     "Duplicated Flag Name"},
    {"past the end of a slide without objects", {}, nullptr, {Delay, "D", 10}, "Exceed MaxTime", false, 0},
    {"at the end of a slide without objects", {}, nullptr, {Delay, "D", 0}, "", false, 0},
    {"at the end itself", {}, nullptr, {Delay, "D", 1000}, ""},
    {"a loop ending past the end", {}, nullptr, {Loop, "L", 100, 1100, "", true, 1}, "Exceed MaxTime"},
    {"a loop ending where it starts",
     {},
     nullptr,
     {Loop, "L", 300, 300, "", true, 1},
     "loopstart must less than loopEnd"},
    {"a loop ending before it starts",
     {},
     nullptr,
     {Loop, "L", 300, 200, "", true, 1},
     "loopstart must less than loopEnd"},
    {"a time limit shorter than one pass",
     {},
     nullptr,
     {Loop, "L", 100, 300, "", false, 150},
     "less than one loop"},
    {"a time limit of one pass", {}, nullptr, {Loop, "L", 100, 300, "", false, 200}, ""},
    {"a count of 0", {}, nullptr, {Loop, "L", 100, 300, "", true, 0}, "loop time too small"},
    {"a count of 1", {}, nullptr, {Loop, "L", 100, 300, "", true, 1}, ""},
    {"overlapping loops",
     {{Loop, "A", 100, 300, "", true, 1}},
     nullptr,
     {Loop, "B", 200, 400, "", true, 1},
     "Loop Cross Error"},
    {"nested loops", {{Loop, "A", 100, 400, "", true, 1}}, nullptr, {Loop, "B", 200, 300, "", true, 1}, ""},
    {"touching loops", {{Loop, "A", 100, 200, "", true, 1}}, nullptr, {Loop, "B", 200, 300, "", true, 1}, ""},
    // The crossing test looks at the new loop's ends inside the other's: a loop inside another
    // that shares its start passes, one around another that shares its start does not.
    {"a loop inside another sharing its start",
     {{Loop, "A", 100, 400, "", true, 1}},
     nullptr,
     {Loop, "B", 100, 300, "", true, 1},
     ""},
    {"a loop around another sharing its start",
     {{Loop, "A", 100, 300, "", true, 1}},
     nullptr,
     {Loop, "B", 100, 400, "", true, 1},
     "Loop Cross Error"},
    {"a loop moved across another",
     {{Loop, "A", 100, 300, "", true, 1}, {Loop, "B", 400, 600, "", true, 1}},
     "B",
     {Loop, "B", 200, 600, "", true, 1},
     "Loop Cross Error"},
    {"a loop changed over its own old place",
     {{Loop, "A", 100, 300, "", true, 1}},
     "A",
     {Loop, "A", 150, 350, "", true, 1},
     ""},
    {"a jump into a loop",
     {{Loop, "L", 100, 300, "", true, 1}, {Label, "X", 350}},
     nullptr,
     {Jump, "J", 150, 0, "X"},
     "Jump to Loop in error"},
    {"a jump over a whole loop",
     {{Loop, "L", 100, 300, "", true, 1}, {Label, "X", 350}},
     nullptr,
     {Jump, "J", 50, 0, "X"},
     ""},
    {"a jump to no label", {{Label, "X", 350}}, nullptr, {Jump, "J", 50, 0, "Y"}, "No Jump Destination"},
    {"a jump with no label chosen",
     {{Label, "X", 350}},
     nullptr,
     {Jump, "J", 50, 0, ""},
     "No Jump Destination"},
    {"a new loop around a jump's start only",
     {{Jump, "J", 150, 0, "X"}, {Label, "X", 350}},
     nullptr,
     {Loop, "L", 100, 300, "", true, 1},
     "Jump to Loop in error"},
    {"a new loop around a whole jump",
     {{Jump, "J", 150, 0, "X"}, {Label, "X", 250}},
     nullptr,
     {Loop, "L", 100, 300, "", true, 1},
     ""},
    {"a label a jump leads to moved into a loop",
     {{Loop, "L", 100, 300, "", true, 1}, {Jump, "J", 50, 0, "X"}, {Label, "X", 350}},
     "X",
     {Label, "X", 200},
     "Jump to Loop in error"},
    {"a label a jump leads to moved past the loop",
     {{Loop, "L", 100, 300, "", true, 1}, {Jump, "J", 50, 0, "X"}, {Label, "X", 350}},
     "X",
     {Label, "X", 400},
     ""},
    {"dragged past the end", {}, nullptr, {Delay, "D", 2000}, "", true},
    {"dragged to a limit shorter than one pass",
     {},
     nullptr,
     {Loop, "L", 100, 300, "", false, 150},
     "",
     true},
    {"dragged so that a loop ends before it starts",
     {{Loop, "L", 100, 300, "", true, 1}},
     "L",
     {Loop, "L", 300, 200, "", true, 1},
     "",
     true},
    {"dragged into overlap",
     {{Loop, "A", 100, 300, "", true, 1}},
     nullptr,
     {Loop, "B", 200, 400, "", true, 1},
     "Loop Cross Error",
     true},
    {"dragged onto another's name",
     {{Label, "A", 100}},
     nullptr,
     {Label, "A", 100},
     "Duplicated Flag Name",
     true},
    {"overlapping far beyond 32-bit products",
     {{Loop, "A", 0, 2000000000, "", true, 1}},
     nullptr,
     {Loop, "B", 1000000000, 2100000000, "", true, 1},
     "Loop Cross Error",
     false,
     INT_MAX},
    {"nested far beyond 32-bit products",
     {{Loop, "A", 0, 2000000000, "", true, 1}},
     nullptr,
     {Loop, "B", 1000000000, 1500000000, "", true, 1},
     "",
     false,
     INT_MAX},
    {"a limit shorter than a pass of 3,000,000,000 cs",
     {},
     nullptr,
     {Loop, "L", -1000000000, 2000000000, "", false, 2000000000},
     "less than one loop",
     false,
     INT_MAX},
};

class FlagRuleTest : public ::testing::TestWithParam<RuleCase>
{
};

TEST_P(FlagRuleTest, TheFirstRuleThatFailsRefusesTheFlag)
{
    const RuleCase &k = GetParam();
    Connection connection;
    TDbFlagList list(connection);
    for (const F &f : k.list) {
        const TsFlag r = record(f);
        list.AddFlag(new TDbFlag(r));
        if (f.kind == Loop)
            list.AddFlag(new TDbFlag(LoopEndOf(r)));
    }
    const TDbFlag *changing = k.changing ? list.FindFlag(QString::fromUtf8(k.changing)) : nullptr;
    EXPECT_EQ(FlagRefusal(list, changing, record(k.proposed), k.lenient, k.maxTime),
              QString::fromUtf8(k.refusal));
}

INSTANTIATE_TEST_SUITE_P(Rules, FlagRuleTest, ::testing::ValuesIn(ruleCases),
                         [](const ::testing::TestParamInfo<RuleCase> &info) {
                             std::string name;
                             for (const char *p = info.param.what; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p)))
                                     name += *p;
                             return name;
                         });

TEST(FlagRuleMessageTest, ARefusalIsShownAndChangesNothing)
{
    RecordingUi ui;
    Connection connection;
    connection.setUi(&ui);
    TDbFlagList list(connection);
    list.AddFlag(new TDbFlag(record({Label, "A", 100})));
    EXPECT_TRUE(ValidateFlag(list, nullptr, record({Label, "A", 200}), false, 1000));
    EXPECT_EQ(ui.messages, QStringList({"Duplicated Flag Name"}));
    EXPECT_FALSE(ValidateFlag(list, nullptr, record({Label, "B", 200}), false, 1000));
    EXPECT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(list.count(), 1);
}

TEST(IntervalTest, IntervalsCrossWhenExactlyOneEndOfTheSecondIsStrictlyInsideTheFirst)
{
    const struct
    {
        int a, b, c, d;
        bool cross;
    } cases[] = {{100, 300, 200, 400, true},  {300, 100, 400, 200, true},
                 {100, 400, 200, 300, false}, {100, 200, 200, 300, false},
                 {100, 300, 100, 300, false}, {100, 200, 300, 400, false},
                 {200, 300, 100, 400, false}, {INT_MIN, INT_MAX, 0, INT_MAX, true}};
    for (const auto &k : cases)
        EXPECT_EQ(IntervalsCross(k.a, k.b, k.c, k.d), k.cross)
            << k.a << " " << k.b << " " << k.c << " " << k.d;
}

} // namespace
