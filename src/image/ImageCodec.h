// Loading, saving and thumbnailing pictures. Everything the program shows, converts,
// prints or thumbnails comes through here, so every function answers false (or a null
// picture) with a message text on bad input and never lets an exception out.
//
// Qt's readers and writers do the work where they handle the format; the program reads
// PCX and writes GIF itself, a row at a time; Magick++ does the rest (the Targa files Qt
// cannot read, WMF, PCX and Targa writing, and the BMP, GIF and icon files Qt's own readers
// refuse). Whatever they hold while they work is drawn from one budget shared by all threads
// (DecodeBudget.h), and a header's claims are checked before anything allocates for them.
// Usable without widgets.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace vk {

// The format codes the program stores with a save request.
enum ImageFormat
{
    ifBMP = 100,
    ifTIF = 200,
    ifPCX = 300,
    ifGIF = 400,
    ifJPG = 500,
    ifTGA = 600,
    ifPNG = 700,
};

// The format a picture is read as. itAuto decides from the content (and, for files
// whose content carries no signature, from the extension). Any other type is only a
// hint for a file without a signature: a file that plainly says it is a PNG loads as
// a PNG whatever type was asked for.
enum TImageType
{
    itAuto = 0,
    itBitmap = 1,
    itGif = 2,
    itJpeg = 3,
    itPcx = 4,
    itPing = 5,
    itTarga = 6,
    itTiff = 7,
};

// The largest picture the program opens or writes through the image library: the
// library's own resource policy on this platform.
inline constexpr int MaxPictureSide = 16000;
inline constexpr qint64 MaxPicturePixels = 128LL * 1000 * 1000;

// What the decoders and encoders of all threads may hold at once (see DecodeBudget): the
// largest picture the program opens, at 4 bytes a pixel. More cores do not need more
// memory; they wait for it.
inline constexpr qint64 DefaultDecodeBudget = MaxPicturePixels * 4;

inline constexpr int DefaultThumbnailSide = 120;
inline constexpr int DefaultJpegQuality = 85;

// Starts the image library; once, early in main(), before any thread decodes.
void initImageLibrary(const char *argv0);

// Where the image library keeps the pixels of a picture too large for its share of memory:
// the program's private work directory in the per-user cache (made, owner-only, when
// missing). Empty when none can be made; the library then keeps nothing on disk, and a
// picture that would need it is refused as too large.
QString pictureWorkDirectory();

// Whether what the file's structure declares (a PNG's chunk lengths) fits the file and the
// limits of its kind, so that a reader may be let at it; `error` says why not. Files of other
// formats answer true here: loadImage checks their headers itself.
bool declaredSizesSound(const QString &path, QString *error = nullptr);

// Reads the first picture of `path` into `out`. On failure `out` is null and `error`
// (when given) says why in words a person can act on.
bool loadImage(const QString &path, QImage &out, QString *error, int type = itAuto);

// Writes `image` to `path` in the format `format` (an ImageFormat code). `parameter` is
// the JPEG quality when it is 1..100; other values pick DefaultJpegQuality. The file is
// written beside the target and renamed over it, so a failed save leaves any earlier
// file untouched.
bool saveImage(const QImage &image, const QString &path, int format, int parameter, QString *error);

// The thumbnail size of a picture of `natural` size: the longer side becomes
// `longSide`, the shorter trunc(shorter * longSide / longer) but at least 1. An
// invalid or empty size, or a longSide below 1, gives an invalid QSize.
QSize thumbnailSize(QSize natural, int longSide = DefaultThumbnailSide);

// Decodes `path` at reduced size where the reader can, and returns it scaled to
// thumbnailSize(natural, longSide) (small pictures are enlarged to that size too).
// A null picture, with `error` set, on failure.
QImage decodeThumbnail(const QString &path, int longSide = DefaultThumbnailSide, QString *error = nullptr);

// Where a thumbnail's pixels came from.
enum class ThumbnailOrigin
{
    Picture,         // the picture decoded (at reduced size where its reader can)
    EmbeddedPreview, // a preview the file carries
};

// As decodeThumbnail, but a JPEG that carries a preview at least `longSide` on its longer side
// and of the picture's shape within 1 % (the EXIF thumbnail, or a larger preview) is
// thumbnailed from the smallest such preview, turned upright as the picture is, without
// decoding the picture; the thumbnail has the size decodeThumbnail gives. Every other file,
// and one whose preview is too small, of another shape or damaged, is decoded as
// decodeThumbnail does. `origin`, when given, tells which it was.
QImage decodeThumbnailFromPreview(const QString &path, int longSide = DefaultThumbnailSide,
                                  QString *error = nullptr, ThumbnailOrigin *origin = nullptr);

// Whether every pixel of `image` is fully opaque (whatever its format says).
bool isOpaque(const QImage &image);

// A thumbnail in compact form for storage: PNG when some pixel is not opaque, JPEG
// otherwise. Empty for a null picture.
QByteArray encodeThumbnail(const QImage &thumb);

} // namespace vk
