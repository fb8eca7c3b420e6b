// The picture window's scale: a fit style or a free zoom factor, and the arithmetic
// that turns them into the scale a picture is shown at. Kept apart from the widget so
// every rule can be checked without showing anything.
#pragma once

#include <QSize>

namespace vk {

// How a picture is fitted to its window.
//  fsNone    the zoom factor alone decides;
//  fsWidth   the picture's width fills the window (height may scroll);
//  fsHeight  the picture's height fills the window (width may scroll);
//  fsWindow  the whole picture fills as much of the window as it can, keeping its
//            proportions, enlarging small pictures too;
//  fsBest    as fsWindow, but a picture that already fits keeps its own size.
// Both directions always share one scale: a picture is never shown distorted.
enum TFitStyle
{
    fsNone = 0,
    fsWidth = 1,
    fsHeight = 2,
    fsWindow = 3,
    fsBest = 4,
};

class ImageZoom
{
public:
    // Scales beyond these show nothing useful and only cost painting time.
    static constexpr double MinScale = 0.01;
    static constexpr double MaxScale = 64.0;
    static constexpr double DefaultIncrement = 25.0;

    TFitStyle fitStyle() const { return m_fitStyle; }
    // Out-of-range values are ignored.
    void setFitStyle(int style);

    double zoomFactor() const { return m_zoomFactor; }
    // Clamped to MinScale..MaxScale; values that are not positive numbers are ignored.
    void setZoomFactor(double factor);

    // Percent added or taken away by one zoom step; values that are not positive
    // numbers are ignored.
    double zoomIncrement() const { return m_zoomIncrement; }
    void setZoomIncrement(double percent);

    // The scale `picture` is shown at in a window whose viewport, without scroll bars,
    // is `area`. A scroll bar's thickness is passed where that bar may appear: fitting
    // the width leaves room for a vertical bar when the height will scroll, and fitting
    // the height likewise for a horizontal one. 1.0 without a picture or a window.
    double scale(QSize picture, QSize area, int verticalBar = 0, int horizontalBar = 0) const;

    // One step in or out from `currentScale` (the scale shown now) under a fit style,
    // from the zoom factor otherwise; either way the window then keeps that zoom
    // factor: the fit style becomes fsNone.
    void zoomIn(double currentScale);
    void zoomOut(double currentScale);

    // Actual size: zoom factor 1.0, no fitting.
    void reset();

private:
    void step(double currentScale, double sign);

    TFitStyle m_fitStyle = fsNone;
    double m_zoomFactor = 1.0;
    double m_zoomIncrement = DefaultIncrement;
};

} // namespace vk
