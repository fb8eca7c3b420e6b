// The media slide show: the items of a folder window one after the other, full screen, on
// black. Pictures come on with a transition effect and are scaled down to the screen when
// larger; sound plays with the "Audio" bitmap showing, video plays centred; both go to their end
// through the media player control. The show moves on by itself after the interval
// (Automatic) or at a click or key (User Click).
//
// Items whose file is missing are passed over silently; media that cannot be opened say
// "Media open failed!" and are passed over. A show that goes once round its whole list without
// anything it could show ends with a message instead of going round for ever.
#pragma once

#include "SlideShowSettings.h"
#include "Transitions.h"

#include <QImage>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace vk {

class TDbMedia;
class TMediaPlayer;
class TTransitionView;
class Timer;
class TimerFactory;
class UiServices;

// The items the show goes through, asked again for each item (the folder's list or its window's
// selection as they are now; empty once the window is gone).
using SlideShowList = std::function<QList<TDbMedia *>()>;

class TSlideForm : public QWidget
{
    Q_OBJECT
public:
    // Messages go to `ui`; timers (the show's interval, the effect's start and its frames) come
    // from `timers` (Qt's when none), random effects from `random` (a seeded generator when none).
    TSlideForm(SlideShowList list, SlideShowSettings &settings, UiServices *ui,
               TimerFactory *timers = nullptr, TransitionRandom *random = nullptr, QWidget *parent = nullptr);
    ~TSlideForm() override;

    // Messages go to `ui`, which the show keeps.
    void adoptUi(std::unique_ptr<UiServices> ui);
    // The screen the show fills (the window's screen unless set).
    void setScreenSize(QSize size);
    QSize screenSize() const { return m_screen; }
    // A picture's size on the screen: scaled down, keeping its proportions, to fit.
    static QSize FitToScreen(QSize picture, QSize screen);
    // The effect the show uses for its next picture: the chosen one, or with random effects a
    // random number that has a pattern.
    int effectForNextPicture();

    // Shows the first item.
    void start();
    void ShowItem(int index);
    // The popup's commands.
    void NextClick();
    void BackwardClick();
    void CloseClick();

    bool isClosed() const { return m_closed; }
    int ShowIndex = 0;
    int ShowCount = 0;

    // What shows: the picture box (a picture or the "Audio" bitmap), the title, the player
    // and its display panel.
    TTransitionView *PaintBox;
    QLabel *labTitle;
    TMediaPlayer *MediaPlayer;
    QWidget *DisplayPanel;
    QMenu *PopupMenu;
    QAction *pmiClose, *pmiBackward, *pmiNext;
    Timer &showTimer() const { return *m_showTimer; }
    Timer &effectTimer() const { return *m_effectTimer; }
    // The media type of the item showing (-1 when none).
    int currentType() const { return m_currentType; }
    int lastEffect() const { return m_lastEffect; }

signals:
    // The show ended (it closes itself).
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Outcome
    {
        Shown,
        PassedOver,
    };
    Outcome present(TDbMedia *item);
    void EffectTimerTimer();
    void ShowTimerTimer();
    void PlayerNotify();
    void effectFinished();
    void placeTitle();
    void closePlayer();
    void message(const char *name);
    void end(const char *why = nullptr);
    // A click or key that moves the show on.
    void forward();
    bool userClick() const { return m_settings.ChangeOption == SlideShowSettings::UserClick; }

    SlideShowList m_list;
    SlideShowSettings &m_settings;
    UiServices *m_ui;
    std::unique_ptr<UiServices> m_ownUi;
    std::unique_ptr<TimerFactory> m_ownTimers;
    std::unique_ptr<TransitionRandom> m_ownRandom;
    TransitionRandom *m_random;
    std::unique_ptr<Timer> m_showTimer, m_effectTimer;
    QSize m_screen;
    QImage m_picture; // the prepared picture
    QImage m_audio;   // the "Audio" bitmap
    int m_currentType = -1;
    int m_lastEffect = -1;
    bool m_shownAny = false;
    bool m_closed = false;
};

} // namespace vk
