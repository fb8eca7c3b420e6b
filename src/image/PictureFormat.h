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

// The size the header of a BMP, PCX, Targa or placeable WMF file claims (WMF at 72 dots an
// inch, as the image library renders it). Invalid for other formats or when the
// header does not say.
QSize headerSize(Kind kind, const QByteArray &head);

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
