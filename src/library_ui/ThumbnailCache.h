// The pictures folder windows draw on their tiles, made off the user-interface thread and kept
// within a memory budget: a stored thumbnail read from its file, or (for an item without one) a
// picture's own file reduced or a video's first frame. A window asks only for the tiles that
// are or are about to be visible, nearest the middle of its view first; until a picture is
// ready the tile shows its type's bitmap.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <functional>

namespace vk {

class TDbMedia;

class ThumbnailCache : public QObject
{
    Q_OBJECT
public:
    // How a picture is made from a file, on a worker thread. The default reads stored
    // thumbnails and pictures with the image component and videos through the media framework.
    using Maker = std::function<QImage(const QString &path, int mediaType, bool storedThumbnail, QSize size)>;

    explicit ThumbnailCache(QObject *parent = nullptr);
    ~ThumbnailCache() override;

    static ThumbnailCache &shared();

    // The picture of an item for a tile picture of at most `size`, or a null image when it is
    // not made yet (or cannot be: the tile keeps its type's bitmap then).
    QImage picture(const TDbMedia *item, QSize size) const;
    // Asks for the pictures of these items, in this order of urgency. Requests of an earlier
    // call that have not started are dropped: the view has moved on.
    void request(const QList<const TDbMedia *> &items, QSize size);
    // Whether a picture will come for an item (a request is waiting or running).
    bool pending(const TDbMedia *item, QSize size) const;

    void setMaker(Maker maker) { m_maker = std::move(maker); }
    // Waits for the requests that are running (tests, and the end of the run).
    void waitForDone();
    // The budget in bytes of pixels kept.
    void setBudget(qint64 bytes) { m_cache.setMaxCost(bytes); }
    qint64 bytesKept() const { return m_cache.totalCost(); }

signals:
    // A picture is ready; windows showing the item repaint its tile.
    void pictureReady(const QString &key);

public:
    // The key of an item's picture: the file it is made from and the size.
    static QString keyOf(const TDbMedia *item, QSize size);

private:
    struct Job;
    void startNext();
    void finished(const QString &key, const QImage &image);

    QCache<QString, QImage> m_cache;
    QSet<QString> m_failed;
    QList<Job *> m_queue;
    QSet<QString> m_running;
    QThreadPool m_pool;
    Maker m_maker;
};

} // namespace vk
