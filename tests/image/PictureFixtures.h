// Pictures made at test time: a four-colour test card, and files in every format the
// program reads, written by Qt, by Magick++ or byte by byte where neither writes the
// variant wanted. Magick++ is never asked for TIFF here: the program keeps TIFF away
// from it, and the tests must not load its TIFF coder behind the program's back.
#pragma once

#include <Magick++.h>
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <QtEndian>

#include <functional>
#include <list>

namespace fixtures {

inline const QColor Red(255, 0, 0);
inline const QColor Green(0, 255, 0);
inline const QColor Blue(0, 0, 255);
inline const QColor Yellow(255, 255, 0);

// Red top left, green top right, blue bottom left, yellow bottom right: any swap of
// channels, rows or columns shows.
inline QImage testCard(int width, int height)
{
    QImage card(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            card.setPixelColor(x, y, bottom ? (right ? Yellow : Blue) : (right ? Green : Red));
        }
    return card;
}

// The card with its bottom half fully transparent.
inline QImage halfTransparentCard(int width, int height)
{
    QImage card = testCard(width, height).convertToFormat(QImage::Format_ARGB32);
    for (int y = height / 2; y < height; ++y)
        for (int x = 0; x < width; ++x)
            card.setPixel(x, y, qRgba(0, 0, 0, 0));
    return card;
}

inline ::testing::AssertionResult colourNear(const QImage &image, int x, int y, const QColor &expected,
                                             int tolerance)
{
    const QColor c = image.pixelColor(x, y);
    if (qAbs(c.red() - expected.red()) <= tolerance && qAbs(c.green() - expected.green()) <= tolerance &&
        qAbs(c.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << c.name().toStdString()
                                         << ", expected " << expected.name().toStdString();
}

// Checks the middle of each quarter of a test card.
inline void expectTestCard(const QImage &image, int tolerance = 0)
{
    ASSERT_FALSE(image.isNull());
    const int w = image.width(), h = image.height();
    EXPECT_TRUE(colourNear(image, w / 4, h / 4, Red, tolerance));
    EXPECT_TRUE(colourNear(image, 3 * w / 4, h / 4, Green, tolerance));
    EXPECT_TRUE(colourNear(image, w / 4, 3 * h / 4, Blue, tolerance));
    EXPECT_TRUE(colourNear(image, 3 * w / 4, 3 * h / 4, Yellow, tolerance));
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray qtEncoded(const QImage &image, const char *format,
                            const std::function<void(QImageWriter &)> &tweak = {})
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (tweak)
        tweak(writer);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return bytes;
}

inline Magick::Image toMagick(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    Magick::Image m(size_t(rgba.width()), size_t(rgba.height()), "RGBA", Magick::CharPixel, rgba.constBits());
    if (!image.hasAlphaChannel())
        m.matte(false);
    return m;
}

inline QByteArray magickEncoded(const QImage &image, const char *coder, bool runLength = false)
{
    Magick::Image m = toMagick(image);
    m.magick(coder);
    if (runLength)
        m.compressType(Magick::RLECompression);
    Magick::Blob blob;
    m.write(&blob);
    return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
}

// A two-frame GIF: the test card, then a plain green frame.
inline QByteArray animatedGif(int width, int height)
{
    std::list<Magick::Image> frames;
    frames.push_back(toMagick(testCard(width, height)));
    QImage green(width, height, QImage::Format_RGB32);
    green.fill(Green);
    frames.push_back(toMagick(green));
    for (Magick::Image &f : frames) {
        f.magick("GIF");
        f.animationDelay(10);
    }
    Magick::Blob blob;
    Magick::writeImages(frames.begin(), frames.end(), &blob, true);
    return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
}

inline void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

inline void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

inline void put32be(QByteArray &b, quint32 v)
{
    char c[4];
    qToBigEndian(v, c);
    b.append(c, 4);
}

// An uncompressed 24-bit Targa with the 2.0 footer: the one kind Qt reads itself.
inline QByteArray targaWithFooter(const QImage &image)
{
    QByteArray b;
    b.append(char(0)).append(char(0)).append(char(2)); // no id, no colour map, true colour
    b.append(5, '\0');                                 // colour map description
    put16(b, 0);
    put16(b, 0);
    put16(b, quint16(image.width()));
    put16(b, quint16(image.height()));
    b.append(char(24)).append(char(0)); // bottom-up rows
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            b.append(char(qBlue(p))).append(char(qGreen(p))).append(char(qRed(p)));
        }
    put32(b, 0);
    put32(b, 0);
    b.append("TRUEVISION-XFILE.", 17).append('\0');
    return b;
}

// A placeable Windows metafile `twipsWide` x `twipsHigh` at 1440 units an inch (so
// 72 dots an inch make it twips/20 pixels), filled with a solid red rectangle.
inline QByteArray placeableWmf(quint16 unitsWide, quint16 unitsHigh, quint16 unitsPerInch = 1440)
{
    QByteArray records;
    auto record = [&records](quint16 function, std::initializer_list<quint16> params) {
        put32(records, quint32(3 + params.size()));
        put16(records, function);
        for (quint16 p : params)
            put16(records, p);
    };
    record(0x020B, {0, 0});                       // SetWindowOrg (y, x)
    record(0x020C, {unitsHigh, unitsWide});       // SetWindowExt (y, x)
    record(0x02FC, {0, 0x00FF, 0x0000, 0});       // CreateBrushIndirect: solid, red
    record(0x012D, {0});                          // SelectObject
    record(0x041B, {unitsHigh, unitsWide, 0, 0}); // Rectangle (bottom, right, top, left)
    record(0x0000, {});                           // EOF
    QByteArray header;
    put16(header, 1);      // in memory
    put16(header, 9);      // header words
    put16(header, 0x0300); // version
    put32(header, quint32((18 + records.size()) / 2));
    put16(header, 1); // objects
    put32(header, 7); // largest record, words
    put16(header, 0);
    QByteArray placeable;
    put32(placeable, 0x9AC6CDD7);
    put16(placeable, 0);
    put16(placeable, 0);
    put16(placeable, 0);
    put16(placeable, unitsWide);
    put16(placeable, unitsHigh);
    put16(placeable, unitsPerInch);
    put32(placeable, 0);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum ^= qFromLittleEndian<quint16>(placeable.constData() + i);
    put16(placeable, sum);
    return placeable + header + records;
}

// `jpeg` with an Exif orientation tag (6: turn a quarter clockwise to show upright).
inline QByteArray withExifOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray tiff("II*\0", 4);
    put32(tiff, 8);      // first directory
    put16(tiff, 1);      // one entry
    put16(tiff, 0x0112); // Orientation
    put16(tiff, 3);      // SHORT
    put32(tiff, 1);
    put16(tiff, orientation);
    put16(tiff, 0);
    put32(tiff, 0); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

inline quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG whose (correctly checksummed) header claims a size, with an empty data chunk.
inline QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray chunk("IHDR");
    put32be(chunk, width);
    put32be(chunk, height);
    chunk.append(char(8)).append(char(2)).append(3, '\0');
    QByteArray b("\x89PNG\r\n\x1A\n", 8);
    put32be(b, 13);
    b.append(chunk);
    put32be(b, crc32(chunk));
    // Qt reads the header only once it reaches the first data chunk.
    const QByteArray data = QByteArray("IDAT") + QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8);
    put32be(b, quint32(data.size() - 4));
    b.append(data);
    put32be(b, crc32(data));
    QByteArray end("IEND");
    put32be(b, 0);
    b.append(end);
    put32be(b, crc32(end));
    return b;
}

