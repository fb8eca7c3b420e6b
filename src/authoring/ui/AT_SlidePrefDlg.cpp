#include "AT_SlidePrefDlg.h"

#include "AT_GradPanel.h"
#include "MediaFiles.h"
#include "MediaTypes.h"
#include "PictureFiles.h"
#include "UiServices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vk {

namespace {

const QStringList FewTypes{QStringLiteral("BMP"), QStringLiteral("JPG"), QStringLiteral("PCX"),
                           QStringLiteral("PNG"), QStringLiteral("TGA")};
const QStringList AllTypes = FewTypes + QStringList{QStringLiteral("TIF"), QStringLiteral("GIF"),
                                                    QStringLiteral("ICO"), QStringLiteral("WMF")};

ColorValue colorValueOf(const QColor &c)
{
    return ColorValue(c.red() | (c.green() << 8) | (c.blue() << 16));
}

} // namespace

QString TSlideBackgroundBox::fileFilter(bool allTypes)
{
    QStringList patterns, each;
    for (const QString &t : allTypes ? AllTypes : FewTypes) {
        patterns << QStringLiteral("*.") + t.toLower();
        each << QStringLiteral("%1 (*.%2)").arg(t, t.toLower());
    }
    return QStringLiteral("Image (%1);;").arg(patterns.join(QLatin1Char(' '))) + each.join(QStringLiteral(";;"));
}

TSlideBackgroundBox::TSlideBackgroundBox(UiServices *ui, const QString &workDir, bool allTypes, QWidget *parent)
    : QWidget(parent), m_ui(ui), m_workDir(workDir), m_allTypes(allTypes)
{
    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    auto *wallpaper = new QGroupBox(QStringLiteral("Wallpaper"));
    wallpaper->setObjectName(QStringLiteral("WallpaperGB"));
    auto *wl = new QVBoxLayout(wallpaper);
    auto *styleBox = new QGroupBox(QStringLiteral("Style"));
    styleBox->setObjectName(QStringLiteral("WallpaperStyle"));
    auto *sl = new QHBoxLayout(styleBox);
    m_style = new QButtonGroup(this);
    const char *styles[] = {"&Center", "F&ull", "T&ile"};
    for (int i = 0; i < 3; ++i) {
        auto *r = new QRadioButton(QLatin1String(styles[i]));
        m_style->addButton(r, i);
        sl->addWidget(r);
    }
    m_style->button(0)->setChecked(true);
    connect(m_style, &QButtonGroup::idClicked, this, [this](int id) {
        styleChanged = true;
        m_preview->PictureStyle = id;
        m_preview->update();
    });
    wl->addWidget(styleBox);
    auto *buttons = new QHBoxLayout;
    m_browse = new QPushButton(allTypes ? QStringLiteral("&Browse...") : QStringLiteral("&Wallpaper..."));
    m_browse->setObjectName(QStringLiteral("InsertWP"));
    auto *clear = new QPushButton(QStringLiteral("C&lear"));
    clear->setObjectName(QStringLiteral("WallpaperClear"));
    buttons->addWidget(m_browse);
    buttons->addWidget(clear);
    wl->addLayout(buttons);
    left->addWidget(wallpaper);
    auto *colour = new QPushButton(QStringLiteral("Backgroun&d Colors..."));
    colour->setObjectName(QStringLiteral("SlideColor"));
    left->addWidget(colour);
    m_gradient = new QCheckBox(QStringLiteral("&Gradient"));
    m_gradient->setObjectName(QStringLiteral("GradientCheckBox"));
    left->addWidget(m_gradient);
    left->addStretch();
    layout->addLayout(left);
    auto *right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Preview:")));
    m_preview = new TGradientPanel;
    m_preview->setObjectName(QStringLiteral("PreviewPanel"));
    m_preview->setNumberOfColors(255);
    m_preview->setMinimumSize(200, 150);
    right->addWidget(m_preview, 1);
    layout->addLayout(right, 1);

    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Wallpaper"), QString(),
                                                          fileFilter(m_allTypes), nullptr,
                                                          QFileDialog::DontUseNativeDialog);
        if (!path.isEmpty())
            choosePicture(path);
        m_preview->update();
    });
    connect(clear, &QPushButton::clicked, this, &TSlideBackgroundBox::clearPicture);
    connect(colour, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(resolveColor(m_color, palette()), this,
                                                QStringLiteral("Background Colors"));
        if (c.isValid())
            setColor(colorValueOf(c));
    });
    connect(m_gradient, &QCheckBox::clicked, this, &TSlideBackgroundBox::setGradient);
}

