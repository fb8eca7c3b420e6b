#include "EmbeddedPreview.h"

#include "DecodeBudget.h"
#include "ImageCodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <mutex>

namespace vk {

namespace {

std::mutex xmpMutex;

void lockXmp(void *, bool lock)
{
    if (lock)
        xmpMutex.lock();
    else
        xmpMutex.unlock();
}

// Exiv2's XMP toolkit is set up once, with a lock, before any thread reads a file's metadata;
// its warnings about odd metadata are no concern of the person importing.
void initExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmp, nullptr);
    });
}

bool fitsLimits(QSize size)
{
    return size.isValid() && !size.isEmpty() && size.width() <= MaxPictureSide &&
           size.height() <= MaxPictureSide && qint64(size.width()) * size.height() <= MaxPicturePixels;
}

// A JPEG cut short decodes without complaint, grey below the cut: a JPEG preview must end
// with its end marker (a writer may pad it with zeros).
bool endsWhole(const QByteArray &data)
{
    if (!data.startsWith("\xFF\xD8"))
        return true; // another format: its reader tells
    qsizetype end = data.size();
    while (end > 2 && data.at(end - 1) == '\0')
        --end;
    return end >= 4 && data.at(end - 2) == '\xFF' && data.at(end - 1) == '\xD9';
}

// One preview decoded, when it has the size and shape wanted; null otherwise.
QImage decodePreview(const QByteArray &data, QSize natural, int longSide)
{
    if (!endsWhole(data))
        return QImage();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The picture's orientation is applied by the caller, as to the picture itself.
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return QImage();
    const QSize size = reader.size();
    if (!fitsLimits(size) || std::max(size.width(), size.height()) < longSide ||
        !previewShapeMatches(size, natural))
        return QImage();
    const QSize target = thumbnailSize(size, longSide);
    // A large preview is decoded at reduced size where its reader can.
    if (reader.supportsOption(QImageIOHandler::ScaledSize) && size.width() >= 2 * target.width() &&
        size.height() >= 2 * target.height())
        reader.setScaledSize(target);
    const DecodeBudget::Lease lease = decodeBudget().acquire(qint64(size.width()) * size.height() * 4);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return QImage();
    return image;
}

} // namespace

bool carriesExif(QIODevice &file)
{
    if (!file.seek(2))
        return false;
    // Markers before the first scan: the application segments, tables and the frame header.
    for (int segment = 0; segment < 64; ++segment) {
        unsigned char head[4];
        if (file.read(reinterpret_cast<char *>(head), 4) != 4 || head[0] != 0xFF)
            return false;
        const int marker = head[1];
        if (marker == 0xDA || marker == 0xD9) // the scan, or the end: no Exif before them
            return false;
        const int length = (head[2] << 8) | head[3];
        if (length < 2)
            return false;
        if (marker == 0xE1 && length >= 8) {
            char name[6];
            if (file.read(name, 6) != 6)
                return false;
            if (QByteArray(name, 6) == QByteArray("Exif\0\0", 6))
                return true;
            if (!file.seek(file.pos() + length - 8))
                return false;
            continue;
        }
        if (!file.seek(file.pos() + length - 2))
            return false;
    }
    return false;
}

bool previewShapeMatches(QSize preview, QSize natural)
{
    if (preview.isEmpty() || natural.isEmpty())
        return false;
    const double wanted = double(natural.width()) / natural.height();
    const double shown = double(preview.width()) / preview.height();
    return std::fabs(shown - wanted) <= 0.01 * wanted;
}

QImage embeddedPreview(const QString &path, QSize natural, int longSide)
{
    if (!natural.isValid() || natural.isEmpty() || longSide < 1)
        return QImage();
    try {
        initExiv2();
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (!image.get())
            return QImage();
        image->readMetadata();
        Exiv2::PreviewManager previews(*image);
        // Smallest first.
        for (const Exiv2::PreviewProperties &p : previews.getPreviewProperties()) {
            // Where the size is known beforehand, a preview too small or of another shape is
            // not even read.
            if (p.width_ > 0 && p.height_ > 0) {
                const QSize declared(int(std::min<uint32_t>(p.width_, 1u << 30)),
                                     int(std::min<uint32_t>(p.height_, 1u << 30)));
                if (std::max(declared.width(), declared.height()) < longSide ||
                    !previewShapeMatches(declared, natural))
                    continue;
            }
            const Exiv2::PreviewImage preview = previews.getPreviewImage(p);
            if (preview.size() == 0 || preview.size() > uint32_t(MaxPicturePixels))
                continue;
            const QByteArray data(reinterpret_cast<const char *>(preview.pData()), int(preview.size()));
            QImage decoded = decodePreview(data, natural, longSide);
            if (!decoded.isNull())
                return decoded;
        }
    } catch (...) {
        // Metadata Exiv2 cannot make sense of: the picture is decoded instead.
    }
    return QImage();
}

} // namespace vk
