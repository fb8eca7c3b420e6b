// "Open Clearbook": one of the ClearBooks, with its author and description.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;
class QTreeWidget;

namespace vk {

class TDbClearBook;
class TDbClearBookList;

class TOpenClearBookDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TOpenClearBookDlg(TDbClearBookList &books, QWidget *parent = nullptr);
    TDbClearBook *chosen() const;
    // The author and description of the selected ClearBook (shown 300 ms after it is chosen).
    void showDetails();

    QTreeWidget *trvClearBooks = nullptr;
    QLabel *labAuthor = nullptr, *labDescription = nullptr;

private:
    TDbClearBookList &m_books;
    QTimer *m_details = nullptr;
};

} // namespace vk
