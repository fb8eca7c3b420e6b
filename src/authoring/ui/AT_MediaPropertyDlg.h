// "Media Property": a slide object's title, its kind and where it links to. The caller gives
// the new title to the object.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace vk {

class TDbObject;

class TMediaPropertyForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMediaPropertyForm(QWidget *parent = nullptr);
    void fill(const TDbObject *o);
    QString title() const;

    // The link boxes' texts of a link (codes as Obj_Link_SlideId holds them).
    static QPair<QString, QString> linkTexts(const TDbObject *o);

    QLineEdit *TitleEdit = nullptr, *MediaTypeEdit = nullptr, *CBLinkEdit = nullptr, *SlideLinkEdit = nullptr;
    QLabel *Image = nullptr;
};

} // namespace vk
