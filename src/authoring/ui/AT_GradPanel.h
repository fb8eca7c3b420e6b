// The gradient panel: every slide background and background preview. A colour gradient in
// bands, with an optional picture over it, centred, stretched or tiled. It renders into a
// QImage as well as onto the screen, so what a slide looks like can be checked pixel by pixel.
#pragma once

#include "ColorText.h"

#include <QImage>
#include <QPalette>
#include <QWidget>

namespace vk {

enum TFillDirection : int
{
    fdTopToBottom = 0,
    fdBottomToTop = 1,
    fdLeftToRight = 2,
    fdRightToLeft = 3,
};

// a·b/c with a 64-bit product, rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c);

// The colour a program colour stands for now: a system colour (0x80000000 + n) through the
// palette; clNone as transparent.
QColor resolveColor(ColorValue color, const QPalette &palette);

class TGradientPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TGradientPanel(QWidget *parent = nullptr);

    ColorValue beginColor() const { return m_begin; }
    ColorValue endColor() const { return m_end; }
    TFillDirection fillDirection() const { return m_direction; }
    int numberOfColors() const { return m_colors; }
    bool autoSize() const { return m_autoSize; }
    void setBeginColor(ColorValue c);
    void setEndColor(ColorValue c);
    void setFillDirection(TFillDirection d);
    // 1..255; other values are brought into that range.
    void setNumberOfColors(int n);
    void setAutoSize(bool on);

    // The picture over the gradient, and how it lies: 0 Center, 1 Full, 2 Tile.
    QImage Picture;
    int PictureStyle = 0;
    void ClearPicture();

    // The panel as it paints at a size.
    QImage render(QSize size) const;
    static void renderGradient(QPainter &p, QSize size, QColor begin, QColor end, TFillDirection direction,
                               int colors);
    static void drawPicture(QPainter &p, QSize size, const QImage &picture, int style);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ColorValue m_begin = 0xFF0000;
    ColorValue m_end = 0xFFFFFF;
    TFillDirection m_direction = fdTopToBottom;
    int m_colors = 255;
    bool m_autoSize = false;
};

} // namespace vk
