#include "VideoFrames.h"

#include "ImageCodec.h"
#include "PictureFiles.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <mutex>

namespace vk {

QImage firstVideoFrame(const QString &path, QString *error, int timeoutMs)
{
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return QImage();
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("The file \"%1\" is not there.").arg(path));
    // Turning a decoded frame into a picture needs the graphical side of Qt (it converts
    // through the rendering layer, or on the processor when there is none).
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return fail(QStringLiteral("Pictures cannot be taken from videos here."));
    // One player at a time: the media framework's own set-up and the decoders it loads are
    // not made for many threads starting players at once, and a thumbnail is no hurry.
    static std::mutex oneAtATime;
    std::lock_guard<std::mutex> hold(oneAtATime);
    QEventLoop loop;
    QMediaPlayer player;
    QVideoSink sink;
    player.setVideoSink(&sink);
    QImage frame;
    QString problem;
    bool finished = false;
    auto finish = [&] {
        finished = true;
        loop.quit();
    };
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, &loop, [&](const QVideoFrame &f) {
        if (!frame.isNull() || !f.isValid())
            return;
        frame = f.toImage();
        finish();
    });
    QObject::connect(&player, &QMediaPlayer::errorOccurred, &loop,
                     [&](QMediaPlayer::Error, const QString &text) {
                         problem = text;
                         finish();
                     });
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop, [&](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::EndOfMedia)
            finish();
    });
    QTimer::singleShot(timeoutMs, &loop, finish);
    player.setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    if (!finished)
        player.play();
    // On the thread of the windows, nothing the person does is handled meanwhile: the
    // operation that asked for the frame is still in hand.
    if (!finished)
        loop.exec(QThread::currentThread() == QCoreApplication::instance()->thread()
                      ? QEventLoop::ExcludeUserInputEvents
                      : QEventLoop::AllEvents);
    player.stop();
    if (!frame.isNull())
        return frame.convertToFormat(QImage::Format_RGB32);
    return fail(problem.isEmpty() ? QStringLiteral("No picture could be taken from the video \"%1\".").arg(path)
                                  : QStringLiteral("The video \"%1\" cannot be played: %2").arg(path, problem));
}

void initVideoFrames()
{
    // The media framework sets itself up on the thread that first asks for it; that must be
    // the main thread, not a worker of an import.
    QMediaPlayer player;
}

namespace {

QByteArray thumbnailOfMedia(const QString &path, QString *error, bool embeddedPreviews)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("avi"), Qt::CaseInsensitive) != 0)
        return embeddedPreviews ? thumbnailOfFile(path, error) : thumbnailOfWholePicture(path, error);
    const QImage frame = firstVideoFrame(path, error);
    if (frame.isNull())
        return QByteArray();
    const QSize size = thumbnailSize(frame.size());
    return encodeThumbnail(frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace

QByteArray mediaThumbnail(const QString &path, QString *error)
{
    return thumbnailOfMedia(path, error, true);
}

std::function<QByteArray(const QString &, QString *)> mediaThumbnailer(bool embeddedPreviews)
{
    if (embeddedPreviews)
        return mediaThumbnail;
    return [](const QString &path, QString *error) { return thumbnailOfMedia(path, error, false); };
}

} // namespace vk
