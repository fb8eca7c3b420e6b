// Shrinks a picture to a thumbnail row by row, each thumbnail pixel the average of the
// source pixels it covers. Needs memory for one thumbnail row of sums only, so a reader that
// produces rows one at a time never holds the whole picture, and a picture already read is
// shrunk without the full-size 32-bit copy QImage's own smooth scaling makes of any other
// format. Internal to the image component.
#pragma once

#include <QImage>
#include <QSize>
#include <QVector>
#include <QtGlobal>

#include <vector>

namespace vk {

class PictureReducer
{
public:
    // `target` must be no larger than `source` either way.
    PictureReducer(QSize source, QSize target);

    // The next source row, as source().width() pixels of premultiplied ARGB.
    void addRow(const QRgb *premultiplied);
    // The next rows, from a picture of any format and of the source's width.
    void addRows(const QImage &rows);

    // The thumbnail, once every source row was added: RGB32 when every pixel added was
    // opaque, ARGB32 otherwise.
    QImage result();

    // `image` reduced to `target` (a size no larger than it either way) a strip at a time.
    static QImage reduce(const QImage &image, QSize target);

private:
    void flushRow();

    QSize m_source, m_target;
    std::vector<int> m_columnOf;   // the thumbnail column of each source column
    std::vector<quint64> m_sums;   // a, r, g, b of each thumbnail column in the current row
    std::vector<quint32> m_across; // source columns in each thumbnail column
    int m_row = 0;                 // source rows added
    int m_rowsInBand = 0;          // of them, in the thumbnail row being summed
    int m_band = 0;                // that thumbnail row
    bool m_opaque = true;
    QImage m_out;
};

} // namespace vk