// A 24-bit BMP header claiming a size, with no pixels after it.
inline QByteArray bmpClaiming(qint32 width, qint32 height)
{
    QByteArray b("BM");
    put32(b, 54);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, quint32(width));
    put32(b, quint32(height));
    put16(b, 1);
    put16(b, 24);
    b.append(24, '\0');
    return b;
}

// A 24-bit PCX header claiming a size, with no pixels after it.
inline QByteArray pcxClaiming(quint16 width, quint16 height)
{
    QByteArray b(128, '\0');
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = 8;
    qToLittleEndian<quint16>(quint16(width - 1), b.data() + 8);
    qToLittleEndian<quint16>(quint16(height - 1), b.data() + 10);
    b[65] = 3;
    qToLittleEndian<quint16>(width, b.data() + 66);
    return b;
}

inline QByteArray targaClaiming(quint16 width, quint16 height)
{
    QByteArray b;
    b.append(char(0)).append(char(0)).append(char(2)).append(5, '\0');
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.append(char(24)).append(char(0));
    return b;
}

inline QByteArray gifClaiming(quint16 width, quint16 height)
{
    QByteArray b("GIF89a");
    put16(b, width);
    put16(b, height);
    b.append(char(0)).append(char(0)).append(char(0));
    b.append(char(0x2C));
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.append(char(0)).append(char(2)).append(char(0)).append(char(0x3B));
    return b;
}

