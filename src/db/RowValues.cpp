#include "RowValues.h"

#include "Statement.h"

#include <QDate>

#include <limits>

namespace vk {

int columnInt(const Statement &st, int column)
{
    switch (st.type(column)) {
    case vkdb::DbValueType::Null:
        return 0;
    case vkdb::DbValueType::Integer: {
        const qint64 v = st.integer(column);
        return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max() ? 0 : int(v);
    }
    case vkdb::DbValueType::Real:
        // Its text always has a fraction or an exponent ("80.0", "1.0e+20").
        return 0;
    default:
        return st.text(column).toInt();
    }
}

double columnFloat(const Statement &st, int column, double fallback)
{
    switch (st.type(column)) {
    case vkdb::DbValueType::Null:
        return fallback;
    case vkdb::DbValueType::Integer:
        return double(st.integer(column));
    case vkdb::DbValueType::Real:
        return st.real(column);
    default:
        return textToFloat(st.text(column), fallback);
    }
}

namespace {

bool digits(std::string_view s, size_t from, size_t count, int &value)
{
    value = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// `isText`: the column holds a text (not a number's text made for it).
DateValue dateOf(bool isText, std::string_view bytes)
{
    // The form the program writes, "2001-05-17", read at once; any other goes the long way.
    int y, m, d;
    if (isText && bytes.size() == 10 && bytes[4] == '-' && bytes[7] == '-' && digits(bytes, 0, 4, y) &&
        digits(bytes, 5, 2, m) && digits(bytes, 8, 2, d)) {
        const QDate date(y, m, d);
        if (date.isValid())
            return double(date.toJulianDay());
    }
    return textToDate(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

DateValue columnDate(const Statement &st, int column)
{
    if (st.isEmpty(column))
        return -1;
    // The type first: reading a number's text converts it.
    const bool isText = st.type(column) == vkdb::DbValueType::Text;
    return dateOf(isText, st.utf8(column));
}

QString RepeatedText::take(const Statement &st, int column)
{
    const std::string_view bytes = st.utf8(column);
    if (!m_valid || bytes != m_bytes) {
        m_bytes.assign(bytes);
        m_text = bytes.empty() ? QString() : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        m_valid = true;
    }
    return m_text;
}

DateValue RepeatedDate::take(const Statement &st, int column)
{
    if (st.isEmpty(column))
        return -1;
    const bool isText = st.type(column) == vkdb::DbValueType::Text;
    const std::string_view bytes = st.utf8(column);
    if (isText && m_valid && bytes == m_bytes)
        return m_date;
    m_date = dateOf(isText, bytes);
    m_valid = isText;
    if (isText)
        m_bytes.assign(bytes);
    return m_date;
}

} // namespace vk
