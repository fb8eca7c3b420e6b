#include "ImageCodec.h"

#include "DecodeBudget.h"
#include "EmbeddedPreview.h"
#include "GifWriter.h"
#include "MagickBridge.h"
#include "PcxReader.h"
#include "PictureFormat.h"
#include "PictureReducer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTransform>

#include <mutex>

namespace vk {

namespace {

using picture::Kind;

// Formats the image library reads are handed to it whole; a file beyond this is not a
// picture the program can hold.
constexpr qint64 MaxFileBytes = 1024LL * 1024 * 1024;

bool fits(QSize size)
{
    return size.width() <= MaxPictureSide && size.height() <= MaxPictureSide &&
           qint64(size.width()) * size.height() <= MaxPicturePixels;
}

// Qt refuses by default any picture over 128 MiB, an eighth of what the program allows
// (its largest picture at 16 bits a channel); the size test before each read is what
// guards against hostile headers, and the decode budget against too many at once.
void allowLargestPicture()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const int neededMiB = int((MaxPicturePixels * 8 + (1 << 20) - 1) >> 20);
        const int limit = QImageReader::allocationLimit();
        if (limit != 0 && limit < neededMiB)
            QImageReader::setAllocationLimit(neededMiB);
    });
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString limitsText()
{
    return QStringLiteral("the most is %1 pixels a side and %2 megapixels")
        .arg(MaxPictureSide)
        .arg(MaxPicturePixels / 1000000);
}

QString tooLargeText(const QString &path, QSize size)
{
    if (size.isValid() && !size.isEmpty())
        return QStringLiteral("The picture \"%1\" is too large to open (%2 × %3 pixels; %4).")
            .arg(shown(path))
            .arg(size.width())
            .arg(size.height())
            .arg(limitsText());
    return QStringLiteral("The picture \"%1\" is too large to open (%2).").arg(shown(path), limitsText());
}

QString damagedText(const QString &path, const QString &reason)
{
    return QStringLiteral("The picture \"%1\" cannot be read; the file may be damaged (%2).")
        .arg(shown(path), reason.isEmpty() ? QStringLiteral("no reader accepted it") : reason);
}

QImage failed(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return QImage();
}

