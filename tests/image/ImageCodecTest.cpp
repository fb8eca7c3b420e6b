// The image codec: reading every format the program meets, refusing damaged and
// hostile files with a message, saving in each format code without ever losing the
// file already there, and thumbnails.
#include "ImageCodec.h"
#include "PictureFixtures.h"
#include "PictureFormat.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace vk;
using namespace fixtures;

namespace {

class PictureFiles : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString p = path(name);
        writeFile(p, bytes);
        return p;
    }

    QStringList entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir m_dir;
};

struct FormatCase
{
    const char *name;                 // the file written
    std::function<QByteArray()> make; // its bytes
    QSize size;                       // the picture in it
    int tolerance;                    // colour difference allowed (lossy formats)
};

// A picture that is a test card of the case's size.
std::vector<FormatCase> cardFormats()
{
    const QImage card = testCard(64, 48);
    return {
        {"card.bmp", [=] { return qtEncoded(card, "bmp"); }, {64, 48}, 0},
        {"card.jpg",
         [=] { return qtEncoded(card, "jpeg", [](QImageWriter &w) { w.setQuality(90); }); },
         {64, 48},
         40},
        {"progressive.jpg",
         [=] { return qtEncoded(card, "jpeg", [](QImageWriter &w) { w.setProgressiveScanWrite(true); }); },
         {64, 48},
         40},
        // Bytes after the end of the picture (camera trailers, appended data) are not damage.
        {"trailing.jpg",
         [=] { return qtEncoded(card, "jpeg") + QByteArray(300, '\0') + "TRAILER"; },
         {64, 48},
         40},
        {"card.png", [=] { return qtEncoded(card, "png"); }, {64, 48}, 0},
        {"card.tif", [=] { return qtEncoded(card, "tiff"); }, {64, 48}, 0},
        {"card.gif", [=] { return magickEncoded(card, "GIF"); }, {64, 48}, 0},
        {"animated.gif", [] { return animatedGif(64, 48); }, {64, 48}, 0},
        {"card.ico", [=] { return qtEncoded(card, "ico"); }, {64, 48}, 0},
        {"card.pcx", [=] { return magickEncoded(card, "PCX"); }, {64, 48}, 0},
        {"plain.tga", [=] { return magickEncoded(card, "TGA"); }, {64, 48}, 0},
        {"runlength.tga", [=] { return magickEncoded(card, "TGA", true); }, {64, 48}, 0},
        {"footer.tga", [=] { return targaWithFooter(card); }, {64, 48}, 0},
    };
}

TEST_F(PictureFiles, EveryReadFormatLoadsAtItsSizeWithItsColours)
{
    for (const FormatCase &c : cardFormats()) {
        SCOPED_TRACE(c.name);
        const QString file = write(c.name, c.make());
        QImage image;
        QString error = "stale";
        ASSERT_TRUE(loadImage(file, image, &error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(image.size(), c.size);
        expectTestCard(image, c.tolerance);
    }
}

TEST_F(PictureFiles, MetafileRendersAtItsPlaceableSize)
{
    const QString file = write("drawing.wmf", placeableWmf(1440, 720));
    QImage image;
    QString error;
    ASSERT_TRUE(loadImage(file, image, &error)) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(72, 36)); // one inch by half an inch at 72 dots an inch
    EXPECT_TRUE(colourNear(image, 36, 18, Red, 0));
}

TEST_F(PictureFiles, ContentDecidesTheFormatNotTheName)
{
    const QImage card = testCard(40, 30);
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int type;
    } cases[] = {
        {"really-png.jpg", qtEncoded(card, "png"), itAuto},
        {"really-jpeg.png", qtEncoded(card, "jpeg"), itAuto},
        {"really-pcx.bmp", magickEncoded(card, "PCX"), itAuto},
        {"really-bmp.pcx", qtEncoded(card, "bmp"), itAuto},
        {"really-gif.tif", magickEncoded(card, "GIF"), itAuto},
        {"no-extension", qtEncoded(card, "tiff"), itAuto},
        // The type asked for does not override a signature...
        {"asked-jpeg.png", qtEncoded(card, "png"), itJpeg},
        // ...but names the format of a file that has none.
        {"targa.dat", magickEncoded(card, "TGA"), itTarga},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QImage image;
        QString error;
        ASSERT_TRUE(loadImage(write(c.name, c.bytes), image, &error, c.type)) << error.toStdString();
        EXPECT_EQ(image.size(), QSize(40, 30));
        expectTestCard(image, 40);
    }
}

