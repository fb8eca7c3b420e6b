// Small pictures drawn again and again (keyword icons, type icons): each file is read once
// and kept, keyed by its path, size and modification time, so a list that refills does
// not go back to the disk.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>

namespace vk {

class IconCache
{
public:
    // The picture in `path`, or `fallback` when there is no path or the file cannot be read
    // as a picture (a failure is remembered too, until the file changes).
    QImage icon(const QString &path, const QImage &fallback);
    void clear() { m_entries.clear(); }
    int size() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        qint64 bytes = -1;
        QDateTime modified;
        QImage image; // null: the file could not be read
    };
    QHash<QString, Entry> m_entries;
};

} // namespace vk
