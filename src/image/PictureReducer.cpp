#include "PictureReducer.h"

#include <algorithm>

namespace vk {

PictureReducer::PictureReducer(QSize source, QSize target) : m_source(source), m_target(target)
{
    const int width = source.width();
    const int across = target.width();
    m_columnOf.resize(size_t(width));
    m_across.assign(size_t(across), 0);
    for (int x = 0; x < width; ++x) {
        const int column = int(qint64(x) * across / width);
        m_columnOf[size_t(x)] = column;
        ++m_across[size_t(column)];
    }
    m_sums.assign(size_t(across) * 4, 0);
    m_out = QImage(target, QImage::Format_ARGB32_Premultiplied);
    if (!m_out.isNull())
        m_out.fill(Qt::transparent);
}

void PictureReducer::addRow(const QRgb *premultiplied)
{
    if (m_row >= m_source.height() || m_out.isNull())
        return;
    const int band = int(qint64(m_row) * m_target.height() / m_source.height());
    if (band != m_band) {
        flushRow();
        m_band = band;
    }
    quint32 all = 0xFFFFFFFFu;
    const int width = m_source.width();
    for (int x = 0; x < width; ++x) {
        const QRgb v = premultiplied[x];
        all &= v;
        quint64 *sum = &m_sums[size_t(m_columnOf[size_t(x)]) * 4];
        sum[0] += qAlpha(v);
        sum[1] += qRed(v);
        sum[2] += qGreen(v);
        sum[3] += qBlue(v);
    }
    if (qAlpha(all) != 255)
        m_opaque = false;
    ++m_rowsInBand;
    ++m_row;
}

void PictureReducer::addRows(const QImage &rows)
{
    const QImage::Format format = rows.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied) {
        for (int y = 0; y < rows.height(); ++y)
            addRow(reinterpret_cast<const QRgb *>(rows.constScanLine(y)));
        return;
    }
    if (format == QImage::Format_ARGB32) {
        QVector<QRgb> line(rows.width());
        for (int y = 0; y < rows.height(); ++y) {
            const QRgb *in = reinterpret_cast<const QRgb *>(rows.constScanLine(y));
            for (int x = 0; x < rows.width(); ++x)
                line[x] = qPremultiply(in[x]);
            addRow(line.constData());
        }
        return;
    }
    addRows(rows.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void PictureReducer::flushRow()
{
    if (m_rowsInBand == 0)
        return;
    QRgb *line = reinterpret_cast<QRgb *>(m_out.scanLine(m_band));
    for (int c = 0; c < m_target.width(); ++c) {
        quint64 *sum = &m_sums[size_t(c) * 4];
        const quint64 n = quint64(m_across[size_t(c)]) * quint64(m_rowsInBand);
        if (n > 0) {
            auto mean = [n](quint64 s) { return int((s + n / 2) / n); };
            line[c] = qRgba(mean(sum[1]), mean(sum[2]), mean(sum[3]), mean(sum[0]));
        }
        std::fill(sum, sum + 4, 0);
    }
    m_rowsInBand = 0;
}

QImage PictureReducer::result()
{
    flushRow();
    if (m_out.isNull())
        return m_out;
    return m_out.convertToFormat(m_opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
}

QImage PictureReducer::reduce(const QImage &image, QSize target)
{
    PictureReducer reducer(image.size(), target);
    const QImage::Format format = image.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied ||
        format == QImage::Format_ARGB32) {
        reducer.addRows(image);
    } else {
        // Other formats are converted a strip at a time, never as a whole.
        constexpr int Strip = 32;
        for (int y = 0; y < image.height(); y += Strip)
            reducer.addRows(image.copy(0, y, image.width(), qMin(Strip, image.height() - y)));
    }
    return reducer.result();
}

} // namespace vk