TEST_F(PictureFiles, TargaWithoutSignatureNeedsItsNameOrType)
{
    const QString file = write("targa.dat", magickEncoded(testCard(40, 30), "TGA"));
    QImage image;
    QString error;
    EXPECT_FALSE(loadImage(file, image, &error));
    EXPECT_TRUE(image.isNull());
    EXPECT_TRUE(error.contains("not a picture this program can open")) << error.toStdString();
}

// Where a cut-off file is told from a whole one: by walking its structure, not by
// looking for an end marker (an Exif thumbnail carries one of its own).
TEST(PictureStructure, FilesThatEndBeforeTheirPictureAreToldApart)
{
    using picture::Kind;
    const QByteArray soi("\xFF\xD8", 2), eoi("\xFF\xD9", 2);
    const QByteArray quant("\xFF\xDB\x00\x04\x01\x02", 6);
    const QByteArray scanHeader("\xFF\xDA\x00\x03\x01", 5);
    // Entropy data with a stuffed 0xFF and a restart marker, neither of which ends it.
    const QByteArray scan("\x12\xFF\x00\x34\xFF\xD3\x56", 7);
    const QByteArray exifWithThumbnailEnd("\xFF\xE1\x00\x08\xFF\xD9\x00\x00\x00\x00", 10);

    QByteArray bmp = bmpClaiming(3, 2); // rows of 9 bytes padded to 12
    bmp += QByteArray(24, '\0');
    QByteArray bmpRunLength = bmpClaiming(3, 2);
    bmpRunLength[30] = 1; // RLE8: its length is not fixed

    QByteArray gifStart("GIF89a\x02\x00\x02\x00\x80\x00\x00", 13);
    gifStart += QByteArray(6, '\0');                               // two-colour global table
    gifStart += QByteArray("\x21\xF9\x04\x00\x00\x00\x00\x00", 8); // graphic control extension
    gifStart += QByteArray("\x2C\x00\x00\x00\x00\x02\x00\x02\x00\x00", 10);
    gifStart += QByteArray("\x02\x02\x44\x01", 4);                    // code size, one data block...
    const QByteArray gifWhole = gifStart + QByteArray("\x00\x3B", 2); // ...its terminator, the trailer

    const struct
    {
        const char *label;
        Kind kind;
        QByteArray bytes;
        bool endsEarly;
    } cases[] = {
        {"jpeg whole", Kind::Jpeg, soi + quant + scanHeader + scan + eoi, false},
        {"jpeg cut in its scan", Kind::Jpeg, soi + quant + scanHeader + scan, true},
        {"jpeg cut in a segment", Kind::Jpeg, soi + quant.left(4), true},
        {"jpeg with fill bytes before its end", Kind::Jpeg, soi + quant + QByteArray("\xFF\xFF\xFF\xD9", 4),
         false},
        {"jpeg end marker only inside its Exif data", Kind::Jpeg, soi + exifWithThumbnailEnd, true},
        {"jpeg with Exif, whole", Kind::Jpeg, soi + exifWithThumbnailEnd + scanHeader + scan + eoi, false},
        {"bmp whole", Kind::Bmp, bmp, false},
        {"bmp a byte short", Kind::Bmp, bmp.chopped(1), true},
        {"bmp run-length", Kind::Bmp, bmpRunLength, false},
        {"gif whole", Kind::Gif, gifWhole, false},
        {"gif cut in its image data", Kind::Gif, gifStart, true},
        {"gif cut in its colour table", Kind::Gif, gifStart.left(16), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        QByteArray bytes = c.bytes;
        QBuffer device(&bytes);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        EXPECT_EQ(picture::endsEarly(c.kind, device), c.endsEarly);
    }
}

struct BadCase
{
    const char *name;
    std::function<QByteArray()> make; // null: no file at all; see setUp for a directory
    const char *says;                 // part of the message
};

TEST_F(PictureFiles, DamagedAndMissingFilesAnswerFalseWithAReason)
{
    const QImage card = testCard(200, 100);
    const QByteArray jpeg = qtEncoded(card, "jpeg");
    const QByteArray bmp = qtEncoded(card, "bmp");
    const QByteArray gif = magickEncoded(card, "GIF");
    const QByteArray png = qtEncoded(card, "png");
    const QByteArray tiff = qtEncoded(card, "tiff");
    const QByteArray ico = qtEncoded(testCard(64, 48), "ico");
    const QByteArray pcx = magickEncoded(card, "PCX");
    const QByteArray tga = magickEncoded(card, "TGA");
    const QByteArray wmf = placeableWmf(1440, 720);
    auto half = [](const QByteArray &b) { return b.left(b.size() / 2); };
    const BadCase cases[] = {
        {"missing.png", nullptr, "does not exist"},
        {"empty.png", [] { return QByteArray(); }, "is empty"},
        {"noise.jpg", [] { return noise(5000); }, "not a picture this program can open"},
        {"notes.png", [] { return QByteArray("Just some text, not a picture at all.\n"); },
         "not a picture this program can open"},
        {"signature-only.png", [] { return QByteArray("\x89PNG\r\n\x1A\n", 8) + noise(400); },
         "cannot be read"},
        {"header-only.jpg", [] { return QByteArray("\xFF\xD8\xFF\xE0", 4); }, "incomplete"},
        // Qt's readers return a padded picture for these three; the program must not.
        {"cut.jpg", [=] { return half(jpeg); }, "incomplete"},
        {"cut.bmp", [=] { return half(bmp); }, "incomplete"},
        {"cut.gif", [=] { return half(gif); }, "incomplete"},
        {"cut.png", [=] { return half(png); }, "cannot be read"},
        {"cut.tif", [=] { return half(tiff); }, "cannot be read"},
        {"cut.ico", [=] { return half(ico); }, "cannot be read"},
        {"cut.pcx", [=] { return half(pcx); }, "cannot be read"},
        {"cut.tga", [=] { return half(tga); }, "cannot be read"},
        {"cut.wmf", [=] { return wmf.left(wmf.size() - 20); }, "cannot be read"},
        {"zero-width.bmp", [] { return bmpClaiming(0, 10) + QByteArray(64, '\0'); }, "cannot be read"},
        {"header-only.pcx", [] { return pcxClaiming(200, 100); }, "cannot be read"},
    };
    for (const BadCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = c.make ? write(c.name, c.make()) : path(c.name);
        QImage image = testCard(2, 2); // a failed load must not leave an old picture behind
        QString error;
        EXPECT_FALSE(loadImage(file, image, &error));
        EXPECT_TRUE(image.isNull());
        EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.name)) << error.toStdString();
    }
}

