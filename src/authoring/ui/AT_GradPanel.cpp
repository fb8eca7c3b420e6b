#include "AT_GradPanel.h"

#include <QPainter>

#include <cstdlib>

namespace vk {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return 0;
    const qint64 n = qint64(a) * b;
    const qint64 q = n / c, r = n % c;
    // Round half away from zero: compare twice the remainder with the divisor.
    if (2 * std::llabs(r) >= std::llabs(qint64(c)))
        return int(q + (((n < 0) != (c < 0)) ? -1 : 1));
    return int(q);
}

QColor resolveColor(ColorValue color, const QPalette &palette)
{
    if (color == clNone)
        return Qt::transparent;
    const quint32 v = quint32(color);
    if (v & 0x80000000u) {
        // The desktop's system colours, as this desktop's palette has them.
        static const QPalette::ColorRole roles[] = {QPalette::Button,
                                                    QPalette::Window,
                                                    QPalette::Highlight,
                                                    QPalette::Mid,
                                                    QPalette::Window,
                                                    QPalette::Base,
                                                    QPalette::Shadow,
                                                    QPalette::WindowText,
                                                    QPalette::Text,
                                                    QPalette::HighlightedText,
                                                    QPalette::Button,
                                                    QPalette::Button,
                                                    QPalette::Dark,
                                                    QPalette::Highlight,
                                                    QPalette::HighlightedText,
                                                    QPalette::Button,
                                                    QPalette::Dark,
                                                    QPalette::PlaceholderText,
                                                    QPalette::ButtonText,
                                                    QPalette::Text,
                                                    QPalette::Light,
                                                    QPalette::Shadow,
                                                    QPalette::Midlight,
                                                    QPalette::ToolTipText,
                                                    QPalette::ToolTipBase};
        const quint32 n = v & 0xFF;
        return n < sizeof(roles) / sizeof(roles[0]) ? palette.color(roles[n])
                                                    : palette.color(QPalette::Window);
    }
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

TGradientPanel::TGradientPanel(QWidget *parent) : QWidget(parent)
{
    resize(105, 105);
}

void TGradientPanel::setBeginColor(ColorValue c)
{
    m_begin = c;
    update();
}

void TGradientPanel::setEndColor(ColorValue c)
{
    m_end = c;
    update();
}

void TGradientPanel::setFillDirection(TFillDirection d)
{
    if (d == m_direction)
        return;
    m_direction = d;
    update();
}

void TGradientPanel::setNumberOfColors(int n)
{
    m_colors = std::clamp(n, 1, 255);
    update();
}

void TGradientPanel::setAutoSize(bool on)
{
    m_autoSize = on;
    update();
}

void TGradientPanel::ClearPicture()
{
    Picture = QImage();
    update();
}

void TGradientPanel::renderGradient(QPainter &p, QSize size, QColor begin, QColor end,
                                    TFillDirection direction, int colors)
{
    const int n = std::clamp(colors, 1, 255);
    const bool reversed = direction == fdBottomToTop || direction == fdRightToLeft;
    const QColor start = reversed ? end : begin, finish = reversed ? begin : end;
    const int dr = finish.red() - start.red(), dg = finish.green() - start.green(),
              db = finish.blue() - start.blue();
    const bool vertical = direction == fdTopToBottom || direction == fdBottomToTop;
    const int w = size.width(), h = size.height();
    for (int i = 0; i < n; ++i) {
        QColor band = start;
        if (n >= 2)
            band = QColor(start.red() + MulDiv(i, dr, n - 1), start.green() + MulDiv(i, dg, n - 1),
                          start.blue() + MulDiv(i, db, n - 1));
        const QRect r = vertical ? QRect(QPoint(0, MulDiv(i, h, n)), QPoint(w - 1, MulDiv(i + 1, h, n) - 1))
                                 : QRect(QPoint(MulDiv(i, w, n), 0), QPoint(MulDiv(i + 1, w, n) - 1, h - 1));
        if (r.isValid())
            p.fillRect(r, band);
    }
}

void TGradientPanel::drawPicture(QPainter &p, QSize size, const QImage &picture, int style)
{
    if (picture.isNull())
        return;
    const int w = size.width(), h = size.height(), pw = picture.width(), ph = picture.height();
    switch (style) {
    case 0:
        // Division truncating toward zero: a picture wider than the panel is cut on both sides.
        p.drawImage(QPoint((w - pw) / 2, (h - ph) / 2), picture);
        break;
    case 1:
        p.drawImage(QRect(0, 0, w, h), picture);
        break;
    case 2:
        for (int c = 0; c <= w / pw; ++c)
            for (int r = 0; r <= h / ph; ++r)
                p.drawImage(QPoint(c * pw, r * ph), picture);
        break;
    default:
        break;
    }
}

QImage TGradientPanel::render(QSize size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    renderGradient(p, size, resolveColor(m_begin, palette()), resolveColor(m_end, palette()), m_direction,
                   m_colors);
    drawPicture(p, size, Picture, PictureStyle);
    return image;
}

void TGradientPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    renderGradient(p, size(), resolveColor(m_begin, palette()), resolveColor(m_end, palette()), m_direction,
                   m_colors);
    drawPicture(p, size(), Picture, PictureStyle);
}

} // namespace vk
