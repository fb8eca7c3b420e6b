// "Slide Property": a slide's title, author and description, its ending action, its objects
// and its background. The dialog collects; the caller stores what it gives, through the edited
// slide's request for the open slide and through the ClearBook list for any other.
#pragma once

#include "AT_DbClearbook.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;
class QTabWidget;
class QTextEdit;
class QTreeWidget;

namespace vk {

class TSlideBackgroundBox;
class UiServices;

// The tree image of an object kind (the slide explorer and these dialogs share them).
QIcon ObjectKindIcon(int kind);

class TSlidePropertyForm : public QDialog
{
    Q_OBJECT
public:
    TSlidePropertyForm(TDbClearBookList &books, const QString &workDir, QWidget *parent = nullptr);

    // Fills the dialog from the slide (its description read when it is stored).
    void fill(TDbSlide *slide);
    // The properties as the dialog has them now.
    SlideProperties result() const;
    bool descriptionModified() const;
    QString description() const;

    QTabWidget *pgcProperty = nullptr;
    QLineEdit *TitleEdit = nullptr, *AuthorEdit = nullptr;
    QTextEdit *Description = nullptr;
    QRadioButton *rdbPause = nullptr, *rdbRepeat = nullptr, *rdbSequence = nullptr, *rdbJump = nullptr;
    QTreeWidget *trvJump = nullptr, *ObjectTreeView = nullptr;
    TSlideBackgroundBox *background = nullptr;

private:
    void endingChosen();

    TDbClearBookList &m_books;
    TDbSlide *m_slide = nullptr;
    SlideProperties m_start;
};

} // namespace vk