TEST_F(PictureFiles, ADirectoryIsNotAPicture)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.png"));
    QImage image;
    QString error;
    EXPECT_FALSE(loadImage(path("folder.png"), image, &error));
    EXPECT_TRUE(error.contains("is not a file")) << error.toStdString();
    EXPECT_FALSE(loadImage(QString(), image, &error));
    EXPECT_FALSE(error.isEmpty());
}

// vkctl's results go to standard output for scripts to read; the metafile library's
// complaints about damaged records must not land among them.
TEST_F(PictureFiles, ADamagedMetafileLeavesStandardOutputClean)
{
    const QByteArray wmf = placeableWmf(1440, 720);
    const QString cut = write("cut.wmf", wmf.left(wmf.size() - 20));
    QFile captured(path("stdout.txt"));
    ASSERT_TRUE(captured.open(QIODevice::WriteOnly));
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ASSERT_GE(saved, 0);
    ::dup2(captured.handle(), STDOUT_FILENO);
    QImage image;
    QString error;
    const bool loaded = loadImage(cut, image, &error);
    const QImage thumb = decodeThumbnail(cut, 120, &error);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    captured.close();
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(thumb.isNull());
    EXPECT_EQ(readFile(path("stdout.txt")), QByteArray());
}

TEST_F(PictureFiles, HeadersClaimingHugeSizesAreRefusedBeforeDecoding)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"huge.bmp", bmpClaiming(100000, 100000)},
        {"one-too-wide.bmp", bmpClaiming(16001, 1)},
        {"too-many-pixels.bmp", bmpClaiming(12000, 12000)}, // each side allowed, 144 megapixels not
        {"huge.png", pngClaiming(100000, 100000)},
        {"huge.gif", gifClaiming(65535, 65535)},
        {"huge.pcx", pcxClaiming(65535, 65535)},
        {"huge.tga", targaClaiming(65535, 65535)},
        {"huge.wmf", placeableWmf(32767, 32767, 1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(c.name, c.bytes);
        QImage image;
        QString error;
        EXPECT_FALSE(loadImage(file, image, &error));
        EXPECT_TRUE(error.contains("too large to open")) << error.toStdString();
        EXPECT_TRUE(decodeThumbnail(file, 120, &error).isNull());
        EXPECT_TRUE(error.contains("too large to open")) << error.toStdString();
    }
}

