#include "AT_DrawAttribute.h"

#include "AT_GradPanel.h"
#include "ObjectKinds.h"
#include "SlideBack.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace vk {

namespace {

constexpr QSize ItemSize(60, 14);
const QColor PenSampleColor(0, 128, 128);

// The word a list shows in place of a drawn sample when the style draws nothing.
QPixmap transparentItem()
{
    QPixmap pm(ItemSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    QFont f = p.font();
    f.setPointSize(8);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Transparent"));
    return pm;
}

QPixmap brushItem(int style)
{
    if (style == 1)
        return transparentItem();
    QPixmap pm(ItemSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.setBrush(QBrush(Qt::white, ShapeBrushStyle(style)));
    p.fillRect(pm.rect().adjusted(1, 1, -1, -1), Qt::black);
    p.drawRect(pm.rect().adjusted(1, 1, -2, -2));
    return pm;
}

QPixmap penItem(int style)
{
    if (style == 5)
        return transparentItem();
    QPixmap pm(ItemSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(PenSampleColor, 1, ShapePenStyle(style)));
    p.drawLine(2, ItemSize.height() / 2, ItemSize.width() - 3, ItemSize.height() / 2);
    return pm;
}

QPixmap widthItem(int width)
{
    QPixmap pm(ItemSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(2, ItemSize.height() / 2, ItemSize.width() - 3, ItemSize.height() / 2);
    return pm;
}

// A line with a 9 × 6 head at the right (1), the left (2) or both ends (3).
QPixmap arrowItem(int arrow)
{
    QPixmap pm(ItemSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const int y = ItemSize.height() / 2, l = 2, r = ItemSize.width() - 3;
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(l, y, r, y);
    p.setBrush(Qt::black);
    auto head = [&](int tip, int dir) {
        QPainterPath path;
        path.moveTo(tip, y);
        path.lineTo(tip - dir * 9, y - 3);
        path.lineTo(tip - dir * 9, y + 3);
        path.closeSubpath();
        p.drawPath(path);
    };
    if (arrow & 1)
        head(r, 1);
    if (arrow & 2)
        head(l, -1);
    return pm;
}

// The "Sample :" shape: the choice so far, filling its panel.
class SampleShape : public QWidget
{
public:
    SampleShape(const ObjectProperties *shown, QWidget *parent) : QWidget(parent), m_shown(shown)
    {
        setMinimumSize(90, 70);
        setObjectName(QStringLiteral("Sample"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const ObjectProperties &s = *m_shown;
        p.setPen(s.PenStyle == 5 ? QPen(Qt::NoPen)
                                 : QPen(resolveColor(s.PenColor, palette()), std::max(1, s.PenWidth),
                                        ShapePenStyle(s.PenStyle)));
        p.setBrush(QBrush(resolveColor(s.BrushColor, palette()), ShapeBrushStyle(s.BrushStyle)));
        const int m = 6 + std::max(1, s.PenWidth) / 2;
        p.drawRect(rect().adjusted(m, m, -m - 1, -m - 1));
    }

private:
    const ObjectProperties *m_shown;
};

QComboBox *drawnList(const char *name, int count, const std::function<QPixmap(int)> &item,
                     const QStringList &names)
{
    auto *box = new QComboBox;
    box->setObjectName(QLatin1String(name));
    box->setIconSize(ItemSize);
    for (int i = 0; i < count; ++i) {
        box->addItem(QIcon(item(i)), QString());
        box->setItemData(i, names.value(i), Qt::ToolTipRole);
        box->setItemData(i, names.value(i), Qt::AccessibleTextRole);
    }
    return box;
}

void showColor(QPushButton *b, std::optional<ColorValue> c)
{
    QPixmap pm(14, 14);
    pm.fill(c ? resolveColor(*c, QPalette()) : QColor(Qt::transparent));
    if (!c) {
        QPainter p(&pm);
        p.drawRect(0, 0, 13, 13);
    }
    b->setIcon(QIcon(pm));
}

} // namespace

TDrawAttributeFrm::TDrawAttributeFrm(const QList<TDbObject *> &shapes, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Graphic Attribute"));
    QList<TDbObject *> drawn;
    for (TDbObject *o : shapes)
        if (o && isShapeKind(o->kind()))
            drawn.append(o);
    m_several = drawn.size() != 1;
    // Several shapes: a solid sample of pen width 1, nothing chosen.
    m_shown = ObjectProperties();
    if (!m_several) {
        m_shown = drawn.first()->Props;
        m_penColor = m_shown.PenColor;
        m_brushColor = m_shown.BrushColor;
    }

    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    layout->addLayout(left);

    auto *brush = new QGroupBox(QStringLiteral("Brush"));
    auto *brushForm = new QFormLayout(brush);
    brushStyle = drawnList("BrushStyle", 8, brushItem,
                           {"Solid", "Transparent", "Horizontal", "Vertical", "Forward diagonal",
                            "Backward diagonal", "Cross", "Diagonal cross"});
    brushForm->addRow(QStringLiteral("&Style :"), brushStyle);
    brushColorButton = new QPushButton(QStringLiteral("C&olor..."));
    brushColorButton->setObjectName(QStringLiteral("BrushColor"));
    brushForm->addRow(brushColorButton);
    touch = new QCheckBox(QStringLiteral("&Transparent with touch"));
    touch->setObjectName(QStringLiteral("WithTouch"));
    brushForm->addRow(touch);
    left->addWidget(brush);

    auto *pen = new QGroupBox(QStringLiteral("Pen"));
    auto *penForm = new QFormLayout(pen);
    penStyle = drawnList("PenStyle", 7, penItem,
                         {"Solid", "Dash", "Dot", "Dash dot", "Dash dot dot", "Transparent", "Inside frame"});
    penForm->addRow(QStringLiteral("St&yle :"), penStyle);
    penWidth = new QComboBox;
    penWidth->setObjectName(QStringLiteral("PenWidth"));
    penWidth->setIconSize(ItemSize);
    for (int w = 1; w <= 6; ++w)
        penWidth->addItem(QIcon(widthItem(w)), QStringLiteral("%1 Point ").arg(w));
    penForm->addRow(QStringLiteral("&Width :"), penWidth);
    arrow = drawnList("Arrow", 4, arrowItem, {"None", "Head", "Tail", "Both"});
    penForm->addRow(QStringLiteral("&Arrow :"), arrow);
    penColorButton = new QPushButton(QStringLiteral("Co&lor..."));
    penColorButton->setObjectName(QStringLiteral("PenColor"));
    penForm->addRow(penColorButton);
    left->addWidget(pen);

    auto *right = new QVBoxLayout;
    layout->addLayout(right, 1);
    right->addWidget(new QLabel(QStringLiteral("Sample :")));
    sample = new SampleShape(&m_shown, this);
    right->addWidget(sample, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    right->addWidget(buttons);

    if (m_several) {
        for (QComboBox *b : {brushStyle, penStyle, penWidth, arrow})
            b->setCurrentIndex(-1);
    } else {
        brushStyle->setCurrentIndex(m_shown.BrushStyle <= 7 ? m_shown.BrushStyle : -1);
        penStyle->setCurrentIndex(m_shown.PenStyle <= 6 ? m_shown.PenStyle : -1);
        // A width the list does not hold (a wider pen) stays as it is unless one is chosen.
        penWidth->setCurrentIndex(m_shown.PenWidth >= 1 && m_shown.PenWidth <= 6 ? m_shown.PenWidth - 1 : -1);
        arrow->setCurrentIndex(m_shown.Arrow <= 3 ? m_shown.Arrow : -1);
        touch->setChecked(m_shown.WithTouch);
    }
    showColor(brushColorButton, m_brushColor);
    showColor(penColorButton, m_penColor);

    auto follow = [this] {
        if (brushStyle->currentIndex() >= 0)
            m_shown.BrushStyle = quint8(brushStyle->currentIndex());
        if (penStyle->currentIndex() >= 0)
            m_shown.PenStyle = quint8(penStyle->currentIndex());
        if (penWidth->currentIndex() >= 0)
            m_shown.PenWidth = penWidth->currentIndex() + 1;
        sample->update();
    };
    for (QComboBox *b : {brushStyle, penStyle, penWidth, arrow})
        connect(b, &QComboBox::currentIndexChanged, this, follow);
    connect(touch, &QCheckBox::toggled, this, [this] { m_touchChosen = true; });
    auto pick = [this](bool forPen) {
        const std::optional<ColorValue> now = forPen ? m_penColor : m_brushColor;
        const QColor c = QColorDialog::getColor(now ? resolveColor(*now, palette()) : QColor(Qt::white), this);
        if (!c.isValid())
            return;
        const ColorValue v = ColorValue(c.red() | (c.green() << 8) | (c.blue() << 16));
        forPen ? setPenColor(v) : setBrushColor(v);
    };
    connect(penColorButton, &QPushButton::clicked, this, [pick] { pick(true); });
    connect(brushColorButton, &QPushButton::clicked, this, [pick] { pick(false); });
}

void TDrawAttributeFrm::setPenColor(ColorValue c)
{
    m_penColor = c;
    m_shown.PenColor = c;
    showColor(penColorButton, c);
    sample->update();
}

void TDrawAttributeFrm::setBrushColor(ColorValue c)
{
    m_brushColor = c;
    m_shown.BrushColor = c;
    showColor(brushColorButton, c);
    sample->update();
}

GraphicChoice TDrawAttributeFrm::choice() const
{
    GraphicChoice c;
    c.penColor = m_penColor;
    c.brushColor = m_brushColor;
    if (brushStyle->currentIndex() >= 0)
        c.brushStyle = brushStyle->currentIndex();
    if (penStyle->currentIndex() >= 0)
        c.penStyle = penStyle->currentIndex();
    if (penWidth->currentIndex() >= 0)
        c.penWidth = penWidth->currentIndex() + 1;
    if (arrow->currentIndex() >= 0)
        c.arrow = arrow->currentIndex();
    if (!m_several || m_touchChosen)
        c.withTouch = touch->isChecked();
    return c;
}

} // namespace vk
