#include "AT_PlayForm.h"

#include "AT_Schedule.h"
#include "EditedSlide.h"
#include "MPlayer.h"
#include "ObjectKinds.h"
#include "SlideBack.h"
#include "SurfaceGeometry.h"
#include "UiServices.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>

namespace vk {

// A slide object's medium as the play engine drives it.
class PlayerPlayback : public MediaPlayback
{
public:
    explicit PlayerPlayback(std::unique_ptr<TMediaPlayer> player) : m_player(std::move(player)) {}
    qint64 length() const override { return m_player->Length(); }
    bool isStopped() const override { return m_player->Mode() != mpPlaying; }
    void setNotify(bool on) override { m_player->setNotify(on); }
    void seek(qint64 ms) override
    {
        guard([&] { m_player->setPosition(ms); });
    }
    void play() override
    {
        guard([this] { m_player->Play(); });
    }
    void pause() override
    {
        guard([this] { m_player->Pause(); });
    }
    void stop() override
    {
        guard([this] { m_player->Stop(); });
    }

private:
    template <typename F> void guard(F f)
    {
        try {
            f();
        } catch (const EMCIDeviceError &) {
            // A medium that cannot go on is passed over; the rest of the slide plays.
        }
    }
    std::unique_ptr<TMediaPlayer> m_player;
};

namespace {

// The slide on the surface as it shows at `time`, scaled into `place`; sounds never show.
void showOnSurface(TSlideBack &surface, EditedSlide &edited, TDbSlide *slide, const SurfacePlacement &place,
                   int time)
{
    TDbClearBookList &books = edited.books();
    books.SurfaceZoom = place.zoom;
    edited.prepareForShow(slide);
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        books.ApplyDisplayGeometry(o);
    surface.SurfaceZoom = place.zoom;
    surface.CursorTime = time;
    surface.setGeometry(place.surface);
    surface.ShowSlide(slide);
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        if (isAudioKind(o->kind()))
            surface.HideVisual(o);
}

} // namespace

TPlayForm::TPlayForm(TAuthorMain &author, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_author(author)
{
    setWindowTitle(QStringLiteral("Vellumark"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setFocusPolicy(Qt::StrongFocus);

    m_surface = new TSlideBack(author.edited(), this);
    m_surface->PlayMode = true;
    m_surface->setFocusPolicy(Qt::NoFocus);
    connect(m_surface, &TSlideBack::playPressed, this, &TPlayForm::pressed);

    m_menu = new QMenu(this);
    connect(m_menu->addAction(QStringLiteral("Stop Play")), &QAction::triggered, this, [this] { requestStop(); });
    connect(m_menu->addAction(QStringLiteral("Timeline Table")), &QAction::triggered, this,
            [this] { m_author.ShowTimeline(!m_author.timeline()->isVisible()); });
    connect(m_menu->addAction(QStringLiteral("Restart")), &QAction::triggered, this, &TPlayForm::restart);
    QAction *pause = m_menu->addAction(QStringLiteral("Pause"));
    pause->setCheckable(true);
    connect(pause, &QAction::triggered, this, &TPlayForm::pauseCommand);
    connect(m_menu, &QMenu::aboutToShow, this, [this, pause] { pause->setChecked(paused()); });

    Clock &clock = author.playClock() ? *author.playClock() : m_systemClock;
    TimerFactory &timers = author.playTimers() ? *author.playTimers() : m_qtTimers;
    m_book = std::make_unique<TBookPlay>(author.books(), clock, timers, *this);
}

TPlayForm::~TPlayForm()
{
    finish();
    m_book.reset();
}

bool TPlayForm::start(TDbSlide *slide)
{
    if (!slide)
        return false;
    EditedSlide &edited = m_author.edited();
    m_savedZoom = edited.books().SurfaceZoom;
    m_firstSlide = slide;
    // A link to the slide being edited plays its flags as they are now, saved or not.
    QList<TsFlag> flags;
    for (const TDbFlag *f : edited.flags().Flags)
        flags.append(f->Rec);
    m_book->setEditedSlide(edited.slide(), flags);
    const QScreen *screen = m_author.screen() ? m_author.screen() : QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(screen->geometry());
    showFullScreen();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    m_book->start(slide);
    return true;
}

void TPlayForm::placeSurface()
{
    TDbSlide *slide = m_book->playSlide();
    const SurfacePlacement place = showPlacement(size(), m_author.designScreen());
    if (!slide || place.surface.isEmpty())
        return;
    if (place.zoom == m_surface->SurfaceZoom && place.surface == m_surface->geometry())
        return;
    showOnSurface(*m_surface, m_author.edited(), slide, place, 0);
    for (auto it = m_visible.cbegin(); it != m_visible.cend(); ++it)
        setObjectVisible(it.key(), it.value());
}

void TPlayForm::slideStarting(TDbSlide *slide)
{
    // The last slide's media go first: the play list lets go of them as it is built.
    releaseMedia();
    m_visible.clear();
    if (!m_shown.contains(slide))
        m_shown.append(slide);
    SurfacePlacement place = showPlacement(size(), m_author.designScreen());
    if (place.surface.isEmpty())
        place = showPlacement(m_author.designScreen(), m_author.designScreen());
    showOnSurface(*m_surface, m_author.edited(), slide, place, 0);
    // A clip shows once it plays.
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        if (isVideoKind(o->kind()))
            m_surface->HideVisual(o);
}

void TPlayForm::slideLeaving(TDbSlide *)
{
    releaseMedia();
    m_surface->ClearSlide();
}

void TPlayForm::releaseMedia()
{
    m_media.clear();
    qDeleteAll(m_displays);
    m_displays.clear();
}

void TPlayForm::setObjectVisible(TDbObject *o, bool visible)
{
    m_visible.insert(o, visible);
    if (isAudioKind(o->kind()))
        return;
    if (TDesignVisual *v = m_surface->visualOf(o))
        v->Visible = visible;
    if (QWidget *display = m_displays.value(o))
        display->setVisible(visible);
    m_surface->update();
}

MediaPlayback *TPlayForm::openMedia(TDbObject *o)
{
    auto player = std::make_unique<TMediaPlayer>(this);
    player->hide();
    QWidget *display = nullptr;
    if (isVideoKind(o->kind())) {
        // The clip plays where the object lies on the slide.
        display = new QWidget(m_surface);
        display->setGeometry(QRect(o->Rec.Left, o->Rec.Top, std::max(1, o->Rec.Width), std::max(1, o->Rec.Height)));
        display->hide();
        player->setDisplay(display);
        m_displays.insert(o, display);
    }
    QString error;
    bool opened = false;
    try {
        opened = OpenMediaFile(o->Rec.Obj_Media, o->kind(), *player, &error);
        if (opened && display)
            player->setDisplayRect(QRect(QPoint(0, 0), display->size()));
    } catch (const EMCIDeviceError &) {
        opened = false;
    }
    if (!opened) {
        // The slide plays on without it.
        if (display)
            delete m_displays.take(o);
        return nullptr;
    }
    m_media.push_back(std::make_unique<PlayerPlayback>(std::move(player)));
    return m_media.back().get();
}

void TPlayForm::pressed(TDbObject *o, Qt::MouseButton button, QPoint globalPos)
{
    if (button == Qt::RightButton) {
        m_menu->popup(globalPos);
        return;
    }
    if (button != Qt::LeftButton)
        return;
    if (o && o->Rec.Obj_Link_SlideId != 0) {
        m_book->followLink(o);
        return;
    }
    m_book->list().PauseInput(false);
}

void TPlayForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        requestStop();
        return;
    }
    if (event->key() == Qt::Key_Menu) {
        m_menu->popup(mapToGlobal(rect().center()));
        return;
    }
    m_book->list().PauseInput(true);
}

void TPlayForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeSurface();
}

void TPlayForm::closeEvent(QCloseEvent *event)
{
    // Closed by the window system: leave as Escape does, or stay.
    if (!m_finished && !requestStop())
        event->ignore();
}

void TPlayForm::restart()
{
    m_book->list().RestartPlay();
}

void TPlayForm::pauseCommand()
{
    m_book->list().PauseCommand();
}

bool TPlayForm::paused() const
{
    return m_book->list().Paused;
}

void TPlayForm::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_book->stop();
    releaseMedia();
    m_surface->ClearSlide();
    // Every slide played goes back to the editing zoom.
    EditedSlide &edited = m_author.edited();
    edited.books().SurfaceZoom = m_savedZoom;
    for (TDbSlide *s : std::as_const(m_shown))
        for (TDbObject *o : std::as_const(s->Objects.Objects))
            edited.books().ApplyDisplayGeometry(o);
    edited.setZoom(m_savedZoom);
    hide();
}