TEST_F(PictureFiles, APictureAtTheSideLimitStillOpens)
{
    const QString file = write("long.png", qtEncoded(testCard(16000, 2), "png"));
    QImage image;
    QString error;
    ASSERT_TRUE(loadImage(file, image, &error)) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(16000, 2));
}

// The image library's TIFF coder leaves libtiff pointing at freed state; if the
// program ever let it run, Qt's next damaged TIFF would abort this whole test program.
TEST_F(PictureFiles, DamagedTiffStaysHarmlessAfterTheImageLibraryHasWorked)
{
    const QImage card = testCard(60, 40);
    const QByteArray tiff = qtEncoded(card, "tiff");
    const QString cut = write("cut.tif", tiff.left(tiff.size() * 9 / 10));
    QImage image;
    QString error;
    EXPECT_FALSE(loadImage(cut, image, &error));
    EXPECT_TRUE(loadImage(write("a.pcx", magickEncoded(card, "PCX")), image, &error));
    EXPECT_TRUE(loadImage(write("a.tga", magickEncoded(card, "TGA")), image, &error));
    EXPECT_TRUE(loadImage(write("a.wmf", placeableWmf(1440, 720)), image, &error));
    EXPECT_TRUE(saveImage(card, path("b.gif"), ifGIF, 0, &error));
    EXPECT_TRUE(saveImage(card, path("b.tif"), ifTIF, 0, &error));
    EXPECT_FALSE(loadImage(cut, image, &error));
    EXPECT_FALSE(loadImage(cut, image, &error, itTiff));
    EXPECT_TRUE(loadImage(path("b.tif"), image, &error));
}

struct SaveCase
{
    int format;
    const char *name;
    QByteArray signature; // how the file must begin
    bool keepsAlpha;
};

