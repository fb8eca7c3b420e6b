// "Graphic Attribute": the pen, brush and arrow heads of drawn shapes. Opened on one shape it
// shows that shape's attributes; on several, every list starts empty and only what the person
// then chooses is changed on them. The dialog only collects the choice; the edited slide makes
// the change (one step of its history).
#pragma once

#include "EditedSlide.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace vk {

class TDrawAttributeFrm : public QDialog
{
    Q_OBJECT
public:
    // `shapes`: the shape being edited, or the selected shapes.
    explicit TDrawAttributeFrm(const QList<TDbObject *> &shapes, QWidget *parent = nullptr);

    // What was chosen: on one shape every attribute, on several only those set here.
    GraphicChoice choice() const;
    // The colour dialog's answer, as a test gives it.
    void setPenColor(ColorValue c);
    void setBrushColor(ColorValue c);

    QComboBox *brushStyle = nullptr;
    QComboBox *penStyle = nullptr;
    QComboBox *penWidth = nullptr;
    QComboBox *arrow = nullptr;
    QCheckBox *touch = nullptr;
    QPushButton *brushColorButton = nullptr;
    QPushButton *penColorButton = nullptr;
    QWidget *sample = nullptr;

private:
    bool m_several = false;
    bool m_touchChosen = false;
    std::optional<ColorValue> m_penColor, m_brushColor;
    ObjectProperties m_shown; // what the sample draws
};

} // namespace vk
