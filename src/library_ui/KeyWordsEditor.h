// TfrmKeyWords: the "Key Words" tool window. Every keyword of the library is a toggle button
// with its 16 x 16 icon and a label with its name, in a column. The window edits the list (add,
// rename, change the icon, delete) and tags at once: a pressed button means that the current item
// carries the keyword, and toggling it attaches or detaches the keyword there. A keyword's label
// dragged onto tiles tags them, and onto the property dialog's keyword list adds it there.
#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace vk {

class Connection;
class TDbKeyWord;
class TDbKeyWordList;
class UiServices;

// Where the buttons of the column go: row k from the top one shown lies at 1 + 22 k, and the
// scroll buttons show when there is more above or below.
class TKeyWordColumn
{
public:
    static constexpr int RowHeight = 22;

    int Count = 0;
    int FirstShown = 0;
    int Current = -1;
    int PanelHeight = 0; // the client height of the panel

    int visibleRows() const { return PanelHeight / RowHeight; }
    static int rowTop(int k) { return 1 + RowHeight * k; }
    // The button's top in the panel; -1 when it is hidden (above the first shown).
    int buttonTop(int index) const { return index < FirstShown ? -1 : rowTop(index - FirstShown); }
    // Shows from `first`, with `current` highlighted; nothing when `first` is outside the list.
    bool ShowFrom(int first, int current);
    void ScrollUp();
    void ScrollDown();
    bool scrollUpVisible() const { return FirstShown > 0; }
    bool scrollDownVisible() const { return visibleRows() < Count - FirstShown; }
    // Where the list is shown from once a keyword is added at its end.
    int firstForLast() const;
    // The button at `index` made fully visible by scrolling as little as may be.
    void bringIntoView(int index);
};

enum class KeyWordsMode
{
    Edit,        // "Edit...": the column and the edit panel
    IconAndText, // "Icon and Text"
    Icon,        // "Icon"
};

class TfrmKeyWords : public QWidget
{
    Q_OBJECT
public:
    TfrmKeyWords(TDbKeyWordList &keywords, Connection &connection, UiServices &ui, QWidget *parent = nullptr);
    ~TfrmKeyWords() override;

    // A button was pressed (down) or released: the frame gives the change to the property dialog
    // or the current item of the active folder window. True when something was tagged.
    std::function<bool(TDbKeyWord *keyword, bool down)> toggled;

    const TKeyWordColumn &column() const { return m_column; }
    void ShowFrom(int first, int current);
    void ScrollUp();
    void ScrollDown();
    // Presses exactly the buttons whose keyword OID is a line of the text.
    void SetDownStates(const QString &keyWords);
    QStringList downOids() const;

    // The commands of the edit panel.
    void btnAddClick();
    void btnUpdateClick();
    void btnDeleteClick();
    // The image button: a picture file chosen in its open dialog (or given).
    bool btnImageClick(const QString &file = QString());
    void makeCurrent(int index);
    void setMode(KeyWordsMode mode);
    KeyWordsMode mode() const { return m_mode; }
    static int modeWidth(KeyWordsMode mode);

    int buttonCount() const { return int(m_buttons.size()); }
    QToolButton *button(int index) const { return m_buttons.value(index).button; }
    QLabel *label(int index) const { return m_buttons.value(index).label; }

signals:
    // A keyword's name or icon changed: lists that show it paint it again.
    void keywordChanged(vk::TDbKeyWord *keyword);
    // A keyword is about to be deleted: lists that hold it let it go.
    void keywordRemoving(const QString &oid);
    // A media row lost the deleted keyword: its new KeyWords, for the items held in memory.
    void mediaUntagged(const QString &mediaOid, const QString &keyWords);
    void closed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct KeywordButton
    {
        TDbKeyWord *keyword = nullptr;
        QToolButton *button = nullptr;
        QLabel *label = nullptr;
    };
    void buildForm();
    void addButton(TDbKeyWord *keyword);
    void placeButtons();
    void updateEditState();
    void startDrag(int index);
    int indexOfWidget(QObject *w) const;
    QIcon iconOf(const TDbKeyWord *keyword) const;

    TDbKeyWordList &m_keywords;
    Connection &m_connection;
    UiServices &m_ui;
    TKeyWordColumn m_column;
    QList<KeywordButton> m_buttons;
    KeyWordsMode m_mode = KeyWordsMode::Edit;
    bool Editing = false;
    bool ImageChanged = false;
    QImage NewImage; // the chosen picture, 16 x 16; null for none
    QPoint m_pressPoint;
    int m_pressed = -1;

    QFrame *pnlKeyWords = nullptr;
    QWidget *pnlEdit = nullptr;
    QToolButton *btnScrollUp = nullptr, *btnScrollDown = nullptr;
    QPushButton *btnAdd = nullptr, *btnDelete = nullptr, *btnImage = nullptr, *btnUpdate = nullptr,
                *btnExit = nullptr;
    QLineEdit *edtKeyWord = nullptr;
    QToolButton *imgKeyWord = nullptr;
    QLabel *labKeyWordFileSize = nullptr;
    QMenu *pmuKeyWord = nullptr;
    QAction *muiAll = nullptr, *muiOnlyList = nullptr, *muiOnlyIcon = nullptr;
};

} // namespace vk