const SaveCase SaveCases[] = {
    {ifBMP, "out.bmp", "BM", false},
    {ifTIF, "out.tif", QByteArray("II*\0", 4), true},
    {ifPCX, "out.pcx", "\x0A", false},
    {ifGIF, "out.gif", "GIF8", true},
    {ifJPG, "out.jpg", "\xFF\xD8\xFF", false},
    {ifTGA, "out.tga", QByteArray("\0\0\x02", 3), true}, // uncompressed true colour
    {ifPNG, "out.png", "\x89PNG", true},
};

TEST_F(PictureFiles, EverySaveFormatWritesThatFormatAndReadsBack)
{
    for (const SaveCase &c : SaveCases) {
        SCOPED_TRACE(c.name);
        QString error = "stale";
        ASSERT_TRUE(saveImage(testCard(90, 60), path(c.name), c.format, 0, &error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        EXPECT_TRUE(readFile(path(c.name)).startsWith(c.signature));
        QImage back;
        ASSERT_TRUE(loadImage(path(c.name), back, &error)) << error.toStdString();
        EXPECT_EQ(back.size(), QSize(90, 60));
        expectTestCard(back, c.format == ifJPG ? 40 : 0);
    }
}

TEST_F(PictureFiles, TransparencyIsKeptWhereTheFormatHasItAndWhiteElsewhere)
{
    for (const SaveCase &c : SaveCases) {
        SCOPED_TRACE(c.name);
        QString error;
        ASSERT_TRUE(saveImage(halfTransparentCard(40, 40), path(c.name), c.format, 0, &error))
            << error.toStdString();
        QImage back;
        ASSERT_TRUE(loadImage(path(c.name), back, &error)) << error.toStdString();
        const QColor clear = back.pixelColor(10, 30);
        if (c.keepsAlpha) {
            EXPECT_EQ(clear.alpha(), 0);
        } else {
            EXPECT_EQ(clear.alpha(), 255);
            EXPECT_TRUE(colourNear(back, 10, 30, Qt::white, c.format == ifJPG ? 12 : 0));
        }
        EXPECT_TRUE(colourNear(back, 10, 10, Red, c.format == ifJPG ? 40 : 0));
        EXPECT_EQ(back.pixelColor(10, 10).alpha(), 255);
    }
}

TEST_F(PictureFiles, JpegQualityComesFromTheParameterWithinOneToHundred)
{
    QImage photo(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x * 7) & 255, (y * 13) & 255, (x * y) & 255));
    auto saved = [&](int parameter) {
        const QString file = path(QStringLiteral("q%1.jpg").arg(parameter));
        QString error;
        EXPECT_TRUE(saveImage(photo, file, ifJPG, parameter, &error)) << error.toStdString();
        return readFile(file);
    };
    EXPECT_LT(saved(10).size(), saved(95).size());
    const QByteArray byDefault = saved(DefaultJpegQuality);
    for (int outOfRange : {0, -1, 101, 5000})
        EXPECT_EQ(saved(outOfRange), byDefault) << outOfRange;
    EXPECT_NE(saved(1), byDefault);
    EXPECT_NE(saved(100), byDefault);
}

