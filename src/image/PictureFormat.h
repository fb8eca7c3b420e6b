// What a picture file is, judged from its bytes: its format, the size its header
// claims, and whether the file ends before the picture does. Internal to the image
// component; the codec picks its reader from this.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

class QIODevice;

namespace vk::picture {

enum class Kind
{
    Unknown,
    Bmp,
    Jpeg,
    Png,
    Gif,
    Tiff,
    Ico,
    Tga,
    Pcx,
    Wmf
};

// Bytes to pass as `head` and `tail` below.
inline constexpr int HeadBytes = 64;
inline constexpr int TailBytes = 26;

// The format of a file from its first bytes, its last bytes (where Targa keeps its
// signature), its name's suffix and the type asked for (a TImageType). A signature in
// the content always wins; the type and the suffix only name formats without one.
Kind detect(const QByteArray &head, const QByteArray &tail, const QString &suffix, int typeHint);

// The size the header of a BMP, PNG, GIF (its logical screen), PCX, Targa or placeable WMF
// file claims (WMF at 72 dots an inch, as the image library renders it). Invalid for
// other formats or when the header does not say.
QSize headerSize(Kind kind, const QByteArray &head);

// Whether `file` (left at an unspecified position) holds too little data for a picture of
// `size`, however well compressed: a header that claims a large picture over a few bytes
// of data. Judged for PNG, GIF, Huffman-coded JPEG, PCX and Targa against the most each
// coding can pack into a byte, so any real file passes; BMP's runs are followed by
// endsEarly() instead.
bool holdsTooLittle(Kind kind, QIODevice &file, QSize size);

// The chunks of a PNG, walked before any decoder sees the file: the decoder allocates what a
// chunk declares before it reads it. `problem` is set (and false answered) when a chunk
// declares more bytes than the file holds after it, or more than a chunk of its kind may
// carry (MaxPngAncillaryBytes for the metadata chunks: text, profiles, palettes, Exif and
// chunks of kinds unknown). `ancillaryBytes` is what the metadata chunks hold together,
// which a decoder may hold beside the pixels.
inline constexpr qint64 MaxPngAncillaryBytes = 8LL * 1024 * 1024;
bool pngChunksSound(QIODevice &file, QString &problem, qint64 &ancillaryBytes);

// Whether Qt's PNG reader, asked for a smaller size, reads this PNG (from its first bytes)
// a row at a time into the smaller picture: 8-bit RGB or RGBA, not interlaced. Others it
// reads whole and then scales.
bool pngReadInRows(const QByteArray &head);

// Whether `file` (positioned anywhere; left at an unspecified position) ends before the
// first picture it holds is complete. Checked for the formats whose Qt readers return
// a silently padded picture from a cut-off file: JPEG, BMP and GIF. A file whose
// structure is odd in other ways answers false here: its reader judges that.
bool endsEarly(Kind kind, QIODevice &file);

// The reader names: Qt's format name (empty when Qt cannot read it) and the image
// library's coder (null when the program does not hand the format to it).
QByteArray qtFormat(Kind kind);
const char *magickCoder(Kind kind);

} // namespace vk::picture