void TSlideBackgroundBox::fill(const SlideProperties &p)
{
    styleChanged = colourChanged = pictureChanged = false;
    const int style = std::clamp(p.style.toInt(), 0, 2);
    m_style->button(style)->setChecked(true);
    m_preview->PictureStyle = style;
    m_color = colorFromText(p.color).value_or(clWhite);
    m_preview->setBeginColor(m_color);
    m_gradient->setChecked(p.gradient != 0);
    m_preview->setEndColor(p.gradient != 0 ? clWhite : m_color);
    m_picture = p.background;
    m_image = QImage();
    if (!m_picture.isEmpty()) {
        QString error;
        if (!loadMediaPicture(m_picture, MediaTypeOfExtension(m_picture), m_image, &error))
            m_image = QImage();
    }
    showPicture();
}

void TSlideBackgroundBox::showPicture()
{
    m_preview->ClearPicture();
    if (!m_image.isNull()) {
        // In proportion preview / screen, rows and columns dropped or repeated, not blended.
        QScreen *shown = this->screen();
        const QSize screen = shown ? shown->size() : QSize(1024, 768);
        const int w = std::max(1, int(qint64(m_image.width()) * m_preview->width() / std::max(1, screen.width())));
        const int h = std::max(1, int(qint64(m_image.height()) * m_preview->height() / std::max(1, screen.height())));
        m_preview->Picture = m_image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    m_preview->update();
}

bool TSlideBackgroundBox::choosePicture(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toUpper();
    if (!(m_allTypes ? AllTypes : FewTypes).contains(ext)) {
        if (m_ui)
            m_ui->showMessage(QStringLiteral("This format is invalid for wallpaper!"));
        return false;
    }
    QImage image;
    QString error;
    if (!loadMediaPicture(path, MediaTypeOfExtension(path), image, &error) || image.isNull()) {
        if (m_ui)
            m_ui->showMessage(QStringLiteral("The picture %1 cannot be read: %2").arg(path, error));
        return false;
    }
    // A work copy of a name no other slide or program uses: the kinds the surface shows as
    // they are keep their form, the others become a bitmap.
    const bool keep = FewTypes.contains(ext);
    const QString file = UniqueWorkFile(m_workDir, QStringLiteral("WS"), keep ? ext.toLower() : QStringLiteral("bmp"));
    {
        if (keep ? !QFile::copy(path, file) : !image.save(file, "BMP")) {
            if (m_ui)
                m_ui->showMessage(QStringLiteral("The picture could not be kept in %1.").arg(file));
            return false;
        }
    }
    m_picture = file;
    m_image = image;
    pictureChanged = true;
    showPicture();
    return true;
}

void TSlideBackgroundBox::clearPicture()
{
    m_picture.clear();
    m_image = QImage();
    pictureChanged = true;
    showPicture();
}

void TSlideBackgroundBox::setColor(ColorValue c)
{
    colourChanged = true;
    m_color = c;
    m_preview->setBeginColor(c);
    setGradient(m_gradient->isChecked());
}

void TSlideBackgroundBox::setGradient(bool on)
{
    colourChanged = true;
    m_gradient->setChecked(on);
    m_preview->setEndColor(on ? clWhite : m_color);
}

void TSlideBackgroundBox::setStyle(int style)
{
    if (QAbstractButton *b = m_style->button(style)) {
        b->setChecked(true);
        styleChanged = true;
        m_preview->PictureStyle = style;
        m_preview->update();
    }
}

SlideProperties TSlideBackgroundBox::applyTo(SlideProperties p) const
{
    if (colourChanged) {
        p.color = colorToText(m_color);
        p.gradient = m_gradient->isChecked() ? 1 : 0;
    }
    if (pictureChanged)
        p.background = m_picture;
    if (styleChanged)
        p.style = QString::number(m_style->checkedId());
    return p;
}

TPreferenceDlg::TPreferenceDlg(UiServices *ui, const QString &workDir, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Preference"));
    auto *layout = new QVBoxLayout(this);
    m_box = new TSlideBackgroundBox(ui, workDir, false);
    layout->addWidget(m_box);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

} // namespace vk