bool TPlayForm::requestStop()
{
    if (m_finished)
        return true;
    EditedSlide &edited = m_author.edited();
    TDbSlide *active = edited.slide();
    const std::optional<ReturnChoice> choice =
        askReturn ? askReturn(active != nullptr) : TReturnForm::ask(active != nullptr, this);
    if (!choice)
        return false; // Cancel: play goes on
    TDbSlide *played = m_book->playSlide();
    const bool toPlayed = (*choice == ReturnChoice::CurrentSlide || !active) && played && played != active;
    finish();
    m_author.PlayingEnded();
    if (toPlayed) {
        // The edited slide closes as Close does (asking to save it when changed); when it
        // stays open, editing goes on there.
        if (!active || m_author.CloseSlide())
            m_author.OpenSlide(played);
    }
    m_author.activateWindow();
    return true;
}

QImage RenderPlayedSlide(EditedSlide &edited, TDbSlide *slide, int time, QSize size, QSize designScreen)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::black);
    if (!slide)
        return picture;
    const double savedZoom = edited.books().SurfaceZoom;
    {
        TSlideBack surface(edited);
        surface.PlayMode = true;
        const SurfacePlacement place = showPlacement(size, designScreen);
        showOnSurface(surface, edited, slide, place, time);
        QPainter p(&picture);
        static_cast<QWidget &>(surface).render(&p, place.surface.topLeft());
    }
    edited.books().SurfaceZoom = savedZoom;
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        edited.books().ApplyDisplayGeometry(o);
    return picture;
}

} // namespace vk
