// The values of a row read in place (Statement::next), each read as the text forms read
// its text, but without making that text: the start-up load reads every row of the library
// this way.
#pragma once

#include "TextForms.h"

#include <QString>

#include <string>
#include <string_view>

namespace vk {

class Statement;

// The column as QString::toInt reads its text: 0 when that is no integer (empty, a fraction,
// out of range).
int columnInt(const Statement &st, int column);
// The column as textToFloat reads its text (`fallback` when that is no number), except that a
// stored number is taken exactly, not through its 15-digit text.
double columnFloat(const Statement &st, int column, double fallback = 0);
// The column as textToDate reads its text; -1 when it is empty.
DateValue columnDate(const Statement &st, int column);

// A text column whose value often repeats from one row to the next (a folder's FolderId, the
// author, the keywords): a repeat shares the previous row's string instead of making its own.
class RepeatedText
{
public:
    QString take(const Statement &st, int column);

private:
    std::string m_bytes;
    QString m_text;
    bool m_valid = false;
};

// The same for a date column: a repeat of the previous row's text is not parsed again.
class RepeatedDate
{
public:
    DateValue take(const Statement &st, int column);

private:
    std::string m_bytes;
    DateValue m_date = -1;
    bool m_valid = false;
};

} // namespace vk
