// What the six flag dialogs share: the mark name, the time boxes, OK and Cancel, and the
// checking on OK. Each dialog is made once with the authoring window and reused; OK turns the
// boxes into a proposed flag and asks the edited slide to make or change it. When the slide
// refuses, the reason has been shown and the dialog stays open.
#pragma once

#include "FlagList.h"

#include <QDialog>
#include <QSpinBox>

class QBoxLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace vk {

class EditedSlide;

// A box whose spin buttons stay within limits while a typed value may go beyond them: the
// dialog checks typed values itself.
class TLimitedSpin : public QSpinBox
{
    Q_OBJECT
public:
    TLimitedSpin(int low, int high, QWidget *parent = nullptr);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int m_low, m_high;
};

// A time as three boxes: minutes, seconds and hundredths ("ms").
class TTimeBoxes : public QWidget
{
    Q_OBJECT
public:
    // The spin limits of minutes and hundredths (99 or 100 as the dialog has them).
    TTimeBoxes(int minutesHigh, int hundredthsHigh, QWidget *parent = nullptr);
    void setTime(int t);
    // The time in hundredths; false, with the reason, when a box is negative or the time does
    // not fit in a timeline.
    bool time(int *t, QString *why) const;

    TLimitedSpin *Minutes, *Seconds, *Hundredths;
};

class TFlagForm : public QDialog
{
    Q_OBJECT
public:
    // `startTitle` names the group of the flag's own time ("Start Time", "Pause Time", ...);
    // `wideSpins` gives minutes and hundredths spin limits of 100 instead of 99.
    TFlagForm(EditedSlide &edited, FlagKind kind, const QString &caption, const QString &startTitle,
              bool wideSpins, QWidget *parent = nullptr);

    FlagKind kind() const { return m_kind; }
    // Fills the boxes from `flag`, or for a new flag (null) at `time` with its default name,
    // then shows the dialog modally. True when OK made or changed the flag.
    bool Execute(TDbFlag *flag, int time);
    // The first half of Execute, without showing the dialog.
    void Prepare(TDbFlag *flag, int time);
    // What OK does: false, the dialog left open, when a box is invalid or the slide refuses.
    bool Ok();
    // The flag made or changed by the last successful OK.
    TDbFlag *Flag() const { return m_flag; }

    QLineEdit *MarkName;
    TTimeBoxes *StartTime;
    QPushButton *OkButton, *CancelButton;

protected:
    // The dialog's own boxes from a flag, and for a new one.
    virtual void fill(const TsFlag &) {}
    virtual void fillNew(int /*time*/) {}
    // The dialog's own fields of the proposed flag; false with the reason when a box is
    // invalid.
    virtual bool propose(TsFlag &, QString * /*why*/) { return true; }

    // A titled group placed in the dialog's column above the buttons.
    QGroupBox *addGroup(const QString &title);
    void refuse(const QString &why) const;

    EditedSlide &m_edited;

private:
    FlagKind m_kind;
    TDbFlag *m_editing = nullptr;
    TDbFlag *m_flag = nullptr;
    QBoxLayout *m_column;
};

} // namespace vk
