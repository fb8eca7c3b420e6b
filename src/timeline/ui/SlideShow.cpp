#include "SlideShow.h"

#include "Clock.h"
#include "DbFolder.h"
#include "Icons.h"
#include "ImageCodec.h"
#include "MPlayer.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "PictureFiles.h"
#include "QtClock.h"
#include "TransitionView.h"
#include "UiServices.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>

namespace vk {

namespace {

constexpr int EffectDelay = 100; // ms from preparing an item to its effect
constexpr int AudioWidth = 150, AudioHeight = 200;

bool isSoundType(int type)
{
    return type >= 100 && type < 200;
}
bool isVideoType(int type)
{
    return type >= 200 && type < 300;
}

} // namespace

TSlideForm::TSlideForm(SlideShowList list, SlideShowSettings &settings, UiServices *ui, TimerFactory *timers,
                       TransitionRandom *random, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_list(std::move(list)), m_settings(settings), m_ui(ui), m_random(random)
{
    setObjectName(QStringLiteral("SlideForm"));
    setWindowTitle(QStringLiteral("Slide Show"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    if (!timers) {
        m_ownTimers = std::make_unique<QtTimerFactory>();
        timers = m_ownTimers.get();
    }
    if (!m_random) {
        m_ownRandom = std::make_unique<SeededTransitionRandom>();
        m_random = m_ownRandom.get();
    }
    m_showTimer = timers->createTimer([this] { ShowTimerTimer(); });
    m_effectTimer = timers->createTimer([this] { EffectTimerTimer(); });
    m_effectTimer->setInterval(EffectDelay);

    PaintBox = new TTransitionView(this, timers);
    PaintBox->setObjectName(QStringLiteral("PaintBox"));
    PaintBox->hide();
    connect(PaintBox, &TTransitionView::finished, this, &TSlideForm::effectFinished);

    DisplayPanel = new QWidget(this);
    DisplayPanel->setObjectName(QStringLiteral("DisplayPanel"));
    DisplayPanel->setAttribute(Qt::WA_NativeWindow); // the video is drawn into it
    DisplayPanel->hide();
    MediaPlayer = new TMediaPlayer(this);
    MediaPlayer->setObjectName(QStringLiteral("MediaPlayer"));
    MediaPlayer->setVisibleButtons(0);
    MediaPlayer->hide();
    connect(MediaPlayer, &TMediaPlayer::OnNotify, this, &TSlideForm::PlayerNotify);

    labTitle = new QLabel(this);
    labTitle->setObjectName(QStringLiteral("labTitle"));
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(19);
    labTitle->setFont(font);
    QPalette yellow = labTitle->palette();
    yellow.setColor(QPalette::WindowText, Qt::yellow);
    labTitle->setPalette(yellow);
    labTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    labTitle->hide();

    PopupMenu = new QMenu(this);
    pmiClose = PopupMenu->addAction(QStringLiteral("&Close"), this, &TSlideForm::CloseClick);
    pmiBackward = PopupMenu->addAction(QStringLiteral("&Backward"), this, &TSlideForm::BackwardClick);
    pmiNext = PopupMenu->addAction(QStringLiteral("&Next"), this, &TSlideForm::NextClick);

    const QImage audio = TypeBitmaps::bitmap(QStringLiteral("Audio")).toImage();
    m_audio = QImage(AudioWidth, AudioHeight, QImage::Format_RGB32);
    m_audio.fill(Qt::black);
    if (!audio.isNull())
        m_audio = audio.scaled(AudioWidth, AudioHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    setScreenSize(s ? s->geometry().size() : QSize(1024, 768));
}

TSlideForm::~TSlideForm()
{
    m_closed = true;
    closePlayer();
}

void TSlideForm::adoptUi(std::unique_ptr<UiServices> ui)
{
    m_ownUi = std::move(ui);
    m_ui = m_ownUi.get();
}

void TSlideForm::setScreenSize(QSize size)
{
    m_screen = size;
    resize(size);
}

QSize TSlideForm::FitToScreen(QSize picture, QSize screen)
{
    qint64 w = picture.width(), h = picture.height();
    if (w > screen.width()) {
        h = screen.width() * h / w;
        w = screen.width();
    }
    if (h > screen.height()) {
        w = h > 0 ? screen.height() * w / h : w;
        h = screen.height();
    }
    return QSize(int(std::max<qint64>(w, 1)), int(std::max<qint64>(h, 1)));
}

int TSlideForm::effectForNextPicture()
{
    return m_settings.RandomEffect ? RandomEffectNumber(*m_random) : m_settings.Effect;
}

void TSlideForm::start()
{
    pmiBackward->setVisible(userClick());
    m_showTimer->setInterval(std::max(1, m_settings.IntervalSeconds) * 1000);
    ShowItem(0);
}

void TSlideForm::ShowItem(int index)
{
    if (m_closed)
        return;
    m_showTimer->setEnabled(false);
    m_effectTimer->setEnabled(false);
    const QList<TDbMedia *> list = m_list ? m_list() : QList<TDbMedia *>();
    if (list.isEmpty()) {
        end("NoMediaSelected");
        return;
    }
    // Items that cannot be shown are passed over; once a whole round has passed over every
    // item, nothing can be shown and the show ends rather than going round for ever.
    int passedOver = 0;
    for (index = std::max(0, index);; ++index) {
        if (index >= list.size()) {
            if (!m_settings.RepeatPlay) {
                end(m_shownAny ? nullptr : "NothingToShow");
                return;
            }
            index = 0;
        }
        ShowIndex = index;
        closePlayer();
        if (present(list[index]) == Outcome::Shown) {
            ++ShowCount;
            m_shownAny = true;
            return;
        }
        if (m_closed)
            return;
        if (++passedOver >= list.size()) {
            end("NothingToShow");
            return;
        }
    }
}

TSlideForm::Outcome TSlideForm::present(TDbMedia *item)
{
    m_currentType = -1;
    PaintBox->clear();
    PaintBox->hide();
    DisplayPanel->hide();
    labTitle->hide();
    if (!item || item->isSubFolderTile())
        return Outcome::PassedOver;
    TDbFolderList::CheckLost(item);
    if (item->Lost)
        return Outcome::PassedOver; // missing files are passed over without a word
    const int type = item->Rec.MediaType;
    const QString path = item->Rec.MediaFile;
    labTitle->setText(item->Rec.Title);

    if (isPictureType(type)) {
        QImage picture;
        // A photograph larger than the screen is decoded at about the size it is shown, which
        // is several times faster than decoding it whole and scaling it down.
        QSize size;
        if (type == TypeJpg) {
            const QSize natural = QImageReader(path).size();
            if (natural.isValid() && (size = FitToScreen(natural, m_screen)) != natural)
                picture = decodeThumbnail(path, std::max(size.width(), size.height()));
            // A photograph its camera turned comes out upright: its size is the other way round.
            if (!picture.isNull() && (picture.width() > picture.height()) != (size.width() > size.height()))
                size = FitToScreen(picture.size(), m_screen);
        }
        if (picture.isNull() && (!loadMediaPicture(path, type, picture, nullptr) || picture.isNull())) {
            message("MediaOpenFailed");
            return Outcome::PassedOver;
        }
        if (!size.isValid() || picture.size() == size)
            size = FitToScreen(picture.size(), m_screen);
        if (size != picture.size())
            picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_picture = picture.convertToFormat(QImage::Format_RGB32);
        PaintBox->setGeometry(QRect(
            QPoint((m_screen.width() - size.width()) / 2, (m_screen.height() - size.height()) / 2), size));
        PaintBox->clear();
        PaintBox->show();
        m_currentType = type;
        m_effectTimer->setEnabled(true);
        return Outcome::Shown;
    }
    if (isSoundType(type)) {
        m_currentType = type;
        PaintBox->setGeometry(
            QRect(QPoint((m_screen.width() - AudioWidth) / 2, (m_screen.height() - AudioHeight) / 2),
                  QSize(AudioWidth, AudioHeight)));
        PaintBox->clear();
        PaintBox->show();
        m_effectTimer->setEnabled(true);
        MediaPlayer->setDisplay(nullptr);
        bool opened;
        if (type == TypeMp3) {
            opened = OpenMpegAudio(path, *MediaPlayer);
        } else {
            opened = OpenMediaFile(path, type, *MediaPlayer);
            if (opened)
                MediaPlayer->Play();
        }
        if (!opened) {
            m_effectTimer->setEnabled(false);
            m_currentType = -1;
            PaintBox->hide();
            message("MediaOpenFailed");
            return Outcome::PassedOver;
        }
        return Outcome::Shown;
    }
    if (isVideoType(type)) {
        m_currentType = type;
        MediaPlayer->setDisplay(DisplayPanel);
        if (!OpenMediaFile(path, type, *MediaPlayer)) {
            m_currentType = -1;
            message("MediaOpenFailed");
            return Outcome::PassedOver;
        }
        QSize natural = MediaPlayer->capabilities().naturalSize;
        if (natural.isEmpty())
            natural = m_screen;
        const QSize size = FitToScreen(natural, m_screen).boundedTo(m_screen);
        DisplayPanel->setGeometry(QRect(
            QPoint((m_screen.width() - size.width()) / 2, (m_screen.height() - size.height()) / 2), size));
        MediaPlayer->setDisplayRect(QRect(QPoint(0, 0), size));
        MediaPlayer->Play();
        DisplayPanel->show();
        return Outcome::Shown;
    }
    // Texts, documents and anything else have nothing to show here.
    return Outcome::PassedOver;
}

void TSlideForm::EffectTimerTimer()
{
    m_effectTimer->setEnabled(false);
    if (isPictureType(m_currentType)) {
        m_lastEffect = effectForNextPicture();
        PaintBox->play(m_lastEffect, m_picture, m_settings.blockSizeFor(m_lastEffect), m_random);
    } else if (isSoundType(m_currentType)) {
        PaintBox->play(NoEffect, m_audio, 1);
        PaintBox->finishNow();
    }
}

void TSlideForm::effectFinished()
{
    if (m_closed)
        return;
    placeTitle();
    // Sound and video start the interval when they have played to their end.
    if (isPictureType(m_currentType))
        m_showTimer->setEnabled(true);
}

void TSlideForm::placeTitle()
{
    const int width = labTitle->fontMetrics().horizontalAdvance(labTitle->text()) + 8;
    labTitle->setGeometry((m_screen.width() - width) / 2, m_screen.height() - 40, width, 30);
    labTitle->setVisible(m_settings.DisplayTitle);
    labTitle->raise();
}

void TSlideForm::ShowTimerTimer()
{
    m_showTimer->setEnabled(false);
    if (!userClick())
        NextClick();
}

void TSlideForm::PlayerNotify()
{
    // A play that reached its end, or broke off by itself, moves the show on; the completion of
    // one the show itself broke off (it moved on already) says nothing.
    const int how = MediaPlayer->NotifyValue();
    if (m_closed || how == nvAborted || how == nvSuperseded || MediaPlayer->DeviceID() == 0)
        return;
    if (isSoundType(m_currentType) || isVideoType(m_currentType))
        m_showTimer->setEnabled(true);
}

void TSlideForm::NextClick()
{
    ShowItem(ShowIndex + 1);
}

void TSlideForm::BackwardClick()
{
    if (ShowIndex > 0)
        ShowItem(ShowIndex - 1);
}

void TSlideForm::CloseClick()
{
    end();
}

void TSlideForm::forward()
{
    NextClick();
}

void TSlideForm::closePlayer()
{
    if (MediaPlayer->DeviceID() == 0)
        return;
    try {
        MediaPlayer->Close();
    } catch (const EMCIDeviceError &) {
        // closing a device that is gone leaves nothing to do
    }
    DisplayPanel->hide();
}

void TSlideForm::message(const char *name)
{
    if (!m_ui)
        return;
    const bool effect = m_effectTimer->isEnabled();
    m_effectTimer->setEnabled(false);
    m_ui->showMessage(vkMessage(name), UiServices::Icon::Warning);
    m_effectTimer->setEnabled(effect && !m_closed);
}

void TSlideForm::end(const char *why)
{
    if (m_closed)
        return;
    m_showTimer->setEnabled(false);
    m_effectTimer->setEnabled(false);
    PaintBox->clear();
    closePlayer();
    m_currentType = -1;
    if (why)
        message(why);
    m_closed = true;
    emit closed();
    close();
}

void TSlideForm::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        CloseClick();
        return;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        return;
    case Qt::Key_Up:
        if (userClick())
            BackwardClick();
        return;
    default:
        if (userClick())
            forward();
        return;
    }
}

void TSlideForm::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (userClick() || m_currentType == TypeText)
        forward();
}

void TSlideForm::contextMenuEvent(QContextMenuEvent *event)
{
    pmiBackward->setVisible(userClick());
    PopupMenu->popup(event->globalPos());
}

void TSlideForm::closeEvent(QCloseEvent *event)
{
    if (!m_closed)
        end();
    QWidget::closeEvent(event);
}

} // namespace vk
