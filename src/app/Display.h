// The media display options dialog "Display": how large a picture is shown (actual size, a
// share of the screen or a custom size) and where (a corner or the centre), with a preview.
#pragma once

#include <QDialog>
#include <QRect>

class QButtonGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace vk {

struct DisplayOptions;
class UiServices;

class TOptionDisplay : public QDialog
{
    Q_OBJECT
public:
    TOptionDisplay(DisplayOptions &options, UiServices &ui, QSize screen, QWidget *parent = nullptr);

    // The size options, in the order of SizeOptionChecked.
    enum Size
    {
        ActualSize = 0,
        HalfScreen = 1,
        QuarterScreen = 2,
        SixteenthScreen = 3,
        CustomSize = 4
    };

    // What the edits show for a size choice.
    static QSize editSize(int sizeOption, QSize screen, QSize working, QSize picture);
    // The preview picture's size in a panel standing for the screen.
    static QSize previewSize(int sizeOption, QSize panel, QSize screen, QSize working, QSize picture);
    // Where the preview picture lies in the panel for a position choice (0-4).
    static QPoint previewPosition(int position, QSize panel, QSize picture);
    // A width or height typed into an edit: empty, not a number, not above 0 or beyond the
    // screen side give the message to show; otherwise an empty text and *value.
    static QString checkSide(const QString &text, int screenSide, bool width, int *value);

    void accept() override;
    void reject() override;

    QRadioButton *sizeButton(int option) const;
    QRadioButton *positionButton(int position) const;
    QLineEdit *WidthEdit = nullptr;
    QLineEdit *HeightEdit = nullptr;
    QFrame *Panel = nullptr;
    QLabel *Image = nullptr;
    // The size kept between showings (CustomWidth, CustomHeight).
    QSize working() const { return m_working; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void sizeChosen(int option);
    void placePreview();
    bool leaveEdit(QLineEdit *edit);

    DisplayOptions &m_options;
    UiServices &m_ui;
    QSize m_screen;
    QSize m_working;
    QSize m_picture;
    QButtonGroup *m_sizes = nullptr;
    QButtonGroup *m_positions = nullptr;
    bool m_checking = false;
};

} // namespace vk
