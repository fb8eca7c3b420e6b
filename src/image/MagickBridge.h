// The image library (Magick++) behind a Qt face: pictures in and out as QImage, every
// exception caught here and turned into a reason text. Internal to the image component.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

namespace vk::magick {

enum class Failure
{
    None,
    Damaged,
    TooLarge,
    Unreadable // the file could not be read (the reason is the device's)
};

struct ReadOptions
{
    QSize thumbnail;    // when valid, the picture comes back scaled to exactly this size
    double density = 0; // dots an inch to render vector pictures at (0: the library's 72)
};

struct Result
{
    QImage image;
    QSize size; // ping(): the size the file declares
    Failure failure = Failure::None;
    QString reason;
};

// The size `file` declares, read from its header only.
Result ping(QIODevice &file, const char *coder);

// The first picture in `file`, decoded by `coder`. The file is handed to the library whole,
// read once straight into the library's own memory.
Result read(QIODevice &file, const char *coder, const ReadOptions &options = {});

// `image` encoded by `coder`; alpha is kept when some pixel is not opaque.
Result write(const QImage &image, const char *coder, QByteArray &out);

} // namespace vk::magick
