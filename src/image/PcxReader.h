// Reads PCX pictures a row at a time. Qt has no PCX reader, and the image library's keeps
// 8 to 18 bytes a pixel in its pixel cache while it reads, more than the platform's
// resource policy grants it for the largest pictures the program opens (a 10000 × 7000 PCX
// already fails there). This reader holds one row of the file at a time: a full read
// needs the picture's 4 bytes a pixel, a thumbnail only the thumbnail. Internal to the
// image component.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

namespace vk::pcx {

struct Result
{
    QImage image;
    bool outOfMemory = false; // the picture could not be allocated
    QString reason;           // why not, when `image` is null
};

// The first picture in `file` (read from its start). With a valid `thumbnail` no larger
// than the picture either way, the picture reduced to exactly that size; otherwise at its
// own size, RGB32, or ARGB32 for a four-plane file.
Result read(QIODevice &file, QSize thumbnail = QSize());

} // namespace vk::pcx
