// TImageWindow: the window that shows one picture, zoomed or fitted, with the
// operations the program offers on it (turn, mirror, select and crop, save, print).
// Loading and saving go through ImageCodec; the scale arithmetic lives in ImageZoom.
#pragma once

#include "ImageCodec.h"
#include "ImageZoom.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

class QPainter;

namespace vk {

class TImageWindow : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // How DrawTo places the source rectangle in the destination.
    enum TDrawMode
    {
        dmStretch = 0,    // fills the destination exactly
        dmKeepAspect = 1, // as large as fits with its proportions kept, centred
    };

    explicit TImageWindow(QWidget *parent = nullptr);

    // The format files are read as (a TImageType; itAuto decides from the content).
    int ImageType() const { return m_imageType; }
    void setImageType(int type);

    // The folder relative picture names are looked up in.
    QString ImagePath() const { return m_imagePath; }
    void setImagePath(const QString &path) { m_imagePath = path; }

    // Loads the picture `name` (under ImagePath when relative) and emits OnPostLoad,
    // whether it loaded or not: a failed load leaves the window empty, with the reason
    // in lastError(). An empty name just empties the window.
    QString ImageName() const { return m_imageName; }
    bool setImageName(const QString &name);

    // Shows `image` as if it had been loaded (a captured frame); emits OnPostLoad.
    bool LoadFromImage(const QImage &image);
    // Removes the picture.
    void Clear();

    // Writes the picture as it now is; format and parameter as for saveImage().
    bool SaveImage(const QString &path, int format, int parameter);

    bool hasPicture() const { return !m_picture.isNull(); }
    const QImage &picture() const { return m_picture; }
    int ImageWidth() const { return m_picture.width(); }
    int ImageHeight() const { return m_picture.height(); }

    // The scale the picture is shown at now (1.0 without a picture). Both directions
    // share it: no fit style distorts the picture.
    double ScaleX() const;
    double ScaleY() const { return ScaleX(); }

    // The zoom factor applies under fsNone; setting it does not end a fit style.
    double ZoomFactor() const { return m_zoom.zoomFactor(); }
    void setZoomFactor(double factor);
    double ZoomIncrement() const { return m_zoom.zoomIncrement(); }
    void setZoomIncrement(double percent) { m_zoom.setZoomIncrement(percent); }
    int FitStyle() const { return m_zoom.fitStyle(); }
    void setFitStyle(int style);
    // One zoom step from what is shown now; both end any fit style.
    void zoomIn();
    void zoomOut();
    // Actual size.
    void ResetZoom();

    // Turns the picture clockwise by 90, 180 or 270 degrees; other angles answer false.
    bool Rotate(int degrees);
    // Mirrors left to right (`horizontal`) or top to bottom.
    bool Flip(bool horizontal);

    // With selection enabled, dragging with the left button selects a rectangle of the
    // picture (in picture pixels).
    bool SelectionEnabled() const { return m_selectionEnabled; }
    void setSelectionEnabled(bool enabled);
    QRect Selection() const { return m_selection; }
    void setSelection(const QRect &rect);
    void clearSelection() { setSelection(QRect()); }
    // Keeps only the selected part of the picture.
    bool Crop();

    bool ShowHorzScroll() const { return m_showHorzScroll; }
    void setShowHorzScroll(bool show);
    bool ShowVertScroll() const { return m_showVertScroll; }
    void setShowVertScroll(bool show);

    QColor BackGroundColor() const { return m_backGroundColor; }
    void setBackGroundColor(const QColor &color);

    // Paints `source` (picture pixels; a null rectangle for the whole picture) into
    // `destination` on `painter`, as for printing. `mode` is a TDrawMode.
    bool DrawTo(QPainter &painter, const QRect &destination, const QRect &source = QRect(),
                int mode = dmStretch) const;

    // Why the last operation failed; empty after one that worked.
    QString lastError() const { return m_lastError; }

signals:
    void OnPostLoad();
    void selectionChanged(const QRect &selection);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setPicture(const QImage &image);
    bool fail(const QString &text) const;
    // After a turn, mirror or crop: no selection, back to the top left corner.
    void pictureReshaped();
    // Applies a change of scale, keeping the picture point at the centre of the view.
    template <typename Change> void relayoutAround(Change change);
    void updateScrollBars();
    QSize shownSize() const;
    QRect pictureRect() const;
    // The picture corner (0..width, 0..height) under a viewport point.
    QPoint toPicture(const QPoint &viewportPoint) const;

    QImage m_picture;
    QString m_imagePath;
    QString m_imageName;
    int m_imageType = itAuto;
    ImageZoom m_zoom;
    bool m_selectionEnabled = false;
    QRect m_selection;
    bool m_dragging = false;
    QPoint m_anchor;
    bool m_showHorzScroll = true;
    bool m_showVertScroll = true;
    QColor m_backGroundColor = Qt::gray;
    mutable QString m_lastError;
};

} // namespace vk
