// Property texts shared by the unit tests and the fuzz target, whose seed corpus is made from
// them: one record per object kind with every colour form, and texts that are malformed or cut
// short.
#pragma once

#include "ObjectKinds.h"
#include "PropertyText.h"

#include <QStringList>

#include <vector>

namespace vk::cases {

struct RoundTripCase
{
    const char *name;
    int kind;
    double scale;
    ObjectProperties props;
};

inline ObjectProperties fontProps(const QString &name, float size, ColorValue color, QList<int> styles)
{
    ObjectProperties p;
    p.FontName = name;
    p.FontSize = size;
    p.FontColor = color;
    p.Bold = styles.contains(0);
    p.Italic = styles.contains(1);
    p.Underline = styles.contains(2);
    p.StrikeOut = styles.contains(3);
    return p;
}

inline ObjectProperties shapeProps(ColorValue pen, ColorValue brush, int penStyle, int brushStyle, int width,
                                   int arrow, bool touch, bool disabled)
{
    ObjectProperties p;
    p.PenColor = pen;
    p.BrushColor = brush;
    p.PenStyle = quint8(penStyle);
    p.BrushStyle = quint8(brushStyle);
    p.PenWidth = width;
    p.Arrow = quint8(arrow);
    p.WithTouch = touch;
    p.Disabled = disabled;
    return p;
}

inline std::vector<RoundTripCase> roundTripCases()
{
    using namespace ObjectKind;
    std::vector<RoundTripCase> cases;
    auto add = [&](const char *name, int kind, double scale, ObjectProperties p) {
        cases.push_back({name, kind, scale, std::move(p)});
    };
    ObjectProperties media;
    media.Disabled = true;
    add("ImageDisabled", 3, 1.0, media);
    media.Disabled = false;
    add("AudioEnabled", 101, 1.0, media);
    media.Disabled = true;
    add("VideoDisabled", 201, 1.28, media);

    // A system colour as the font colour is a negative decimal.
    ObjectProperties label = fontProps("Arial", 18, ColorValue(0x80000008u), {0, 1, 2, 3});
    label.Transparent = true;
    label.Color = 0x00123456;
    label.Disabled = true;
    add("TextAllStylesAtScale128", Text, 1.28, label);
    label = fontProps("DejaVu Sans", 18, 0x0000FF, {});
    label.Transparent = false;
    label.Color = clNone;
    add("TextOpaqueWithoutStylesAtScale13", Text, 1.3, label);
    label = fontProps(QString::fromUtf8("Noto Sans CJK \xe6\x97\xa5\xe6\x9c\xac"), 9.5f, -1, {3});
    add("TextUnicodeFontAtScale075", Text, 0.75, label);

    ObjectProperties button = fontProps("Tahoma", 12, clBlack, {0, 2});
    button.Disabled = true;
    add("ButtonBoldUnderline", Button, 1.0, button);
    ObjectProperties memo = fontProps("Courier New", 10.25f, 0x00FF00FF, {1, 3});
    memo.Color = ColorValue(0x80000005u);
    memo.Disabled = true;
    add("MemoSystemColourBackground", Memo, 2.4, memo);

    add("RectangleNamedColours", Rectangle, 1.0, shapeProps(0x0000FF, 0x00FFFF, 1, 2, 3, 0, false, true));
    add("RoundRectangleHexColours", RoundRectangle, 1.0,
        shapeProps(0x00123456, 0x00ABCDEF, 3, 6, 1, 0, false, false));
    add("EllipseSystemColourAndNoneWithTouch", Ellipse, 1.0,
        shapeProps(ColorValue(0x8000000Fu), clNone, 0, 1, 2, 0, true, false));
    add("LineDownArrowAtEnd", LineDown, 1.0, shapeProps(clBlack, clWhite, 4, 0, 6, 1, false, false));
    // 0x80000019 lies past the last system colour name, so it is written in hexadecimal.
    add("LineUpArrowsBothUnnamedSystemRange", LineUp, 1.0,
        shapeProps(ColorValue(0x80000019u), ColorValue(0xFFFFFFFFu), 6, 7, 0, 3, true, true));

    ObjectProperties poly = shapeProps(0x800000, 0x00FEDCBA, 2, 7, 2, 2, true, true);
    poly.Points = {{16, 16}, {100.5, 40.25}, {16, 80}};
    add("PolylineThreePointsAtScale128", Polyline, 1.28, poly);
    poly = newObjectProperties(Polyline);
    poly.Points = {{16, 16}, {50, 40}};
    add("PolylineAsDrawn", Polyline, 1.0, poly);
    poly = shapeProps(clNone, ColorValue(0x80000018u), 5, 3, 4, 0, false, false);
    for (int i = 0; i < MaxPolylinePoints; ++i)
        poly.Points.append(QPointF(MinPolylineCoordinate + i * 83.333, MaxPolylineCoordinate - i * 83.125));
    add("PolylineOfMostPoints", Polyline, 1.0, poly);
    return cases;
}

// Texts that no writer produced: cut short, broken, hostile. Every kind reads each without harm.
inline QStringList malformedTexts()
{
    QStringList texts = {
        QString(),
        QStringLiteral("\r\n"),
        QStringLiteral("\r\r\r\n\n\n"),
        QStringLiteral("="),
        QStringLiteral("DisableFlag="),
        QStringLiteral("DisableFlag"),
        QStringLiteral(
            "Font_Name=\r\nFont_Size=\r\nFont_Color=\r\nFont_Style=\r\nTransparent=\r\nColor=\r\n"),
        QStringLiteral("Font_Name=Arial\r\nFont_Size=nan\r\nFont_Color=$\r\nFont_Style=9\r\n"),
        QStringLiteral("Font_Name=Arial\r\nFont_Size=-inf\r\nFont_Color=99999999999\r\n"),
        QStringLiteral("Font_Name=Arial\r\nFont_Size=1e308\r\nFont_Color=-$10\r\n"),
        QStringLiteral("PenColor=clPink\r\nBrushColor=$100000000\r\nPenStyle=7\r\nBrushStyle=8\r\n"
                       "PenWidth=-1\r\nDisableFlag=maybe\r\nWithTouch=\r\nArrow=256\r\n"),
        QStringLiteral("PenColor=\r\nArrow=\r\nArrow=x\r\nWithTouch"),
        QStringLiteral("121\r\n1\r\n2\r\n"),
        QStringLiteral("-1\r\nFalse\r\n1\r\nclBlack\r\nclBlack\r\n0\r\n1\r\n0\r\nFalse\r\n"),
        QStringLiteral("2147483647\r\n1\r\n"),
        QStringLiteral("$FFFFFFFF\r\n1\r\n"),
        QStringLiteral("99999999999999999999\r\n"),
        QStringLiteral(
            "2\r\n1.5\r\nnan\r\n3\r\n4\r\nFalse\r\n1\r\nclBlack\r\nclBlack\r\n0\r\n1\r\n0\r\nFalse\r\n"),
        QStringLiteral("2\r\ninf\r\n1\r\n3\r\n4\r\n"),
        QStringLiteral("2\r\n1e308\r\n1\r\n3\r\n4\r\n"),
        QStringLiteral("3\r\n1\r\n2\r\n"),
        QStringLiteral("0\r\n"),
        QString(QChar(0)) + QStringLiteral("\r\n") + QString(QChar(0xD800)),
        QString::fromUtf8("DisableFlag=\xe2\x80\xa8True\r\nFont_Style=\xef\xbc\x90"),
    };
    // One line longer than the column, and a text of nothing but line breaks.
    texts << QStringLiteral("DisableFlag=True") + QString(PropertyTextSize, QLatin1Char('x'));
    texts << QString(PropertyTextSize, QLatin1Char('\n'));
    // A polyline text whose count promises more points than it has.
    QString promise = QStringLiteral("120\r\n");
    for (int i = 0; i < 100; ++i)
        promise += QStringLiteral("1.000\r\n");
    texts << promise;
    return texts;
}

// Every kind the property text knows, and some it does not.
inline constexpr int allKinds[] = {3,
                                   101,
                                   201,
                                   ObjectKind::Text,
                                   ObjectKind::Button,
                                   ObjectKind::Memo,
                                   451,
                                   452,
                                   453,
                                   454,
                                   455,
                                   ObjectKind::Polyline,
                                   450,
                                   99,
                                   300,
                                   -1,
                                   500};

} // namespace vk::cases
