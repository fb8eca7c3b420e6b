#include "ColorText.h"

#include <QStringView>

namespace vk {

namespace {

struct NamedColor
{
    const char *name;
    quint32 value;
};

// The names the colour text knows. Each value has one name, so writing is unambiguous.
constexpr NamedColor namedColors[] = {
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

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

QString colorToText(ColorValue color)
{
    const quint32 value = quint32(color);
    for (const NamedColor &named : namedColors) {
        if (named.value == value)
            return QString::fromLatin1(named.name);
    }
    return QLatin1Char('$') + QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<ColorValue> colorFromText(const QString &text)
{
    const QStringView t = QStringView(text).trimmed();
    for (const NamedColor &named : namedColors) {
        if (t.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0)
            return ColorValue(named.value);
    }
    return integerFromText(text);
}

std::optional<qint32> integerFromText(const QString &text)
{
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (t.front() == QLatin1Char('$')) {
        if (t.size() == 1)
            return std::nullopt;
        quint64 value = 0;
        for (QChar c : t.mid(1)) {
            const int d = hexDigit(c);
            if (d < 0)
                return std::nullopt;
            value = value * 16 + quint64(d);
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        }
        return qint32(quint32(value));
    }
    qsizetype i = 0;
    bool negative = false;
    if (t.front() == QLatin1Char('-') || t.front() == QLatin1Char('+')) {
        negative = t.front() == QLatin1Char('-');
        i = 1;
    }
    if (i == t.size())
        return std::nullopt;
    // Accumulated as a magnitude; one more than INT32_MAX is allowed for the negative limit.
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const char16_t u = t[i].unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        value = value * 10 + (u - '0');
        if (value > limit)
            return std::nullopt;
    }
    return qint32(negative ? -value : value);
}

} // namespace vk