// A run-length (RLE8) bitmap header claiming a size, followed by `data` as its runs.
inline QByteArray bmpRunLengthClaiming(qint32 width, qint32 height, const QByteArray &data)
{
    QByteArray b = bmpClaiming(width, height);
    qToLittleEndian<quint32>(1, b.data() + 30); // RLE8
    qToLittleEndian<quint16>(8, b.data() + 28);
    qToLittleEndian<quint32>(54 + 1024, b.data() + 10);
    return b + QByteArray(1024, '\0') + data;
}

// `jpeg` with the size in its frame header replaced: a small file claiming a large picture.
inline QByteArray jpegClaiming(QByteArray jpeg, quint16 width, quint16 height)
{
    const int sof = jpeg.indexOf("\xFF\xC0");
    EXPECT_GT(sof, 0);
    if (sof > 0) {
        qToBigEndian(height, jpeg.data() + sof + 5);
        qToBigEndian(width, jpeg.data() + sof + 7);
    }
    return jpeg;
}

// A PCX file: `bits` a pixel in each of `planes` planes, each row given by `row(y)` as
// planes × bytesPerLine bytes, run-length encoded (runs carried across rows with
// `acrossRows`, as some writers do). `palette16` fills the header's colour table; a
// non-empty `vga` (768 bytes) is appended as the 256-colour table.
inline QByteArray pcxFile(int bits, int planes, int width, int height, int bytesPerLine,
                          const std::function<QByteArray(int y)> &row, const QByteArray &palette16 = {},
                          const QByteArray &vga = {}, bool acrossRows = false)
{
    QByteArray b(128, '\0');
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = char(bits);
    qToLittleEndian<quint16>(quint16(width - 1), b.data() + 8);
    qToLittleEndian<quint16>(quint16(height - 1), b.data() + 10);
    b.replace(16, qMin<qsizetype>(48, palette16.size()), palette16.left(48));
    b[65] = char(planes);
    qToLittleEndian<quint16>(quint16(bytesPerLine), b.data() + 66);
    b[68] = 1;
    QByteArray runs;
    int value = -1, count = 0;
    auto flush = [&] {
        if (count == 0)
            return;
        if (count > 1 || (value & 0xC0) == 0xC0)
            runs.append(char(0xC0 | count));
        runs.append(char(value));
        count = 0;
    };
    for (int y = 0; y < height; ++y) {
        const QByteArray line = row(y);
        EXPECT_EQ(line.size(), planes * bytesPerLine);
        for (char c : line) {
            if (uchar(c) != value || count == 63) {
                flush();
                value = uchar(c);
            }
            ++count;
        }
        if (!acrossRows)
            flush();
    }
    flush();
    b += runs;
    if (!vga.isEmpty())
        b += QByteArray(1, '\x0C') + vga;
    return b;
}

// The test card as an 8-bit PCX with a 256-colour table, any size: rows repeat, so even a
// picture at the program's limits is a few megabytes and made at once.
inline QByteArray pcxCard(int width, int height)
{
    QByteArray vga(768, '\0');
    const QColor colours[] = {Red, Green, Blue, Yellow};
    for (int i = 0; i < 4; ++i) {
        vga[3 * i] = char(colours[i].red());
        vga[3 * i + 1] = char(colours[i].green());
        vga[3 * i + 2] = char(colours[i].blue());
    }
    const int bytesPerLine = (width + 1) & ~1;
    QByteArray top(bytesPerLine, '\0'), bottom(bytesPerLine, '\2');
    for (int x = width / 2; x < width; ++x) {
        top[x] = 1;
        bottom[x] = 3;
    }
    return pcxFile(
        8, 1, width, height, bytesPerLine, [&](int y) { return y < height / 2 ? top : bottom; }, {}, vga);
}

// Bytes no reader should take for a picture, the same every run.
inline QByteArray noise(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &c : b) {
        state = state * 1103515245u + 12345u;
        c = char(state >> 16);
    }
    return b;
}

} // namespace fixtures