TEST_F(PictureFiles, AFailedSaveLeavesTheFileThereAndNoLeftovers)
{
    const QByteArray earlier("the picture saved yesterday");
    const struct
    {
        const char *label;
        QImage image;
        int format;
        const char *says;
    } cases[] = {
        // Beyond the image library's limits it would abort rather than throw.
        {"PCX too wide", testCard(16001, 1), ifPCX, "too large to save as PCX"},
        {"GIF too many pixels", QImage(12000, 12000, QImage::Format_Mono), ifGIF, "too large to save as GIF"},
        {"JPEG beyond its format's limit", testCard(65536, 1), ifJPG, "could not be converted to JPG"},
        {"unknown format code", testCard(10, 10), 800, "800 is not a format code"},
        {"no picture", QImage(), ifPNG, "no picture to save"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const QString target = write("keep.pic", earlier);
        QString error;
        EXPECT_FALSE(saveImage(c.image, target, c.format, 0, &error));
        EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
        EXPECT_EQ(readFile(target), earlier);
        EXPECT_EQ(entries(), QStringList{"keep.pic"});
    }
}

TEST_F(PictureFiles, SavingWhereNoFileCanBeWrittenSaysWhy)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("taken.png"));
    const QString cases[] = {path("no-such-folder/out.png"), path("taken.png"), QString()};
    for (const QString &target : cases) {
        SCOPED_TRACE(target.toStdString());
        QString error;
        EXPECT_FALSE(saveImage(testCard(10, 10), target, ifPNG, 0, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_EQ(entries(), QStringList{"taken.png"});
    EXPECT_TRUE(QDir(path("taken.png")).isEmpty());
}

TEST_F(PictureFiles, SavingIntoAReadOnlyFolderKeepsTheFileThere)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    const QString target = write("keep.png", "earlier");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    EXPECT_FALSE(saveImage(testCard(10, 10), target, ifPNG, 0, &error));
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(error.contains("could not be saved")) << error.toStdString();
    EXPECT_EQ(readFile(target), QByteArray("earlier"));
}

TEST_F(PictureFiles, SavingReplacesAnEarlierFileWhole)
{
    const QString target = write("again.png", noise(100000));
    QString error;
    ASSERT_TRUE(saveImage(testCard(8, 8), target, ifPNG, 0, &error)) << error.toStdString();
    QImage back;
    ASSERT_TRUE(loadImage(target, back, &error)) << error.toStdString();
    EXPECT_EQ(back.size(), QSize(8, 8));
    EXPECT_EQ(entries(), QStringList{"again.png"});
}

TEST(ThumbnailSize, LongerSideBecomesLongSideShorterIsTruncatedButNeverZero)
{
    const struct
    {
        QSize natural;
        int longSide;
        QSize expected;
    } cases[] = {
        {{4000, 3000}, 120, {120, 90}}, // landscape
        {{3000, 4000}, 120, {90, 120}}, // portrait
        {{500, 500}, 120, {120, 120}},  // square
        {{7, 3}, 120, {120, 51}},       // tiny, enlarged; 360/7 = 51.4 truncated
        {{3, 7}, 120, {51, 120}},
        {{1, 1000}, 120, {1, 120}}, // 0.12 would vanish
        {{1000, 1}, 120, {120, 1}},
        {{1, 1}, 120, {120, 120}},
        {{1000, 999}, 120, {120, 119}},      // 119.88 truncated, not rounded
        {{65535, 65534}, 1000, {1000, 999}}, // large products do not overflow
        {{640, 480}, 64, {64, 48}},
        {{0, 10}, 120, {}},
        {{10, 0}, 120, {}},
        {{-5, 10}, 120, {}},
        {{10, 10}, 0, {}},
        {QSize(), 120, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.natural.width() << "x" << c.natural.height() << " to " << c.longSide);
        EXPECT_EQ(thumbnailSize(c.natural, c.longSide), c.expected);
    }
}

TEST_F(PictureFiles, ThumbnailsComeOutAtTheThumbnailSizeOfEachFormat)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        QSize natural;
    } cases[] = {
        {"photo.jpg", qtEncoded(testCard(1600, 1200), "jpeg"), {1600, 1200}},
        {"tall.png", qtEncoded(testCard(300, 500), "png"), {300, 500}},
        {"small.bmp", qtEncoded(testCard(10, 6), "bmp"), {10, 6}},
        {"card.gif", magickEncoded(testCard(400, 100), "GIF"), {400, 100}},
        {"card.tif", qtEncoded(testCard(256, 256), "tiff"), {256, 256}},
        {"card.pcx", magickEncoded(testCard(200, 100), "PCX"), {200, 100}},
        {"card.tga", magickEncoded(testCard(130, 260), "TGA"), {130, 260}},
        {"jpeg.pcx", qtEncoded(testCard(800, 600), "jpeg"), {800, 600}},
    };
    for (const auto &c : cases) {
        const QString file = write(c.name, c.bytes);
        for (int longSide : {DefaultThumbnailSide, 64}) {
            SCOPED_TRACE(::testing::Message() << c.name << " to " << longSide);
            QString error = "stale";
            const QImage thumb = decodeThumbnail(file, longSide, &error);
            ASSERT_FALSE(thumb.isNull()) << error.toStdString();
            EXPECT_TRUE(error.isEmpty());
            EXPECT_EQ(thumb.size(), thumbnailSize(c.natural, longSide));
            expectTestCard(thumb, 60);
        }
    }
    EXPECT_EQ(decodeThumbnail(path("photo.jpg")).size(), QSize(120, 90));
}

