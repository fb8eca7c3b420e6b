// JPEGs carrying an EXIF thumbnail, written by exiftool as a camera would carry one.
#pragma once

#include "PictureFixtures.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace fixtures {

inline bool haveExiftool()
{
    return !QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty();
}

// Runs exiftool on `file` (in place); false, with a failure recorded, when it refuses.
inline bool exiftool(const QString &file, const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("exiftool"),
            QStringList{QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("-overwrite_original")} +
                arguments + QStringList{file});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "exiftool failed on " << file.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

// Writes `picture` as a JPEG at `path` carrying `thumbnail` (the bytes of a JPEG, whole or
// damaged) as its EXIF thumbnail and, when non-zero, an orientation tag.
inline bool writeJpegWithThumbnail(const QString &path, const QImage &picture, const QByteArray &thumbnail,
                                   int orientation = 0)
{
    writeFile(path, qtEncoded(picture, "jpeg", [](QImageWriter &w) { w.setQuality(95); }));
    QStringList arguments;
    QTemporaryFile thumb;
    if (!thumbnail.isEmpty()) {
        if (!thumb.open())
            return false;
        thumb.write(thumbnail);
        thumb.flush();
        arguments << QStringLiteral("-ThumbnailImage<=") + thumb.fileName();
    }
    if (orientation != 0)
        arguments << QStringLiteral("-Orientation#=%1").arg(orientation);
    return arguments.isEmpty() || exiftool(path, arguments);
}

inline QImage solid(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace fixtures
