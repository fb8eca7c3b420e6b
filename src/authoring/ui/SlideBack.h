// The slide surface: the edited slide's page, its background from the gradient panel, one view
// object per slide object (a picture, the sound icon, a clip's still, a label, a button, a memo,
// a drawn shape) pointing at the model object, and the drawing, selecting, moving and resizing
// of objects with the mouse. The view objects are drawn by the surface, not made of widgets.
#pragma once

#include "AT_GradPanel.h"
#include "PropertyText.h"
#include "SurfaceGeometry.h"

#include <QHash>
#include <QImage>

#include <functional>
#include <memory>

namespace vk {

class EditedSlide;
class TDbObject;
class TDbSlide;

// One slide object as the surface shows it; what it looks like (its decoded properties) the
// model object holds.
// A shape's pen and brush style codes (0 solid …) as the painter draws them.
Qt::PenStyle ShapePenStyle(int code);
Qt::BrushStyle ShapeBrushStyle(int code);

class TDesignVisual
{
public:
    explicit TDesignVisual(TDbObject *object) : Object(object) {}
    TDbObject *Object;
    QImage Picture;         // an image's picture, a clip's first frame
    QSize Natural;          // the picture's or the clip's own size
    bool Visible = true;
    double Zoom = 100; // the surface's zoom when the visual was last placed

    QRect rect() const;
    bool hit(QPoint p) const;
    void paint(QPainter &p, double zoom) const;
};

class TSlideBack : public TGradientPanel
{
    Q_OBJECT
public:
    explicit TSlideBack(EditedSlide &edited, QWidget *parent = nullptr);
    ~TSlideBack() override;

    TDbSlide *slide() const { return m_slide; }
    // The surface's zoom (an area percentage) and the timeline cursor (1/100 s).
    double SurfaceZoom = 100;
    int CursorTime = 0;
    bool PlayMode = false;
    // The tool that is down, and the file a media tool places (null: the tool is cancelled).
    std::function<DrawTool()> currentTool;
    std::function<QString(DrawTool)> chooseMediaFile;
    // After an object is drawn the select tool goes down again.
    std::function<void()> toolDone;

    void ShowSlide(TDbSlide *slide);
    void ClearSlide();
    // Every visual made anew from what the model holds (after an undo, say).
    void Rebuild();
    void BuildVisual(TDbObject *o);
    void DestroyVisual(TDbObject *o);
    void HideVisual(TDbObject *o);
    void RefreshVisibility();
    TDesignVisual *visualOf(const TDbObject *o) const;

    // Moves every selected object by (dx, dy) display pixels: part of a drag, or a step of its
    // own.
    void MoveSelection(int dx, int dy);
    // The object on top at a point, null for the background.
    TDbObject *objectAt(QPoint p) const;

    // Makes an object from a band drawn with the tool that is down (tests call it directly).
    TDbObject *drawObject(DrawTool tool, QPoint from, QPoint to, const QList<QPointF> &polygon = {});
    // Selects what a band touches.
    void bandSelect(const QRect &band);

signals:
    // A right press on an object: it is selected (alone, unless it was selected already) and
    // its menu is wanted at that screen point.
    void objectMenuRequested(vk::TDbObject *object, QPoint globalPos);
    // A press while the slide plays: on the object on top there (null: on the background).
    void playPressed(vk::TDbObject *object, Qt::MouseButton button, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // The selection dragged off the surface: carried on as a drag of design objects.
    void dragOut();
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void finishPolygon();

    EditedSlide &m_edited;
    TDbSlide *m_slide = nullptr;
    QHash<const TDbObject *, std::shared_ptr<TDesignVisual>> m_visuals;
    QImage m_background; // the slide's picture at its own size

    // Mouse state.
    QPoint DownPoint;
    QPoint m_bandEnd;
    bool Drawing = false;
    bool m_moving = false;
    Handle m_handle = HandleNone;
    TDbObject *m_handleObject = nullptr;
    QRect m_handleStart;
    QList<QPointF> PolyPoints;
    bool m_polygon = false;
};

} // namespace vk
