// The image codec: reading every format the program meets, refusing damaged and
// hostile files with a message, saving in each format code without ever losing the
// file already there, thumbnails, and the memory every decode draws on.
#include "ImageCodec.h"
#include "DecodeBudget.h"
#include "PictureFixtures.h"
#include "PictureFormat.h"
#include "PictureReducer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <sys/inotify.h>
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
    // Run-length bitmaps of 3 × 2: their length is where their runs say they end.
    const QByteArray runsWhole("\x03\x01\x00\x00\x03\x02\x00\x01", 8);    // two rows, end of bitmap
    const QByteArray runsByRows("\x03\x01\x00\x00\x03\x02\x00\x00", 8);   // two rows, no end code
    const QByteArray runsJumping("\x00\x02\x00\x05", 4);                  // a jump below the last row
    const QByteArray runsEndEarly("\x01\x01\x00\x00\x00\x05\x01\x02", 8); // five pixels promised, two given

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
        {"bmp run-length without its data", Kind::Bmp, bmpRunLengthClaiming(3, 2, {}), true},
        {"bmp run-length whole", Kind::Bmp, bmpRunLengthClaiming(3, 2, runsWhole), false},
        {"bmp run-length ending at its last row", Kind::Bmp, bmpRunLengthClaiming(3, 2, runsByRows), false},
        {"bmp run-length jumping past its last row", Kind::Bmp, bmpRunLengthClaiming(3, 2, runsJumping),
         false},
        {"bmp run-length cut in a literal run", Kind::Bmp, bmpRunLengthClaiming(3, 2, runsEndEarly), true},
        {"bmp run-length cut after a row", Kind::Bmp, bmpRunLengthClaiming(3, 2, runsWhole.left(4)), true},
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

// A PNG of a few dozen bytes whose metadata chunk declares nearly a gigabyte: the reader would
// allocate what it declares before finding the file holds four bytes of it.
QByteArray pngWithChunk(const char *type, quint32 length, const QByteArray &data,
                        QByteArray png = pngClaiming(1, 1))
{
    const qsizetype idat = png.indexOf("IDAT") - 4;
    QByteArray chunk;
    put32be(chunk, length);
    chunk.append(type, 4).append(data);
    if (quint32(data.size()) == length)
        put32be(chunk, crc32(QByteArray(type, 4) + data));
    return png.left(idat) + chunk + png.mid(idat);
}

TEST_F(PictureFiles, ChunkLengthsAreCheckedAgainstTheFileBeforeAnyReaderAllocates)
{
    for (const char *type : {"iTXt", "zTXt", "tEXt", "iCCP", "sPLT", "eXIf", "vpAg", "pCAL"}) {
        SCOPED_TRACE(type);
        const QString file =
            write(QStringLiteral("%1.png").arg(type), pngWithChunk(type, 0x3FFFFFF0u, "abcd"));
        QImage image;
        QString error;
        EXPECT_FALSE(loadImage(file, image, &error));
        EXPECT_TRUE(error.contains(
            QStringLiteral("the chunk %1 declares 1073741808 bytes, more than the file holds").arg(type)))
            << error.toStdString();
        EXPECT_TRUE(decodeThumbnail(file, 120, &error).isNull());
        EXPECT_FALSE(declaredSizesSound(file, &error));
    }
    // One that the file does hold, but more than a chunk of its kind may carry.
    const QByteArray text(int(picture::MaxPngAncillaryBytes) + 1, 't');
    QString error;
    QImage image;
    EXPECT_FALSE(
        loadImage(write("long-text.png", pngWithChunk("tEXt", quint32(text.size()), text)), image, &error));
    EXPECT_TRUE(error.contains("more than a chunk of its kind may hold")) << error.toStdString();
    // A chunk of sane length, whole, is no reason to refuse the picture.
    QByteArray picture;
    {
        QBuffer buffer(&picture);
        buffer.open(QIODevice::WriteOnly);
        QImage one(1, 1, QImage::Format_RGB32);
        one.fill(Qt::red);
        ASSERT_TRUE(one.save(&buffer, "png"));
    }
    const QString fine =
        write("comment.png", pngWithChunk("tEXt", 11, QByteArray("Comment\0hi", 10) + "!", picture));
    EXPECT_TRUE(declaredSizesSound(fine, &error)) << error.toStdString();
    EXPECT_TRUE(loadImage(fine, image, &error)) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(1, 1));
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

