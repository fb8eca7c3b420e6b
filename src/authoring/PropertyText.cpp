#include "PropertyText.h"

#include "ObjectKinds.h"

#include <QStringView>

#include <algorithm>
#include <cmath>

namespace vk {

namespace {

const QString lineBreak = QStringLiteral("\r\n");

// One line of a text: where it starts, its length, and where the next line starts.
struct LineSpan
{
    qsizetype start;
    qsizetype length;
    qsizetype next;
};

QList<LineSpan> lineSpans(QStringView text)
{
    QList<LineSpan> spans;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n'))
            ++i;
        const qsizetype length = i - start;
        if (i < n && text[i] == QLatin1Char('\r'))
            ++i;
        if (i < n && text[i] == QLatin1Char('\n'))
            ++i;
        spans.append({start, length, i});
    }
    return spans;
}

// The lines of one text, with the positional and by-name reads.
class Lines
{
public:
    explicit Lines(const QString &text) : m_text(text), m_spans(lineSpans(text)) {}

    qsizetype count() const { return m_spans.size(); }
    bool has(qsizetype i) const { return i >= 0 && i < m_spans.size(); }
    QString line(qsizetype i) const
    {
        if (!has(i))
            return QString();
        return m_text.mid(m_spans[i].start, m_spans[i].length);
    }
    // The line less its key and "=" (the first `drop` characters), whatever the key says.
    QString value(qsizetype i, qsizetype drop) const { return line(i).mid(drop); }
    // The value of the first line "name=value" whose name matches, letter case ignored.
    std::optional<QString> named(QLatin1String name) const
    {
        for (const LineSpan &span : m_spans) {
            const QStringView l = QStringView(m_text).mid(span.start, span.length);
            const qsizetype eq = l.indexOf(QLatin1Char('='));
            if (eq > 0 && l.left(eq).compare(name, Qt::CaseInsensitive) == 0)
                return l.mid(eq + 1).toString();
        }
        return std::nullopt;
    }

private:
    const QString &m_text;
    QList<LineSpan> m_spans;
};

double usableScale(double designScale)
{
    return std::isfinite(designScale) && designScale > 0 ? designScale : 1.0;
}

QString boolText(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

QString disableLine(bool disabled)
{
    return QStringLiteral("DisableFlag=") + boolText(disabled);
}

// "True" or "False" in any letter case; anything else is no answer.
std::optional<bool> anyCaseBool(const QString &value)
{
    if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

std::optional<int> integerIn(const QString &value, int low, int high)
{
    const std::optional<qint32> v = integerFromText(value);
    if (!v || *v < low || *v > high)
        return std::nullopt;
    return *v;
}

std::optional<double> numberIn(const QString &value, double low, double high)
{
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > high)
        return std::nullopt;
    return v;
}

// A font name is one line of at most 255 characters; a surrogate pair is not split.
QString fontNameText(const QString &name)
{
    qsizetype end = name.size();
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == QLatin1Char('\r') || name[i] == QLatin1Char('\n')) {
            end = i;
            break;
        }
    }
    if (end > MaxFontNameLength) {
        end = MaxFontNameLength;
        if (name[end - 1].isHighSurrogate())
            --end;
    }
    return name.left(end);
}

QString coordinateText(double held, double scale)
{
    double v = held / scale;
    if (std::isnan(v))
        v = 0;
    v = std::clamp(v, MinPolylineCoordinate, MaxPolylineCoordinate);
    // A value that rounds to nothing is written as 0, never "-0.000", which would read back
    // as a zero that writes without its sign.
    const QString text = QString::number(v, 'f', 3);
    return text == QLatin1String("-0.000") ? QStringLiteral("0.000") : text;
}

int disabledLineOf(int kind)
{
    if (isMediaKind(kind))
        return 0;
    switch (kind) {
    case ObjectKind::Text:
        return 6;
    case ObjectKind::Button:
        return 4;
    case ObjectKind::Memo:
        return 5;
    default:
        return isKeyedShapeKind(kind) ? 5 : -1;
    }
}

// N of a polyline text, when line 0 holds a count the program can have drawn.
std::optional<int> polylineCount(const Lines &lines)
{
    if (!lines.has(0))
        return std::nullopt;
    return integerIn(lines.line(0), 0, MaxPolylinePoints);
}

void readFontLines(const Lines &lines, double scale, ObjectProperties &p)
{
    if (lines.has(0)) {
        const QString name = fontNameText(lines.value(0, 10));
        if (!name.isEmpty())
            p.FontName = name;
    }
    if (lines.has(1)) {
        if (const auto size = numberIn(lines.value(1, 10), 0, MaxFontSizeText)) {
            const float held = float(*size * scale);
            if (std::isfinite(held) && held > 0)
                p.FontSize = held;
        }
    }
    if (lines.has(2)) {
        if (const auto color = integerFromText(lines.value(2, 11)))
            p.FontColor = *color;
    }
    if (lines.has(3)) {
        const QString styles = lines.value(3, 11);
        p.Bold = styles.contains(QLatin1Char('0'));
        p.Italic = styles.contains(QLatin1Char('1'));
        p.Underline = styles.contains(QLatin1Char('2'));
        p.StrikeOut = styles.contains(QLatin1Char('3'));
    }
}

