// The slide show's option dialog ("Slide Option"): the effect, chosen from five pages of
// buttons and previewed on the program's logo, the display speed (the effect's block size),
// the interval, how the show moves on, random effects, which items are shown, repeating and
// the title.
//
// Every control changes its setting at once, as the show's owner expects; Cancel puts every
// setting back to what it was when the dialog opened.
#pragma once

#include "SlideShowSettings.h"

#include <QDialog>
#include <QMap>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace vk {

class TTransitionView;
class TimerFactory;

class TSlideOpForm : public QDialog
{
    Q_OBJECT
public:
    TSlideOpForm(SlideShowSettings &settings, QWidget *parent = nullptr, TimerFactory *timers = nullptr);

    // The controls, by the names the dialog gives them.
    QTabWidget *PageControl;
    QLabel *labCurrentEffect;
    TTransitionView *Preview;
    QPushButton *btnRedraw;
    QSlider *tbSpeed;
    QComboBox *cbInterval;
    QRadioButton *rdbAutomatic, *rdbUserClick;
    QCheckBox *ckbRandom;
    QRadioButton *rdbAll, *rdbSelected;
    QCheckBox *ckbRepeatPlay, *ckbDisplayTitle;
    QPushButton *btnOK, *btnCancel;

    // The effect's button; null for a number without one.
    QPushButton *effectButton(int effect) const { return m_buttons.value(effect); }
    // The picture the preview brings on.
    static QImage logoPicture(QSize size);

    void done(int result) override;

private:
    void EffectButtonClick(int effect);
    void RedrawClick();
    void showSettings();

    SlideShowSettings &m_settings;
    SlideShowSettings m_opened; // what Cancel puts back
    QMap<int, QPushButton *> m_buttons;
};

} // namespace vk
