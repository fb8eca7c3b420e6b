// A slide's background as its dialogs edit it (the "Preference" dialog, and the "Background"
// sheet of the slide property dialog): the wallpaper with its style, the colour, the gradient,
// and a preview. The dialogs only collect; the edited slide's request (or the ClearBook list,
// for another slide) stores what they give.
#pragma once

#include "AT_DbClearbook.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;

namespace vk {

class TGradientPanel;
class UiServices;

class TSlideBackgroundBox : public QWidget
{
    Q_OBJECT
public:
    // `allTypes`: every picture kind the library reads is taken (and converted); otherwise
    // BMP, JPG, PCX, PNG and TGA only. `workDir`: where a chosen picture's work copy goes.
    TSlideBackgroundBox(UiServices *ui, const QString &workDir, bool allTypes, QWidget *parent = nullptr);

    // Filled from the slide's properties (its picture read when it has one).
    void fill(const SlideProperties &p);
    // The properties with this box's choices put in.
    SlideProperties applyTo(SlideProperties p) const;

    // Browse: the chosen file; refused with "This format is invalid for wallpaper!" when of
    // another kind, told when it cannot be read. True when the picture was taken.
    bool choosePicture(const QString &path);
    void clearPicture();
    void setColor(ColorValue c);
    void setGradient(bool on);
    void setStyle(int style);

    bool styleChanged = false, colourChanged = false, pictureChanged = false;
    QString picturePath() const { return m_picture; }
    TGradientPanel *preview() const { return m_preview; }

    static QString fileFilter(bool allTypes);

private:
    void showPicture();

    UiServices *m_ui;
    QString m_workDir;
    bool m_allTypes;
    QString m_picture; // the work copy (or the slide's stored picture)
    QImage m_image;
    ColorValue m_color = clWhite;
    QButtonGroup *m_style = nullptr;
    QCheckBox *m_gradient = nullptr;
    TGradientPanel *m_preview = nullptr;
    QPushButton *m_browse = nullptr;
};

// "Preference": the open slide's background.
class TPreferenceDlg : public QDialog
{
    Q_OBJECT
public:
    TPreferenceDlg(UiServices *ui, const QString &workDir, QWidget *parent = nullptr);
    void fill(const SlideProperties &p) { m_box->fill(p); }
    SlideProperties result(const SlideProperties &p) const { return m_box->applyTo(p); }
    TSlideBackgroundBox *box() const { return m_box; }

private:
    TSlideBackgroundBox *m_box;
};

} // namespace vk
