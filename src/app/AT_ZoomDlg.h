// The zoom dialog "Zoom" of the authoring window's slide surface: a fixed ratio or a fit to
// the window, and the zoom percentage (10 to 1000) chosen from five ratios, typed or stepped.
#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QToolButton;

namespace vk {

class UiServices;

class TZoomForm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MinZoom = 10;
    static constexpr int MaxZoom = 1000;

    TZoomForm(bool fixed, int zoom, UiServices &ui, QWidget *parent = nullptr);

    // A typed zoom: an integer from 10 to 1000. Otherwise the message to show.
    static QString checkZoom(const QString &text, int *zoom);
    // The ratio item whose value the zoom is (200, 100, 66, 50, 33), -1 for none.
    static int ratioOf(int zoom);
    // One step up or down from the edit's value, kept inside 10-1000.
    static int step(int zoom, int by);

    bool fixed() const;
    int zoom() const { return m_zoom; }

    void accept() override;

    QCheckBox *FixedCheckBox = nullptr;
    QButtonGroup *FitRadioGroup = nullptr;
    QGroupBox *fitBox = nullptr;
    QLineEdit *FitEdit = nullptr;
    QToolButton *up = nullptr;
    QToolButton *down = nullptr;

private:
    void stepBy(int by);
    void enableControls();

    UiServices &m_ui;
    int m_zoom = 100;
};

} // namespace vk