// What a decode costs must not depend on what else runs: the claimed size is checked
// before anything allocates, one budget of memory is shared by every decoding thread, and
// the image library keeps its pixel caches in the program's own work directory.

// Counts the entries made in a directory while it is watched, even those removed again.
class Creations
{
public:
    explicit Creations(const QString &dir)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          m_watch(m_fd < 0 ? -1 : inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), IN_CREATE))
    {
    }
    ~Creations()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Creations(const Creations &) = delete;
    Creations &operator=(const Creations &) = delete;

    bool watching() const { return m_watch >= 0; }

    // Entries made since the last call.
    int count()
    {
        alignas(inotify_event) char buffer[4096];
        int n = 0;
        for (ssize_t length; (length = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            for (char *p = buffer; p < buffer + length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                ++n;
                p += sizeof(inotify_event) + event->len;
            }
        return n;
    }

private:
    int m_fd;
    int m_watch;
};

// The shared temporary directory, for the length of a test: TMPDIR pointed at a directory
// of the test's own, which the test can watch.
class SharedTemp
{
public:
    explicit SharedTemp(const QString &dir)
        : m_saved(qgetenv("TMPDIR")), m_had(qEnvironmentVariableIsSet("TMPDIR"))
    {
        QDir().mkpath(dir);
        qputenv("TMPDIR", QFile::encodeName(dir));
    }
    ~SharedTemp()
    {
        if (m_had)
            qputenv("TMPDIR", m_saved);
        else
            qunsetenv("TMPDIR");
    }

private:
    QByteArray m_saved;
    bool m_had;
};

// The shared decode budget at `limit` for the length of a test.
class BudgetOf
{
public:
    explicit BudgetOf(qint64 limit) : m_saved(decodeBudget().limit()) { decodeBudget().setLimit(limit); }
    ~BudgetOf()
    {
        decodeBudget().setWaitObserver(nullptr);
        decodeBudget().setLimit(m_saved);
    }

private:
    qint64 m_saved;
};

// Lets a test wait, without sleeping, until some thread has had to wait for a budget.
class Waits
{
public:
    explicit Waits(DecodeBudget &budget) : m_budget(budget)
    {
        budget.setWaitObserver([this](qint64) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_count;
            m_changed.notify_all();
        });
    }
    ~Waits() { m_budget.setWaitObserver(nullptr); }

    // False if it never comes: a request that should have waited did not (the limit only
    // turns that fault into a failure instead of a test that never ends).
    [[nodiscard]] bool until(int count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::minutes(1), [&] { return m_count >= count; });
    }
    int count()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_count;
    }

private:
    DecodeBudget &m_budget;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

bool running(const std::future<QImage> &f)
{
    return f.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

TEST_F(PictureFiles, SmallFilesClaimingLargePicturesAreRefusedBeforeAnythingIsAllocated)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *says;
    } cases[] = {
        // Each within the program's limits (15000 × 8500 is 127.5 megapixels), over a few bytes.
        {"claims.png", pngClaiming(15000, 8500), "too little data for a picture of 15000 × 8500 pixels"},
        {"claims.bmp",
         bmpRunLengthClaiming(15000, 8500, QByteArray("\x05\x01\x05\x02\x05\x03\x05\x04\x05\x05", 10)),
         "incomplete"},
        {"claims.gif", gifClaiming(15000, 8500), "too little data"},
        {"claims.jpg", jpegClaiming(qtEncoded(testCard(16, 16), "jpeg"), 15000, 8500), "too little data"},
        {"claims.pcx", pcxClaiming(15000, 8500), "too little data"},
        {"claims.tga", targaClaiming(15000, 8500), "too little data"},
    };
    const SharedTemp shared(path("shared-tmp"));
    Creations sharedFiles(path("shared-tmp"));
    Creations workFiles(pictureWorkDirectory());
    ASSERT_TRUE(sharedFiles.watching());
    ASSERT_TRUE(workFiles.watching());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(c.name, c.bytes);
        decodeBudget().resetPeak();
        QImage image;
        QString error;
        EXPECT_FALSE(loadImage(file, image, &error));
        EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
        EXPECT_TRUE(decodeThumbnail(file, 120, &error).isNull());
        EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
        // No reader was given room for the pixels, and the image library made no cache.
        EXPECT_EQ(decodeBudget().peak(), 0);
        EXPECT_EQ(sharedFiles.count(), 0);
        EXPECT_EQ(workFiles.count(), 0);
    }
}

