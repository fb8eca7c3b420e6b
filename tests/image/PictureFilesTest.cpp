// Pictures by media type: the reader and writer each type picks, icons and metafiles read
// at their own size, types that cannot be written, and the icon cache.
#include "IconCache.h"
#include "ImageCodec.h"
#include "ImageWindow.h"
#include "PictureFiles.h"
#include "PictureFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace vk;
using namespace fixtures;

namespace {

TEST(MediaPictures, EachMediaTypePicksItsReaderAndWriter)
{
    struct Case
    {
        int mediaType;
        int imageType; // -1: leaves the window's as it is
        int format;    // 0: cannot be written
    };
    const Case cases[] = {{1, itBitmap, ifBMP}, {3, itJpeg, ifJPG},  {4, itPcx, ifPCX}, {5, itPing, ifPNG},
                          {6, itTarga, ifTGA},  {7, itTiff, ifTIF}, {8, itGif, ifGIF}, {9, -1, 0},
                          {10, -1, 0},          {2, -1, 0},          {99, -1, 0},        {300, -1, 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(imageTypeOfMediaType(c.mediaType), c.imageType) << c.mediaType;
        EXPECT_EQ(imageFormatOfMediaType(c.mediaType), c.format) << c.mediaType;
    }
}

TEST(MediaPictures, WindowLoadsByTypeAndSavesOnlyWhatCanBeWritten)
{
    QTemporaryDir dir;
    TImageWindow window;
    window.setImageType(itPcx);

    // An icon is read at its own size; the window's reader hint is left alone for it.
    const QString ico = dir.filePath("a.ico");
    writeFile(ico, qtEncoded(testCard(32, 32), "ico"));
    ASSERT_TRUE(LoadPictureFile(ico, 9, window));
    EXPECT_EQ(QSize(window.ImageWidth(), window.ImageHeight()), QSize(32, 32));
    EXPECT_EQ(window.ImageType(), itPcx);

    // A Targa named as something else still reads through the Targa hint of its type.
    const QString tga = dir.filePath("card.dat");
    writeFile(tga, magickEncoded(testCard(40, 20), "TGA"));
    ASSERT_TRUE(LoadPictureFile(tga, 6, window));
    EXPECT_EQ(window.ImageType(), itTarga);
    EXPECT_EQ(window.ImageWidth(), 40);

    const QString bmp = dir.filePath("out.bmp");
    ASSERT_TRUE(SavePictureFile(window, bmp, 1));
    QImage back;
    QString error;
    ASSERT_TRUE(loadImage(bmp, back, &error));
    expectTestCard(back);
    EXPECT_FALSE(SavePictureFile(window, dir.filePath("out.ico"), 9));
    EXPECT_FALSE(SavePictureFile(window, dir.filePath("out.wmf"), 10));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.ico")));

    // A damaged file answers false and leaves no work file behind.
    const QString broken = dir.filePath("broken.ico");
    writeFile(broken, "\0\0\1\0garbage");
    EXPECT_FALSE(LoadPictureFile(broken, 9, window));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4);
}

TEST(IconCache, ReadsEachFileOnceUntilItChanges)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("key.png");
    writeFile(path, qtEncoded(testCard(16, 16), "png"));
    QImage fallback(8, 8, QImage::Format_RGB32);
    fallback.fill(Qt::black);

    IconCache cache;
    EXPECT_EQ(cache.icon(path, fallback).size(), QSize(16, 16));
    EXPECT_EQ(cache.icon(QString(), fallback), fallback);
    EXPECT_EQ(cache.icon(dir.filePath("missing.png"), fallback), fallback);

    // A file replaced by something unreadable of another size is read again and falls back.
    writeFile(path, "not a picture at all");
    EXPECT_EQ(cache.icon(path, fallback), fallback);
    writeFile(path, qtEncoded(testCard(24, 24), "png"));
    EXPECT_EQ(cache.icon(path, fallback).size(), QSize(24, 24));
    EXPECT_EQ(cache.size(), 1);
}

} // namespace
