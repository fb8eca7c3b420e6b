#include "ImageWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTransform>

namespace vk {

TImageWindow::TImageWindow(QWidget *parent) : QAbstractScrollArea(parent)
{
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TImageWindow::setImageType(int type)
{
    if (type >= itAuto && type <= itTiff)
        m_imageType = type;
}

bool TImageWindow::setImageName(const QString &name)
{
    m_imageName = name;
    if (name.isEmpty()) {
        setPicture(QImage());
        m_lastError.clear();
        emit OnPostLoad();
        return true;
    }
    const QString path =
        m_imagePath.isEmpty() || QFileInfo(name).isAbsolute() ? name : QDir(m_imagePath).filePath(name);
    QImage image;
    QString error;
    const bool loaded = loadImage(path, image, &error, m_imageType);
    setPicture(image);
    if (loaded && !hasPicture())
        error = QStringLiteral("There is not enough memory to show the picture \"%1\".")
                    .arg(QDir::toNativeSeparators(path));
    m_lastError = hasPicture() ? QString() : error;
    emit OnPostLoad();
    return hasPicture();
}

bool TImageWindow::LoadFromImage(const QImage &image)
{
    if (image.isNull())
        return fail(QStringLiteral("There is no picture to show."));
    m_imageName.clear();
    setPicture(image);
    if (!hasPicture())
        return fail(QStringLiteral("There is not enough memory to show the picture."));
    m_lastError.clear();
    emit OnPostLoad();
    return true;
}

void TImageWindow::Clear()
{
    m_imageName.clear();
    setPicture(QImage());
}

bool TImageWindow::SaveImage(const QString &path, int format, int parameter)
{
    if (!hasPicture())
        return fail(QStringLiteral("There is no picture to save."));
    QString error;
    if (!saveImage(m_picture, path, format, parameter, &error))
        return fail(error);
    m_lastError.clear();
    return true;
}

double TImageWindow::ScaleX() const
{
    if (!hasPicture())
        return 1.0;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return m_zoom.scale(m_picture.size(), maximumViewportSize(), m_showVertScroll ? bar : 0,
                        m_showHorzScroll ? bar : 0);
}

void TImageWindow::setZoomFactor(double factor)
{
    relayoutAround([&] { m_zoom.setZoomFactor(factor); });
}

void TImageWindow::setFitStyle(int style)
{
    relayoutAround([&] { m_zoom.setFitStyle(style); });
}

void TImageWindow::zoomIn()
{
    const double shown = ScaleX();
    relayoutAround([&] { m_zoom.zoomIn(shown); });
}

void TImageWindow::zoomOut()
{
    const double shown = ScaleX();
    relayoutAround([&] { m_zoom.zoomOut(shown); });
}

void TImageWindow::ResetZoom()
{
    relayoutAround([&] { m_zoom.reset(); });
}

bool TImageWindow::Rotate(int degrees)
{
    if (!hasPicture())
        return fail(QStringLiteral("There is no picture to turn."));
    const int angle = ((degrees % 360) + 360) % 360;
    if (angle % 90 != 0)
        return fail(QStringLiteral("A picture turns by 90, 180 or 270 degrees only."));
    if (angle != 0) {
        // Quarter turns are exact in Qt: pixels move, none are resampled.
        const QImage turned = m_picture.transformed(QTransform().rotate(angle));
        if (turned.isNull())
            return fail(QStringLiteral("There is not enough memory to turn the picture."));
        m_picture = turned;
        pictureReshaped();
    }
    m_lastError.clear();
    return true;
}

bool TImageWindow::Flip(bool horizontal)
{
    if (!hasPicture())
        return fail(QStringLiteral("There is no picture to mirror."));
    const QImage mirrored = m_picture.mirrored(horizontal, !horizontal);
    if (mirrored.isNull())
        return fail(QStringLiteral("There is not enough memory to mirror the picture."));
    m_picture = mirrored;
    pictureReshaped();
    m_lastError.clear();
    return true;
}

void TImageWindow::setSelectionEnabled(bool enabled)
{
    m_selectionEnabled = enabled;
    m_dragging = false;
    viewport()->setCursor(enabled ? Qt::CrossCursor : Qt::ArrowCursor);
    if (!enabled)
        clearSelection();
}

void TImageWindow::setSelection(const QRect &rect)
{
    QRect kept = rect.normalized() & m_picture.rect();
    if (kept.isEmpty())
        kept = QRect();
    if (kept == m_selection)
        return;
    m_selection = kept;
    viewport()->update();
    emit selectionChanged(m_selection);
}

bool TImageWindow::Crop()
{
    if (!hasPicture())
        return fail(QStringLiteral("There is no picture to crop."));
    if (m_selection.isEmpty())
        return fail(QStringLiteral("Select the part of the picture to keep first."));
    const QImage part = m_picture.copy(m_selection);
    if (part.isNull())
        return fail(QStringLiteral("There is not enough memory to crop the picture."));
    m_picture = part;
    pictureReshaped();
    m_lastError.clear();
    return true;
}

void TImageWindow::setShowHorzScroll(bool show)
{
    m_showHorzScroll = show;
    setHorizontalScrollBarPolicy(show ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    updateScrollBars();
}

void TImageWindow::setShowVertScroll(bool show)
{
    m_showVertScroll = show;
    setVerticalScrollBarPolicy(show ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    updateScrollBars();
}

void TImageWindow::setBackGroundColor(const QColor &color)
{
    m_backGroundColor = color;
    viewport()->update();
}

bool TImageWindow::DrawTo(QPainter &painter, const QRect &destination, const QRect &source, int mode) const
{
    if (!hasPicture())
        return fail(QStringLiteral("There is no picture to draw."));
    const QRect from = source.isNull() ? m_picture.rect() : source.normalized() & m_picture.rect();
    if (from.isEmpty() || destination.isEmpty())
        return fail(QStringLiteral("There is nothing to draw: the rectangle is empty."));
    QRectF to = destination;
    if (mode == dmKeepAspect) {
        const double scale = qMin(to.width() / from.width(), to.height() / from.height());
        const QSizeF size(from.width() * scale, from.height() * scale);
        to = QRectF(to.center() - QPointF(size.width() / 2, size.height() / 2), size);
    } else if (mode != dmStretch) {
        return fail(QStringLiteral("%1 is not a way of drawing a picture.").arg(mode));
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(to, m_picture, QRectF(from));
    painter.restore();
    m_lastError.clear();
    return true;
}

void TImageWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), m_backGroundColor);
    if (!hasPicture())
        return;
    const QRect target = pictureRect();
    const QRect exposed = event->rect() & target;
    if (exposed.isEmpty())
        return;
    const double sx = double(target.width()) / m_picture.width();
    const double sy = double(target.height()) / m_picture.height();
    // Only the exposed part is scaled: a large picture zoomed in stays cheap to paint.
    const QRectF source((exposed.x() - target.x()) / sx, (exposed.y() - target.y()) / sy,
                        exposed.width() / sx, exposed.height() / sy);
    // Smooth when shrinking; when enlarging, the person zooms in to see the pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, sx < 1.0);
    painter.drawImage(QRectF(exposed), m_picture, source);
    if (!m_selection.isEmpty()) {
        const QRectF band(target.x() + m_selection.x() * sx, target.y() + m_selection.y() * sy,
                          m_selection.width() * sx - 1, m_selection.height() * sy - 1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(band);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(band);
    }
}

void TImageWindow::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TImageWindow::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TImageWindow::mousePressEvent(QMouseEvent *event)
{
    if (!m_selectionEnabled || !hasPicture() || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_anchor = toPicture(event->position().toPoint());
    clearSelection();
    event->accept();
}

void TImageWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint corner = toPicture(event->position().toPoint());
    setSelection(QRect(QPoint(qMin(m_anchor.x(), corner.x()), qMin(m_anchor.y(), corner.y())),
                       QSize(qAbs(corner.x() - m_anchor.x()), qAbs(corner.y() - m_anchor.y()))));
    event->accept();
}

void TImageWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    mouseMoveEvent(event);
    m_dragging = false;
}

void TImageWindow::setPicture(const QImage &image)
{
    // Kept in the formats Qt paints fastest, since every repaint scales from it.
    m_picture = image.isNull()
                    ? QImage()
                    : image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                    : QImage::Format_RGB32);
    pictureReshaped();
}

void TImageWindow::pictureReshaped()
{
    m_dragging = false;
    if (!m_selection.isNull()) {
        m_selection = QRect();
        emit selectionChanged(m_selection);
    }
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    updateScrollBars();
}

bool TImageWindow::fail(const QString &text) const
{
    m_lastError = text;
    return false;
}

template <typename Change> void TImageWindow::relayoutAround(Change change)
{
    // The picture point in the middle of the view stays there through a change of scale.
    const QRect before = pictureRect();
    const QPointF middle(viewport()->width() / 2.0, viewport()->height() / 2.0);
    const double oldScale = ScaleX();
    const QPointF anchor = (middle - QPointF(before.topLeft())) / oldScale;
    change();
    updateScrollBars();
    if (!hasPicture())
        return;
    const double newScale = ScaleX();
    horizontalScrollBar()->setValue(qRound(anchor.x() * newScale - middle.x()));
    verticalScrollBar()->setValue(qRound(anchor.y() * newScale - middle.y()));
    viewport()->update();
}

void TImageWindow::updateScrollBars()
{
    const QSize shown = shownSize();
    const QSize view = viewport()->size();
    QScrollBar *across = horizontalScrollBar();
    QScrollBar *down = verticalScrollBar();
    across->setRange(0, qMax(0, shown.width() - view.width()));
    across->setPageStep(qMax(1, view.width()));
    across->setSingleStep(qMax(1, view.width() / 20));
    down->setRange(0, qMax(0, shown.height() - view.height()));
    down->setPageStep(qMax(1, view.height()));
    down->setSingleStep(qMax(1, view.height() / 20));
    viewport()->update();
}

QSize TImageWindow::shownSize() const
{
    if (!hasPicture())
        return QSize(0, 0);
    const double scale = ScaleX();
    return QSize(qMax(1, qRound(m_picture.width() * scale)), qMax(1, qRound(m_picture.height() * scale)));
}

QRect TImageWindow::pictureRect() const
{
    // A picture smaller than the view sits in its middle; a larger one scrolls.
    const QSize shown = shownSize();
    const QSize view = viewport()->size();
    const int x =
        shown.width() < view.width() ? (view.width() - shown.width()) / 2 : -horizontalScrollBar()->value();
    const int y =
        shown.height() < view.height() ? (view.height() - shown.height()) / 2 : -verticalScrollBar()->value();
    return QRect(QPoint(x, y), shown);
}

QPoint TImageWindow::toPicture(const QPoint &viewportPoint) const
{
    const QRect target = pictureRect();
    if (target.isEmpty())
        return QPoint();
    const double sx = double(target.width()) / m_picture.width();
    const double sy = double(target.height()) / m_picture.height();
    return QPoint(qBound(0, qRound((viewportPoint.x() - target.x()) / sx), m_picture.width()),
                  qBound(0, qRound((viewportPoint.y() - target.y()) / sy), m_picture.height()));
}

} // namespace vk
