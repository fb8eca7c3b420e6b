// The ClearBook player: a borderless black window over the whole screen that plays slides on a
// slide surface of its own, scaled to the screen with the slides' proportions, runs each
// slide's timeline, follows the links of slides and objects from slide to slide (across
// ClearBooks too), and on leaving asks which slide to go back to for editing.
//
// Keys: Escape leaves; while a pause waits for a key, any other key goes on. Mouse: a left press
// on an object with a link follows it (on the background, or an object without one, it ends a
// pause that waits for a click); the right button gives the play menu: "Stop Play", "Timeline
// Table", "Restart", "Pause".
#pragma once

#include "AT_ReturnDlg.h"
#include "Authormain.h"
#include "BookPlay.h"
#include "QtClock.h"

#include <QHash>
#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMenu;

namespace vk {

class EditedSlide;
class PlayerPlayback;
class TSlideBack;
class UiServices;

class TPlayForm : public QWidget, public SlidePlayer, public BookPlayViews
{
    Q_OBJECT
public:
    explicit TPlayForm(TAuthorMain &author, QWidget *parent = nullptr);
    ~TPlayForm() override;

    // SlidePlayer
    bool start(TDbSlide *slide) override;
    bool requestStop() override;
    void restart() override;
    void pauseCommand() override;
    bool paused() const override;

    TBookPlay &book() { return *m_book; }
    TSlideBack *surface() const { return m_surface; }
    QMenu *playMenu() const { return m_menu; }
    // Which slide to go back to: asked in "Return to Design Mode" unless a test answers.
    std::function<std::optional<ReturnChoice>(bool editedSlideOpen)> askReturn;

    // BookPlayViews
    void setObjectVisible(TDbObject *o, bool visible) override;
    MediaPlayback *openMedia(TDbObject *o) override;
    void slideStarting(TDbSlide *slide) override;
    void slideLeaving(TDbSlide *slide) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void placeSurface();
    void pressed(TDbObject *o, Qt::MouseButton button, QPoint globalPos);
    void releaseMedia();
    void finish();

    TAuthorMain &m_author;
    SystemClock m_systemClock;
    QtTimerFactory m_qtTimers;
    TSlideBack *m_surface = nullptr;
    QMenu *m_menu = nullptr;
    double m_savedZoom = 100;
    QHash<TDbObject *, bool> m_visible; // as play last set each object
    QHash<TDbObject *, QWidget *> m_displays; // the video objects' displays
    std::vector<std::unique_ptr<PlayerPlayback>> m_media;
    QList<TDbSlide *> m_shown; // every slide played, to put back at the editing zoom
    TDbSlide *m_firstSlide = nullptr;
    bool m_finished = false;
    // After the media: the play list points at them.
    std::unique_ptr<TBookPlay> m_book;
};

// A slide as the player shows it at timeline time `time` (1/100 s) in a window of `size`: the
// objects whose bars hold that time, a clip by its first frame, a sound not at all. What
// `vkctl book render` writes.
QImage RenderPlayedSlide(EditedSlide &edited, TDbSlide *slide, int time, QSize size, QSize designScreen);

} // namespace vk
