#include "PrefDlg.h"

#include "Icons.h"
#include "TileSizes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vk {

namespace {

// The sample tile: a raised panel with a picture, the title "Sample" and, when asked for, the
// external media mark, drawn as a folder window draws its tiles.
class SampleTile : public QWidget
{
public:
    SampleTile(const PreferenceValues &v, QWidget *parent) : QWidget(parent), m_v(v) {}
    void setValues(const PreferenceValues &v)
    {
        m_v = v;
        resize(v.tileWidth, v.tileHeight);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = rect();
        const QPalette &pal = palette();
        p.fillRect(r, pal.button());
        p.setPen(pal.light().color());
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(pal.shadow().color());
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        const int b = m_v.tileBorder;
        const QRect picture = r.adjusted(b + 2, b + 2, -b - 2, -b - 18);
        if (picture.width() > 0 && picture.height() > 0) {
            const QPixmap icon = applicationIcon().pixmap(picture.size());
            const QSize fit = icon.size().scaled(picture.size(), Qt::KeepAspectRatio);
            p.drawPixmap(QRect(picture.center() - QPoint(fit.width() / 2, fit.height() / 2), fit), icon);
        }
        QFont f = font();
        f.setPixelSize(11);
        p.setFont(f);
        p.setPen(pal.buttonText().color());
        p.drawText(QRect(r.left(), r.bottom() - b - 16, r.width(), 14), Qt::AlignCenter,
                   QStringLiteral("Sample"));
        if (m_v.showExternalMark) {
            const QRect mark(r.left() + b + 4, r.bottom() - b - 4 - 12, 12, 12);
            p.setPen(QPen(QColor(0, 0, 160), 2));
            p.drawEllipse(mark.adjusted(0, 3, -5, -2));
            p.drawEllipse(mark.adjusted(5, 2, 0, -3));
        }
    }

private:
    PreferenceValues m_v;
};

QButtonGroup *radioGroup(QGroupBox *box, const QStringList &texts, int columns, QObject *owner)
{
    auto *group = new QButtonGroup(owner);
    auto *grid = new QGridLayout(box);
    for (int i = 0; i < texts.size(); ++i) {
        auto *b = new QRadioButton(texts[i], box);
        group->addButton(b, i);
        grid->addWidget(b, i / columns, i % columns);
    }
    return group;
}

void check(QButtonGroup *group, int id)
{
    if (QAbstractButton *b = group->button(id))
        b->setChecked(true);
}

} // namespace

int TPreference::sizeChoiceOf(int width, int height)
{
    switch (height) {
    case 100:
        return 0;
    case 120:
        return width == 100 ? 1 : 5;
    case 140:
        return 2;
    case 60:
        return 3;
    case 94:
        return 4;
    default:
        return -1;
    }
}