// Each limit, just within and just beyond, for every format whose header states a size:
// within, a file holding no pixels is refused for its damage; beyond, for its size.
TEST_F(PictureFiles, TheProgramsLimitsAloneDecideWhatIsTooLarge)
{
    const struct
    {
        int width, height;
        bool tooLarge;
    } sizes[] = {
        {16000, 1, false},    {16001, 1, true},    {1, 16000, false},     {1, 16001, true},
        {16000, 8000, false}, {16000, 8001, true}, {11313, 11313, false}, {11314, 11314, true},
    };
    const struct
    {
        const char *suffix;
        std::function<QByteArray(int, int)> claiming;
    } formats[] = {
        {"png", [](int w, int h) { return pngClaiming(quint32(w), quint32(h)); }},
        {"bmp", [](int w, int h) { return bmpClaiming(w, h); }},
        {"gif", [](int w, int h) { return gifClaiming(quint16(w), quint16(h)); }},
        {"pcx", [](int w, int h) { return pcxClaiming(quint16(w), quint16(h)); }},
        {"tga", [](int w, int h) { return targaClaiming(quint16(w), quint16(h)); }},
    };
    for (const auto &f : formats)
        for (const auto &size : sizes) {
            const QString name = QStringLiteral("%1x%2.%3").arg(size.width).arg(size.height).arg(f.suffix);
            SCOPED_TRACE(name.toStdString());
            const QString file = write(name, f.claiming(size.width, size.height));
            QImage image;
            QString error;
            EXPECT_FALSE(loadImage(file, image, &error));
            EXPECT_EQ(error.contains("too large to open"), size.tooLarge) << error.toStdString();
            if (!size.tooLarge) {
                EXPECT_TRUE(error.contains("cannot be read") || error.contains("incomplete"))
                    << error.toStdString();
            }
        }

    // Whole pictures within the limits open, the largest too, whatever their format's usual
    // reader would need.
    const struct
    {
        int width, height;
    } whole[] = {{16000, 8000}, {10000, 7000}, {16000, 1}, {1, 16000}};
    for (const auto &w : whole) {
        SCOPED_TRACE(::testing::Message() << w.width << "x" << w.height);
        const QString file = write("whole.pcx", pcxCard(w.width, w.height));
        QString error;
        const QImage thumb = decodeThumbnail(file, 120, &error);
        ASSERT_FALSE(thumb.isNull()) << error.toStdString();
        EXPECT_EQ(thumb.size(), thumbnailSize(QSize(w.width, w.height), 120));
        if (w.width > 1 && w.height > 1)
            expectTestCard(thumb, 0);
    }
}

