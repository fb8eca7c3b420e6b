#include "GifWriter.h"

#include <QVector>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace vk::gif {

namespace {

// Calls `fn(row, y)` with each row of `image` as straight (not premultiplied) ARGB32,
// converting a strip at a time where the picture is in another format.
template <typename Fn> void forEachRow(const QImage &image, Fn fn)
{
    const int width = image.width();
    const QImage::Format format = image.format();
    if (format == QImage::Format_ARGB32 || format == QImage::Format_RGB32) {
        for (int y = 0; y < image.height(); ++y)
            fn(reinterpret_cast<const QRgb *>(image.constScanLine(y)), y);
        return;
    }
    if (format == QImage::Format_ARGB32_Premultiplied) {
        QVector<QRgb> line(width);
        for (int y = 0; y < image.height(); ++y) {
            const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = qUnpremultiply(in[x]);
            fn(line.constData(), y);
        }
        return;
    }
    constexpr int Strip = 32;
    for (int top = 0; top < image.height(); top += Strip) {
        const QImage strip = image.copy(0, top, width, qMin(Strip, image.height() - top))
                                 .convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < strip.height(); ++y)
            fn(reinterpret_cast<const QRgb *>(strip.constScanLine(y)), top + y);
    }
}

bool clear(QRgb v)
{
    return qAlpha(v) < 128;
}

// Up to `capacity` distinct opaque colours, each with its index in order of first sight.
class ColourSet
{
public:
    explicit ColourSet(int capacity) : m_capacity(capacity), m_slots(1024, Empty) {}

    // False once the picture has more colours than the set holds.
    bool add(QRgb rgb)
    {
        rgb |= 0xFF000000u;
        quint32 at = hash(rgb);
        while (m_slots[at] != Empty) {
            if (m_slots[at] == rgb)
                return true;
            at = (at + 1) & Mask;
        }
        if (int(m_colours.size()) == m_capacity)
            return false;
        m_slots[at] = rgb;
        m_indexOf[at] = uchar(m_colours.size());
        m_colours.push_back(rgb);
        return true;
    }

    int indexOf(QRgb rgb) const
    {
        rgb |= 0xFF000000u;
        quint32 at = hash(rgb);
        while (m_slots[at] != rgb)
            at = (at + 1) & Mask;
        return m_indexOf[at];
    }

    const std::vector<QRgb> &colours() const { return m_colours; }

private:
    static constexpr quint32 Empty = 0; // never an opaque colour
    static constexpr quint32 Mask = 1023;
    static quint32 hash(QRgb rgb) { return (rgb * 2654435761u) >> 22; }

    int m_capacity;
    std::vector<quint32> m_slots;
    std::array<uchar, 1024> m_indexOf{};
    std::vector<QRgb> m_colours;
};

// Colours counted on a grid of 32 levels a channel, with the exact sums of what fell
// into each cell.
struct Histogram
{
    std::vector<quint32> count = std::vector<quint32>(32768, 0);
    std::vector<quint64> sum = std::vector<quint64>(32768 * 3, 0);

    static int cell(int r, int g, int b) { return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3); }

    void add(QRgb v)
    {
        const int c = cell(qRed(v), qGreen(v), qBlue(v));
        ++count[size_t(c)];
        sum[size_t(c) * 3] += quint64(qRed(v));
        sum[size_t(c) * 3 + 1] += quint64(qGreen(v));
        sum[size_t(c) * 3 + 2] += quint64(qBlue(v));
    }
};

