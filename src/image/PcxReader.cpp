#include "PcxReader.h"

#include "PictureReducer.h"

#include <QByteArray>
#include <QIODevice>
#include <QVector>
#include <QtEndian>

#include <array>
#include <cstring>

namespace vk::pcx {

namespace {

constexpr int HeaderBytes = 128;
constexpr int VgaPaletteBytes = 769; // 0x0C, then 256 RGB triples

class Input
{
public:
    explicit Input(QIODevice &device) : m_device(device), m_buffer(64 * 1024, Qt::Uninitialized) {}

    // The next byte, or -1 at the end of the file.
    int get()
    {
        if (m_pos == m_len) {
            const qint64 n = m_device.read(m_buffer.data(), m_buffer.size());
            m_pos = 0;
            m_len = n > 0 ? int(n) : 0;
            if (m_len == 0)
                return -1;
        }
        return uchar(m_buffer[m_pos++]);
    }

private:
    QIODevice &m_device;
    QByteArray m_buffer;
    int m_pos = 0;
    int m_len = 0;
};

Result failure(const QString &reason)
{
    Result r;
    r.reason = reason;
    return r;
}

} // namespace

Result read(QIODevice &file, QSize thumbnail)
{
    file.seek(0);
    const QByteArray h = file.read(HeaderBytes);
    if (h.size() < HeaderBytes || uchar(h[0]) != 0x0A)
        return failure(QStringLiteral("no PCX header"));
    const uchar *u = reinterpret_cast<const uchar *>(h.constData());
    const int encoding = u[2];
    const int bits = u[3];
    const int width = int(qFromLittleEndian<quint16>(u + 8)) - int(qFromLittleEndian<quint16>(u + 4)) + 1;
    const int height = int(qFromLittleEndian<quint16>(u + 10)) - int(qFromLittleEndian<quint16>(u + 6)) + 1;
    const int planes = u[65];
    const int bytesPerLine = qFromLittleEndian<quint16>(u + 66);
    if (width <= 0 || height <= 0)
        return failure(QStringLiteral("the header gives no size"));
    const bool trueColour = bits == 8 && (planes == 3 || planes == 4);
    const bool indexed =
        (bits == 8 && planes == 1) || (bits == 1 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1);
    if (planes < 1 || (!trueColour && !indexed))
        return failure(QStringLiteral("%1 bits in %2 planes is not a kind of PCX this program reads")
                           .arg(bits)
                           .arg(planes));
    if (qint64(bytesPerLine) * 8 < qint64(width) * bits)
        return failure(QStringLiteral("its rows are shorter than the picture is wide"));
    const bool alpha = trueColour && planes == 4;

    // Colours by index: black and white for one bit, the header's sixteen for up to four
    // bits, the table at the end of the file for eight.
    std::array<QRgb, 256> palette;
    palette.fill(qRgb(0, 0, 0));
    if (bits == 1 && planes == 1) {
        palette[1] = qRgb(255, 255, 255);
    } else if (bits == 8 && planes == 1) {
        const qint64 at = file.size() - VgaPaletteBytes;
        QByteArray table;
        if (at >= HeaderBytes && file.seek(at))
            table = file.read(VgaPaletteBytes);
        const bool present = table.size() == VgaPaletteBytes && uchar(table[0]) == 0x0C;
        for (int i = 0; i < 256; ++i)
            palette[size_t(i)] =
                present ? qRgb(uchar(table[1 + 3 * i]), uchar(table[2 + 3 * i]), uchar(table[3 + 3 * i]))
                        : qRgb(i, i, i);
    } else if (!trueColour) {
        for (int i = 0; i < 16; ++i)
            palette[size_t(i)] = qRgb(u[16 + 3 * i], u[17 + 3 * i], u[18 + 3 * i]);
    }

    const bool reducing = thumbnail.isValid() && thumbnail.width() <= width && thumbnail.height() <= height;
    Result r;
    PictureReducer reducer(reducing ? QSize(width, height) : QSize(1, 1), reducing ? thumbnail : QSize(1, 1));
    QImage full;
    if (!reducing) {
        full = QImage(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (full.isNull()) {
            r.outOfMemory = true;
            r.reason = QStringLiteral("not enough memory");
            return r;
        }
    }
    QVector<QRgb> rowBuffer(reducing ? width : 0);

    const int lineBytes = bytesPerLine * planes;
    QByteArray line(lineBytes, '\0');
    uchar *in = reinterpret_cast<uchar *>(line.data());
    file.seek(HeaderBytes);
    Input data(file);
    int runLeft = 0, runValue = 0;
    for (int y = 0; y < height; ++y) {
        // Runs may carry on from one row into the next.
        int filled = 0;
        while (filled < lineBytes) {
            if (runLeft > 0) {
                const int n = qMin(runLeft, lineBytes - filled);
                std::memset(in + filled, runValue, size_t(n));
                filled += n;
                runLeft -= n;
                continue;
            }
            const int b = data.get();
            if (b < 0)
                return failure(QStringLiteral("the file ends before the picture does"));
            if (encoding == 1 && (b & 0xC0) == 0xC0) {
                runValue = data.get();
                if (runValue < 0)
                    return failure(QStringLiteral("the file ends before the picture does"));
                runLeft = b & 0x3F;
            } else {
                in[filled++] = uchar(b);
            }
        }

        QRgb *out = reducing ? rowBuffer.data() : reinterpret_cast<QRgb *>(full.scanLine(y));
        if (trueColour) {
            const uchar *red = in, *green = in + bytesPerLine, *blue = in + 2 * bytesPerLine;
            const uchar *opacity = alpha ? in + 3 * bytesPerLine : nullptr;
            for (int x = 0; x < width; ++x) {
                const QRgb v = qRgba(red[x], green[x], blue[x], opacity ? opacity[x] : 255);
                out[x] = reducing && opacity ? qPremultiply(v) : v;
            }
        } else if (bits == 8) {
            for (int x = 0; x < width; ++x)
                out[x] = palette[in[x]];
        } else if (planes == 1) {
            // Packed: the first pixel in the high bits.
            const int perByte = 8 / bits;
            const int mask = (1 << bits) - 1;
            for (int x = 0; x < width; ++x) {
                const int shift = (perByte - 1 - x % perByte) * bits;
                out[x] = palette[size_t((in[x / perByte] >> shift) & mask)];
            }
        } else {
            // One bit of the index in each plane, the first plane the lowest bit.
            for (int x = 0; x < width; ++x) {
                int index = 0;
                for (int p = 0; p < planes; ++p)
                    if (in[p * bytesPerLine + x / 8] & (0x80 >> (x % 8)))
                        index |= 1 << p;
                out[x] = palette[size_t(index)];
            }
        }
        if (reducing)
            reducer.addRow(out);
    }
    r.image = reducing ? reducer.result() : full;
    if (r.image.isNull()) {
        r.outOfMemory = true;
        r.reason = QStringLiteral("not enough memory");
    }
    return r;
}

} // namespace vk::pcx
