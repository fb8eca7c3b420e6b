#include "PictureFormat.h"

#include "ImageCodec.h"

#include <QIODevice>
#include <QtEndian>

#include <climits>
#include <cstring>

namespace vk::picture {

namespace {

quint16 u16le(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32le(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

bool startsWith(const QByteArray &head, const char *bytes, int n)
{
    return head.size() >= n && std::memcmp(head.constData(), bytes, size_t(n)) == 0;
}

bool isBmp(const QByteArray &h)
{
    if (h.size() < 26 || !startsWith(h, "BM", 2))
        return false;
    // "BM" alone is too weak (plenty of text starts so); the DIB header size pins it.
    switch (u32le(h, 14)) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

bool isTiff(const QByteArray &h)
{
    return startsWith(h, "II*\0", 4) || startsWith(h, "MM\0*", 4) || startsWith(h, "II+\0", 4) ||
           startsWith(h, "MM\0+", 4);
}

bool isIco(const QByteArray &h)
{
    // Cursors (type 2) are left out: their first bytes are also those of an ordinary
    // true-colour Targa file.
    return h.size() >= 6 && startsWith(h, "\0\0\1\0", 4) && u16le(h, 4) > 0;
}

bool isWmf(const QByteArray &h)
{
    if (startsWith(h, "\xD7\xCD\xC6\x9A", 4))
        return true;
    // A metafile without the placeable header: memory or disk type, 9-word header,
    // Windows 3.0 or 2.0 version.
    return h.size() >= 6 && (u16le(h, 0) == 1 || u16le(h, 0) == 2) && u16le(h, 2) == 9 &&
           (u16le(h, 4) == 0x0300 || u16le(h, 4) == 0x0100);
}

bool isPcx(const QByteArray &h)
{
    if (h.size() < 4 || uchar(h[0]) != 0x0A)
        return false;
    const int version = uchar(h[1]);
    const int encoding = uchar(h[2]);
    const int bits = uchar(h[3]);
    return (version == 0 || (version >= 2 && version <= 5)) && encoding <= 1 &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

bool hasTgaFooter(const QByteArray &tail)
{
    return tail.size() >= TailBytes && std::memcmp(tail.constData() + 8, "TRUEVISION-XFILE.\0", 18) == 0;
}

Kind fromType(int typeHint)
{
    switch (typeHint) {
    case itBitmap:
        return Kind::Bmp;
    case itGif:
        return Kind::Gif;
    case itJpeg:
        return Kind::Jpeg;
    case itPcx:
        return Kind::Pcx;
    case itPing:
        return Kind::Png;
    case itTarga:
        return Kind::Tga;
    case itTiff:
        return Kind::Tiff;
    default:
        return Kind::Unknown;
    }
}

// Reads a device through a buffer, for walking a file's structure without holding it
// in memory.
class ByteSource
{
public:
    explicit ByteSource(QIODevice &device) : m_device(device), m_buffer(64 * 1024, Qt::Uninitialized) {}

    // The next byte, or -1 at the end of the file.
    int get()
    {
        if (!fill())
            return -1;
        return uchar(m_buffer[m_pos++]);
    }

    int get16be()
    {
        const int hi = get();
        const int lo = get();
        return hi < 0 || lo < 0 ? -1 : (hi << 8) | lo;
    }

    // Skips `n` bytes; false when the file ends first.
    bool skip(qint64 n)
    {
        const qint64 buffered = m_len - m_pos;
        if (n <= buffered) {
            m_pos += int(n);
            return true;
        }
        n -= buffered;
        m_pos = m_len;
        const qint64 target = m_device.pos() + n;
        if (target > m_device.size())
            return false;
        return m_device.seek(target);
    }

    // Moves just past the next 0xFF byte; false when there is none.
    bool skipPastFF()
    {
        while (fill()) {
            const void *hit = std::memchr(m_buffer.constData() + m_pos, 0xFF, size_t(m_len - m_pos));
            if (hit) {
                m_pos = int(static_cast<const char *>(hit) - m_buffer.constData()) + 1;
                return true;
            }
            m_pos = m_len;
        }
        return false;
    }

private:
    bool fill()
    {
        if (m_pos < m_len)
            return true;
        const qint64 n = m_device.read(m_buffer.data(), m_buffer.size());
        m_pos = 0;
        m_len = n > 0 ? int(n) : 0;
        return m_len > 0;
    }

    QIODevice &m_device;
    QByteArray m_buffer;
    int m_pos = 0;
    int m_len = 0;
};

// Follows the markers to the end-of-image marker. libjpeg pads a cut-off scan with
// grey and only warns, so without this a half-copied photo would pass for whole.
bool jpegEndsEarly(QIODevice &file)
{
    file.seek(0);
    ByteSource in(file);
    if (in.get() != 0xFF || in.get() != 0xD8)
        return false;
    int marker = -1;
    for (;;) {
        if (marker < 0) {
            const int c = in.get();
            if (c < 0)
                return true;
            // Stray bytes between segments: the decoder skips them, so do we.
            if (c != 0xFF && !in.skipPastFF())
                return true;
            do
                marker = in.get();
            while (marker == 0xFF);
            if (marker < 0)
                return true;
        }
        const int m = marker;
        marker = -1;
        if (m == 0xD9)
            return false;
        if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD7))
            continue;
        const int length = in.get16be();
        if (length < 0)
            return true;
        if (length < 2)
            return false; // malformed rather than short: the decoder reports it
        if (!in.skip(length - 2))
            return true;
        if (m != 0xDA)
            continue;
        // Entropy-coded data runs to the next marker that is neither a stuffed zero
        // nor a restart marker.
        for (;;) {
            if (!in.skipPastFF())
                return true;
            int n;
            do
                n = in.get();
            while (n == 0xFF);
            if (n < 0)
                return true;
            if (n == 0x00 || (n >= 0xD0 && n <= 0xD7))
                continue;
            marker = n;
            break;
        }
    }
}

// Follows the runs of a run-length bitmap (RLE8, or RLE4 with `nibbles`) from `offset`
// until its end-of-bitmap code or its last row. A run or a jump past the right edge is the
// reader's to judge; only data that stops first makes the file short.
bool bmpRunsEndEarly(QIODevice &file, qint64 offset, bool nibbles, qint64 rows)
{
    if (!file.seek(offset))
        return true;
    ByteSource in(file);
    qint64 y = 0;
    for (;;) {
        const int count = in.get();
        const int code = in.get();
        if (count < 0 || code < 0)
            return true;
        if (count > 0)
            continue;    // a run of one value
        if (code == 0) { // end of a row
            if (++y >= rows)
                return false;
        } else if (code == 1) { // end of the bitmap: the rest is left blank on purpose
            return false;
        } else if (code == 2) { // a jump right and down
            const int right = in.get();
            const int down = in.get();
            if (right < 0 || down < 0)
                return true;
            y += down;
            if (y >= rows)
                return false;
        } else { // `code` pixels as they are, padded to a whole number of 16-bit words
            qint64 bytes = nibbles ? (code + 1) / 2 : code;
            bytes += bytes & 1;
            if (!in.skip(bytes))
                return true;
        }
    }
}

// Qt's BMP reader fills missing rows rather than failing; the header says exactly how
// long an uncompressed bitmap must be.
bool bmpEndsEarly(QIODevice &file)
{
    file.seek(0);
    const QByteArray h = file.read(54);
    if (h.size() < 26)
        return true;
    const quint32 offset = u32le(h, 10);
    const quint32 dibSize = u32le(h, 14);
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    if (dibSize == 12) {
        width = u16le(h, 18);
        height = u16le(h, 20);
        bits = u16le(h, 24);
    } else {
        if (h.size() < 34)
            return true;
        width = qint32(u32le(h, 18));
        height = qint32(u32le(h, 22));
        bits = u16le(h, 28);
        compression = u32le(h, 30);
    }
    if (width <= 0 || height == 0 || bits == 0)
        return false;
    // Run-length bitmaps end where their data says; Qt's reader leaves the rest blank.
    if (compression == 1 || compression == 2)
        return bmpRunsEndEarly(file, offset, compression == 2, qAbs(height));
    // Only plain and bit-field bitmaps have a fixed length.
    if (compression != 0 && compression != 3 && compression != 6)
        return false;
    const qint64 stride = (width * bits + 31) / 32 * 4;
    return file.size() < qint64(offset) + stride * qAbs(height);
}

bool skipGifSubBlocks(ByteSource &in)
{
    for (;;) {
        const int n = in.get();
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!in.skip(n))
            return false;
    }
}

enum class GifFrame
{
    Whole,     // the first frame's data blocks reach their terminator
    EndsEarly, // the file ends before they do
    None,      // a trailer or garbage before any frame: the reader judges
};

// Walks to the first frame of a GIF: its pixels and the bytes of its compressed data when
// it is whole. (Qt's GIF reader shows a cut-off first frame as complete.)
GifFrame gifFirstFrame(QIODevice &file, qint64 &pixels, qint64 &dataBytes)
{
    file.seek(0);
    ByteSource in(file);
    if (!in.skip(10))
        return GifFrame::EndsEarly;
    const int flags = in.get();
    if (flags < 0 || !in.skip(2))
        return GifFrame::EndsEarly;
    if ((flags & 0x80) && !in.skip(3 * (2 << (flags & 7))))
        return GifFrame::EndsEarly;
    for (;;) {
        const int block = in.get();
        if (block < 0)
            return GifFrame::EndsEarly;
        if (block == 0x21) { // extension: label, then data blocks
            if (in.get() < 0 || !skipGifSubBlocks(in))
                return GifFrame::EndsEarly;
            continue;
        }
        if (block != 0x2C) // image: descriptor, local table, code size, data
            return GifFrame::None;
        if (!in.skip(4))
            return GifFrame::EndsEarly;
        const int w0 = in.get(), w1 = in.get(), h0 = in.get(), h1 = in.get();
        const int local = in.get();
        if (local < 0 || h1 < 0)
            return GifFrame::EndsEarly;
        pixels = qint64(w0 | (w1 << 8)) * qint64(h0 | (h1 << 8));
        if ((local & 0x80) && !in.skip(3 * (2 << (local & 7))))
            return GifFrame::EndsEarly;
        if (in.get() < 0)
            return GifFrame::EndsEarly;
        dataBytes = 0;
        for (;;) {
            const int n = in.get();
            if (n < 0)
                return GifFrame::EndsEarly;
            if (n == 0)
                return GifFrame::Whole;
            dataBytes += n;
            if (!in.skip(n))
                return GifFrame::EndsEarly;
        }
    }
}

// Whether the frames of a JPEG are Huffman coded, whose every 8 × 8 block costs at least a
// bit. (Arithmetic coding can spend less.)
bool jpegHuffmanCoded(QIODevice &file)
{
    file.seek(0);
    ByteSource in(file);
    if (in.get() != 0xFF || in.get() != 0xD8)
        return false;
    for (;;) {
        int m = in.get();
        if (m != 0xFF)
            return false;
        do
            m = in.get();
        while (m == 0xFF);
        if (m < 0 || m == 0xDA || m == 0xD9)
            return false;
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD7))
            continue;
        if ((m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7))
            return true;
        if (m >= 0xC9 && m <= 0xCF && m != 0xCC)
            return false;
        const int length = in.get16be();
        if (length < 2 || !in.skip(length - 2))
            return false;
    }
}

// The compressed bytes of a PNG's image data chunks that the file holds, as far as its
// chunks can be followed.
qint64 pngDataBytes(QIODevice &file)
{
    qint64 total = 0;
    qint64 at = 8;
    const qint64 size = file.size();
    while (at + 8 <= size && file.seek(at)) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            break;
        const qint64 length = qFromBigEndian<quint32>(chunk.constData());
        const QByteArray type = chunk.mid(4, 4);
        if (type == "IDAT")
            total += qMin(length, size - at - 8);
        if (type == "IEND")
            break;
        at += 12 + length;
    }
    return total;
}

} // namespace

