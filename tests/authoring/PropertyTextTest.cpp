// The property text of slide objects: every kind written and read back, the texts as the
// program has always written them, the line-count gates, the disabled line, and texts that
// are broken or cut short.
#include "PropertyText.h"
#include "ColorText.h"
#include "ObjectKinds.h"
#include "PropertyTextCases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace vk;

namespace {

// Every attribute differs from the cases and from the defaults, so a value that is not read
// or is read into the wrong attribute shows.
ObjectProperties contrary()
{
    ObjectProperties p;
    p.Disabled = false;
    p.FontName = QStringLiteral("Contrary");
    p.FontSize = 77;
    p.FontColor = 0x00010203;
    p.Bold = p.Italic = p.Underline = p.StrikeOut = false;
    p.Transparent = false;
    p.Color = 0x00040506;
    p.PenColor = 0x00070809;
    p.BrushColor = 0x000A0B0C;
    p.PenStyle = 5;
    p.BrushStyle = 5;
    p.PenWidth = 55;
    p.Arrow = 0;
    p.WithTouch = false;
    return p;
}

// `onto` with the attributes that a text of the kind carries taken from `from`.
ObjectProperties carried(int kind, const ObjectProperties &from, ObjectProperties onto)
{
    onto.Disabled = from.Disabled;
    if (isFontKind(kind)) {
        onto.FontName = from.FontName;
        onto.FontSize = from.FontSize;
        onto.FontColor = from.FontColor;
        onto.Bold = from.Bold;
        onto.Italic = from.Italic;
        onto.Underline = from.Underline;
        onto.StrikeOut = from.StrikeOut;
        if (kind == ObjectKind::Text)
            onto.Transparent = from.Transparent;
        if (kind != ObjectKind::Button)
            onto.Color = from.Color;
    } else if (isShapeKind(kind)) {
        onto.PenColor = from.PenColor;
        onto.BrushColor = from.BrushColor;
        onto.PenStyle = from.PenStyle;
        onto.BrushStyle = from.BrushStyle;
        onto.PenWidth = from.PenWidth;
        onto.Arrow = from.Arrow;
        onto.WithTouch = from.WithTouch;
        if (kind == ObjectKind::Polyline)
            onto.Points = from.Points;
    }
    return onto;
}

// Polyline points travel with three decimals in reference units, so they come back within
// half a thousandth of a unit; everything else comes back exactly.
void expectSame(const ObjectProperties &expected, const ObjectProperties &actual, double scale)
{
    ObjectProperties a = actual, e = expected;
    ASSERT_EQ(a.Points.size(), e.Points.size());
    for (qsizetype i = 0; i < e.Points.size(); ++i) {
        EXPECT_NEAR(a.Points[i].x(), e.Points[i].x(), 0.0005 * scale + 1e-9) << "point " << i;
        EXPECT_NEAR(a.Points[i].y(), e.Points[i].y(), 0.0005 * scale + 1e-9) << "point " << i;
    }
    a.Points.clear();
    e.Points.clear();
    EXPECT_EQ(a.Disabled, e.Disabled);
    EXPECT_EQ(a.FontName, e.FontName);
    EXPECT_EQ(a.FontSize, e.FontSize);
    EXPECT_EQ(a.FontColor, e.FontColor);
    EXPECT_EQ(a.Bold, e.Bold);
    EXPECT_EQ(a.Italic, e.Italic);
    EXPECT_EQ(a.Underline, e.Underline);
    EXPECT_EQ(a.StrikeOut, e.StrikeOut);
    EXPECT_EQ(a.Transparent, e.Transparent);
    EXPECT_EQ(a.Color, e.Color);
    EXPECT_EQ(a.PenColor, e.PenColor);
    EXPECT_EQ(a.BrushColor, e.BrushColor);
    EXPECT_EQ(a.PenStyle, e.PenStyle);
    EXPECT_EQ(a.BrushStyle, e.BrushStyle);
    EXPECT_EQ(a.PenWidth, e.PenWidth);
    EXPECT_EQ(a.Arrow, e.Arrow);
    EXPECT_EQ(a.WithTouch, e.WithTouch);
    EXPECT_EQ(a, e); // anything added to the record later
}

QString crlf(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QStringList replaced(QStringList lines, int at, const QString &line)
{
    lines[at] = line;
    return lines;
}

TEST(ColorText, EveryNameStandsForItsValueBothWays)
{
    const struct
    {
        const char *name;
        quint32 value;
    } names[] = {
        {"clBlack", 0x000000},
        {"clMaroon", 0x000080},
        {"clGreen", 0x008000},
        {"clOlive", 0x008080},
        {"clNavy", 0x800000},
        {"clPurple", 0x800080},
        {"clTeal", 0x808000},
        {"clGray", 0x808080},
        {"clSilver", 0xC0C0C0},
        {"clRed", 0x0000FF},
        {"clLime", 0x00FF00},
        {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},
        {"clFuchsia", 0xFF00FF},
        {"clAqua", 0xFFFF00},
        {"clWhite", 0xFFFFFF},
        {"clScrollBar", 0x80000000},
        {"clBackground", 0x80000001},
        {"clActiveCaption", 0x80000002},
        {"clInactiveCaption", 0x80000003},
        {"clMenu", 0x80000004},
        {"clWindow", 0x80000005},
        {"clWindowFrame", 0x80000006},
        {"clMenuText", 0x80000007},
        {"clWindowText", 0x80000008},
        {"clCaptionText", 0x80000009},
        {"clActiveBorder", 0x8000000A},
        {"clInactiveBorder", 0x8000000B},
        {"clAppWorkSpace", 0x8000000C},
        {"clHighlight", 0x8000000D},
        {"clHighlightText", 0x8000000E},
        {"clBtnFace", 0x8000000F},
        {"clBtnShadow", 0x80000010},
        {"clGrayText", 0x80000011},
        {"clBtnText", 0x80000012},
        {"clInactiveCaptionText", 0x80000013},
        {"clBtnHighlight", 0x80000014},
        {"cl3DDkShadow", 0x80000015},
        {"cl3DLight", 0x80000016},
        {"clInfoText", 0x80000017},
        {"clInfoBk", 0x80000018},
        {"clNone", 0x1FFFFFFF},
    };
    for (const auto &n : names) {
        SCOPED_TRACE(n.name);
        EXPECT_EQ(colorToText(ColorValue(n.value)), QLatin1String(n.name));
        EXPECT_EQ(colorFromText(QLatin1String(n.name)), ColorValue(n.value));
        EXPECT_EQ(colorFromText(QString::fromLatin1(n.name).toUpper()), ColorValue(n.value));
    }
}

TEST(ColorText, ColoursWithoutANameAreEightHexDigits)
{
    const struct
    {
        quint32 value;
        const char *text;
    } cases[] = {
        {0x00123456, "$00123456"}, {0x00ABCDEF, "$00ABCDEF"}, {0x00000001, "$00000001"},
        {0x80000019, "$80000019"}, {0xFFFFFFFF, "$FFFFFFFF"}, {0x20000000, "$20000000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(colorToText(ColorValue(c.value)), QLatin1String(c.text));
        EXPECT_EQ(colorFromText(QLatin1String(c.text)), ColorValue(c.value));
    }
}

TEST(ColorText, ReadsNamesDecimalAndHexadecimalAndRefusesTheRest)
{
    const struct
    {
        const char *text;
        std::optional<qint32> color;
    } cases[] = {
        {"clred", 0x0000FF},
        {"CLINFOBK", qint32(0x80000018u)},
        {" clWhite ", 0xFFFFFF},
        {"255", 255},
        {"+16", 16},
        {"-2147483640", qint32(0x80000008u)},
        {"-2147483648", qint32(0x80000000u)},
        {"2147483647", 0x7FFFFFFF},
        {"$ff", 255},
        {"$0000000FF", 255},
        {"$FFFFFFFF", -1},
        {"", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"clPink", std::nullopt},
        {"cl Red", std::nullopt},
        {"12x", std::nullopt},
        {"1 2", std::nullopt},
        {"$100000000", std::nullopt},
        {"$G0", std::nullopt},
        {"-$10", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967295", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"0x10", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(colorFromText(QLatin1String(c.text)), c.color);
    }
}

TEST(PropertyTextLines, SplitAtCrLfOrBoth)
{
    const struct
    {
        const char *text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"\r\n", {""}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"\r\r", {"", ""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(propertyTextLines(QLatin1String(c.text)), c.lines);
    }
}

TEST(PropertyText, EveryKindReadsBackWhatItWrote)
{
    for (const cases::RoundTripCase &c : cases::roundTripCases()) {
        SCOPED_TRACE(c.name);
        const QString text = WritePropertyText(c.kind, c.props, c.scale);
        ASSERT_FALSE(text.isEmpty());
        EXPECT_LE(text.size(), PropertyTextSize);
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));

        ObjectProperties read = contrary();
        QString stored = text;
        ASSERT_TRUE(ReadPropertyText(c.kind, read, stored, c.scale));
        EXPECT_EQ(stored, text) << "a written text is read without being rewritten";
        expectSame(carried(c.kind, c.props, contrary()), read, c.scale);
        // What was read writes the same text again: nothing drifts from save to save.
        EXPECT_EQ(WritePropertyText(c.kind, read, c.scale), text);

        // The disabled mark set either way on the stored text reads back.
        for (bool flag : {true, false}) {
            ObjectProperties p = read;
            QString t = text;
            ASSERT_TRUE(SetDisabled(c.kind, p, t, flag));
            EXPECT_EQ(p.Disabled, flag);
            ObjectProperties again = contrary();
            again.Disabled = !flag;
            ASSERT_TRUE(ReadPropertyText(c.kind, again, t, c.scale));
            EXPECT_EQ(again.Disabled, flag);
            EXPECT_EQ(t.size(), text.size() + (flag == c.props.Disabled ? 0 : flag ? -1 : 1));
        }
    }
}

TEST(PropertyText, WritesTheLinesOfEachKind)
{
    ObjectProperties label = cases::fontProps("Arial", 18, ColorValue(0x80000008u), {0, 2});
    label.Transparent = true;
    label.Color = clWhite;
    ObjectProperties memo = cases::fontProps("Courier New", 12, 255, {});
    memo.Color = 0x00C0C0C0;
    memo.Disabled = true;
    ObjectProperties poly = newObjectProperties(ObjectKind::Polyline);
    poly.Points = {{20.48, 25.6}, {128, 0}};
    const struct
    {
        const char *name;
        int kind;
        double scale;
        ObjectProperties props;
        QString text;
    } cases[] = {
        {"media", 201, 1.0, {}, crlf({"DisableFlag=False"})},
        {"label, bold and underline", ObjectKind::Text, 1.28, label,
         crlf({"Font_Name=Arial", "Font_Size=14.0625", "Font_Color=-2147483640", "Font_Style=0,2,",
               "Transparent=True", "Color=16777215", "DisableFlag=False"})},
        {"button", ObjectKind::Button, 1.0, cases::fontProps("Tahoma", 9.5f, 0, {1, 3}),
         crlf({"Font_Name=Tahoma", "Font_Size=9.5", "Font_Color=0", "Font_Style=1,3,", "DisableFlag=False"})},
        {"memo", ObjectKind::Memo, 1.0, memo,
         crlf({"Font_Name=Courier New", "Font_Size=12", "Font_Color=255", "Font_Style=", "Color=12632256",
               "DisableFlag=True"})},
        {"new rectangle", ObjectKind::Rectangle, 1.0, newObjectProperties(ObjectKind::Rectangle),
         crlf({"PenColor=clBlack", "BrushColor=clWhite", "PenStyle=0", "BrushStyle=0", "PenWidth=1",
               "DisableFlag=False", "WithTouch=False", "Arrow=0"})},
        {"line with hex pen", ObjectKind::LineUp, 1.0,
         cases::shapeProps(0x00123456, clNone, 2, 1, 4, 3, true, true),
         crlf({"PenColor=$00123456", "BrushColor=clNone", "PenStyle=2", "BrushStyle=1", "PenWidth=4",
               "DisableFlag=True", "WithTouch=True", "Arrow=3"})},
        {"new polyline", ObjectKind::Polyline, 1.28, poly,
         crlf({"2", "16.000", "20.000", "100.000", "0.000", "False", "1", "clBlack", "clBlack", "0", "1", "0",
               "False"})},
        {"polyline without points", ObjectKind::Polyline, 1.0, newObjectProperties(ObjectKind::Polyline), ""},
        {"drawn shape without a text", 450, 1.0, {}, ""},
        {"not an object kind", 99, 1.0, {}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WritePropertyText(c.kind, c.props, c.scale), c.text);
    }
}

TEST(PropertyText, NewObjectsStartAsTheSurfaceMakesThem)
{
    EXPECT_TRUE(newObjectProperties(ObjectKind::Text).Transparent);
    EXPECT_EQ(newObjectProperties(ObjectKind::Memo).Color, clWhite);
    for (int kind : {451, 452, 453, 454, 455}) {
        const ObjectProperties p = newObjectProperties(kind);
        EXPECT_EQ(p.PenColor, clBlack);
        EXPECT_EQ(p.PenWidth, 1);
        EXPECT_EQ(p.PenStyle, 0);
        EXPECT_EQ(p.BrushColor, clWhite);
        EXPECT_EQ(p.BrushStyle, 0);
    }
}

// Texts as the program writes them, read onto a record in a known state.
TEST(PropertyText, ReadsTextsAsTheProgramWritesThem)
{
    using Change = std::function<void(ObjectProperties &)>;
    const Change none = [](ObjectProperties &) {};
    const QStringList label = {"Font_Name=Arial",  "Font_Size=18",   "Font_Color=255",   "Font_Style=0,2,",
                               "Transparent=True", "Color=16777215", "DisableFlag=False"};
    const Change labelRead = [](ObjectProperties &p) {
        p.FontName = "Arial";
        p.FontSize = 18;
        p.FontColor = 255;
        p.Bold = p.Underline = true;
        p.Transparent = true;
        p.Color = clWhite;
        p.Disabled = false;
    };
    const QStringList shape = {"PenColor=clRed", "BrushColor=$0000FF00", "PenStyle=1",     "BrushStyle=7",
                               "PenWidth=3",     "DisableFlag=False",    "WithTouch=True", "Arrow=2"};
    const Change shapeRead = [](ObjectProperties &p) {
        p.PenColor = 0x0000FF;
        p.BrushColor = 0x00FF00;
        p.PenStyle = 1;
        p.BrushStyle = 7;
        p.PenWidth = 3;
        p.Disabled = false;
        p.WithTouch = true;
        p.Arrow = 2;
    };
    // A polyline of three points and its eight attribute lines: 15 lines.
    const QStringList poly3 = {"3", "10.000", "20.000",    "30.500", "40.250", "50.000", "60.000", "True",
                               "2", "clNavy", "$00FEDCBA", "3",      "6",      "1",      "True"};
    const Change poly3Points = [](ObjectProperties &p) { p.Points = {{10, 20}, {30.5, 40.25}, {50, 60}}; };
    const Change poly3Attributes = [](ObjectProperties &p) {
        p.Disabled = true;
        p.PenWidth = 2;
        p.PenColor = 0x800000;
        p.BrushColor = 0x00FEDCBA;
        p.PenStyle = 3;
        p.BrushStyle = 6;
        p.Arrow = 1;
        p.WithTouch = true;
    };
    auto both = [](Change a, Change b) {
        return [a, b](ObjectProperties &p) {
            a(p);
            b(p);
        };
    };
    const struct
    {
        const char *name;
        int kind;
        double scale;
        QString text;
        Change start;      // from contrary()
        Change expected;   // from the start
        QString textAfter; // empty: the text stays as it was
    } cases[] = {
        {"label with bold and underline", ObjectKind::Text, 1.0, crlf(label), none, labelRead, {}},
        {"style digits in any order",
         ObjectKind::Text,
         1.0,
         crlf(replaced(label, 3, "Font_Style=2,0,")),
         none,
         labelRead,
         {}},
        {"style line without styles",
         ObjectKind::Text,
         1.0,
         crlf(replaced(label, 3, "Font_Style=")),
         [](ObjectProperties &p) { p.Bold = p.Italic = p.Underline = p.StrikeOut = true; },
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Bold = p.Italic = p.Underline = p.StrikeOut = false;
         },
         {}},
        {"font size in reference units",
         ObjectKind::Text,
         1.28,
         crlf(replaced(label, 1, "Font_Size=14.0625")),
         none,
         labelRead,
         {}},
        {"six-line label leaves Disabled alone",
         ObjectKind::Text,
         1.0,
         crlf(label.mid(0, 6)),
         [](ObjectProperties &p) { p.Disabled = true; },
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Disabled = true;
         },
         {}},
        {"disabled in any letter case, written back as True", ObjectKind::Text, 1.0,
         crlf(replaced(label, 6, "DisableFlag=TRUE")), none,
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Disabled = true;
         },
         crlf(replaced(label, 6, "DisableFlag=True"))},
        {"disabled line of another word is not read",
         ObjectKind::Text,
         1.0,
         crlf(replaced(label, 6, "DisableFlag=Yes")),
         [](ObjectProperties &p) { p.Disabled = true; },
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Disabled = true;
         },
         {}},
        {"transparency in any letter case",
         ObjectKind::Text,
         1.0,
         crlf(replaced(label, 4, "Transparent=false")),
         [](ObjectProperties &p) { p.Transparent = true; },
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Transparent = false;
         },
         {}},
        {"keys are not looked at",
         ObjectKind::Text,
         1.0,
         crlf({"XXXX_XXXX=Arial", "Font_Size=18"}),
         none,
         [](ObjectProperties &p) {
             p.FontName = "Arial";
             p.FontSize = 18;
         },
         {}},
        {"button disabled on line 4",
         ObjectKind::Button,
         1.0,
         crlf({"Font_Name=Arial", "Font_Size=18", "Font_Color=255", "Font_Style=0,2,", "DisableFlag=True"}),
         none,
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Transparent = false;
             p.Color = contrary().Color;
             p.Disabled = true;
         },
         {}},
        {"button of four lines leaves Disabled alone",
         ObjectKind::Button,
         1.0,
         crlf(label.mid(0, 4)),
         [](ObjectProperties &p) { p.Disabled = true; },
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Transparent = false;
             p.Color = contrary().Color;
             p.Disabled = true;
         },
         {}},
        {"memo colour on line 4, disabled on 5", ObjectKind::Memo, 1.0,
         crlf({"Font_Name=Arial", "Font_Size=18", "Font_Color=255", "Font_Style=0,2,", "Color=-16777211",
               "DisableFlag=true"}),
         none,
         [&](ObjectProperties &p) {
             labelRead(p);
             p.Transparent = false;
             p.Color = -16777211;
             p.Disabled = true;
         },
         crlf({"Font_Name=Arial", "Font_Size=18", "Font_Color=255", "Font_Style=0,2,", "Color=-16777211",
               "DisableFlag=True"})},
        {"media",
         3,
         1.0,
         crlf({"DisableFlag=True"}),
         none,
         [](ObjectProperties &p) { p.Disabled = true; },
         {}},
        {"media line read by position, separators kept", 101, 1.0, "disableflag=false\nmore",
         [](ObjectProperties &p) { p.Disabled = true; }, [](ObjectProperties &p) { p.Disabled = false; },
         "DisableFlag=False\nmore"},
        {"shape", ObjectKind::Ellipse, 1.0, crlf(shape), none, shapeRead, {}},
        {"shape with touch and arrow found by name",
         ObjectKind::Rectangle,
         1.0,
         crlf(shape.mid(0, 6) + QStringList{"Arrow=2", "WithTouch=True"}),
         none,
         shapeRead,
         {}},
        {"shape with touch only when exactly True",
         ObjectKind::Rectangle,
         1.0,
         crlf(replaced(shape, 6, "WithTouch=true")),
         [](ObjectProperties &p) { p.WithTouch = true; },
         [&](ObjectProperties &p) {
             shapeRead(p);
             p.WithTouch = false;
         },
         {}},
        {"shape without touch and arrow lines",
         ObjectKind::LineDown,
         1.0,
         crlf(shape.mid(0, 6)),
         [](ObjectProperties &p) {
             p.WithTouch = true;
             p.Arrow = 3;
         },
         [&](ObjectProperties &p) {
             shapeRead(p);
             p.WithTouch = false; // on only when a line says so
             p.Arrow = 3;         // no line, no change
         },
         {}},
        {"shape colours as decimal and system names",
         ObjectKind::RoundRectangle,
         1.0,
         crlf(replaced(replaced(shape, 0, "PenColor=255"), 1, "BrushColor=clbtnface")),
         none,
         [&](ObjectProperties &p) {
             shapeRead(p);
             p.BrushColor = ColorValue(0x8000000Fu);
         },
         {}},
        {"polyline of 3 points has 15 lines",
         ObjectKind::Polyline,
         1.0,
         crlf(poly3),
         none,
         both(poly3Points, poly3Attributes),
         {}},
        {"polyline points in reference units",
         ObjectKind::Polyline,
         2.0,
         crlf(poly3),
         none,
         both(poly3Attributes,
              [](ObjectProperties &p) {
                  p.Points = {{20, 40}, {61, 80.5}, {100, 120}};
              }),
         {}},
        {"14 lines: points without attributes",
         ObjectKind::Polyline,
         1.0,
         crlf(poly3.mid(0, 14)),
         none,
         poly3Points,
         {}},
        {"16 lines: points without attributes",
         ObjectKind::Polyline,
         1.0,
         crlf(poly3 + QStringList{"x"}),
         none,
         poly3Points,
         {}},
        {"points only when line 0 matches the shape's count",
         ObjectKind::Polyline,
         1.0,
         crlf(poly3),
         [](ObjectProperties &p) {
             p.Points = {{1, 1}, {2, 2}};
         },
         poly3Attributes,
         {}},
        {"points read onto a shape with as many",
         ObjectKind::Polyline,
         1.0,
         crlf(poly3),
         [](ObjectProperties &p) {
             p.Points = {{1, 1}, {2, 2}, {3, 3}};
         },
         both(poly3Points, poly3Attributes),
         {}},
        {"text cut in the points leaves them",
         ObjectKind::Polyline,
         1.0,
         crlf(poly3.mid(0, 6)),
         none,
         none,
         {}},
        {"one line is not read", ObjectKind::Polyline, 1.0, "3", none, none, {}},
        {"polyline disabled by anything but False", ObjectKind::Polyline, 1.0,
         crlf(replaced(poly3, 7, "yes")), none, both(poly3Points, poly3Attributes), crlf(poly3)},
        {"polyline with touch by anything but False",
         ObjectKind::Polyline,
         1.0,
         crlf(replaced(replaced(poly3, 7, "False"), 14, "false")),
         none,
         [&](ObjectProperties &p) {
             poly3Points(p);
             poly3Attributes(p);
             p.Disabled = false;
         },
         {}},
        {"polyline as the surface draws it",
         ObjectKind::Polyline,
         1.0,
         crlf({"2", "16.000", "16.000", "50.000", "40.000", "False", "1", "clBlack", "clBlack", "0", "1", "0",
               "False"}),
         none,
         [](ObjectProperties &p) {
             ObjectProperties drawn = newObjectProperties(ObjectKind::Polyline);
             drawn.Points = {{16, 16}, {50, 40}};
             p = carried(ObjectKind::Polyline, drawn, p);
         },
         {}},
        {"polyline without points, attributes only",
         ObjectKind::Polyline,
         1.0,
         crlf({"0", "True", "5", "clRed", "clLime", "1", "2", "3", "True"}),
         none,
         [](ObjectProperties &p) {
             p.Disabled = true;
             p.PenWidth = 5;
             p.PenColor = 0x0000FF;
             p.BrushColor = 0x00FF00;
             p.PenStyle = 1;
             p.BrushStyle = 2;
             p.Arrow = 3;
             p.WithTouch = true;
         },
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ObjectProperties p = contrary();
        c.start(p);
        ObjectProperties expected = p;
        c.expected(expected);
        QString text = c.text;
        EXPECT_TRUE(ReadPropertyText(c.kind, p, text, c.scale));
        expectSame(expected, p, c.scale);
        EXPECT_EQ(text, c.textAfter.isEmpty() ? c.text : c.textAfter);
    }
}

