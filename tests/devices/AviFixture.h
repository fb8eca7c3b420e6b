// A small Motion-JPEG AVI written byte by byte: each frame a JPEG of one colour, so a test
// can tell which frame came back.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QtEndian>

namespace fixtures {

inline void le32(QByteArray &b, quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}

inline void le16(QByteArray &b, quint16 v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    b.append(bytes, 2);
}

inline QByteArray chunk(const char *id, const QByteArray &data)
{
    QByteArray b(id, 4);
    le32(b, quint32(data.size()));
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
    le32(avih, quint32(1000000 / fps)); // microseconds a frame
    le32(avih, 0);                      // max bytes a second
    le32(avih, 0);                      // padding granularity
    le32(avih, 0x10);                   // has an index
    le32(avih, quint32(frames.size()));
    le32(avih, 0);
    le32(avih, 1); // streams
    le32(avih, 0);
    le32(avih, quint32(width));
    le32(avih, quint32(height));
    for (int i = 0; i < 4; ++i)
        le32(avih, 0);
    QByteArray strh("vidsMJPG", 8);
    le32(strh, 0); // flags
    le16(strh, 0);
    le16(strh, 0);
    le32(strh, 0); // initial frames
    le32(strh, 1); // scale
    le32(strh, quint32(fps));
    le32(strh, 0); // start
    le32(strh, quint32(frames.size()));
    le32(strh, 0);
    le32(strh, 0xFFFFFFFF); // quality
    le32(strh, 0);
    le16(strh, 0);
    le16(strh, 0);
    le16(strh, quint16(width));
    le16(strh, quint16(height));
    QByteArray strf;
    le32(strf, 40);
    le32(strf, quint32(width));
    le32(strf, quint32(height));
    le16(strf, 1);
    le16(strf, 24);
    strf += QByteArray("MJPG", 4);
    le32(strf, quint32(width * height * 3));
    for (int i = 0; i < 4; ++i)
        le32(strf, 0);
    const QByteArray hdrl =
        list("hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf)));
    QByteArray movi("movi", 4), idx1;
    for (const QByteArray &jpeg : jpegs) {
        idx1 += QByteArray("00dc", 4);
        le32(idx1, 0x10); // key frame
        le32(idx1, quint32(movi.size()));
        le32(idx1, quint32(jpeg.size()));
        movi += chunk("00dc", jpeg);
    }
    const QByteArray body = QByteArray("AVI ", 4) + hdrl + chunk("LIST", movi) + chunk("idx1", idx1);
    return chunk("RIFF", body);
}

} // namespace fixtures
