#include "SlideOption.h"

#include "Icons.h"
#include "TransitionView.h"
#include "Transitions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

namespace vk {

namespace {

constexpr int PreviewSide = 128;

} // namespace

QImage TSlideOpForm::logoPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    const QPixmap logo = applicationIcon().pixmap(size);
    if (!logo.isNull()) {
        picture.fill(Qt::white);
        QPainter p(&picture);
        p.drawPixmap(QRect(QPoint(), size), logo);
        return picture;
    }
    // Without the program's pictures (a test run) the logo's colours and stack of slides.
    QPainter p(&picture);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(18, 52, 86));
    g.setColorAt(1, QColor(8, 110, 120));
    p.fillRect(picture.rect(), g);
    p.setPen(QPen(Qt::white, 2));
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(size.width() * (0.15 + i * 0.08), size.height() * (0.2 + i * 0.1),
                                 size.width() * 0.5, size.height() * 0.35),
                          4, 4);
    return picture;
}

TSlideOpForm::TSlideOpForm(SlideShowSettings &settings, QWidget *parent, TimerFactory *timers)
    : QDialog(parent), m_settings(settings), m_opened(settings)
{
    setObjectName(QStringLiteral("SlideOpForm"));
    setWindowTitle(QStringLiteral("Slide Option"));

    auto *layout = new QGridLayout(this);

    // The effects, a page of buttons for each group.
    PageControl = new QTabWidget(this);
    for (const TransitionPage &page : TransitionPages()) {
        auto *sheet = new QWidget(PageControl);
        auto *grid = new QGridLayout(sheet);
        int i = 0;
        for (int effect : page.effects) {
            auto *b = new QPushButton(TransitionName(effect), sheet);
            b->setObjectName(QStringLiteral("btnEffect%1").arg(effect));
            b->setAutoDefault(false);
            grid->addWidget(b, i / 3, i % 3);
            ++i;
            m_buttons.insert(effect, b);
            connect(b, &QPushButton::clicked, this, [this, effect] { EffectButtonClick(effect); });
        }
        grid->setRowStretch(grid->rowCount(), 1);
        PageControl->addTab(sheet, page.title);
    }
    layout->addWidget(PageControl, 0, 0, 1, 2);

    // The preview and the current effect.
    auto *previewBox = new QGroupBox(QStringLiteral("Preview"), this);
    auto *pv = new QGridLayout(previewBox);
    Preview = new TTransitionView(previewBox, timers);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setFixedSize(PreviewSide, PreviewSide);
    Preview->setBackground(QColor(0xc0, 0xc0, 0xc0)); // silver
    Preview->clear();
    pv->addWidget(Preview, 0, 0, 1, 2, Qt::AlignCenter);
    pv->addWidget(new QLabel(QStringLiteral("Current Effect:"), previewBox), 1, 0);
    labCurrentEffect = new QLabel(previewBox);
    labCurrentEffect->setObjectName(QStringLiteral("labCurrentEffect"));
    // Wide enough for every name, so the dialog keeps its layout from effect to effect.
    int longest = 0;
    for (int e = 0; e <= LastEffect; ++e)
        longest = std::max(longest, labCurrentEffect->fontMetrics().horizontalAdvance(TransitionName(e)));
    labCurrentEffect->setMinimumWidth(longest);
    pv->addWidget(labCurrentEffect, 1, 1);
    btnRedraw = new QPushButton(QStringLiteral("&Redraw"), previewBox);
    btnRedraw->setAutoDefault(false);
    pv->addWidget(btnRedraw, 2, 0, 1, 2);
    connect(btnRedraw, &QPushButton::clicked, this, &TSlideOpForm::RedrawClick);
    layout->addWidget(previewBox, 1, 0, 2, 1);

    // Speed and interval.
    auto *timing = new QGroupBox(this);
    auto *tl = new QGridLayout(timing);
    auto *speedLabel = new QLabel(QStringLiteral("Display Speed"), timing);
    tl->addWidget(speedLabel, 0, 0, 1, 3);
    tl->addWidget(new QLabel(QStringLiteral("Slow"), timing), 1, 0);
    tbSpeed = new QSlider(Qt::Horizontal, timing);
    tbSpeed->setObjectName(QStringLiteral("tbSpeed"));
    tbSpeed->setRange(1, 10);
    tbSpeed->setPageStep(1);
    tbSpeed->setTickPosition(QSlider::TicksBelow);
    speedLabel->setBuddy(tbSpeed);
    tl->addWidget(tbSpeed, 1, 1);
    tl->addWidget(new QLabel(QStringLiteral("Fast"), timing), 1, 2);
    auto *intervalLabel = new QLabel(QStringLiteral("Interval Time :"), timing);
    tl->addWidget(intervalLabel, 2, 0);
    cbInterval = new QComboBox(timing);
    cbInterval->setObjectName(QStringLiteral("cbInterval"));
    for (int s = 1; s <= 9; ++s)
        cbInterval->addItem(QString::number(s));
    intervalLabel->setBuddy(cbInterval);
    tl->addWidget(cbInterval, 2, 1);
    tl->addWidget(new QLabel(QStringLiteral("Sec"), timing), 2, 2);
    layout->addWidget(timing, 1, 1);

    // How the show moves on, and what it shows.
    auto *options = new QWidget(this);
    auto *ol = new QGridLayout(options);
    ol->setContentsMargins(0, 0, 0, 0);
    auto *change = new QGroupBox(QStringLiteral("Change Option"), options);
    auto *cl = new QVBoxLayout(change);
    rdbAutomatic = new QRadioButton(QStringLiteral("Automatic"), change);
    rdbUserClick = new QRadioButton(QStringLiteral("User Click"), change);
    cl->addWidget(rdbAutomatic);
    cl->addWidget(rdbUserClick);
    ol->addWidget(change, 0, 0);
    auto *set = new QGroupBox(QStringLiteral("Display Set"), options);
    auto *sl = new QVBoxLayout(set);
    rdbAll = new QRadioButton(QStringLiteral("All "), set);
    rdbSelected = new QRadioButton(QStringLiteral("Selected"), set);
    sl->addWidget(rdbAll);
    sl->addWidget(rdbSelected);
    ol->addWidget(set, 0, 1);
    ckbRandom = new QCheckBox(QStringLiteral("Random"), options);
    ckbRepeatPlay = new QCheckBox(QStringLiteral("Repeat Play"), options);
    ckbDisplayTitle = new QCheckBox(QStringLiteral("Display Title"), options);
    ol->addWidget(ckbRandom, 1, 0);
    ol->addWidget(ckbRepeatPlay, 1, 1);
    ol->addWidget(ckbDisplayTitle, 2, 0);
    layout->addWidget(options, 2, 1);

    auto *buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons, 3, 0, 1, 2);

    showSettings();

    // Every control sets its setting at once.
    connect(tbSpeed, &QSlider::valueChanged, this, [this](int v) { m_settings.Speed = v; });
    connect(cbInterval, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_settings.IntervalSeconds = i + 1; });
    connect(rdbAutomatic, &QRadioButton::toggled, this, [this](bool on) {
        m_settings.ChangeOption = on ? SlideShowSettings::Automatic : SlideShowSettings::UserClick;
        cbInterval->setEnabled(on);
    });
    connect(rdbAll, &QRadioButton::toggled, this, [this](bool on) {
        m_settings.DisplaySet = on ? SlideShowSettings::DisplayAll : SlideShowSettings::DisplaySelected;
    });
    connect(ckbRandom, &QCheckBox::toggled, this, [this](bool on) { m_settings.RandomEffect = on; });
    connect(ckbRepeatPlay, &QCheckBox::toggled, this, [this](bool on) { m_settings.RepeatPlay = on; });
    connect(ckbDisplayTitle, &QCheckBox::toggled, this, [this](bool on) { m_settings.DisplayTitle = on; });
}

