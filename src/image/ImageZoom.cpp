#include "ImageZoom.h"

#include <QtGlobal>

#include <cmath>

namespace vk {

namespace {

double bounded(double scale)
{
    return qBound(ImageZoom::MinScale, scale, ImageZoom::MaxScale);
}

bool isPositive(double value)
{
    return std::isfinite(value) && value > 0;
}

} // namespace

void ImageZoom::setFitStyle(int style)
{
    if (style >= fsNone && style <= fsBest)
        m_fitStyle = TFitStyle(style);
}

void ImageZoom::setZoomFactor(double factor)
{
    if (isPositive(factor))
        m_zoomFactor = bounded(factor);
}

void ImageZoom::setZoomIncrement(double percent)
{
    if (isPositive(percent))
        m_zoomIncrement = percent;
}

double ImageZoom::scale(QSize picture, QSize area, int verticalBar, int horizontalBar) const
{
    if (picture.width() < 1 || picture.height() < 1)
        return 1.0;
    if (m_fitStyle == fsNone)
        return m_zoomFactor;
    if (area.width() < 1 || area.height() < 1)
        return 1.0;
    const double w = picture.width();
    const double h = picture.height();
    const double across = area.width() / w;
    const double down = area.height() / h;
    switch (m_fitStyle) {
    case fsWidth:
        // The height scrolls when it overflows, and the bar that appears takes its
        // thickness from the width being filled.
        if (h * across > area.height() && verticalBar > 0 && area.width() > verticalBar)
            return bounded((area.width() - verticalBar) / w);
        return bounded(across);
    case fsHeight:
        if (w * down > area.width() && horizontalBar > 0 && area.height() > horizontalBar)
            return bounded((area.height() - horizontalBar) / h);
        return bounded(down);
    case fsWindow:
        return bounded(qMin(across, down));
    case fsBest:
        return bounded(qMin(1.0, qMin(across, down)));
    case fsNone:
        break;
    }
    return m_zoomFactor;
}

void ImageZoom::step(double currentScale, double sign)
{
    double from = m_fitStyle == fsNone ? m_zoomFactor : currentScale;
    if (!isPositive(from))
        from = m_zoomFactor;
    m_zoomFactor = bounded(from * (1.0 + sign * m_zoomIncrement / 100.0));
    m_fitStyle = fsNone;
}

void ImageZoom::zoomIn(double currentScale)
{
    step(currentScale, 1.0);
}

void ImageZoom::zoomOut(double currentScale)
{
    step(currentScale, -1.0);
}

void ImageZoom::reset()
{
    m_zoomFactor = 1.0;
    m_fitStyle = fsNone;
}

} // namespace vk
