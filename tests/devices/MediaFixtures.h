// Small sound and video files written byte by byte, for the tests that play real files: a WAV
// tone, a MIDI tune, an MP3 of silence and an MPEG-1 program stream whose pictures are each of
// one colour. Each lasts as long as asked, so a test knows when it should end.
#pragma once

#include "AviFixture.h"

#include <QByteArray>
#include <QColor>
#include <QList>

#include <cmath>

namespace fixtures {

// 8 kHz, 16-bit mono: a 440 Hz tone.
inline QByteArray wavTone(int milliseconds)
{
    const int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray data;
    for (int i = 0; i < samples; ++i)
        put16(data, quint16(qint16(8000 * std::sin(2 * M_PI * 440 * i / rate))));
    QByteArray fmt;
    put16(fmt, 1); // PCM
    put16(fmt, 1); // mono
    put32(fmt, rate);
    put32(fmt, rate * 2);
    put16(fmt, 2);
    put16(fmt, 16);
    return chunk("RIFF", QByteArray("WAVE", 4) + chunk("fmt ", fmt) + chunk("data", data));
}

inline void putVarLength(QByteArray &b, quint32 v)
{
    QByteArray bytes(1, char(v & 0x7F));
    while (v >>= 7)
        bytes.prepend(char(0x80 | (v & 0x7F)));
    b += bytes;
}

// A standard MIDI file of one track: middle C held for `quarters` quarter notes at 120 beats a
// minute (half a second each).
inline QByteArray midiTune(int quarters)
{
    QByteArray track;
    track += QByteArray::fromHex("00ff510307a120"); // tempo: 500,000 microseconds a quarter
    track += QByteArray::fromHex("00c000");         // piano
    track += QByteArray::fromHex("00903c64");       // note on
    putVarLength(track, quint32(96 * quarters));
    track += QByteArray::fromHex("803c00"); // note off
    track += QByteArray::fromHex("00ff2f00");
    QByteArray file("MThd", 4);
    put32be(file, 6);
    file += QByteArray::fromHex("000000010060"); // format 0, one track, 96 ticks a quarter
    file += QByteArray("MTrk", 4);
    put32be(file, quint32(track.size()));
    return file + track;
}

// MPEG-1 layer III, 44.1 kHz mono at 128 kbit/s: frames whose side information and main data
// are all zero decode as silence. 1152 samples a frame.
inline QByteArray mp3Silence(int milliseconds)
{
    const int frames = int(std::ceil(milliseconds * 44.1 / 1152));
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB); // MPEG-1, layer III, no CRC
    frame[2] = char(0x90); // 128 kbit/s, 44.1 kHz, no padding
    frame[3] = char(0xC0); // mono
    QByteArray out;
    for (int i = 0; i < frames; ++i)
        out += frame;
    return out;
}

// Writes bits most significant first.
class BitWriter
{
public:
    void put(quint32 value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            m_byte = quint8((m_byte << 1) | ((value >> i) & 1));
            if (++m_count == 8) {
                m_bytes += char(m_byte);
                m_byte = 0;
                m_count = 0;
            }
        }
    }
    void put(const char *bits)
    {
        for (const char *b = bits; *b; ++b)
            put(*b == '1' ? 1 : 0, 1);
    }
    // Pads with zeros to the next byte.
    QByteArray bytes()
    {
        while (m_count)
            put(0, 1);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint8 m_byte = 0;
    int m_count = 0;
};

