// The Timeline Table: one row per object of the edited slide with a bar from its start to its
// end, the ruler with the time scale, the flags as icons on it and the time cursor, the boxes
// of the selected bars' times and the buttons that place flags.
//
// The table shows what the edited slide holds and turns every gesture into one of its
// requests: a bar dragged, a time typed, a flag placed, dragged or removed is one step that
// Undo takes back, and what the slide refuses snaps back.
#pragma once

#include "FlagList.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QMenu;
class QPainter;
class QScrollBar;
class QToolButton;

namespace vk {

class EditedSlide;
class TDbObject;
class TFlagForm;
class TTimelineView;

// The bar colour of an object kind (black for kinds without one).
QColor TimelineBarColor(int kind);
// The icon of a flag kind as the ruler and the flag buttons show it.
void PaintFlagIcon(QPainter &p, const QRect &r, FlagKind kind);

class TfrmSchedule : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmSchedule(EditedSlide &edited, QWidget *parent = nullptr);
    ~TfrmSchedule() override;

    EditedSlide &edited() const { return m_edited; }

    // Row and bar geometry (the vertical zoom changes them by 4).
    int RowHeight = 22;
    int BarHeight = 12;
    int BarTop = 5;
    int ZoomIndex = 1;
    int unit() const;
    int timeToPixels(qint64 t) const;
    int pixelsToTime(qint64 x) const;

    // The scale one step expanded (toward 60) or contracted (toward 1); false at the end.
    bool ZoomIn();
    bool ZoomOut();
    // Rows 4 pixels higher or lower, within the bar heights the table allows.
    bool VZoomIn();
    bool VZoomOut();

    // The time cursor (1/100 s), between 0 and the timeline's end. `show` makes the slide
    // surface show the slide as at that time.
    int cursorTime() const { return m_cursor; }
    void setCursorTime(int t, bool show = true);
    // While the slide plays nothing is edited here: the time boxes are read-only and the flag
    // buttons hidden.
    void setPlaying(bool on);
    bool playing() const { return m_playing; }

    // Removes the selected bars' objects, then the selected flag (a loop with its end).
    void DeleteSelected();
    // The flag button that is down (none: -1 as a kind index), and putting one down.
    QToolButton *flagButton(FlagKind kind) const;
    std::optional<FlagKind> flagButtonDown() const;

    // The dialog of a flag kind (a loop's end: the loop's).
    TFlagForm *dialogFor(FlagKind kind) const;
    // Runs a dialog: shows it modally by default; tests answer it themselves.
    std::function<bool(TFlagForm *, TDbFlag *, int)> runDialog;
    // Opens the kind's dialog for a new flag at `time`, or an existing flag's dialog.
    bool NewFlag(FlagKind kind, int time);
    bool EditFlag(TDbFlag *flag);

    // The slide surface follows the cursor through this.
    std::function<void(int)> cursorMoved;

    // Where things are drawn, in the view's coordinates (for the tests and the screenshots).
    TTimelineView *view() const { return m_view; }
    QRect barRect(const TDbObject *o) const;
    QRect flagIconRect(const TDbFlag *flag) const;
    QLineEdit *StartTime, *EndTime, *ObjectTimeLength, *MaxTimeEdit, *CurrentTime;
    QMenu *rowMenu() const { return m_rowMenu; }

private:
    friend class TTimelineView;
    void followModel();
    bool setZoomIndex(int index);
    void refresh();
    void showTimesOf(const TDbObject *o);
    void showTimes(int start, int length);
    void clearTimes();
    void applyTimeBox(QLineEdit *box);
    void layoutScrollBars();
    int rowCount() const;
    QList<TDbObject *> rows() const;
    void setFlagButtonsEnabled();

    EditedSlide &m_edited;
    TTimelineView *m_view;
    QScrollBar *m_hbar, *m_vbar;
    QToolButton *m_delete, *m_zoomOut, *m_zoomIn, *m_vzoomOut, *m_vzoomIn;
    std::array<QToolButton *, 7> m_flagButtons{};
    QMenu *m_rowMenu;
    std::array<std::unique_ptr<TFlagForm>, 7> m_dialogs;
    int m_cursor = 0;
    int m_fontDelta = 0;
    bool m_playing = false;
};

} // namespace vk
