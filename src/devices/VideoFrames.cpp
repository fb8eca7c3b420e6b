#include "VideoFrames.h"

#include "ImageCodec.h"
#include "PictureFiles.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

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
    QEventLoop loop;
    QMediaPlayer player;
    QVideoSink sink;
    player.setVideoSink(&sink);
    QImage frame;
    QString problem;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, &loop, [&](const QVideoFrame &f) {
        if (!frame.isNull() || !f.isValid())
            return;
        frame = f.toImage();
        loop.quit();
    });
    QObject::connect(&player, &QMediaPlayer::errorOccurred, &loop,
                     [&](QMediaPlayer::Error, const QString &text) {
                         problem = text;
                         loop.quit();
                     });
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop, [&](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::EndOfMedia)
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    player.setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    player.play();
    if (frame.isNull())
        loop.exec();
    player.stop();
    if (!frame.isNull())
        return frame.convertToFormat(QImage::Format_RGB32);
    return fail(problem.isEmpty() ? QStringLiteral("No picture could be taken from the video \"%1\".").arg(path)
                                  : QStringLiteral("The video \"%1\" cannot be played: %2").arg(path, problem));
}

QByteArray mediaThumbnail(const QString &path, QString *error)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("avi"), Qt::CaseInsensitive) != 0)
        return thumbnailOfFile(path, error);
    const QImage frame = firstVideoFrame(path, error);
    if (frame.isNull())
        return QByteArray();
    const QSize size = thumbnailSize(frame.size());
    return encodeThumbnail(frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace vk