// A value that cannot be meant leaves its attribute as it was; the lines around it still count.
TEST(PropertyText, UnreadableValuesLeaveTheirAttribute)
{
    const QStringList label = {"Font_Name=Arial",  "Font_Size=18", "Font_Color=255",  "Font_Style=0,",
                               "Transparent=True", "Color=0",      "DisableFlag=True"};
    const QStringList shape = {"PenColor=clRed", "BrushColor=clLime", "PenStyle=1",     "BrushStyle=2",
                               "PenWidth=3",     "DisableFlag=True",  "WithTouch=True", "Arrow=1"};
    const QStringList poly = {"2",     "1.000",  "2.000", "3.000", "4.000", "True", "3",
                              "clRed", "clLime", "1",     "2",     "1",     "True"};
    const struct
    {
        const char *name;
        int kind;
        QStringList lines;
        int at;
        const char *line;
    } cases[] = {
        {"empty font name", ObjectKind::Text, label, 0, "Font_Name="},
        {"font size not a number", ObjectKind::Text, label, 1, "Font_Size=big"},
        {"font size with a comma", ObjectKind::Text, label, 1, "Font_Size=14,5"},
        {"font size nan", ObjectKind::Text, label, 1, "Font_Size=nan"},
        {"font size infinite", ObjectKind::Memo, label.mid(0, 4), 1, "Font_Size=inf"},
        {"font size zero", ObjectKind::Text, label, 1, "Font_Size=0"},
        {"font size negative", ObjectKind::Button, label.mid(0, 4), 1, "Font_Size=-12"},
        {"font size beyond any font", ObjectKind::Text, label, 1, "Font_Size=1e9"},
        {"font colour a name", ObjectKind::Text, label, 2, "Font_Color=clRed"},
        {"font colour beyond 32 bits", ObjectKind::Text, label, 2, "Font_Color=4294967296"},
        {"transparency another word", ObjectKind::Text, label, 4, "Transparent=1"},
        {"background not a number", ObjectKind::Text, label, 5, "Color="},
        {"pen colour unknown name", ObjectKind::Rectangle, shape, 0, "PenColor=clPink"},
        {"brush colour beyond 32 bits", ObjectKind::Rectangle, shape, 1, "BrushColor=$100000000"},
        {"pen style beyond inside frame", ObjectKind::Ellipse, shape, 2, "PenStyle=7"},
        {"brush style beyond diagonal cross", ObjectKind::Ellipse, shape, 3, "BrushStyle=8"},
        {"pen width negative", ObjectKind::LineDown, shape, 4, "PenWidth=-1"},
        {"pen width beyond the limit", ObjectKind::LineDown, shape, 4, "PenWidth=10000"},
        {"arrow beyond a byte", ObjectKind::LineUp, shape, 7, "Arrow=256"},
        {"arrow not a number", ObjectKind::LineUp, shape, 7, "Arrow="},
        {"polyline coordinate nan", ObjectKind::Polyline, poly, 2, "nan"},
        {"polyline coordinate huge", ObjectKind::Polyline, poly, 3, "1e308"},
        {"polyline coordinate beyond the range", ObjectKind::Polyline, poly, 4, "10000.000"},
        {"polyline coordinate empty", ObjectKind::Polyline, poly, 1, ""},
        {"polyline pen width", ObjectKind::Polyline, poly, 6, "-3"},
        {"polyline pen colour", ObjectKind::Polyline, poly, 7, "red"},
        {"polyline brush colour", ObjectKind::Polyline, poly, 8, "$"},
        {"polyline pen style", ObjectKind::Polyline, poly, 9, "9"},
        {"polyline brush style", ObjectKind::Polyline, poly, 10, "-1"},
        {"polyline arrow", ObjectKind::Polyline, poly, 11, "1000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const double scale = 1.25;
        ObjectProperties good = contrary();
        QString goodText = crlf(c.lines);
        ASSERT_TRUE(ReadPropertyText(c.kind, good, goodText, scale));
        ObjectProperties before = contrary();
        if (c.kind == ObjectKind::Polyline)
            before.Points = {{7, 7}, {8, 8}};
        QStringList broken = c.lines;
        broken[c.at] = QLatin1String(c.line);
        ObjectProperties p = before;
        QString text = crlf(broken);
        EXPECT_TRUE(ReadPropertyText(c.kind, p, text, scale));
        // Every attribute is either what the good text gives or, for the broken one, unchanged:
        // write both and compare line by line.
        const QStringList got = propertyTextLines(WritePropertyText(c.kind, p, scale));
        const QStringList fromGood = propertyTextLines(WritePropertyText(c.kind, good, scale));
        const QStringList fromBefore = propertyTextLines(WritePropertyText(c.kind, before, scale));
        ASSERT_EQ(got.size(), fromGood.size());
        int unchanged = 0;
        for (qsizetype i = 0; i < got.size(); ++i) {
            if (got[i] != fromGood[i]) {
                EXPECT_EQ(got[i], fromBefore[i]) << "line " << i;
                ++unchanged;
            }
        }
        if (c.kind == ObjectKind::Polyline && c.at <= 4)
            EXPECT_EQ(p.Points, before.Points) << "one bad coordinate keeps every point";
        else
            EXPECT_EQ(unchanged, 1) << "exactly the broken value is left alone";
    }
}

TEST(PropertyText, TextsThatAreNotReadChangeNothing)
{
    QString longText = QStringLiteral("DisableFlag=True\r\n");
    longText += QString(PropertyTextSize - longText.size() + 1, QLatin1Char(' '));
    QString ok = QStringLiteral("DisableFlag=True\r\n");
    ok += QString(PropertyTextSize - ok.size(), QLatin1Char(' '));
    const struct
    {
        const char *name;
        int kind;
        QString text;
        bool read;
    } cases[] = {
        {"empty text", 3, QString(), false},
        {"longer than the column", 3, longText, false},
        {"as long as the column", 3, ok, true},
        {"drawn shape without a text", 450, "DisableFlag=True", false},
        {"kind 99", 99, "DisableFlag=True", false},
        {"negative kind", -1, "DisableFlag=True", false},
        {"polyline of 121 points", ObjectKind::Polyline, "121\r\n1\r\n2\r\n", false},
        {"polyline of -1 points", ObjectKind::Polyline,
         "-1\r\nFalse\r\n1\r\nclBlack\r\nclBlack\r\n0\r\n1\r\n0\r\nFalse", false},
        {"polyline count beyond 32 bits", ObjectKind::Polyline, "99999999999\r\n", false},
        {"polyline count not a number", ObjectKind::Polyline, "three\r\n1\r\n2\r\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ObjectProperties p = contrary();
        QString text = c.text;
        EXPECT_EQ(ReadPropertyText(c.kind, p, text, 1.0), c.read);
        if (!c.read) {
            EXPECT_EQ(p, contrary());
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_TRUE(p.Disabled);
        }
    }
}

// Every prefix of every written text, and every text that no writer produced, reads without
// harm: the reader stays within its limits and takes nothing the full text does not say.
TEST(PropertyText, CutAndBrokenTextsReadWithoutHarm)
{
    for (const cases::RoundTripCase &c : cases::roundTripCases()) {
        SCOPED_TRACE(c.name);
        const QString full = WritePropertyText(c.kind, c.props, c.scale);
        ObjectProperties whole = contrary();
        QString wholeText = full;
        ASSERT_TRUE(ReadPropertyText(c.kind, whole, wholeText, c.scale));
        const QStringList fromWhole = propertyTextLines(WritePropertyText(c.kind, whole, c.scale));
        // A polyline without points writes nothing, so its attributes are compared on its points.
        ObjectProperties start = contrary();
        start.Points = whole.Points;
        const QStringList fromStart = propertyTextLines(WritePropertyText(c.kind, start, c.scale));
        for (qsizetype n = 0; n <= full.size(); ++n) {
            ObjectProperties p = contrary();
            QString text = full.left(n);
            ReadPropertyText(c.kind, p, text, c.scale);
            ASSERT_LE(p.Points.size(), MaxPolylinePoints);
            ASSERT_LE(text.size(), PropertyTextSize);
            // Cut at the end of a line: each attribute is the full text's or untouched.
            if (n == full.size() || (n > 0 && full[n - 1] == QLatin1Char('\n'))) {
                const QStringList got = propertyTextLines(WritePropertyText(c.kind, p, c.scale));
                for (qsizetype i = 0; i < got.size() && i < fromWhole.size() && i < fromStart.size(); ++i)
                    EXPECT_TRUE(got[i] == fromWhole[i] || got[i] == fromStart[i])
                        << "cut at " << n << ", line " << i;
            }
        }
    }
    const auto &kinds = cases::allKinds;
    for (const QString &malformed : cases::malformedTexts()) {
        for (int kind : kinds) {
            SCOPED_TRACE(QStringLiteral("kind %1: %2").arg(kind).arg(malformed.left(60)).toStdString());
            for (bool hasPoints : {false, true}) {
                ObjectProperties p = contrary();
                if (hasPoints)
                    p.Points = {{1, 2}, {3, 4}};
                const ObjectProperties before = p;
                QString text = malformed;
                if (!ReadPropertyText(kind, p, text, 1.5)) {
                    EXPECT_EQ(p, before);
                    EXPECT_EQ(text, malformed);
                }
                EXPECT_LE(p.Points.size(), MaxPolylinePoints);
                EXPECT_TRUE(std::isfinite(p.FontSize));
                for (const QPointF &pt : p.Points)
                    EXPECT_TRUE(std::isfinite(pt.x()) && std::isfinite(pt.y()));
                EXPECT_LE(text.size(), std::max(malformed.size(), PropertyTextSize));
                // Whatever was read writes a text that fits and reads back the same.
                const QString written = WritePropertyText(kind, p, 1.5);
                EXPECT_LE(written.size(), PropertyTextSize);
                ObjectProperties again = p;
                QString writtenCopy = written;
                ReadPropertyText(kind, again, writtenCopy, 1.5);
                EXPECT_EQ(WritePropertyText(kind, again, 1.5), written);
            }
        }
    }
}

TEST(PropertyText, SetDisabledRewritesOnlyTheDisabledLine)
{
    const QStringList label = {"Font_Name=Arial",  "Font_Size=18", "Font_Color=0",     "Font_Style=",
                               "Transparent=True", "Color=0",      "DisableFlag=False"};
    const QStringList poly = {"1",       "1.000", "2.000", "False", "1",    "clBlack",
                              "clBlack", "0",     "1",     "0",     "False"};
    const struct
    {
        const char *name;
        int kind;
        QString text;
        bool flag;
        bool stored;
        QString after; // when stored
    } cases[] = {
        {"media", 3, crlf({"DisableFlag=False"}), true, true, crlf({"DisableFlag=True"})},
        {"media without a text gets its line", 101, QString(), true, true, crlf({"DisableFlag=True"})},
        {"label line 6", ObjectKind::Text, crlf(label), true, true,
         crlf(label.mid(0, 6) + QStringList{"DisableFlag=True"})},
        {"six-line label gets its seventh", ObjectKind::Text, crlf(label.mid(0, 6)), true, true,
         crlf(label.mid(0, 6) + QStringList{"DisableFlag=True"})},
        {"six lines without a final break", ObjectKind::Text, label.mid(0, 6).join("\n"), false, true,
         label.mid(0, 6).join("\n") + "\r\nDisableFlag=False\r\n"},
        {"other breaks stay as stored", ObjectKind::Text, label.join("\n"), true, true,
         (label.mid(0, 6) + QStringList{"DisableFlag=True"}).join("\n")},
        {"label of three lines", ObjectKind::Text, crlf(label.mid(0, 3)), true, false, {}},
        {"button line 4", ObjectKind::Button, crlf(label.mid(0, 4) + QStringList{"DisableFlag=False"}), true,
         true, crlf(label.mid(0, 4) + QStringList{"DisableFlag=True"})},
        {"memo line 5", ObjectKind::Memo, crlf(label.mid(0, 4) + QStringList{"Color=0", "DisableFlag=True"}),
         false, true, crlf(label.mid(0, 4) + QStringList{"Color=0", "DisableFlag=False"})},
        {"shape line 5", ObjectKind::Ellipse,
         crlf({"PenColor=clBlack", "BrushColor=clWhite", "PenStyle=0", "BrushStyle=0", "PenWidth=1",
               "DisableFlag=False", "WithTouch=False", "Arrow=0"}),
         true, true,
         crlf({"PenColor=clBlack", "BrushColor=clWhite", "PenStyle=0", "BrushStyle=0", "PenWidth=1",
               "DisableFlag=True", "WithTouch=False", "Arrow=0"})},
        {"polyline line 2N+1", ObjectKind::Polyline, crlf(poly), true, true,
         crlf({"1", "1.000", "2.000", "True", "1", "clBlack", "clBlack", "0", "1", "0", "False"})},
        {"polyline without points has no text", ObjectKind::Polyline, QString(), true, false, {}},
        {"polyline cut before its attributes", ObjectKind::Polyline, crlf(poly.mid(0, 3)), true, false, {}},
        {"polyline count not a number", ObjectKind::Polyline, crlf(replaced(poly, 0, "x")), true, false, {}},
        {"drawn shape without a text", 450, QString(), true, false, {}},
        {"result longer than the column",
         3,
         QStringLiteral("DisableFlag=True\r\n") + QString(PropertyTextSize - 18, QLatin1Char('x')),
         false,
         false,
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ObjectProperties p = contrary();
        p.Disabled = !c.flag;
        QString text = c.text;
        EXPECT_EQ(SetDisabled(c.kind, p, text, c.flag), c.stored);
        EXPECT_EQ(p.Disabled, c.flag);
        EXPECT_EQ(text, c.stored ? c.after : c.text);
    }
}

TEST(PropertyText, WrittenTextsStayWithinTheColumn)
{
    // The longest polyline there can be: most points, widest coordinates, longest names.
    ObjectProperties widest;
    for (int i = 0; i < MaxPolylinePoints + 10; ++i)
        widest.Points.append(QPointF(-1e9, 1e9));
    widest.PenColor = ColorValue(0x80000013u); // clInactiveCaptionText
    widest.BrushColor = ColorValue(0x80000013u);
    widest.PenStyle = widest.BrushStyle = widest.Arrow = 255;
    widest.PenWidth = -2147483647;
    widest.Disabled = false;
    const QString text = WritePropertyText(ObjectKind::Polyline, widest, 1.0);
    EXPECT_LE(text.size(), PropertyTextSize);
    const QStringList lines = propertyTextLines(text);
    ASSERT_EQ(lines.size(), 2 * MaxPolylinePoints + 9);
    EXPECT_EQ(lines[0], "120");
    EXPECT_EQ(lines[1], "-999.999");
    EXPECT_EQ(lines[2], "9999.999");
    EXPECT_EQ(lines[2 * MaxPolylinePoints + 2], "0");

    ObjectProperties odd;
    odd.Points = {{std::nan(""), std::numeric_limits<double>::infinity()}};
    EXPECT_EQ(propertyTextLines(WritePropertyText(ObjectKind::Polyline, odd, 1.0)).mid(1, 2),
              (QStringList{"0.000", "9999.999"}));
    // A scale that is no scale counts as 1.
    EXPECT_EQ(WritePropertyText(ObjectKind::Polyline, odd, 0.0),
              WritePropertyText(ObjectKind::Polyline, odd, 1.0));

    // A font name is one line of at most 255 characters and reads back as written.
    const struct
    {
        const char *name;
        QString font;
        QString written;
    } fonts[] = {
        {"line break", "Arial\r\nDisableFlag=True", "Arial"},
        {"long", QString(300, QLatin1Char('F')), QString(255, QLatin1Char('F'))},
        {"surrogate pair at the cut", QString(254, QLatin1Char('F')) + QString::fromUtf8("\xf0\x9f\x98\x80"),
         QString(254, QLatin1Char('F'))},
    };
    for (const auto &f : fonts) {
        SCOPED_TRACE(f.name);
        ObjectProperties p = cases::fontProps(f.font, 12, 0, {});
        QString t = WritePropertyText(ObjectKind::Text, p, 1.0);
        EXPECT_EQ(propertyTextLines(t).size(), 7);
        ObjectProperties read;
        ASSERT_TRUE(ReadPropertyText(ObjectKind::Text, read, t, 1.0));
        EXPECT_EQ(read.FontName, f.written);
        EXPECT_FALSE(read.Disabled);
    }
}

TEST(PropertyText, ShortColumnTakesWholeLines)
{
    const QString shortText = crlf({"DisableFlag=True"});
    EXPECT_EQ(shortPropertyText(shortText), shortText);
    const QString exact = QString(ShortPropertyTextSize, QLatin1Char('x'));
    EXPECT_EQ(shortPropertyText(exact), exact);

    for (const cases::RoundTripCase &c : cases::roundTripCases()) {
        SCOPED_TRACE(c.name);
        const QString text = WritePropertyText(c.kind, c.props, c.scale);
        const QString cut = shortPropertyText(text);
        EXPECT_LE(cut.size(), ShortPropertyTextSize);
        EXPECT_TRUE(text.startsWith(cut));
        if (text.size() <= ShortPropertyTextSize)
            EXPECT_EQ(cut, text);
        else
            EXPECT_TRUE(cut.endsWith(QStringLiteral("\r\n")));
    }
    // A first line longer than the column leaves nothing.
    EXPECT_EQ(shortPropertyText(QString(ShortPropertyTextSize + 1, QLatin1Char('x'))), QString());
}

} // namespace

TEST(PropertyTextPoints, ACoordinateThatRoundsToNothingIsWrittenWithoutASign)
{
    // "-.0003" reads as a tiny negative number; written with three decimals it must come out
    // as it will read back, so that a second write gives the same text.
    for (double scale : {1.0, 1.3}) {
        ObjectProperties p;
        p.Points = {QPointF(-0.0003 * scale, 2 * scale), QPointF(4 * scale, -0.0 * scale)};
        const QString text = WritePropertyText(ObjectKind::Polyline, p, scale);
        EXPECT_EQ(propertyTextLines(text).mid(1, 4), (QStringList{"0.000", "2.000", "4.000", "0.000"}));
        ObjectProperties again = p;
        QString copy = text;
        ASSERT_TRUE(ReadPropertyText(ObjectKind::Polyline, again, copy, scale));
        EXPECT_EQ(WritePropertyText(ObjectKind::Polyline, again, scale), text);
    }
}
