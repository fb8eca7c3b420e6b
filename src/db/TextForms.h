// Text forms of values in statements: floats with '.' whatever the locale, in as few
// digits as they need; dates as year-month-day.
#pragma once

#include <QString>

namespace vk {

// A day as a number (Julian day); -1 for no date.
using DateValue = double;

QString floatToText(double value);
double textToFloat(const QString &text, double fallback = 0);
// "2001-05-17"; empty for no date.
QString dateToText(DateValue date);
// year-month-day, then month-day-year, then month-day of the current year; -1 when none fits.
DateValue textToDate(const QString &text);
DateValue today();

} // namespace vk
