// The values of one authoring statement, given in order after it is opened: texts, nulls and
// files (the file's content as a new file object, or null when the file is not there).
#pragma once

#include "Statement.h"

#include <QList>
#include <QString>

namespace vk {

struct BoundValue
{
    enum Kind
    {
        Text,
        Null,
        File
    };
    Kind kind = Text;
    QString text;
};

class BoundValues
{
public:
    void text(const QString &value) { m_values.append({BoundValue::Text, value}); }
    void number(qint64 value) { m_values.append({BoundValue::Text, QString::number(value)}); }
    void null() { m_values.append({BoundValue::Null, QString()}); }
    void file(const QString &path) { m_values.append({BoundValue::File, path}); }
    bool isEmpty() const { return m_values.isEmpty(); }

    // Gives every value to the statement; false when one is refused.
    bool bindTo(Statement &st) const
    {
        for (const BoundValue &v : m_values) {
            int rc = 0;
            switch (v.kind) {
            case BoundValue::Text:
                rc = st.bind(v.text);
                break;
            case BoundValue::Null:
                rc = st.bindNull();
                break;
            case BoundValue::File:
                rc = st.bindFile(v.text);
                break;
            }
            if (rc > 1 && rc != 99)
                return false;
        }
        return true;
    }

private:
    QList<BoundValue> m_values;
};

// A stored integer, or the fallback for an empty (NULL) value. A float text is truncated.
inline int intOr(const QString &text, int fallback)
{
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        return v;
    const double d = text.toDouble(&ok);
    return ok && d > -2147483648.0 && d < 2147483648.0 ? int(d) : fallback;
}

inline double floatOr(const QString &text, double fallback)
{
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const double d = text.toDouble(&ok);
    return ok ? d : fallback;
}

} // namespace vk