TEST(DecodeBudgetRules, RequestsFitBesideEachOtherOrWaitTheirTurn)
{
    DecodeBudget budget(100);
    Waits waits(budget);

    // Beside what is held, as long as the two fit.
    DecodeBudget::Lease first = budget.acquire(40);
    DecodeBudget::Lease second = budget.acquire(50);
    EXPECT_EQ(waits.count(), 0);
    EXPECT_EQ(budget.held(), 90);
    second.release();

    // More than fits beside the first waits until it is given back.
    auto large = std::async(std::launch::async, [&] { return budget.acquire(70); });
    ASSERT_TRUE(waits.until(1));
    // A small request behind it waits its turn too, though it would fit now: a large
    // request is never passed over.
    std::atomic<qint64> heldWhenSmallGranted{-1};
    auto small = std::async(std::launch::async, [&] {
        DecodeBudget::Lease lease = budget.acquire(20);
        heldWhenSmallGranted = budget.held();
        return lease;
    });
    ASSERT_TRUE(waits.until(2));
    EXPECT_EQ(large.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_EQ(small.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    first.release();
    DecodeBudget::Lease largeLease = large.get();
    DecodeBudget::Lease smallLease = small.get();
    EXPECT_EQ(heldWhenSmallGranted, 90); // granted after the large one, beside it
    largeLease.release();
    smallLease.release();
    EXPECT_EQ(budget.held(), 0);

    // More than the whole budget runs once nothing else is held, and alone.
    DecodeBudget::Lease whole = budget.acquire(250);
    EXPECT_EQ(budget.held(), 250);
    auto after = std::async(std::launch::async, [&] { return budget.acquire(1); });
    ASSERT_TRUE(waits.until(3));
    whole.release();
    EXPECT_EQ(after.get().bytes(), 1);
    EXPECT_EQ(budget.peak(), 250);
}

// Every reader, whichever library does the work, waits for room before it decodes.
TEST_F(PictureFiles, EveryReaderWaitsForRoomInTheSharedBudget)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"qt.png", qtEncoded(testCard(200, 100), "png")},
        {"qt.jpg", qtEncoded(testCard(200, 100), "jpeg")},
        {"own.pcx", pcxCard(200, 100)},
        {"library.tga", magickEncoded(testCard(200, 100), "TGA")},
    };
    // Every decode here needs more than the whole budget: it runs, but only alone.
    const BudgetOf tiny(100);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(c.name, c.bytes);
        for (int longSide : {0, 120}) {
            Waits waits(decodeBudget());
            DecodeBudget::Lease other = decodeBudget().acquire(1); // a decode in progress elsewhere
            auto decoding = std::async(std::launch::async, [&] {
                QString error;
                QImage image;
                if (longSide == 0)
                    loadImage(file, image, &error);
                else
                    image = decodeThumbnail(file, longSide, &error);
                return image;
            });
            ASSERT_TRUE(waits.until(1));
            EXPECT_TRUE(running(decoding));
            other.release();
            const QImage image = decoding.get();
            ASSERT_FALSE(image.isNull());
            expectTestCard(image, 40);
        }
        // With nothing else held, larger than the budget is no reason to wait.
        Waits waits(decodeBudget());
        QString error;
        EXPECT_FALSE(decodeThumbnail(file, 120, &error).isNull()) << error.toStdString();
        EXPECT_EQ(waits.count(), 0);
    }
}

TEST_F(PictureFiles, LargePcxPicturesDecodeSideBySide)
{
    const QString a = write("a.pcx", pcxCard(8000, 6000));
    const QString b = write("b.pcx", pcxCard(8000, 6000));
    auto thumb = [](const QString &file) {
        return std::async(std::launch::async, [file] {
            QString error;
            const QImage image = decodeThumbnail(file, 120, &error);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            return image;
        });
    };
    auto first = thumb(a), second = thumb(b);
    for (QImage image : {first.get(), second.get()}) {
        ASSERT_EQ(image.size(), QSize(120, 90));
        expectTestCard(image, 0);
    }
}

