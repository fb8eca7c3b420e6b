// The previews a camera or phone writes into its pictures (the EXIF thumbnail, and often a
// larger preview too), read through Exiv2. A thumbnail made from one costs a few kilobytes of
// decoding in place of the whole picture. Internal to the image component.
#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

namespace vk {

// The smallest preview in `path` whose longer side is at least `longSide` and whose shape is
// the picture's (`natural`, its size as stored, before any turning upright) within 1 %, as
// stored (not turned). Null when the file carries none that fits, or when the one that
// fits cannot be decoded: the caller then decodes the picture itself. Safe to call from any
// thread; never throws.
QImage embeddedPreview(const QString &path, QSize natural, int longSide);

// Whether the JPEG in `file` has an Exif segment before its picture data, where a camera
// keeps its previews: a few bytes read at each segment's start, so a file without one costs
// next to nothing. Leaves the file's position anywhere.
bool carriesExif(QIODevice &file);

// Whether a preview of `preview` size shows a picture of `natural` size whole: the same ratio
// of width to height within 1 % (a stale preview of another crop, or one letterboxed to
// another shape, does not).
bool previewShapeMatches(QSize preview, QSize natural);

} // namespace vk
