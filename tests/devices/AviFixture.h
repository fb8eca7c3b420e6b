// A small Motion-JPEG AVI written byte by byte: each frame a JPEG of one colour, so a test
// can tell which frame came back.
#pragma once

#include "PictureFixtures.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>

namespace fixtures {

inline QByteArray chunk(const char *id, const QByteArray &data)
{
    QByteArray b(id, 4);
    put32(b, quint32(data.size()));
    b += data;
    if (data.size() % 2)
        b += '\0';
    return b;
}

inline QByteArray list(const char *type, const QByteArray &data)
{
    return chunk("LIST", QByteArray(type, 4) + data);
}

inline QByteArray mjpegAvi(int width, int height, const QList<QColor> &frames, int fps = 10)
{
    QList<QByteArray> jpegs;
    for (const QColor &colour : frames) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 90);
        jpegs.append(bytes);
    }
    QByteArray avih;
    put32(avih, quint32(1000000 / fps)); // microseconds a frame
    put32(avih, 0);                      // max bytes a second
    put32(avih, 0);                      // padding granularity
    put32(avih, 0x10);                   // has an index
    put32(avih, quint32(frames.size()));
    put32(avih, 0);
    put32(avih, 1); // streams
    put32(avih, 0);
    put32(avih, quint32(width));
    put32(avih, quint32(height));
    for (int i = 0; i < 4; ++i)
        put32(avih, 0);
    QByteArray strh("vidsMJPG", 8);
    put32(strh, 0); // flags
    put16(strh, 0);
    put16(strh, 0);
    put32(strh, 0); // initial frames
    put32(strh, 1); // scale
    put32(strh, quint32(fps));
    put32(strh, 0); // start
    put32(strh, quint32(frames.size()));
    put32(strh, 0);
    put32(strh, 0xFFFFFFFF); // quality
    put32(strh, 0);
    put16(strh, 0);
    put16(strh, 0);
    put16(strh, quint16(width));
    put16(strh, quint16(height));
    QByteArray strf;
    put32(strf, 40);
    put32(strf, quint32(width));
    put32(strf, quint32(height));
    put16(strf, 1);
    put16(strf, 24);
    strf += QByteArray("MJPG", 4);
    put32(strf, quint32(width * height * 3));
    for (int i = 0; i < 4; ++i)
        put32(strf, 0);
    const QByteArray hdrl =
        list("hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf)));
    QByteArray movi("movi", 4), idx1;
    for (const QByteArray &jpeg : jpegs) {
        idx1 += QByteArray("00dc", 4);
        put32(idx1, 0x10); // key frame
        put32(idx1, quint32(movi.size()));
        put32(idx1, quint32(jpeg.size()));
        movi += chunk("00dc", jpeg);
    }
    const QByteArray body = QByteArray("AVI ", 4) + hdrl + chunk("LIST", movi) + chunk("idx1", idx1);
    return chunk("RIFF", body);
}

} // namespace fixtures