void readDisableLine(int kind, const Lines &lines, qsizetype at, ObjectProperties &p, QString &text)
{
    if (!lines.has(at))
        return;
    if (const auto flag = anyCaseBool(lines.value(at, 12)))
        SetDisabled(kind, p, text, *flag);
}

void readKeyedShape(int kind, const Lines &lines, ObjectProperties &p, QString &text)
{
    if (lines.has(0)) {
        if (const auto c = colorFromText(lines.value(0, 9)))
            p.PenColor = *c;
    }
    if (lines.has(1)) {
        if (const auto c = colorFromText(lines.value(1, 11)))
            p.BrushColor = *c;
    }
    if (lines.has(2)) {
        if (const auto s = integerIn(lines.value(2, 9), 0, MaxPenStyle))
            p.PenStyle = quint8(*s);
    }
    if (lines.has(3)) {
        if (const auto s = integerIn(lines.value(3, 11), 0, MaxBrushStyle))
            p.BrushStyle = quint8(*s);
    }
    if (lines.has(4)) {
        if (const auto w = integerIn(lines.value(4, 9), 0, MaxPenWidth))
            p.PenWidth = *w;
    }
    // With touch is on exactly when its line says "True": a text without the line turns it off.
    p.WithTouch = lines.named(QLatin1String("WithTouch")) == QStringLiteral("True");
    if (const auto arrow = lines.named(QLatin1String("Arrow"))) {
        if (const auto a = integerIn(*arrow, 0, 255))
            p.Arrow = quint8(*a);
    }
    // Last: SetDisabled may rewrite the text the lines point into.
    readDisableLine(kind, lines, 5, p, text);
}

bool readPolyline(const Lines &lines, double scale, ObjectProperties &p, QString &text)
{
    const std::optional<int> count = polylineCount(lines);
    if (!count)
        return false;
    const int n = *count;
    // Points are taken only when the text carries all of them and the shape has no points yet
    // or exactly as many; a point with an unreadable coordinate leaves them all as they were.
    const bool fits = p.Points.size() == n || (p.Points.isEmpty() && lines.count() > 1);
    if (fits && lines.count() >= 2 * qsizetype(n) + 1) {
        QList<QPointF> points;
        points.reserve(n);
        bool ok = true;
        for (int i = 0; i < n && ok; ++i) {
            const auto x = numberIn(lines.line(1 + 2 * i), MinPolylineCoordinate, MaxPolylineCoordinate);
            const auto y = numberIn(lines.line(2 + 2 * i), MinPolylineCoordinate, MaxPolylineCoordinate);
            ok = x && y;
            if (ok)
                points.append(QPointF(*x * scale, *y * scale));
        }
        if (ok)
            p.Points = points;
    }
    if (lines.count() != 2 * qsizetype(n) + 9)
        return true;
    const qsizetype a = 2 * qsizetype(n) + 1;
    if (const auto w = integerIn(lines.line(a + 1), 0, MaxPenWidth))
        p.PenWidth = *w;
    if (const auto c = colorFromText(lines.line(a + 2)))
        p.PenColor = *c;
    if (const auto c = colorFromText(lines.line(a + 3)))
        p.BrushColor = *c;
    if (const auto s = integerIn(lines.line(a + 4), 0, MaxPenStyle))
        p.PenStyle = quint8(*s);
    if (const auto s = integerIn(lines.line(a + 5), 0, MaxBrushStyle))
        p.BrushStyle = quint8(*s);
    if (const auto arrow = integerIn(lines.line(a + 6), 0, 255))
        p.Arrow = quint8(*arrow);
    p.WithTouch = lines.line(a + 7) != QLatin1String("False");
    SetDisabled(ObjectKind::Polyline, p, text, lines.line(a) != QLatin1String("False"));
    return true;
}

} // namespace

ObjectProperties newObjectProperties(int kind)
{
    ObjectProperties p;
    if (kind == ObjectKind::Text)
        p.Transparent = true;
    if (kind == ObjectKind::Polyline) {
        p.BrushColor = clBlack;
        p.BrushStyle = 1;
    }
    return p;
}

QStringList propertyTextLines(const QString &text)
{
    QStringList lines;
    for (const LineSpan &span : lineSpans(text))
        lines.append(text.mid(span.start, span.length));
    return lines;
}

