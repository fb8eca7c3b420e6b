// "Clearbook Property": a ClearBook's title, author and description, and its slides. The
// caller stores what it gives through the ClearBook list.
#pragma once

#include "AT_DbClearbook.h"

#include <QDialog>

class QLineEdit;
class QTextEdit;
class QTreeWidget;

namespace vk {

class TCBPropertyForm : public QDialog
{
    Q_OBJECT
public:
    explicit TCBPropertyForm(TDbClearBookList &books, QWidget *parent = nullptr);

    // Fills the dialog; the description box is emptied before it is read, so a failed read
    // shows (and stores) nothing of another ClearBook's.
    void fill(TDbClearBook *cb);
    // Stores what was changed (each at once); false when a write failed.
    bool apply();

    QLineEdit *TitleEdit = nullptr, *AuthorEdit = nullptr;
    QTextEdit *Description = nullptr;
    QTreeWidget *SlideTreeView = nullptr;

private:
    TDbClearBookList &m_books;
    TDbClearBook *m_cb = nullptr;
};

} // namespace vk