TEST_F(PictureFiles, TheImageLibraryKeepsLargePixelCachesInTheProgramsWorkDirectory)
{
    const QString work = pictureWorkDirectory();
    ASSERT_FALSE(work.isEmpty());
    EXPECT_TRUE(work.startsWith(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/"))
        << work.toStdString();
    EXPECT_EQ(QFileInfo(work).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther |
                                               QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup),
              QFile::Permissions());

    const QString tga = write("card.tga", magickEncoded(testCard(400, 300), "TGA"));
    QImage image;
    QString error;
    ASSERT_TRUE(loadImage(tga, image, &error)) << error.toStdString(); // the library is started
    // With next to no memory for it, the library's pixel cache goes to disk.
    const auto savedMemory = Magick::ResourceLimits::memory();
    Magick::ResourceLimits::memory(64 * 1024);
    const SharedTemp shared(path("shared-tmp"));
    Creations sharedFiles(path("shared-tmp"));
    Creations workFiles(work);
    ASSERT_TRUE(sharedFiles.watching());
    ASSERT_TRUE(workFiles.watching());
    const bool loaded = loadImage(tga, image, &error);
    const bool saved = saveImage(testCard(400, 300), path("out.pcx"), ifPCX, 0, &error);
    Magick::ResourceLimits::memory(savedMemory);
    EXPECT_TRUE(loaded) << error.toStdString();
    EXPECT_TRUE(saved) << error.toStdString();
    expectTestCard(image);
    EXPECT_GT(workFiles.count(), 0);
    EXPECT_EQ(sharedFiles.count(), 0);
    EXPECT_TRUE(QDir(work).isEmpty()); // and removed again
}

// PCX is read by the program itself; it must see each kind of file as the image library does.
TEST_F(PictureFiles, PcxOfEveryKindReadsAsTheImageLibraryReadsIt)
{
    QImage gradient(61, 37, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x * 4, y * 6, (x * y) & 255));
    QImage seeThrough = gradient.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < seeThrough.width(); ++x)
        seeThrough.setPixel(x, 5, qRgba(10, 20, 30, x * 4));
    auto magickPcx = [](const QImage &image, Magick::ImageType type) {
        Magick::Image m = toMagick(image);
        m.type(type);
        m.magick("PCX");
        Magick::Blob blob;
        m.write(&blob);
        return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
    };
    QByteArray ega(48, '\0');
    for (int i = 0; i < 16; ++i) {
        ega[3 * i] = char(i * 16);
        ega[3 * i + 1] = char(255 - i * 16);
        ega[3 * i + 2] = char((i * 77) & 255);
    }
    // Rows of 13 pixels: each plane padded to 4 bytes, a packed row to 8.
    auto pattern = [](int y, int x) { return (x * 3 + y * 5) % 16; };
    auto planar = [&](int planes) {
        return [=](int y) {
            QByteArray row(planes * 4, '\0');
            for (int p = 0; p < planes; ++p)
                for (int x = 0; x < 13; ++x)
                    if (pattern(y, x) & (1 << p))
                        row[p * 4 + x / 8] = char(row[p * 4 + x / 8] | (0x80 >> (x % 8)));
            return row;
        };
    };
    auto packed = [&](int bits) {
        return [=](int y) {
            QByteArray row(8, '\0');
            const int perByte = 8 / bits;
            for (int x = 0; x < 13; ++x)
                row[x / perByte] = char(row[x / perByte] | ((pattern(y, x) & ((1 << bits) - 1))
                                                            << ((perByte - 1 - x % perByte) * bits)));
            return row;
        };
    };
    // One bit in one plane is black for 0 and white for 1 whatever the header's colours, as
    // the format has it (the image library on this platform reads it the other way round).
    QImage blackAndWhite(13, 7, QImage::Format_ARGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            blackAndWhite.setPixel(x, y, pattern(y, x) & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const struct
    {
        const char *name;
        QByteArray bytes;
        int bits, planes; // what the file must be
        QImage expected;  // null: as the image library reads it
    } cases[] = {
        {"true colour", magickPcx(gradient, Magick::TrueColorType), 8, 3, {}},
        {"with alpha", magickPcx(seeThrough, Magick::TrueColorMatteType), 8, 4, {}},
        {"256 colours", magickPcx(gradient, Magick::PaletteType), 8, 1, {}},
        {"black and white, whatever its colour table", pcxFile(1, 1, 13, 7, 4, planar(1), ega), 1, 1,
         blackAndWhite},
        {"16 colours in 4 planes", pcxFile(1, 4, 13, 7, 4, planar(4), ega), 1, 4, {}},
        {"8 colours in 3 planes", pcxFile(1, 3, 13, 7, 4, planar(3), ega), 1, 3, {}},
        {"16 colours packed", pcxFile(4, 1, 13, 7, 8, packed(4), ega), 4, 1, {}},
        {"4 colours packed", pcxFile(2, 1, 13, 7, 8, packed(2), ega), 2, 1, {}},
        {"runs across rows", pcxFile(4, 1, 13, 7, 8, packed(4), ega, {}, true), 4, 1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(uchar(c.bytes[3]), c.bits);
        ASSERT_EQ(uchar(c.bytes[65]), c.planes);
        QImage expected = c.expected;
        if (expected.isNull()) {
            Magick::Image reference;
            reference.read(Magick::Blob(c.bytes.constData(), size_t(c.bytes.size())));
            expected = QImage(int(reference.columns()), int(reference.rows()), QImage::Format_ARGB32);
            reference.write(0, 0, reference.columns(), reference.rows(), "BGRA", Magick::CharPixel,
                            expected.bits());
        }
        QImage image;
        QString error;
        ASSERT_TRUE(loadImage(write("kind.pcx", c.bytes), image, &error)) << error.toStdString();
        ASSERT_EQ(image.size(), expected.size());
        EXPECT_EQ(image.hasAlphaChannel(), c.bits == 8 && c.planes == 4);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(image.pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;
    }
}

// GIF is written by the program itself; both Qt's reader and the image library's must read
// back what it wrote, whether it kept the picture's colours or had to choose 256 of them.
TEST_F(PictureFiles, GifWritingKeepsFewColoursExactlyAndChoosesWellAmongMany)
{
    auto picture = [](int w, int h, const std::function<QRgb(int, int)> &at) {
        QImage image(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, at(x, y));
        return image;
    };
    // A smooth photo-like picture with grain, far more than 256 colours, and long enough
    // for the code table to fill and start again many times.
    auto photo = [](int x, int y) {
        const int grain = int((quint32(x * 7919 + y * 104729) * 2654435761u) >> 29);
        return qRgb(qBound(0, x / 2 + grain, 255), qBound(0, y + grain, 255),
                    qBound(0, (x + y) / 4 + grain, 255));
    };
    const struct
    {
        const char *name;
        QImage image;
        int tolerance; // mean difference a channel, for pictures of many colours
    } cases[] = {
        {"one pixel", picture(1, 1, [](int, int) { return qRgb(9, 8, 7); }), 0},
        {"two colours",
         picture(17, 3, [](int x, int) { return x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); }), 0},
        {"exactly 256 colours", picture(256, 8, [](int x, int) { return qRgb(x, 255 - x, 50); }), 0},
        {"see-through beside 255 colours",
         picture(255, 9, [](int x, int y) { return y == 4 ? qRgba(0, 0, 0, 0) : qRgb(x, 0, 100); }), 0},
        {"many colours", picture(500, 300, photo), 6},
        {"many colours, see-through",
         picture(500, 300, [&](int x, int y) { return x < 40 ? qRgba(1, 2, 3, 0) : photo(x, y); }), 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        ASSERT_TRUE(saveImage(c.image, path("out.gif"), ifGIF, 0, &error)) << error.toStdString();
        const QByteArray bytes = readFile(path("out.gif"));
        QImage viaQt;
        ASSERT_TRUE(viaQt.loadFromData(bytes, "gif"));
        viaQt = viaQt.convertToFormat(QImage::Format_ARGB32);
        Magick::Image viaLibrary(Magick::Blob(bytes.constData(), size_t(bytes.size())));
        ASSERT_EQ(viaQt.size(), c.image.size());
        ASSERT_EQ(QSize(int(viaLibrary.columns()), int(viaLibrary.rows())), c.image.size());
        QImage library(viaQt.size(), QImage::Format_ARGB32);
        viaLibrary.write(0, 0, viaLibrary.columns(), viaLibrary.rows(), "BGRA", Magick::CharPixel,
                         library.bits());
        qint64 difference = 0;
        for (int y = 0; y < viaQt.height(); ++y)
            for (int x = 0; x < viaQt.width(); ++x) {
                const QRgb want = c.image.pixel(x, y), qt = viaQt.pixel(x, y), lib = library.pixel(x, y);
                ASSERT_EQ(qAlpha(qt), qAlpha(want) < 128 ? 0 : 255) << "at " << x << "," << y;
                if (qAlpha(qt) == 0)
                    continue;
                ASSERT_EQ(qt, lib) << "at " << x << "," << y; // one stream, read alike
                difference += qAbs(qRed(qt) - qRed(want)) + qAbs(qGreen(qt) - qGreen(want)) +
                              qAbs(qBlue(qt) - qBlue(want));
            }
        if (c.tolerance == 0)
            EXPECT_EQ(difference, 0);
        else
            EXPECT_LE(difference / (3 * qint64(c.image.width()) * c.image.height()), c.tolerance);
    }
}

// Writing a GIF needs no pixel cache from the image library, so the library's limits (a
// 9000 × 6000 picture exceeded them) have no say in it.
TEST_F(PictureFiles, GifWritingDoesNotDependOnTheImageLibrarysLimits)
{
    QString error;
    QImage image;
    ASSERT_TRUE(loadImage(write("start.tga", magickEncoded(testCard(8, 8), "TGA")), image, &error));
    const auto savedMemory = Magick::ResourceLimits::memory();
    const auto savedDisk = Magick::ResourceLimits::disk();
    Magick::ResourceLimits::memory(1024);
    Magick::ResourceLimits::disk(1024);
    const bool saved = saveImage(testCard(600, 400), path("out.gif"), ifGIF, 0, &error);
    Magick::ResourceLimits::memory(savedMemory);
    Magick::ResourceLimits::disk(savedDisk);
    ASSERT_TRUE(saved) << error.toStdString();
    ASSERT_TRUE(loadImage(path("out.gif"), image, &error)) << error.toStdString();
    expectTestCard(image);
}

// Thumbnails of pictures read whole are shrunk a strip at a time; each thumbnail pixel is
// the average of what it covers, see-through pixels weighing by how much they show.
TEST(PictureReduction, EachPixelIsTheAverageOfWhatItCoversInAnyFormat)
{
    // Left half: two opaque red pixels over two clear ones whose colour must not show;
    // right half: white over black.
    QImage source(4, 2, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(255, 0, 0, 255));
    source.setPixel(1, 0, qRgba(255, 0, 0, 255));
    source.setPixel(0, 1, qRgba(0, 255, 0, 0));
    source.setPixel(1, 1, qRgba(0, 255, 0, 0));
    for (int x = 2; x < 4; ++x) {
        source.setPixel(x, 0, qRgb(255, 255, 255));
        source.setPixel(x, 1, qRgb(0, 0, 0));
    }
    QImage opaque = source.copy();
    opaque.setPixel(0, 1, qRgb(0, 0, 0));
    opaque.setPixel(1, 1, qRgb(0, 0, 0));
    auto near = [](QRgb got, QRgb want) {
        return qAbs(qRed(got) - qRed(want)) <= 2 && qAbs(qGreen(got) - qGreen(want)) <= 2 &&
               qAbs(qBlue(got) - qBlue(want)) <= 2 && qAbs(qAlpha(got) - qAlpha(want)) <= 1;
    };
    const struct
    {
        QImage::Format format;
        bool clear; // from the see-through source
        QRgb left;
    } cases[] = {
        {QImage::Format_ARGB32, true, qRgba(255, 0, 0, 128)},
        {QImage::Format_ARGB32_Premultiplied, true, qRgba(255, 0, 0, 128)},
        {QImage::Format_RGBA8888, true, qRgba(255, 0, 0, 128)},
        {QImage::Format_RGBA64, true, qRgba(255, 0, 0, 128)},
        {QImage::Format_RGB32, false, qRgb(128, 0, 0)},
        {QImage::Format_RGB888, false, qRgb(128, 0, 0)},
        {QImage::Format_Indexed8, false, qRgb(128, 0, 0)},
        {QImage::Format_RGBX64, false, qRgb(128, 0, 0)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << "format " << int(c.format));
        const QImage from = (c.clear ? source : opaque).convertToFormat(c.format);
        const QImage thumb = PictureReducer::reduce(from, QSize(2, 1));
        ASSERT_EQ(thumb.size(), QSize(2, 1));
        EXPECT_EQ(thumb.hasAlphaChannel(), c.clear); // an opaque thumbnail is stored as JPEG
        EXPECT_TRUE(near(thumb.pixel(0, 0), c.left)) << std::hex << thumb.pixel(0, 0);
        EXPECT_TRUE(near(thumb.pixel(1, 0), qRgb(128, 128, 128))) << std::hex << thumb.pixel(1, 0);
    }
}

} // namespace