QString WritePropertyText(int kind, const ObjectProperties &p, double designScale)
{
    const double scale = usableScale(designScale);
    QStringList lines;
    if (isMediaKind(kind)) {
        lines << disableLine(p.Disabled);
    } else if (isFontKind(kind)) {
        QString styles;
        const bool on[] = {p.Bold, p.Italic, p.Underline, p.StrikeOut};
        for (int s = 0; s < 4; ++s) {
            if (on[s])
                styles += QString::number(s) + QLatin1Char(',');
        }
        lines << QStringLiteral("Font_Name=") + fontNameText(p.FontName)
              << QStringLiteral("Font_Size=") + QString::number(double(p.FontSize) / scale, 'g', 15)
              << QStringLiteral("Font_Color=") + QString::number(p.FontColor)
              << QStringLiteral("Font_Style=") + styles;
        if (kind == ObjectKind::Text)
            lines << QStringLiteral("Transparent=") + boolText(p.Transparent);
        if (kind != ObjectKind::Button)
            lines << QStringLiteral("Color=") + QString::number(p.Color);
        lines << disableLine(p.Disabled);
    } else if (isKeyedShapeKind(kind)) {
        lines << QStringLiteral("PenColor=") + colorToText(p.PenColor)
              << QStringLiteral("BrushColor=") + colorToText(p.BrushColor)
              << QStringLiteral("PenStyle=") + QString::number(p.PenStyle)
              << QStringLiteral("BrushStyle=") + QString::number(p.BrushStyle)
              << QStringLiteral("PenWidth=") + QString::number(std::clamp(p.PenWidth, 0, MaxPenWidth))
              << disableLine(p.Disabled) << QStringLiteral("WithTouch=") + boolText(p.WithTouch)
              << QStringLiteral("Arrow=") + QString::number(p.Arrow);
    } else if (kind == ObjectKind::Polyline) {
        if (p.Points.isEmpty())
            return QString();
        const qsizetype n = std::min(p.Points.size(), qsizetype(MaxPolylinePoints));
        lines << QString::number(n);
        for (qsizetype i = 0; i < n; ++i)
            lines << coordinateText(p.Points[i].x(), scale) << coordinateText(p.Points[i].y(), scale);
        lines << boolText(p.Disabled) << QString::number(std::clamp(p.PenWidth, 0, MaxPenWidth))
              << colorToText(p.PenColor) << colorToText(p.BrushColor) << QString::number(p.PenStyle)
              << QString::number(p.BrushStyle) << QString::number(p.Arrow) << boolText(p.WithTouch);
    } else {
        return QString();
    }
    return lines.join(lineBreak) + lineBreak;
}

bool ReadPropertyText(int kind, ObjectProperties &p, QString &text, double designScale)
{
    if (text.isEmpty() || text.size() > PropertyTextSize)
        return false;
    const double scale = usableScale(designScale);
    // The lines refer to a copy: SetDisabled rewrites `text` while they are read.
    const QString original = text;
    const Lines lines(original);
    if (isMediaKind(kind)) {
        readDisableLine(kind, lines, 0, p, text);
    } else if (isFontKind(kind)) {
        readFontLines(lines, scale, p);
        if (kind == ObjectKind::Text) {
            if (lines.has(4)) {
                if (const auto t = anyCaseBool(lines.value(4, 12)))
                    p.Transparent = *t;
            }
        }
        if (kind != ObjectKind::Button && lines.has(kind == ObjectKind::Text ? 5 : 4)) {
            if (const auto c = integerFromText(lines.value(kind == ObjectKind::Text ? 5 : 4, 6)))
                p.Color = *c;
        }
        readDisableLine(kind, lines, disabledLineOf(kind), p, text);
    } else if (isKeyedShapeKind(kind)) {
        readKeyedShape(kind, lines, p, text);
    } else if (kind == ObjectKind::Polyline) {
        return readPolyline(lines, scale, p, text);
    } else {
        return false;
    }
    return true;
}

bool SetDisabled(int kind, ObjectProperties &p, QString &text, bool flag)
{
    p.Disabled = flag;
    if (text.size() > PropertyTextSize)
        return false;
    const QList<LineSpan> spans = lineSpans(text);
    qsizetype at = disabledLineOf(kind);
    QString line = disableLine(flag);
    bool mayAppend = true;
    if (kind == ObjectKind::Polyline) {
        const std::optional<int> n = polylineCount(Lines(text));
        if (!n)
            return false;
        at = 2 * qsizetype(*n) + 1;
        line = boolText(flag);
        // A polyline's flag is read only among its attribute lines; there is nothing to append to.
        mayAppend = false;
    }
    if (at < 0)
        return false;
    QString result;
    if (at < spans.size()) {
        result = text;
        result.replace(spans[at].start, spans[at].length, line);
    } else if (mayAppend && at == spans.size()) {
        result = text;
        if (!result.isEmpty() && !result.endsWith(QLatin1Char('\r')) && !result.endsWith(QLatin1Char('\n')))
            result += lineBreak;
        result += line + lineBreak;
    } else {
        return false;
    }
    if (result.size() > PropertyTextSize)
        return false;
    text = result;
    return true;
}

QString shortPropertyText(const QString &text)
{
    if (text.size() <= ShortPropertyTextSize)
        return text;
    qsizetype end = 0;
    for (const LineSpan &span : lineSpans(text)) {
        if (span.next > ShortPropertyTextSize)
            break;
        end = span.next;
    }
    return text.left(end);
}

} // namespace vk