QImage exactSize(QImage image, QSize target)
{
    if (!target.isValid() || image.isNull() || image.size() == target)
        return image;
    // Shrinking averages the pixels a strip at a time; QImage's smooth scaling would first
    // copy a picture of any other format whole into 32 bits.
    if (image.width() >= target.width() && image.height() >= target.height())
        return PictureReducer::reduce(image, target);
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// What a picture of `size` takes at `bytesPerPixel`; a picture of unknown size is taken
// for the largest the program opens.
qint64 pixelBytes(QSize size, qint64 bytesPerPixel)
{
    if (!size.isValid() || size.isEmpty())
        return MaxPicturePixels * bytesPerPixel;
    return qint64(size.width()) * size.height() * bytesPerPixel;
}

// How Qt's reader makes a thumbnail of a picture it reads: at full size (then shrunk a
// strip at a time), or already smaller while it decodes.
enum class QtScaling
{
    None,
    Jpeg, // libjpeg decodes at 1/2, 1/4 or 1/8 of the size
    Rows, // the PNG reader shrinks each row as it comes
};

// What Qt's reader holds while it reads a picture of `natural` size into `format` for a
// thumbnail of `target` (invalid: the picture itself). Turning a photo upright makes a
// second picture.
qint64 qtReadBytes(QSize natural, QImage::Format format, QSize target, QtScaling scaling, bool turned)
{
    const int bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerPixel = qMax(1, (bits + 7) / 8);
    qint64 bytes = pixelBytes(natural, bytesPerPixel);
    if (target.isValid() && natural.isValid() && !natural.isEmpty()) {
        if (scaling == QtScaling::Jpeg) {
            // The smallest fraction that still covers the target.
            const int fraction = qMin(natural.width() / target.width(), natural.height() / target.height());
            const int d = fraction >= 8 ? 8 : fraction >= 4 ? 4 : fraction >= 2 ? 2 : 1;
            bytes = qint64((natural.width() + d - 1) / d) * ((natural.height() + d - 1) / d) * 4;
        } else if (scaling == QtScaling::Rows) {
            bytes = qint64(natural.width()) * 16 + pixelBytes(target, 4);
        }
    }
    return turned ? bytes * 2 : bytes;
}

// A picture as stored turned upright, as Qt's readers turn a photo by its orientation tag:
// mirrored and flipped first, then turned a quarter clockwise.
QImage upright(const QImage &image, QImageIOHandler::Transformations t)
{
    if (t == QImageIOHandler::TransformationNone)
        return image;
    QImage out =
        image.mirrored(t & QImageIOHandler::TransformationMirror, t & QImageIOHandler::TransformationFlip);
    if (t & QImageIOHandler::TransformationRotate90)
        out = out.transformed(QTransform().rotate(90));
    return out;
}

// What the image library holds while it reads a picture of `natural` size from a file of
// `fileBytes`: the file, its pixel cache at up to 10 bytes a pixel (16 bits a channel and a
// colour index), and the picture handed back, when at full size.
qint64 magickReadBytes(QSize natural, qint64 fileBytes, bool thumbnail)
{
    return fileBytes + pixelBytes(natural, 10) + (thumbnail ? 0 : pixelBytes(natural, 4));
}

// Reads the first picture of `path`; with `longSide` > 0, a thumbnail of that size,
// decoded at reduced size where the reader can. Whatever the readers hold meanwhile is
// drawn from the decode budget, one lease at a time.
QImage decode(const QString &path, int type, int longSide, QString *error, bool previews = false,
              ThumbnailOrigin *origin = nullptr)
{
    if (origin)
        *origin = ThumbnailOrigin::Picture;
    if (path.isEmpty())
        return failed(error, QStringLiteral("No file name was given."));
    const QFileInfo info(path);
    if (!info.exists())
        return failed(error, QStringLiteral("The file \"%1\" does not exist.").arg(shown(path)));
    if (!info.isFile())
        return failed(error, QStringLiteral("\"%1\" is not a file.").arg(shown(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(
            error,
            QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(shown(path), file.errorString()));
    const qint64 fileSize = file.size();
    if (fileSize == 0)
        return failed(error, QStringLiteral("The file \"%1\" is empty.").arg(shown(path)));

    const QByteArray head = file.read(picture::HeadBytes);
    QByteArray tail;
    if (fileSize >= picture::TailBytes && file.seek(fileSize - picture::TailBytes))
        tail = file.read(picture::TailBytes);
    const Kind kind = picture::detect(head, tail, info.suffix(), type);

    const QString notAPicture =
        QStringLiteral("The file \"%1\" is not a picture this program can open.").arg(shown(path));

    // A header that claims more than the program opens is refused before anything
    // tries to allocate for it.
    QSize natural = picture::headerSize(kind, head);
    if (natural.isValid() && !fits(natural))
        return failed(error, tooLargeText(path, natural));
    // Every chunk's length against the file, before the reader allocates what it declares; what
    // the metadata chunks hold is drawn from the budget with the pixels.
    qint64 metadataBytes = 0;
    if (kind == Kind::Png) {
        QString problem;
        if (!picture::pngChunksSound(file, problem, metadataBytes))
            return failed(error, damagedText(path, problem));
    }
    QByteArray qtFormat = picture::qtFormat(kind);
    bool qtReads = false;
    bool turned = false;
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
    QtScaling scaling = QtScaling::None;
    QImage::Format qtPixels = QImage::Format_Invalid;
    QString reason;
    if (!qtFormat.isEmpty() || kind == Kind::Unknown) {
        allowLargestPicture();
        file.seek(0);
        QImageReader probe(&file, qtFormat);
        qtReads = probe.canRead();
        if (qtReads) {
            qtFormat = probe.format();
            const QSize probed = probe.size();
            if (probed.isValid())
                natural = probed;
            if (natural.isValid() && !fits(natural))
                return failed(error, tooLargeText(path, natural));
            // The header's size is before turning the photo upright.
            transformation = probe.transformation();
            turned = transformation & QImageIOHandler::TransformationRotate90;
            // Any other reader, asked for a smaller size, reads whole and then lets QImage
            // scale, which copies any format but 32-bit whole first: those are shrunk here.
            if (kind == Kind::Jpeg && probe.supportsOption(QImageIOHandler::ScaledSize))
                scaling = QtScaling::Jpeg;
            else if (kind == Kind::Png && picture::pngReadInRows(head))
                scaling = QtScaling::Rows;
            qtPixels = probe.imageFormat();
        } else if (kind == Kind::Unknown) {
            return failed(error, notAPicture);
        } else {
            reason = probe.errorString();
        }
    }
    if (picture::endsEarly(kind, file))
        return failed(
            error, QStringLiteral("The picture \"%1\" is incomplete: the file ends before the picture does.")
                       .arg(shown(path)));
    // A few bytes claiming a large picture would otherwise cost a full-size allocation
    // (and the image library a pixel cache on disk) before the reader finds them out.
    if (natural.isValid() && picture::holdsTooLittle(kind, file, natural))
        return failed(error,
                      damagedText(path, QStringLiteral("too little data for a picture of %1 × %2 pixels")
                                            .arg(natural.width())
                                            .arg(natural.height())));

    if (kind == Kind::Pcx) {
        QSize target;
        if (longSide > 0 && natural.isValid() && !natural.isEmpty())
            target = thumbnailSize(natural, longSide);
        const bool reduces =
            target.isValid() && target.width() <= natural.width() && target.height() <= natural.height();
        // A thumbnail holds a row of the file and the thumbnail, the picture itself 4 bytes a pixel.
        const DecodeBudget::Lease lease = decodeBudget().acquire(
            reduces ? qint64(natural.width()) * 8 + pixelBytes(target, 4) : pixelBytes(natural, 4));
        const pcx::Result read = pcx::read(file, reduces ? target : QSize());
        if (read.image.isNull())
            return failed(error,
                          read.outOfMemory ? tooLargeText(path, natural) : damagedText(path, read.reason));
        if (error)
            error->clear();
        return exactSize(read.image, longSide > 0 ? thumbnailSize(read.image.size(), longSide) : QSize());
    }

    if (previews && qtReads && kind == Kind::Jpeg && longSide > 0 && natural.isValid() &&
        !natural.isEmpty() && carriesExif(file)) {
        const QImage preview = embeddedPreview(path, natural, longSide);
        if (!preview.isNull()) {
            if (error)
                error->clear();
            if (origin)
                *origin = ThumbnailOrigin::EmbeddedPreview;
            return exactSize(upright(preview, transformation),
                             thumbnailSize(turned ? natural.transposed() : natural, longSide));
        }
    }

    if (qtReads) {
        file.seek(0);
        QImageReader reader(&file, qtFormat);
        reader.setAutoTransform(true);
        QSize target;
        if (longSide > 0 && natural.isValid() && !natural.isEmpty()) {
            target = thumbnailSize(turned ? natural.transposed() : natural, longSide);
            // The scaled size applies before turning, too.
            if (scaling != QtScaling::None)
                reader.setScaledSize(turned ? target.transposed() : target);
        }
        const DecodeBudget::Lease lease = decodeBudget().acquire(
            qtReadBytes(natural, qtPixels, turned ? target.transposed() : target, scaling, turned) +
            metadataBytes);
        QImage image;
        if (reader.read(&image) && !image.isNull()) {
            if (longSide > 0 && !target.isValid())
                target = thumbnailSize(image.size(), longSide);
            if (error)
                error->clear();
            return exactSize(image, target);
        }
        // Content no signature vouched for, that a reader took and then choked on, was
        // most likely never a picture.
        if (kind == Kind::Unknown)
            return failed(error, notAPicture);
        reason = reader.errorString();
    }

    // Qt reads PNG and JPEG through libpng and libjpeg, as the image library does: where
    // one failed the other fails too, after a second copy of the file and a pixel cache.
    const char *coder = picture::magickCoder(kind);
    if (!coder || kind == Kind::Png || kind == Kind::Jpeg)
        return failed(error, damagedText(path, reason));
    if (fileSize > MaxFileBytes)
        return failed(error, tooLargeText(path, QSize()));
    auto unreadable = [&](const QString &reason) {
        return QStringLiteral("The file \"%1\" cannot be read: %2.").arg(shown(path), reason);
    };

    if (!natural.isValid()) {
        // The header's size, asked of the library with the file in hand; the file is let
        // go again before waiting for room to decode it.
        const DecodeBudget::Lease lease = decodeBudget().acquire(fileSize);
        const magick::Result pinged = magick::ping(file, coder);
        if (pinged.failure == magick::Failure::Unreadable)
            return failed(error, unreadable(pinged.reason));
        if (pinged.failure == magick::Failure::TooLarge)
            return failed(error, tooLargeText(path, pinged.size));
        if (pinged.failure != magick::Failure::None)
            return failed(error, damagedText(path, pinged.reason));
        natural = pinged.size;
        if (!fits(natural))
            return failed(error, tooLargeText(path, natural));
    }
    magick::ReadOptions options;
    if (longSide > 0 && natural.isValid() && !natural.isEmpty()) {
        options.thumbnail = thumbnailSize(natural, longSide);
        // A metafile is drawn, not decoded: draw it at about the size wanted.
        if (kind == Kind::Wmf)
            options.density = 72.0 * options.thumbnail.width() / natural.width();
    }
    const DecodeBudget::Lease lease = decodeBudget().acquire(
        magickReadBytes(options.thumbnail.isValid() && kind == Kind::Wmf ? options.thumbnail : natural,
                        fileSize, options.thumbnail.isValid()));
    const magick::Result result = magick::read(file, coder, options);
    if (result.failure == magick::Failure::Unreadable)
        return failed(error, unreadable(result.reason));
    if (result.failure == magick::Failure::TooLarge)
        return failed(error, tooLargeText(path, result.size.isValid() ? result.size : natural));
    if (result.failure != magick::Failure::None)
        return failed(error, damagedText(path, result.reason));
    if (error)
        error->clear();
    return exactSize(result.image, longSide > 0 ? thumbnailSize(result.image.size(), longSide) : QSize());
}

struct SaveFormat
{
    int code;
    const char *name;
    const char *qt;    // Qt's writer, or null
    const char *coder; // the image library's writer, or null
    bool keepsAlpha;
};

// Qt cannot write GIF (the program's own writer does), PCX has no Qt writer at all and
// Qt's Targa support is read-only.
constexpr SaveFormat SaveFormats[] = {
    {ifBMP, "BMP", "bmp", nullptr, false},  {ifTIF, "TIF", "tiff", nullptr, true},
    {ifPCX, "PCX", nullptr, "PCX", false},  {ifGIF, "GIF", nullptr, nullptr, true},
    {ifJPG, "JPG", "jpeg", nullptr, false}, {ifTGA, "TGA", nullptr, "TGA", true},
    {ifPNG, "PNG", "png", nullptr, true},
};

// Formats without transparency get the picture on white, as it looks on paper, rather
// than whatever colour the transparent pixels happen to hold.
QImage flattened(const QImage &image)
{
    if (isOpaque(image))
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return flat;
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

} // namespace

bool isOpaque(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

bool declaredSizesSound(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // the reader says what is wrong with it
    const QByteArray head = file.read(8);
    if (head != QByteArray("\x89PNG\r\n\x1A\n", 8))
        return true;
    QString problem;
    qint64 metadata = 0;
    if (picture::pngChunksSound(file, problem, metadata))
        return true;
    failed(error, damagedText(path, problem));
    return false;
}

bool loadImage(const QString &path, QImage &out, QString *error, int type)
{
    out = decode(path, type, 0, error);
    return !out.isNull();
}

bool saveImage(const QImage &image, const QString &path, int format, int parameter, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (image.isNull())
        return fail(QStringLiteral("There is no picture to save."));
    const SaveFormat *target = nullptr;
    for (const SaveFormat &f : SaveFormats)
        if (f.code == format)
            target = &f;
    if (!target)
        return fail(QStringLiteral("%1 is not a format code this program saves pictures in.").arg(format));
    if (path.isEmpty())
        return fail(QStringLiteral("No file name was given."));

    const bool ownGif = format == ifGIF;
    if ((target->coder || ownGif) && !fits(image.size()))
        return fail(QStringLiteral("The picture is too large to save as %1 (%2 × %3 pixels; %4).")
                        .arg(QLatin1String(target->name))
                        .arg(image.width())
                        .arg(image.height())
                        .arg(limitsText()));
    // What the encoder holds beside the picture: a flattened or converted copy, the file
    // it makes, and for the image library its pixel cache.
    const qint64 encoderBytesPerPixel = ownGif ? 5 : target->coder ? 16 : 8;
    const DecodeBudget::Lease lease = decodeBudget().acquire(pixelBytes(image.size(), encoderBytesPerPixel));

    // Encoded in full before the file is touched: a picture that cannot be written in
    // this format must not cost the person the file already there.
    const QImage picture = target->keepsAlpha ? image : flattened(image);
    if (picture.isNull())
        return fail(
            QStringLiteral("There is not enough memory to save the picture as \"%1\".").arg(shown(path)));
    QByteArray bytes;
    if (ownGif) {
        if (!gif::write(picture, bytes))
            return fail(
                QStringLiteral("The picture could not be converted to GIF for \"%1\".").arg(shown(path)));
    } else if (target->qt) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, target->qt);
        if (format == ifJPG)
            writer.setQuality(parameter >= 1 && parameter <= 100 ? parameter : DefaultJpegQuality);
        if (format == ifTIF)
            writer.setCompression(1); // LZW: lossless, and read by everything that reads TIFF
        if (!writer.write(picture)) {
            QString reason = writer.errorString();
            if (writer.error() == QImageWriter::UnknownError)
                reason = QStringLiteral("the %1 writer refused this picture (%2 × %3 pixels)")
                             .arg(QLatin1String(target->name))
                             .arg(picture.width())
                             .arg(picture.height());
            return fail(QStringLiteral("The picture could not be converted to %1 for \"%2\": %3.")
                            .arg(QLatin1String(target->name), shown(path), reason));
        }
    } else {
        const magick::Result written = magick::write(picture, target->coder, bytes);
        if (written.failure == magick::Failure::TooLarge)
            return fail(QStringLiteral("The picture is too large to save as %1 (%2 × %3 pixels; %4).")
                            .arg(QLatin1String(target->name))
                            .arg(picture.width())
                            .arg(picture.height())
                            .arg(limitsText()));
        if (written.failure != magick::Failure::None)
            return fail(QStringLiteral("The picture could not be converted to %1 for \"%2\": %3.")
                            .arg(QLatin1String(target->name), shown(path), written.reason));
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("The picture could not be saved as \"%1\": %2.")
                        .arg(shown(path), file.errorString()));
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("The picture could not be saved as \"%1\": %2.").arg(shown(path), reason));
    }
    if (!file.commit())
        return fail(QStringLiteral("The picture could not be saved as \"%1\": %2.")
                        .arg(shown(path), file.errorString()));
    if (error)
        error->clear();
    return true;
}

QSize thumbnailSize(QSize natural, int longSide)
{
    if (longSide < 1 || natural.width() < 1 || natural.height() < 1)
        return QSize();
    const qint64 longer = qMax(natural.width(), natural.height());
    const qint64 shorter = qMin(natural.width(), natural.height());
    const int across = int(qMax<qint64>(1, shorter * longSide / longer));
    return natural.width() >= natural.height() ? QSize(longSide, across) : QSize(across, longSide);
}

QImage decodeThumbnail(const QString &path, int longSide, QString *error)
{
    if (longSide < 1)
        return failed(error, QStringLiteral("A thumbnail must be at least 1 pixel on its longer side."));
    return decode(path, itAuto, longSide, error);
}

QImage decodeThumbnailFromPreview(const QString &path, int longSide, QString *error, ThumbnailOrigin *origin)
{
    if (longSide < 1)
        return failed(error, QStringLiteral("A thumbnail must be at least 1 pixel on its longer side."));
    return decode(path, itAuto, longSide, error, true, origin);
}

QByteArray encodeThumbnail(const QImage &thumb)
{
    if (thumb.isNull())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool opaque = isOpaque(thumb);
    QImageWriter writer(&buffer, opaque ? "jpeg" : "png");
    if (opaque)
        writer.setQuality(DefaultJpegQuality);
    if (!writer.write(thumb))
        return QByteArray();
    return bytes;
}

} // namespace vk