TEST_F(PictureFiles, MetafileThumbnailIsDrawnAtTheThumbnailSize)
{
    const QString file = write("drawing.wmf", placeableWmf(1440, 720));
    QString error;
    const QImage thumb = decodeThumbnail(file, 200, &error);
    ASSERT_FALSE(thumb.isNull()) << error.toStdString();
    EXPECT_EQ(thumb.size(), QSize(200, 100));
    EXPECT_TRUE(colourNear(thumb, 100, 50, Red, 0));
}

TEST_F(PictureFiles, ThumbnailOfAnUprightPhotoFollowsItsOrientation)
{
    const QString file = write("turned.jpg", withExifOrientation(qtEncoded(testCard(200, 100), "jpeg"), 6));
    ASSERT_EQ(QImageReader(file).transformation(), QImageIOHandler::TransformationRotate90);
    QImage image;
    QString error;
    ASSERT_TRUE(loadImage(file, image, &error)) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(100, 200));
    // Turned clockwise, the card's top left (red) is now its top right.
    EXPECT_TRUE(colourNear(image, 75, 50, Red, 40));
    EXPECT_EQ(decodeThumbnail(file, 120, &error).size(), QSize(60, 120));
}

TEST_F(PictureFiles, ThumbnailFailuresAreNullWithAReason)
{
    const QByteArray jpeg = qtEncoded(testCard(200, 100), "jpeg");
    const struct
    {
        QString file;
        int longSide;
    } cases[] = {
        {path("missing.jpg"), 120},
        {write("cut.jpg", jpeg.left(jpeg.size() / 2)), 120},
        {write("noise.png", noise(3000)), 120},
        {write("fine.jpg", jpeg), 0},
        {write("fine2.jpg", jpeg), -4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QString error;
        EXPECT_TRUE(decodeThumbnail(c.file, c.longSide, &error).isNull());
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(ThumbnailStorage, PngOnlyWhenSomePixelIsNotOpaque)
{
    QImage opaqueArgb = testCard(120, 90).convertToFormat(QImage::Format_ARGB32);
    QImage onePixelClear = opaqueArgb;
    onePixelClear.setPixel(119, 89, qRgba(0, 0, 0, 0));
    const struct
    {
        const char *label;
        QImage thumb;
        QByteArray signature;
    } cases[] = {
        {"opaque", testCard(120, 90), "\xFF\xD8\xFF"},
        {"alpha format but opaque", opaqueArgb, "\xFF\xD8\xFF"},
        {"one clear pixel", onePixelClear, "\x89PNG"},
        {"half clear", halfTransparentCard(90, 120), "\x89PNG"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const QByteArray stored = encodeThumbnail(c.thumb);
        EXPECT_TRUE(stored.startsWith(c.signature));
        QImage back;
        ASSERT_TRUE(back.loadFromData(stored));
        EXPECT_EQ(back.size(), c.thumb.size());
        EXPECT_TRUE(colourNear(back, back.width() / 4, back.height() / 4, Red, 40));
    }
    EXPECT_TRUE(encodeThumbnail(QImage()).isEmpty());
}

} // namespace

