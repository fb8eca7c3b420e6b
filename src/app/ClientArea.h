// The frame's client area: the MDI area that holds the child windows, painting the
// frame background behind them, tiled or centred.
#pragma once

#include <QMdiArea>
#include <QPixmap>

#include <functional>

namespace vk {

class TClientArea : public QMdiArea
{
    Q_OBJECT
public:
    explicit TClientArea(QWidget *parent = nullptr);

    // The background picture (BackImage). Hidden, no picture is painted.
    void setBackImage(const QPixmap &picture);
    const QPixmap &backImage() const { return m_backImage; }
    void setBackImageVisible(bool visible);
    bool backImageVisible() const { return m_visible; }
    // 0 tile, 1 centre; any other style paints no picture.
    void setWallPaperStyle(int style);
    int wallPaperStyle() const { return m_style; }

    // Where each copy of the picture goes on a client area of `size`.
    static QList<QPoint> placements(QSize client, QSize picture, int style);

    // A library drag over the background (not over a child window): whether it is taken, and
    // what a drop does. The frame decides both.
    std::function<bool()> acceptsDrop;
    std::function<void()> dropped;

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool takes(const class QDropEvent *event) const;

private:
    QPixmap m_backImage;
    bool m_visible = false;
    int m_style = 0;
};

} // namespace vk
