#include "ThumbnailCache.h"

#include "DbFolder.h"
#include "ImageCodec.h"
#include "VideoFrames.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThread>

namespace vk {

namespace {

bool isPictureType(int type)
{
    return type >= 0 && type < 99;
}
bool isVideoType(int type)
{
    return type >= 200 && type <= 299;
}

QImage defaultMaker(const QString &path, int mediaType, bool stored, QSize size)
{
    QImage image;
    if (stored && declaredSizesSound(path)) {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QSize full = reader.size();
        if (full.isValid() && (full.width() > size.width() || full.height() > size.height()))
            reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio));
        image = reader.read();
    } else if (isPictureType(mediaType)) {
        image = decodeThumbnail(path, std::max(size.width(), size.height()));
    } else if (isVideoType(mediaType)) {
        QString error;
        image = firstVideoFrame(path, &error, 10000);
    }
    if (!image.isNull() && (image.width() > size.width() || image.height() > size.height()))
        image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// What an item's picture is made from: its stored thumbnail, or its own file when it is a
// picture or a video without one. Empty when only the type's bitmap can stand for it.
QString sourceOf(const TDbMedia *item, bool *stored)
{
    *stored = false;
    if (item->SubFolder || item->Rec.MediaType == SubFolderType)
        return QString();
    if (!item->Rec.NailFile.isEmpty() && QFileInfo(item->Rec.NailFile).isFile()) {
        *stored = true;
        return item->Rec.NailFile;
    }
    if ((isPictureType(item->Rec.MediaType) || isVideoType(item->Rec.MediaType)) && !item->Lost &&
        !item->Rec.MediaFile.isEmpty())
        return item->Rec.MediaFile;
    return QString();
}

} // namespace

struct ThumbnailCache::Job
{
    QString key;
    QString path;
    int type = 0;
    bool stored = false;
    QSize size;
};

ThumbnailCache::ThumbnailCache(QObject *parent) : QObject(parent), m_maker(defaultMaker)
{
    // About 1,500 tiles of 120 × 90 pixels.
    m_cache.setMaxCost(64 * 1024 * 1024);
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

ThumbnailCache::~ThumbnailCache()
{
    qDeleteAll(m_queue);
    m_queue.clear();
    m_pool.waitForDone();
}

ThumbnailCache &ThumbnailCache::shared()
{
    static ThumbnailCache *cache = new ThumbnailCache;
    return *cache;
}

QString ThumbnailCache::keyOf(const TDbMedia *item, QSize size)
{
    bool stored = false;
    const QString source = sourceOf(item, &stored);
    if (source.isEmpty())
        return QString();
    return QStringLiteral("%1|%2x%3|%4")
        .arg(source)
        .arg(size.width())
        .arg(size.height())
        .arg(item->Rec.MediaType);
}

QImage ThumbnailCache::picture(const TDbMedia *item, QSize size) const
{
    const QString key = keyOf(item, size);
    if (key.isEmpty())
        return QImage();
    const QImage *image = m_cache.object(key);
    return image ? *image : QImage();
}

bool ThumbnailCache::pending(const TDbMedia *item, QSize size) const
{
    const QString key = keyOf(item, size);
    if (key.isEmpty() || m_running.contains(key))
        return !key.isEmpty();
    for (const Job *j : m_queue)
        if (j->key == key)
            return true;
    return false;
}

void ThumbnailCache::request(const QList<const TDbMedia *> &items, QSize size)
{
    qDeleteAll(m_queue);
    m_queue.clear();
    QSet<QString> queued;
    bool video = false;
    for (const TDbMedia *item : items) {
        bool stored = false;
        const QString source = sourceOf(item, &stored);
        if (source.isEmpty())
            continue;
        const QString key = keyOf(item, size);
        if (m_cache.contains(key) || m_failed.contains(key) || m_running.contains(key) ||
            queued.contains(key))
            continue;
        queued.insert(key);
        video = video || (!stored && isVideoType(item->Rec.MediaType));
        m_queue.append(new Job{key, source, item->Rec.MediaType, stored, size});
    }
    if (video) {
        static bool ready = false;
        if (!ready) {
            initVideoFrames();
            ready = true;
        }
    }
    startNext();
}

void ThumbnailCache::startNext()
{
    while (!m_queue.isEmpty() && m_running.size() < m_pool.maxThreadCount()) {
        Job *job = m_queue.takeFirst();
        m_running.insert(job->key);
        QPointer<ThumbnailCache> self(this);
        const Maker maker = m_maker;
        m_pool.start([self, maker, job] {
            const QImage image = maker(job->path, job->type, job->stored, job->size);
            const QString key = job->key;
            delete job;
            if (self)
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, key, image] {
                        if (self)
                            self->finished(key, image);
                    },
                    Qt::QueuedConnection);
        });
    }
}

void ThumbnailCache::finished(const QString &key, const QImage &image)
{
    m_running.remove(key);
    if (image.isNull())
        m_failed.insert(key);
    else
        m_cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    emit pictureReady(key);
    startNext();
}

void ThumbnailCache::waitForDone()
{
    while (!m_running.isEmpty() || !m_queue.isEmpty()) {
        m_pool.waitForDone(50);
        QCoreApplication::processEvents();
    }
}

} // namespace vk