Kind detect(const QByteArray &head, const QByteArray &tail, const QString &suffix, int typeHint)
{
    if (startsWith(head, "\xFF\xD8\xFF", 3))
        return Kind::Jpeg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n", 8))
        return Kind::Png;
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return Kind::Gif;
    if (isTiff(head))
        return Kind::Tiff;
    if (isBmp(head))
        return Kind::Bmp;
    if (isWmf(head))
        return Kind::Wmf;
    if (hasTgaFooter(tail))
        return Kind::Tga;
    const Kind asked = fromType(typeHint);
    const QString ext = suffix.toLower();
    const bool tgaName = ext == u"tga" || ext == u"targa" || ext == u"icb" || ext == u"vda" || ext == u"vst";
    // An old Targa file has no signature at all; its first bytes can look like an icon
    // or a PCX header, so a Targa name or request settles it before those weaker tests.
    if (asked == Kind::Tga || (asked == Kind::Unknown && tgaName))
        return Kind::Tga;
    if (isIco(head))
        return Kind::Ico;
    if (isPcx(head))
        return Kind::Pcx;
    return asked;
}

QSize headerSize(Kind kind, const QByteArray &head)
{
    switch (kind) {
    case Kind::Bmp:
        // Qt's reader will not even report a size it finds absurd; the program still
        // owes the person the reason.
        if (head.size() >= 26) {
            const bool core = u32le(head, 14) == 12;
            const qint64 w = core ? u16le(head, 18) : qint32(u32le(head, 18));
            const qint64 h = core ? u16le(head, 20) : qAbs(qint64(qint32(u32le(head, 22))));
            if (w > 0 && h > 0)
                return QSize(int(qMin<qint64>(w, INT_MAX)), int(qMin<qint64>(h, INT_MAX)));
        }
        break;
    case Kind::Png:
        // The first chunk is the header: width and height, big-endian.
        if (head.size() >= 24 && head.mid(12, 4) == "IHDR") {
            const qint64 w = qFromBigEndian<quint32>(head.constData() + 16);
            const qint64 h = qFromBigEndian<quint32>(head.constData() + 20);
            if (w > 0 && h > 0)
                return QSize(int(qMin<qint64>(w, INT_MAX)), int(qMin<qint64>(h, INT_MAX)));
        }
        break;
    case Kind::Gif:
        // The logical screen, which Qt's reader allocates whatever the frames' sizes.
        if (head.size() >= 10 && u16le(head, 6) > 0 && u16le(head, 8) > 0)
            return QSize(u16le(head, 6), u16le(head, 8));
        break;
    case Kind::Pcx:
        if (head.size() >= 12) {
            const int w = int(u16le(head, 8)) - int(u16le(head, 4)) + 1;
            const int h = int(u16le(head, 10)) - int(u16le(head, 6)) + 1;
            if (w > 0 && h > 0)
                return QSize(w, h);
        }
        break;
    case Kind::Tga:
        if (head.size() >= 16 && u16le(head, 12) > 0 && u16le(head, 14) > 0)
            return QSize(u16le(head, 12), u16le(head, 14));
        break;
    case Kind::Wmf:
        if (head.size() >= 16 && startsWith(head, "\xD7\xCD\xC6\x9A", 4)) {
            const qint64 left = qint16(u16le(head, 6)), top = qint16(u16le(head, 8));
            const qint64 right = qint16(u16le(head, 10)), bottom = qint16(u16le(head, 12));
            const qint64 inch = u16le(head, 14);
            if (inch > 0) {
                const qint64 w = qAbs(right - left) * 72 / inch;
                const qint64 h = qAbs(bottom - top) * 72 / inch;
                if (w > 0 && h > 0)
                    return QSize(int(w), int(h));
            }
        }
        break;
    default:
        break;
    }
    return QSize();
}

