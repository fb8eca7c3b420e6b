#include "PictureFiles.h"

#include "ImageCodec.h"
#include "ImageWindow.h"

namespace vk {

namespace {

struct MediaPicture
{
    int mediaType;
    int imageType;
    int format;
};

// The picture types of media rows, with the reader hint and writer of each.
constexpr MediaPicture MediaPictures[] = {
    {1, itBitmap, ifBMP}, {3, itJpeg, ifJPG},  {4, itPcx, ifPCX}, {5, itPing, ifPNG},
    {6, itTarga, ifTGA},  {7, itTiff, ifTIF}, {8, itGif, ifGIF},
};

const MediaPicture *find(int mediaType)
{
    for (const MediaPicture &p : MediaPictures)
        if (p.mediaType == mediaType)
            return &p;
    return nullptr;
}

bool isPicture(int mediaType)
{
    return mediaType > 0 && mediaType < 99;
}

} // namespace

int imageTypeOfMediaType(int mediaType)
{
    const MediaPicture *p = find(mediaType);
    return p ? p->imageType : -1;
}

int imageFormatOfMediaType(int mediaType)
{
    const MediaPicture *p = find(mediaType);
    return p ? p->format : 0;
}

bool loadMediaPicture(const QString &path, int mediaType, QImage &out, QString *error)
{
    out = QImage();
    if (!isPicture(mediaType)) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a picture.").arg(path);
        return false;
    }
    const int hint = imageTypeOfMediaType(mediaType);
    return loadImage(path, out, error, hint < 0 ? itAuto : hint);
}

bool saveMediaPicture(const QImage &image, const QString &path, int mediaType, QString *error)
{
    const int format = imageFormatOfMediaType(mediaType);
    if (format == 0) {
        if (error)
            *error = mediaType == 9 || mediaType == 10
                         ? QStringLiteral("Icons and metafiles cannot be written; choose another picture type.")
                         : QStringLiteral("This type of file cannot be written as a picture.");
        return false;
    }
    return saveImage(image, path, format, 0, error);
}

bool convertMediaPicture(const QString &source, int sourceType, const QString &target, int targetType,
                         QString *error)
{
    if (imageFormatOfMediaType(targetType) == 0)
        return saveMediaPicture(QImage(), target, targetType, error);
    QImage picture;
    if (!loadMediaPicture(source, sourceType, picture, error))
        return false;
    return saveMediaPicture(picture, target, targetType, error);
}

bool LoadPictureFile(const QString &path, int mediaType, TImageWindow &window)
{
    const int hint = imageTypeOfMediaType(mediaType);
    if (hint >= 0)
        window.setImageType(hint);
    if (mediaType == 9 || mediaType == 10) {
        // Icons and metafiles are drawn at their own size and shown as that picture.
        QImage picture;
        QString error;
        if (!loadMediaPicture(path, mediaType, picture, &error))
            return false;
        return window.LoadFromImage(picture);
    }
    return window.setImageName(path);
}

bool SavePictureFile(TImageWindow &window, const QString &path, int mediaType)
{
    const int format = imageFormatOfMediaType(mediaType);
    return format != 0 && window.SaveImage(path, format, 0);
}

namespace {

QByteArray storedThumbnail(const QString &path, QString *error, bool embeddedPreviews)
{
    const QImage thumb = embeddedPreviews ? decodeThumbnailFromPreview(path, DefaultThumbnailSide, error)
                                          : decodeThumbnail(path, DefaultThumbnailSide, error);
    if (thumb.isNull())
        return QByteArray();
    QByteArray bytes = encodeThumbnail(thumb);
    if (bytes.isEmpty() && error)
        *error = QStringLiteral("The thumbnail of \"%1\" could not be encoded.").arg(path);
    return bytes;
}

} // namespace

QByteArray thumbnailOfFile(const QString &path, QString *error)
{
    return storedThumbnail(path, error, true);
}

QByteArray thumbnailOfWholePicture(const QString &path, QString *error)
{
    return storedThumbnail(path, error, false);
}

} // namespace vk
