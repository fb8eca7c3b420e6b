// TPropertyEditor: the small "Property Editor" tool window that stays on top. It shows one media
// item or one folder and lets the person change its title, date, author and description on the
// spot, look at its content (picture, sound, video, text, document), export it and print a
// picture. The folder window and the folder explorer ask it to show an item.
//
// Changes are written (Apply) when a field is left, when another item is shown and when the
// window loses the focus, which also closes it unless the pin holds it. A write that fails keeps
// the item and its edits, so that the next Apply tries again.
#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSlider;
class QStackedWidget;
class QToolButton;

namespace vk {

class FolderWindowHost;
class TDbFolder;
class TDbMedia;
class TImageWindow;
class TMediaPlayer;

class TPropertyEditor : public QWidget
{
    Q_OBJECT
public:
    explicit TPropertyEditor(FolderWindowHost &host, QWidget *parent = nullptr);
    ~TPropertyEditor() override;

    // Runs before another item is shown: the frame closes the property dialog there.
    std::function<void()> aboutToShow;
    // The print layout for the shown picture (the frame's; none: Print is off).
    std::function<void(const QImage &picture, const QString &title)> printPicture;

    // Shows a media item (a search result's mirror shows the library item it mirrors; a
    // subfolder tile its folder) or a folder. Writes the one shown before first; false when that
    // failed or the new item's media cannot be opened.
    bool ShowItem(TDbMedia *item);
    bool ShowFolder(TDbFolder *folder);
    // Writes what changed of the shown item; true when everything changed was stored.
    bool Apply();
    // The window lost the focus: unless pinned, media stop, Apply runs and the window closes
    // (a failed Apply keeps it open, with its edits).
    void FormDeactivate();
    // The shown item is leaving the library (or the workspace closes): let go without writing.
    void releaseItem();

    TDbMedia *ShownMedia() const { return m_media; }
    TDbFolder *ShownFolder() const { return m_folder; }
    bool KeepOpen() const { return m_keepOpen; }
    void setKeepOpen(bool keep);
    TImageWindow *ImageWindow() const { return m_image; }
    TMediaPlayer *MediaPlayer() const { return m_player; }
    // The settle timer showed the picture viewer.
    bool ImageShown() const { return m_imageShown; }

signals:
    // An Apply wrote the item: the explorer's node, tiles and captions follow.
    void committed(vk::TDbMedia *item, vk::TDbFolder *folder);

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void buildMenus();
    bool prepare();
    void stopMedia();
    bool loadContent(TDbMedia *item);
    void showFields(const QString &title, qint64 date, const QString &author, const QString &description);
    void settle();
    void placeFirstTime();
    void placePicture();
    void applyFitMode();
    bool dateLeft();
    void updateImage();
    void exportMedia();
    void showInformation();
    void textCommand(const QString &command, QWidget *target);
    void positionTimer();
    template <typename F> auto guarded(F f)
    {
        ++m_guard;
        struct Release
        {
            int &n;
            ~Release() { --n; }
        } release{m_guard};
        return f();
    }

    FolderWindowHost &m_host;
    TDbMedia *m_media = nullptr;
    TDbFolder *m_folder = nullptr;
    bool m_keepOpen = false;
    bool m_imageShown = false;
    bool m_placed = false;
    int m_guard = 0;
    QPoint m_rightPress;

    QWidget *m_browser = nullptr; // "Media Browser:" and its pages
    QStackedWidget *m_pages = nullptr;
    QWidget *m_picturePage = nullptr;
    QFrame *m_pictureFrame = nullptr;
    TImageWindow *m_image = nullptr;
    QWidget *m_playerPage = nullptr;
    QLabel *m_soundPicture = nullptr;
    QWidget *m_videoPanel = nullptr;
    TMediaPlayer *m_player = nullptr;
    QSlider *m_trackBar = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QWidget *m_documentPage = nullptr;
    QLabel *m_documentName = nullptr;
    QWidget *m_info = nullptr;
    QLineEdit *edtTitle = nullptr, *edtDate = nullptr, *edtAuthor = nullptr;
    QPlainTextEdit *meoDescription = nullptr;
    QToolButton *m_pin = nullptr;
    QMenu *m_pictureMenu = nullptr, *m_playerMenu = nullptr, *m_textMenu = nullptr;
    QList<QAction *> m_fitItems;
    QAction *m_videoFit = nullptr, *m_replaceFromClipboard = nullptr, *m_updateImage = nullptr,
            *m_print = nullptr;
    QTimer tmrSettle;
    QTimer tmrPosition;
};

} // namespace vk