bool pngChunksSound(QIODevice &file, QString &problem, qint64 &ancillaryBytes)
{
    problem.clear();
    ancillaryBytes = 0;
    const qint64 size = file.size();
    qint64 at = 8;
    while (at + 8 <= size && file.seek(at)) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            break;
        const qint64 length = qFromBigEndian<quint32>(chunk.constData());
        const QByteArray type = chunk.mid(4, 4);
        bool named = true;
        for (char ch : type)
            named = named && ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'));
        if (!named) {
            problem = QStringLiteral("a chunk of the file has no proper name");
            return false;
        }
        const QString shownType = QString::fromLatin1(type);
        // The format caps a chunk at 2^31 - 1 bytes; a decoder takes the length on trust.
        if (length > 0x7fffffffLL) {
            problem = QStringLiteral("the chunk %1 declares %2 bytes, more than any chunk may hold")
                          .arg(shownType)
                          .arg(length);
            return false;
        }
        const qint64 held = size - at - 12;
        const bool last = type == "IDAT" || type == "IEND";
        // A cut-off picture shows as incomplete; a metadata chunk that claims more than is
        // there would be allocated whole before that came out.
        if (length > held && !last) {
            problem = QStringLiteral("the chunk %1 declares %2 bytes, more than the file holds")
                          .arg(shownType)
                          .arg(length);
            return false;
        }
        const bool ancillary = (type[0] & 0x20) != 0;
        if (ancillary) {
            if (length > MaxPngAncillaryBytes) {
                problem =
                    QStringLiteral("the chunk %1 declares %2 bytes, more than a chunk of its kind may hold")
                        .arg(shownType)
                        .arg(length);
                return false;
            }
            ancillaryBytes += length;
        } else if ((type == "IHDR" && length != 13) || (type == "PLTE" && length > 768) ||
                   (type == "IEND" && length != 0)) {
            problem = QStringLiteral("the chunk %1 declares %2 bytes, which a chunk of its kind never holds")
                          .arg(shownType)
                          .arg(length);
            return false;
        }
        if (type == "IEND")
            break;
        at += 12 + length;
    }
    return true;
}

