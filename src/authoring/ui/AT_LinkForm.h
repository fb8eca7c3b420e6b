// "Link to": where the chosen objects link to: the next, previous or last slide shown, the
// slide again, or a slide of any ClearBook. The dialog collects; the caller gives the link to
// the objects.
#pragma once

#include "AT_DbClearbook.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace vk {

class TLinkForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLinkForm(TDbClearBookList &books, QWidget *parent = nullptr);

    // The source: the first object, "(Multiple)" when there are more.
    void fill(const QList<TDbObject *> &objects);

    // The result: with a chosen slide its ClearBook and slide id; otherwise ClearBook 0 and
    // the code of the chosen kind (-1 Next, -2 Previous, -3 Backward, -4 Replay, 0 none).
    int linkCBId() const { return m_cbId; }
    int linkSlideId() const { return m_slideId; }
    QString clearBookText() const;
    QString slideText() const;

    // "Change Link" on the selected node: a slide is taken; a ClearBook is refused with
    // "Unable to link clearbook!".
    bool changeLink();
    void clearLink();
    // "New Slide to Link": a new stored slide of the source's ClearBook, taken as the target.
    bool newSlideToLink(const QString &title, const QString &author, const QString &description);

    QRadioButton *rdbNext = nullptr, *rdbPrevious = nullptr, *rdbBackward = nullptr, *rdbReplay = nullptr,
                 *rdbSelect = nullptr;
    QTreeWidget *trvSlides = nullptr;
    QLabel *labSourceBook = nullptr, *labSourceSlide = nullptr, *labSourceObject = nullptr;
    QLabel *labLinkBook = nullptr, *labLinkSlide = nullptr, *labAuthor = nullptr, *labDescription = nullptr;
    QPushButton *btnChange = nullptr, *btnClear = nullptr, *btnNewSlide = nullptr;

private:
    void kindChosen();
    void showDetails();
    void setTarget(int cbId, int slideId, const QString &book, const QString &slide);

    TDbClearBookList &m_books;
    TDbClearBook *m_sourceBook = nullptr;
    QTimer *m_details = nullptr;
    int m_cbId = 0, m_slideId = 0;
    bool m_filling = false;
};

} // namespace vk