void TSlideOpForm::showSettings()
{
    QPushButton *current = m_buttons.value(m_settings.Effect, m_buttons.value(NoEffect));
    for (int page = 0; page < PageControl->count(); ++page)
        if (PageControl->widget(page)->isAncestorOf(current))
            PageControl->setCurrentIndex(page);
    current->setFocus();
    labCurrentEffect->setText(current->text());
    tbSpeed->setValue(std::clamp(m_settings.Speed, 1, 10));
    cbInterval->setCurrentIndex(std::clamp(m_settings.IntervalSeconds, 1, 9) - 1);
    const bool automatic = m_settings.ChangeOption == SlideShowSettings::Automatic;
    rdbAutomatic->setChecked(automatic);
    rdbUserClick->setChecked(!automatic);
    cbInterval->setEnabled(automatic);
    ckbRandom->setChecked(m_settings.RandomEffect);
    const bool all = m_settings.DisplaySet == SlideShowSettings::DisplayAll;
    rdbAll->setChecked(all);
    rdbSelected->setChecked(!all);
    ckbRepeatPlay->setChecked(m_settings.RepeatPlay);
    ckbDisplayTitle->setChecked(m_settings.DisplayTitle);
}

void TSlideOpForm::EffectButtonClick(int effect)
{
    m_settings.Effect = effect;
    labCurrentEffect->setText(TransitionName(effect));
    RedrawClick();
}

void TSlideOpForm::RedrawClick()
{
    Preview->clear();
    Preview->play(m_settings.Effect, logoPicture(Preview->size()),
                  m_settings.blockSizeFor(m_settings.Effect));
}

void TSlideOpForm::done(int result)
{
    Preview->clear();
    // A cancelled dialog changes nothing, however much was clicked meanwhile.
    if (result != QDialog::Accepted)
        m_settings = m_opened;
    QDialog::done(result);
}

} // namespace vk