bool pngReadInRows(const QByteArray &head)
{
    if (head.size() < 29 || head.mid(12, 4) != "IHDR")
        return false;
    const int depth = uchar(head[24]), colourType = uchar(head[25]), interlace = uchar(head[28]);
    return depth == 8 && (colourType == 2 || colourType == 6) && interlace == 0;
}

bool holdsTooLittle(Kind kind, QIODevice &file, QSize size)
{
    if (!size.isValid() || size.isEmpty())
        return false;
    const qint64 pixels = qint64(size.width()) * size.height();
    const qint64 fileSize = file.size();
    file.seek(0);
    const QByteArray head = file.read(128); // a PCX header is the longest needed
    switch (kind) {
    case Kind::Png: {
        if (head.size() < 29)
            return false;
        static const int channelsOf[] = {1, 0, 3, 1, 2, 0, 4};
        const int depth = uchar(head[24]);
        const int colourType = uchar(head[25]);
        const int channels = colourType <= 6 ? channelsOf[colourType] : 0;
        if (channels == 0 || depth == 0)
            return false;
        const qint64 rowBytes = (qint64(size.width()) * channels * depth + 7) / 8;
        // Deflate makes at most 1032 bytes of one: a 258-byte match in two bits.
        return pngDataBytes(file) * 1032 < rowBytes * size.height();
    }
    case Kind::Gif: {
        qint64 framePixels = 0, dataBytes = 0;
        if (gifFirstFrame(file, framePixels, dataBytes) != GifFrame::Whole)
            return false;
        // Every code takes at least two bits and stands for at most 4096 pixels.
        return dataBytes * 4 * 4096 < framePixels;
    }
    case Kind::Jpeg:
        // The 8 × 8 blocks of the first component alone need a bit each.
        return jpegHuffmanCoded(file) &&
               fileSize * 8 < qint64((size.width() + 7) / 8) * qint64((size.height() + 7) / 8);
    case Kind::Pcx: {
        if (head.size() < 68)
            return false;
        const qint64 decoded = qint64(u16le(head, 66)) * uchar(head[65]) * size.height();
        const qint64 data = fileSize - 128;
        // A run takes two bytes for at most 63.
        return uchar(head[2]) == 1 ? data * 63 < decoded * 2 : data < decoded;
    }
    case Kind::Tga: {
        if (head.size() < 18)
            return false;
        const int type = uchar(head[2]);
        const qint64 pixelBytes = (uchar(head[16]) + 7) / 8;
        const qint64 colourMap = uchar(head[1]) ? qint64(u16le(head, 5)) * ((uchar(head[7]) + 7) / 8) : 0;
        const qint64 data = fileSize - 18 - uchar(head[0]) - colourMap;
        if (pixelBytes == 0)
            return false;
        if (type >= 1 && type <= 3)
            return data < pixels * pixelBytes;
        // A run-length packet covers at most 128 pixels with a byte and one pixel.
        if (type >= 9 && type <= 11)
            return data < (pixels + 127) / 128 * (1 + pixelBytes);
        return false;
    }
    default:
        return false;
    }
}

