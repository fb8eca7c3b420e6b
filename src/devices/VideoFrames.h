// Pictures taken from video files: the first frame, which is a video item's thumbnail.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

namespace vk {

// The first frame of the video in `path`, through the media framework. Runs an event loop
// of its own, so it may be called on a worker thread; needs a QGuiApplication. Null, with `error` set, when the file
// has no video that can be decoded within `timeoutMs`.
QImage firstVideoFrame(const QString &path, QString *error, int timeoutMs = 10000);

// Sets up the media framework; once, on the main thread, before any worker takes frames.
void initVideoFrames();

// The stored thumbnail of a media file: pictures through the image component, AVI videos
// from their first frame. Empty, with `error` set, on failure. Safe on any thread.
// A JPEG's embedded preview stands in for its picture where one fits.
QByteArray mediaThumbnail(const QString &path, QString *error);
// The library's thumbnailer: mediaThumbnail, or with `embeddedPreviews` false every picture
// thumbnailed from the picture itself.
std::function<QByteArray(const QString &, QString *)> mediaThumbnailer(bool embeddedPreviews);

} // namespace vk
