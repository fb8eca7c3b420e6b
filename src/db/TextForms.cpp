#include "TextForms.h"

#include <QDate>
#include <QLocale>
#include <QStringList>

namespace vk {

QString floatToText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

double textToFloat(const QString &text, double fallback)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v : fallback;
}

QString dateToText(DateValue date)
{
    if (date < 0)
        return QString();
    const QDate d = QDate::fromJulianDay(qint64(date));
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

DateValue textToDate(const QString &text)
{
    // A stored time of day after the date is not part of the day.
    const QString t = text.trimmed().section(QLatin1Char(' '), 0, 0);
    const QStringList parts = t.split(QLatin1Char('-'));
    auto number = [](const QString &s, bool &ok) { return s.toInt(&ok); };
    bool a = false, b = false, c = false;
    if (parts.size() == 3) {
        const int p0 = number(parts[0], a), p1 = number(parts[1], b), p2 = number(parts[2], c);
        if (a && b && c) {
            QDate d(p0, p1, p2);
            if (d.isValid())
                return double(d.toJulianDay());
            d = QDate(p2, p0, p1);
            if (d.isValid())
                return double(d.toJulianDay());
        }
    } else if (parts.size() == 2) {
        const int p0 = number(parts[0], a), p1 = number(parts[1], b);
        const QDate d(QDate::currentDate().year(), p0, p1);
        if (a && b && d.isValid())
            return double(d.toJulianDay());
    }
    return -1;
}

DateValue today()
{
    return double(QDate::currentDate().toJulianDay());
}

} // namespace vk
