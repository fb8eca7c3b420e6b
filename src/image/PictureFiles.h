// Pictures of media items: loading and saving by media type, conversion between the
// picture types for export, and the stored thumbnail of a file.
//
// Media type codes are the ones stored with each media row: 1 BMP, 3 JPG, 4 PCX,
// 5 PNG, 6 TGA, 7 TIF, 8 GIF, 9 ICO, 10 WMF (any other code below 99 is a picture of
// unnamed type, read by its content).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vk {

class TImageWindow;

// The reader hint (TImageType) for a media type; -1 for a type that names no reader,
// which leaves a window's ImageType as it is.
int imageTypeOfMediaType(int mediaType);
// The save format code (ImageFormat) of a media type; 0 for a type that cannot be written.
int imageFormatOfMediaType(int mediaType);

// Reads the picture of a media file. ICO and WMF files are read at their own size.
bool loadMediaPicture(const QString &path, int mediaType, QImage &out, QString *error);
// Writes `image` as a file of `mediaType`; ICO, WMF and non-picture types are refused.
bool saveMediaPicture(const QImage &image, const QString &path, int mediaType, QString *error);
// Reads `source` as `sourceType` and writes it to `target` as `targetType`. A failure
// leaves no file at `target` that was not there before.
bool convertMediaPicture(const QString &source, int sourceType, const QString &target, int targetType,
                         QString *error);

// Loads a media file into a picture window, setting its ImageType from the media type.
bool LoadPictureFile(const QString &path, int mediaType, TImageWindow &window);
// Saves the window's picture in the format of `mediaType`.
bool SavePictureFile(TImageWindow &window, const QString &path, int mediaType);

// The stored form of a file's thumbnail (reduced-size decode, then PNG or JPEG). Empty,
// with `error` set, when the file cannot be read as a picture. A JPEG's fitting embedded
// preview stands in for its picture (decodeThumbnailFromPreview). Safe to call from any thread.
QByteArray thumbnailOfFile(const QString &path, QString *error);
// The same, always from the picture itself.
QByteArray thumbnailOfWholePicture(const QString &path, QString *error);

} // namespace vk
