// Writes a picture as a GIF: its own colours when it has no more than a GIF holds,
// otherwise 256 colours chosen by median cut and Floyd–Steinberg dithering; pixels less than
// half opaque become the transparent colour. Qt has no GIF writer, and the image library's
// needs a full-size pixel cache twice over (true colour, then palette) while it reduces the
// colours, beyond what the platform's resource policy grants it for a picture of 63
// megapixels. This one works a row at a time beside the picture and the file it makes.
// Internal to the image component.
#pragma once

#include <QByteArray>
#include <QImage>

namespace vk::gif {

// `image` as the bytes of a GIF file; false (with `out` empty) when it has no pixels or
// is wider or higher than a GIF can be.
bool write(const QImage &image, QByteArray &out);

} // namespace vk::gif