// One picture of MPEG-1 video, every pixel of one colour: intra macroblocks whose blocks hold
// their DC coefficient alone, the first of each slice giving the difference from mid-grey.
inline QByteArray mpeg1Picture(int width, int height, int temporal, const QColor &colour)
{
    const int y =
        qBound(-127, int(0.299 * colour.red() + 0.587 * colour.green() + 0.114 * colour.blue()) - 128, 127);
    const int cb =
        qBound(-127, int(-0.169 * colour.red() - 0.331 * colour.green() + 0.5 * colour.blue()), 127);
    const int cr =
        qBound(-127, int(0.5 * colour.red() - 0.419 * colour.green() - 0.081 * colour.blue()), 127);
    static const char *const lumaSizes[] = {"100",  "00",    "01",     "101",    "110",
                                            "1110", "11110", "111110", "1111110"};
    static const char *const chromaSizes[] = {"00",    "01",     "10",      "110",     "1110",
                                              "11110", "111110", "1111110", "11111110"};
    auto dc = [](BitWriter &w, int diff, const char *const *sizes) {
        int size = 0;
        while ((1 << size) <= std::abs(diff))
            ++size;
        w.put(sizes[size]);
        if (size)
            w.put(quint32(diff > 0 ? diff : diff + (1 << size) - 1), size);
        w.put("10"); // end of block
    };
    QByteArray out = QByteArray::fromHex("00000100");
    BitWriter header;
    header.put(quint32(temporal), 10);
    header.put(1, 3);       // an intra picture
    header.put(0xFFFF, 16); // vbv delay
    header.put(0, 1);
    out += header.bytes();
    for (int row = 0; row < height / 16; ++row) {
        out += QByteArray::fromHex("000001") + char(row + 1);
        BitWriter slice;
        slice.put(8, 5); // quantiser scale
        slice.put(0, 1);
        for (int column = 0; column < width / 16; ++column) {
            const bool first = column == 0;
            slice.put("1"); // address increment 1
            slice.put("1"); // intra
            for (int block = 0; block < 4; ++block)
                dc(slice, first && block == 0 ? y : 0, lumaSizes);
            dc(slice, first ? cb : 0, chromaSizes);
            dc(slice, first ? cr : 0, chromaSizes);
        }
        out += slice.bytes();
    }
    return out;
}

// A 90 kHz time stamp in the five bytes of a pack header or a packet (`prefix` its first nibble).
inline QByteArray timeStamp(quint64 t, quint8 prefix)
{
    QByteArray b;
    b += char((prefix << 4) | ((t >> 29) & 0x0E) | 1);
    b += char((t >> 22) & 0xFF);
    b += char(((t >> 14) & 0xFE) | 1);
    b += char((t >> 7) & 0xFF);
    b += char(((t << 1) & 0xFE) | 1);
    return b;
}

// An MPEG-1 program stream at 25 pictures a second, one picture of each colour, each in a
// pack of its own.
inline QByteArray mpeg1Video(int width, int height, const QList<QColor> &pictures)
{
    BitWriter sequence;
    sequence.put(quint32(width), 12);
    sequence.put(quint32(height), 12);
    sequence.put(1, 4);     // square pixels
    sequence.put(3, 4);     // 25 pictures a second
    sequence.put(2500, 18); // 1 Mbit/s
    sequence.put(1, 1);
    sequence.put(20, 10); // buffer
    sequence.put(0, 3);
    BitWriter gop;
    gop.put(0, 25); // time code
    gop.put(1, 1);  // closed
    gop.put(0, 1);
    const QByteArray start =
        QByteArray::fromHex("000001b3") + sequence.bytes() + QByteArray::fromHex("000001b8") + gop.bytes();
    QByteArray out;
    const quint64 first = 45000;
    for (int i = 0; i < pictures.size(); ++i) {
        const quint64 pts = first + quint64(i) * 3600;
        out += QByteArray::fromHex("000001ba") + timeStamp(pts - 3600, 2) + QByteArray::fromHex("8013 89");
        QByteArray payload = (i == 0 ? start : QByteArray()) + mpeg1Picture(width, height, i, pictures[i]);
        if (i + 1 == pictures.size())
            payload += QByteArray::fromHex("000001b7");
        const QByteArray head = timeStamp(pts, 2);
        out += QByteArray::fromHex("000001e0");
        const int length = int(head.size() + payload.size());
        out += char(length >> 8);
        out += char(length & 0xFF);
        out += head + payload;
    }
    return out + QByteArray::fromHex("000001b9");
}

} // namespace fixtures
