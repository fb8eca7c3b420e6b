#include "Icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace vk {

QIcon vkIcon(const QString &name)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it != cache.end())
        return *it;
    QIcon icon;
    for (int size : {16, 22, 32})
        icon.addFile(QStringLiteral(":/vellumark/icons/%1/%2.png").arg(size).arg(name), QSize(size, size));
    cache.insert(name, icon);
    return icon;
}

QIcon applicationIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/vellumark/icons/app/vellumark-48.png"), QSize(48, 48));
    icon.addFile(QStringLiteral(":/vellumark/icons/app/vellumark-128.png"), QSize(128, 128));
    return icon;
}

namespace {

QHash<QString, QPixmap> &typeBitmaps()
{
    static QHash<QString, QPixmap> map;
    return map;
}

} // namespace

void TypeBitmaps::load()
{
    QHash<QString, QPixmap> &map = typeBitmaps();
    if (!map.isEmpty())
        return;
    const std::pair<const char *, const char *> files[] = {{"image", "image"}, {"folder", "folder"},
                                                           {"Video", "video"}, {"Audio", "audio"},
                                                           {"Text2", "text"},  {"Ole", "document"}};
    for (const auto &[name, file] : files)
        map.insert(QLatin1String(name),
                   QPixmap(QStringLiteral(":/vellumark/icons/32/%1.png").arg(QLatin1String(file))));
}

bool TypeBitmaps::loaded()
{
    return !typeBitmaps().isEmpty();
}

QPixmap TypeBitmaps::bitmap(const QString &name)
{
    load();
    return typeBitmaps().value(name);
}

QString TypeBitmaps::nameOfMediaType(int type)
{
    if (type > 0 && type < 99)
        return QStringLiteral("image");
    if (type == 99)
        return QStringLiteral("Text2");
    if (type >= 100 && type < 200)
        return QStringLiteral("Audio");
    if (type >= 200 && type < 300)
        return QStringLiteral("Video");
    if (type == 301)
        return QStringLiteral("folder");
    return QStringLiteral("Ole");
}

namespace {

// Drag cursors: the arrow with a sign of what is carried (one page, several, or a slide
// object) and a plus for a copy. Drawn rather than loaded: they follow the screen's scale.
QCursor dragCursor(bool several, bool slide, bool copy)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1, 1);
    arrow.lineTo(1, 17);
    arrow.lineTo(5, 13);
    arrow.lineTo(8, 20);
    arrow.lineTo(10, 19);
    arrow.lineTo(7, 12);
    arrow.lineTo(12, 12);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawPath(arrow);
    const QColor fill = slide ? QColor(0xfc, 0xe9, 0x4f) : QColor(0xee, 0xee, 0xec);
    p.setPen(QPen(QColor(0x2e, 0x34, 0x36), 1));
    if (several) {
        p.setBrush(fill.darker(115));
        p.drawRect(QRectF(15.5, 15.5, 11, 9));
    }
    p.setBrush(fill);
    p.drawRect(QRectF(12.5, 18.5, 11, 9));
    if (copy) {
        p.setPen(QPen(QColor(0x4e, 0x9a, 0x06), 2));
        p.drawLine(QPointF(27, 22), QPointF(27, 30));
        p.drawLine(QPointF(23, 26), QPointF(31, 26));
    }
    return QCursor(pm, 1, 1);
}

QHash<int, QCursor> &cursorTable()
{
    static QHash<int, QCursor> table;
    return table;
}

} // namespace

void RegisterCursors()
{
    QHash<int, QCursor> &t = cursorTable();
    if (!t.isEmpty())
        return;
    t.insert(crEmpty, QCursor(Qt::BlankCursor));
    t.insert(crMove, dragCursor(false, false, false));
    t.insert(crCopy, dragCursor(false, false, true));
    t.insert(crMMove, dragCursor(true, false, false));
    t.insert(crMCopy, dragCursor(true, false, true));
    t.insert(crSMove, dragCursor(false, true, false));
    t.insert(crSCopy, dragCursor(false, true, true));
    t.insert(crMSMove, dragCursor(true, true, false));
    t.insert(crMSCopy, dragCursor(true, true, true));
    t.insert(CrHand, QCursor(Qt::PointingHandCursor));
    t.insert(CrPoint, QCursor(Qt::CrossCursor));
}

QCursor vkCursor(int number)
{
    RegisterCursors();
    return cursorTable().value(number, QCursor(Qt::ArrowCursor));
}

} // namespace vk
