// Video thumbnails: the first frame of an AVI, on the calling thread and on a worker.
#include "AviFixture.h"
#include "ImageCodec.h"
#include "VideoFrames.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <future>

using namespace vk;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

bool near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) < 24 && qAbs(qGreen(a) - b.green()) < 24 && qAbs(qBlue(a) - b.blue()) < 24;
}

TEST(VideoFrames, FirstFrameOfAnAvi)
{
    QTemporaryDir dir;
    const QString avi = writeFile(dir, "clip.avi", fixtures::mjpegAvi(160, 96, {Qt::red, Qt::blue, Qt::green}));
    QString error;
    const QImage frame = firstVideoFrame(avi, &error);
    ASSERT_FALSE(frame.isNull()) << error.toStdString();
    EXPECT_EQ(frame.size(), QSize(160, 96));
    EXPECT_TRUE(near(frame.pixel(80, 48), Qt::red)) << std::hex << frame.pixel(80, 48);

    // On a worker thread, as the import runs it; stored as a 120-pixel thumbnail.
    QThreadPool pool;
    std::promise<QByteArray> done;
    pool.start([&] {
        QString e;
        done.set_value(mediaThumbnail(avi, &e));
    });
    const QByteArray stored = done.get_future().get();
    QImage thumb;
    ASSERT_TRUE(thumb.loadFromData(stored));
    EXPECT_EQ(thumb.size(), QSize(120, 72));
}

// As an import takes them: on workers only, several at once, a damaged one among them.
TEST(VideoFrames, WorkersTakeFramesSideBySide)
{
    QTemporaryDir dir;
    initVideoFrames();
    const QString good = writeFile(dir, "good.avi", fixtures::mjpegAvi(64, 48, {Qt::blue}));
    const QString bad = writeFile(dir, "bad.avi", "RIFF\x10\0\0\0AVI nothing here");
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    std::vector<std::future<QByteArray>> results;
    for (const QString &path : {good, bad, good}) {
        auto task = std::make_shared<std::packaged_task<QByteArray()>>([path] {
            QString e;
            return mediaThumbnail(path, &e);
        });
        results.push_back(task->get_future());
        pool.start([task] { (*task)(); });
    }
    EXPECT_FALSE(results[0].get().isEmpty());
    EXPECT_TRUE(results[1].get().isEmpty());
    EXPECT_FALSE(results[2].get().isEmpty());
}

TEST(VideoFrames, DamagedAndMissingVideosAnswerWithAReason)
{
    QTemporaryDir dir;
    const QString cases[] = {writeFile(dir, "garbage.avi", "RIFF\x10\0\0\0AVI nothing here"),
                             writeFile(dir, "empty.avi", ""), dir.filePath("missing.avi")};
    for (const QString &path : cases) {
        QString error;
        EXPECT_TRUE(firstVideoFrame(path, &error, 5000).isNull()) << path.toStdString();
        EXPECT_FALSE(error.isEmpty()) << path.toStdString();
    }
}

} // namespace