// Median cut: the box of cells holding the most pixels (among those that still can be cut)
// is cut across its longest side where half its pixels lie on each side.
std::vector<QRgb> medianCut(const Histogram &histogram, int colours)
{
    std::vector<int> cells;
    for (int c = 0; c < 32768; ++c)
        if (histogram.count[size_t(c)] > 0)
            cells.push_back(c);
    struct Box
    {
        size_t begin, end;
        quint64 pixels;
    };
    auto channel = [](int cell, int axis) { return (cell >> (10 - 5 * axis)) & 31; };
    auto pixelsIn = [&](size_t begin, size_t end) {
        quint64 n = 0;
        for (size_t i = begin; i < end; ++i)
            n += histogram.count[size_t(cells[i])];
        return n;
    };
    std::vector<Box> boxes{{0, cells.size(), pixelsIn(0, cells.size())}};
    while (int(boxes.size()) < colours) {
        Box *widest = nullptr;
        for (Box &b : boxes)
            if (b.end - b.begin > 1 && (!widest || b.pixels > widest->pixels))
                widest = &b;
        if (!widest)
            break;
        int axis = 0, longest = -1;
        for (int a = 0; a < 3; ++a) {
            int lo = 31, hi = 0;
            for (size_t i = widest->begin; i < widest->end; ++i) {
                lo = std::min(lo, channel(cells[i], a));
                hi = std::max(hi, channel(cells[i], a));
            }
            if (hi - lo > longest) {
                longest = hi - lo;
                axis = a;
            }
        }
        std::sort(cells.begin() + ptrdiff_t(widest->begin), cells.begin() + ptrdiff_t(widest->end),
                  [&](int a, int b) { return channel(a, axis) < channel(b, axis); });
        quint64 below = 0;
        size_t cut = widest->begin;
        while (cut < widest->end - 1 && below + histogram.count[size_t(cells[cut])] <= widest->pixels / 2)
            below += histogram.count[size_t(cells[cut++])];
        if (cut == widest->begin)
            below += histogram.count[size_t(cells[cut++])];
        const Box upper{cut, widest->end, widest->pixels - below};
        widest->end = cut;
        widest->pixels = below;
        boxes.push_back(upper);
    }
    std::vector<QRgb> palette;
    for (const Box &b : boxes) {
        quint64 r = 0, g = 0, bl = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            r += histogram.sum[size_t(cells[i]) * 3];
            g += histogram.sum[size_t(cells[i]) * 3 + 1];
            bl += histogram.sum[size_t(cells[i]) * 3 + 2];
        }
        const quint64 n = qMax<quint64>(1, b.pixels);
        palette.push_back(qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((bl + n / 2) / n)));
    }
    return palette;
}

// GIF's variable-length LZW, written in data sub-blocks as it goes.
class LzwWriter
{
public:
    LzwWriter(QByteArray &out, int minCodeSize)
        : m_out(out), m_minCodeSize(minCodeSize), m_clear(1 << minCodeSize), m_end(m_clear + 1), m_slots(8192)
    {
        m_out.append(char(minCodeSize));
        restart();
        put(m_clear);
    }

    void add(int index)
    {
        if (m_prefix < 0) {
            m_prefix = index;
            return;
        }
        const quint32 key = (quint32(m_prefix) << 8) | quint32(index);
        quint32 at = (key * 2654435761u) >> 19;
        while (m_slots[at].generation == m_generation) {
            if (m_slots[at].key == key) {
                m_prefix = m_slots[at].code;
                return;
            }
            at = (at + 1) & 8191;
        }
        put(m_prefix);
        if (m_next < 4096) {
            m_slots[at] = {key, quint16(m_next++), m_generation};
            // The reader widens its codes once its table, a step behind this one, is full.
            if (m_next > (1 << m_codeSize) && m_codeSize < 12)
                ++m_codeSize;
        } else {
            put(m_clear);
            restart();
        }
        m_prefix = index;
    }

    void finish()
    {
        if (m_prefix >= 0)
            put(m_prefix);
        put(m_end);
        if (m_bits > 0)
            byte(uchar(m_buffer));
        if (m_blockLength > 0)
            flushBlock();
        m_out.append('\0');
    }

private:
    struct Slot
    {
        quint32 key = 0;
        quint16 code = 0;
        quint32 generation = 0;
    };

    void restart()
    {
        ++m_generation; // forgets every entry at once
        m_next = m_end + 1;
        m_codeSize = m_minCodeSize + 1;
    }

    void put(int code)
    {
        m_buffer |= quint32(code) << m_bits;
        m_bits += m_codeSize;
        while (m_bits >= 8) {
            byte(uchar(m_buffer & 0xFF));
            m_buffer >>= 8;
            m_bits -= 8;
        }
    }

    void byte(uchar b)
    {
        m_block[size_t(m_blockLength++)] = b;
        if (m_blockLength == 255)
            flushBlock();
    }

    void flushBlock()
    {
        m_out.append(char(m_blockLength));
        m_out.append(reinterpret_cast<const char *>(m_block.data()), m_blockLength);
        m_blockLength = 0;
    }

    QByteArray &m_out;
    const int m_minCodeSize;
    const int m_clear;
    const int m_end;
    int m_next = 0;
    int m_codeSize = 0;
    int m_prefix = -1;
    quint32 m_buffer = 0;
    int m_bits = 0;
    std::array<uchar, 255> m_block{};
    int m_blockLength = 0;
    std::vector<Slot> m_slots;
    quint32 m_generation = 0;
};

