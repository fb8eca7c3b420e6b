#include "IconCache.h"

#include "ImageCodec.h"

#include <QFileInfo>

namespace vk {

QImage IconCache::icon(const QString &path, const QImage &fallback)
{
    if (path.isEmpty())
        return fallback;
    const QFileInfo info(path);
    if (!info.isFile())
        return fallback;
    const auto found = m_entries.constFind(path);
    if (found != m_entries.constEnd() && found->bytes == info.size() && found->modified == info.lastModified())
        return found->image.isNull() ? fallback : found->image;
    Entry entry;
    entry.bytes = info.size();
    entry.modified = info.lastModified();
    QString error;
    if (!loadImage(path, entry.image, &error))
        entry.image = QImage();
    m_entries.insert(path, entry);
    return entry.image.isNull() ? fallback : entry.image;
}

} // namespace vk