TPreference::TPreference(const PreferenceValues &values, QWidget *parent) : QDialog(parent), m_values(values)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowIcon(vkIcon(QStringLiteral("preferences")));
    auto *top = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->setUsesScrollButtons(false);
    top->addWidget(m_pages);

    // Picture Size.
    auto *sizePage = new QWidget;
    sizePage->setObjectName(QStringLiteral("SizePage"));
    auto *sizeLayout = new QGridLayout(sizePage);
    auto *panel = new QFrame(sizePage);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedSize(148, 189);
    m_samplePanel = panel;
    auto *sample = new SampleTile(values, panel);
    sampleTile = sample;
    sizeLayout->addWidget(panel, 0, 0, 3, 1);
    auto *sizeBox = new QGroupBox(QStringLiteral("Size"), sizePage);
    SizeGroup =
        radioGroup(sizeBox,
                   {QStringLiteral("&80 * 100"), QStringLiteral("&100 * 120"), QStringLiteral("120 * &140"),
                    QStringLiteral("&75 * 60"), QStringLiteral("120 * &94"), QStringLiteral("9&0 * 120")},
                   2, this);
    sizeLayout->addWidget(sizeBox, 0, 1);
    auto *borderBox = new QGroupBox(QStringLiteral("Border"), sizePage);
    BorderGroup = radioGroup(borderBox, {"1", "2", "3", "4", "5"}, 5, this);
    sizeLayout->addWidget(borderBox, 1, 1);
    auto *checks = new QVBoxLayout;
    CheckBox1 = new QCheckBox(QStringLiteral("&Save As Default"), sizePage);
    ckbShowExtMark = new QCheckBox(QStringLiteral("Show &mark for external media"), sizePage);
    checks->addWidget(CheckBox1);
    checks->addWidget(ckbShowExtMark);
    sizeLayout->addLayout(checks, 2, 1);
    m_pages->addTab(sizePage, QStringLiteral("&Picture Size"));

    // Wallpaper.
    auto *wallPage = new QWidget;
    auto *wallLayout = new QHBoxLayout(wallPage);
    auto *sourceBox = new QGroupBox(QStringLiteral("Source"), wallPage);
    WallPaperRadioGroup = radioGroup(
        sourceBox, {QStringLiteral("&Blank"), QStringLiteral("&Default"), QStringLiteral("C&ustom")}, 1,
        this);
    wallLayout->addWidget(sourceBox);
    frameStyleBox = new QGroupBox(QStringLiteral("Style"), wallPage);
    frameStyleBox->setToolTip(QStringLiteral("The workspace's background"));
    WallPaperStyle =
        radioGroup(frameStyleBox, {QStringLiteral("&Tile"), QStringLiteral("&Central")}, 1, this);
    wallLayout->addWidget(frameStyleBox);
    desktopStyleBox = new QGroupBox(QStringLiteral("Style"), wallPage);
    desktopStyleBox->setToolTip(QStringLiteral("The desktop's wallpaper"));
    DesktopWallPaperStyle =
        radioGroup(desktopStyleBox, {QStringLiteral("T&ile"), QStringLiteral("Ce&ntral")}, 1, this);
    wallLayout->addWidget(desktopStyleBox);
    m_pages->addTab(wallPage, QStringLiteral("&Wallpaper"));

    // Manage Media.
    auto *managePage = new QWidget;
    auto *manageLayout = new QHBoxLayout(managePage);
    auto *scanBox = new QGroupBox(QStringLiteral("Scan image save as..."), managePage);
    ScanImageTypeRadio =
        radioGroup(scanBox, {".jpg", ".bmp", ".pcx", ".png", ".tga", ".tif", ".gif"}, 2, this);
    manageLayout->addWidget(scanBox);
    auto *importBox = new QGroupBox(QStringLiteral("Default Import Media Type"), managePage);
    rdgDefImportMda = radioGroup(
        importBox,
        {QStringLiteral("D&atabase file"), QStringLiteral("E&xternal file"), QStringLiteral("As&k user")}, 1,
        this);
    auto *importColumn = new QVBoxLayout;
    importColumn->addWidget(importBox);
    // A camera picture's thumbnail from the preview it carries, not from the whole picture.
    ckbEmbeddedPreviews = new QCheckBox(QStringLiteral("Thumbnails from embedded &previews"), managePage);
    ckbEmbeddedPreviews->setToolTip(QStringLiteral(
        "Make a camera picture's thumbnail from the preview it carries, not from the whole picture"));
    importColumn->addWidget(ckbEmbeddedPreviews);
    importColumn->addStretch();
    manageLayout->addLayout(importColumn);
    m_pages->addTab(managePage, QStringLiteral("Manage &Media"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // What the caller gave.
    check(SizeGroup, sizeChoiceOf(values.tileWidth, values.tileHeight));
    check(BorderGroup, values.tileBorder - 1);
    ckbShowExtMark->setChecked(values.showExternalMark);
    check(ScanImageTypeRadio, values.scanImageType);
    check(rdgDefImportMda, values.importType);
    ckbEmbeddedPreviews->setChecked(values.embeddedPreviews);
    check(WallPaperRadioGroup, values.wallPaperChecked);
    frameStyleBox->setEnabled(values.wallPaperChecked != 0);
    check(WallPaperStyle, values.wallPaperStyle);
    desktopStyleBox->setEnabled(values.desktopHasWallpaper);
    check(DesktopWallPaperStyle, values.desktopTile ? 0 : 1);
    placeSample();

    // What the person changes.
    connect(SizeGroup, &QButtonGroup::idClicked, this, [this](int id) {
        if (const auto size = TileSizeOfChoice(id)) {
            m_values.tileWidth = size->width();
            m_values.tileHeight = size->height();
        }
        m_changed = true;
        placeSample();
    });
    connect(BorderGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_values.tileBorder = id + 1;
        m_changed = true;
        placeSample();
    });
    // The mark is applied by OK like the rest, so it counts as a change.
    connect(ckbShowExtMark, &QCheckBox::toggled, this, [this](bool on) {
        m_values.showExternalMark = on;
        m_changed = true;
        placeSample();
    });
    connect(ckbEmbeddedPreviews, &QCheckBox::toggled, this, [this](bool on) {
        m_values.embeddedPreviews = on;
        m_changed = true;
    });
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
        m_values.saveAsDefault = on;
        m_changed = true;
    });
    connect(ScanImageTypeRadio, &QButtonGroup::idClicked, this, [this](int id) {
        m_values.scanImageType = id;
        m_changed = true;
    });
    connect(rdgDefImportMda, &QButtonGroup::idClicked, this, [this](int id) {
        m_values.importType = id;
        m_changed = true;
    });
    connect(WallPaperRadioGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_values.wallPaperChecked = id;
        frameStyleBox->setEnabled(id != 0);
        check(WallPaperStyle, m_values.wallPaperStyle);
        m_changed = m_wallpaperChanged = true;
    });
    connect(WallPaperStyle, &QButtonGroup::idClicked, this, [this](int id) {
        m_values.wallPaperStyle = id;
        m_changed = m_wallpaperChanged = true;
    });
    connect(DesktopWallPaperStyle, &QButtonGroup::idClicked, this, [this](int id) {
        m_values.desktopTile = id == 0;
        m_changed = m_wallpaperChanged = true;
    });
    layout()->setSizeConstraint(QLayout::SetMinimumSize);
}

PreferenceValues TPreference::values() const
{
    return m_values;
}

int TPreference::sizeChoice() const
{
    return SizeGroup->checkedId();
}

void TPreference::placeSample()
{
    auto *sample = static_cast<SampleTile *>(sampleTile);
    sample->setValues(m_values);
    sample->move((m_samplePanel->width() - m_values.tileWidth) / 2,
                 (m_samplePanel->height() - m_values.tileHeight) / 2);
}

} // namespace vk