void put16(QByteArray &out, int v)
{
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

} // namespace

bool write(const QImage &image, QByteArray &out)
{
    out.clear();
    if (image.isNull() || image.width() > 65535 || image.height() > 65535)
        return false;
    const int width = image.width();

    // First pass: the colours, exactly while there are few enough, and their histogram.
    ColourSet exact(256);
    bool fewColours = true;
    bool transparent = false;
    Histogram histogram;
    forEachRow(image, [&](const QRgb *row, int) {
        for (int x = 0; x < width; ++x) {
            if (clear(row[x])) {
                transparent = true;
                continue;
            }
            if (fewColours)
                fewColours = exact.add(row[x]);
            histogram.add(row[x]);
        }
    });
    const int opaqueSlots = transparent ? 255 : 256;
    fewColours = fewColours && int(exact.colours().size()) <= opaqueSlots;
    std::vector<QRgb> palette = fewColours ? exact.colours() : medianCut(histogram, opaqueSlots);
    const int transparentIndex = transparent ? int(palette.size()) : -1;
    const int used = int(palette.size()) + (transparent ? 1 : 0);
    int tableBits = 1;
    while ((1 << tableBits) < used)
        ++tableBits;

    out.reserve(1024);
    out.append("GIF89a", 6);
    put16(out, width);
    put16(out, image.height());
    out.append(char(0x80 | 0x70 | (tableBits - 1))).append('\0').append('\0');
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = i < int(palette.size()) ? palette[size_t(i)] : qRgb(0, 0, 0);
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    if (transparent) {
        out.append("\x21\xF9\x04\x01\x00\x00", 6);
        out.append(char(transparentIndex)).append('\0');
    }
    out.append('\x2C');
    put16(out, 0);
    put16(out, 0);
    put16(out, width);
    put16(out, image.height());
    out.append('\0');

    LzwWriter lzw(out, qMax(2, tableBits));
    if (fewColours) {
        forEachRow(image, [&](const QRgb *row, int) {
            for (int x = 0; x < width; ++x)
                lzw.add(clear(row[x]) ? transparentIndex : exact.indexOf(row[x]));
        });
    } else {
        // The nearest palette colour of every histogram cell, then Floyd–Steinberg: what
        // a pixel's colour misses by is passed on to its neighbours right and below.
        std::vector<uchar> nearest(32768);
        for (int c = 0; c < 32768; ++c) {
            const int r = ((c >> 10) << 3) | 4, g = (((c >> 5) & 31) << 3) | 4, b = ((c & 31) << 3) | 4;
            int best = 0, bestDistance = INT_MAX;
            for (int i = 0; i < int(palette.size()); ++i) {
                const QRgb p = palette[size_t(i)];
                const int dr = qRed(p) - r, dg = qGreen(p) - g, db = qBlue(p) - b;
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            nearest[size_t(c)] = uchar(best);
        }
        // Errors in sixteenths, one pixel of margin on each side.
        std::vector<int> current(size_t(width + 2) * 3, 0), below(size_t(width + 2) * 3, 0);
        forEachRow(image, [&](const QRgb *row, int) {
            std::fill(below.begin(), below.end(), 0);
            for (int x = 0; x < width; ++x) {
                int *e = &current[size_t(x + 1) * 3];
                if (clear(row[x])) {
                    lzw.add(transparentIndex);
                    continue;
                }
                const int r = qBound(0, qRed(row[x]) + e[0] / 16, 255);
                const int g = qBound(0, qGreen(row[x]) + e[1] / 16, 255);
                const int b = qBound(0, qBlue(row[x]) + e[2] / 16, 255);
                const int index = nearest[size_t(Histogram::cell(r, g, b))];
                lzw.add(index);
                const QRgb p = palette[size_t(index)];
                const int miss[3] = {r - qRed(p), g - qGreen(p), b - qBlue(p)};
                for (int k = 0; k < 3; ++k) {
                    e[3 + k] += miss[k] * 7;
                    below[size_t(x) * 3 + size_t(k)] += miss[k] * 3;
                    below[size_t(x + 1) * 3 + size_t(k)] += miss[k] * 5;
                    below[size_t(x + 2) * 3 + size_t(k)] += miss[k];
                }
            }
            std::swap(current, below);
        });
    }
    lzw.finish();
    out.append('\x3B');
    return true;
}

} // namespace vk::gif