bool endsEarly(Kind kind, QIODevice &file)
{
    switch (kind) {
    case Kind::Jpeg:
        return jpegEndsEarly(file);
    case Kind::Bmp:
        return bmpEndsEarly(file);
    case Kind::Gif: {
        qint64 pixels = 0, dataBytes = 0;
        return gifFirstFrame(file, pixels, dataBytes) == GifFrame::EndsEarly;
    }
    default:
        return false;
    }
}

QByteArray qtFormat(Kind kind)
{
    switch (kind) {
    case Kind::Bmp:
        return "bmp";
    case Kind::Jpeg:
        return "jpeg";
    case Kind::Png:
        return "png";
    case Kind::Gif:
        return "gif";
    case Kind::Tiff:
        return "tiff";
    case Kind::Ico:
        return "ico";
    case Kind::Tga:
        return "tga";
    default:
        return QByteArray();
    }
}

const char *magickCoder(Kind kind)
{
    // TIFF never goes to the image library. Its TIFF coder installs process-wide error
    // handlers in the shared libtiff that point at its own short-lived state; once it
    // has run, the next damaged TIFF that Qt reads aborts the program.
    switch (kind) {
    case Kind::Bmp:
        return "BMP";
    case Kind::Jpeg:
        return "JPEG";
    case Kind::Png:
        return "PNG";
    case Kind::Gif:
        return "GIF";
    case Kind::Ico:
        return "ICO";
    case Kind::Tga:
        return "TGA";
    case Kind::Pcx:
        return "PCX";
    case Kind::Wmf:
        return "WMF";
    default:
        return nullptr;
    }
}

} // namespace vk::picture
