// TPropertyDialog: the one "Property" window of the workspace. It shows one subject at a time,
// a folder or a media item, follows the selection while it is visible, and lets the person view
// the media (a picture in the image component, text, sound and video with the player's buttons,
// documents opened with the desktop's own program) and edit the title, date, author,
// description and keywords.
//
// Edits are written through the library's commit path (MediaProperties.h) when another subject
// is shown, when a title field is left and when the window loses the focus; losing the focus
// also closes it unless it is pinned. A commit that fails keeps the subject and the edits.
#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace vk {

class FolderWindowHost;
class TDbFolder;
class TDbKeyWordList;
class TDbKeyWord;
class TDbMedia;
class TImageWindow;
class TMediaPlayer;
struct DisplayOptions;

// The drag of a keyword from the keywords list onto the property dialog's keyword list: the
// data is the keyword's OID.
inline constexpr const char *KeywordMimeType = "application/x-vellumark-keyword";

class TPropertyDialog : public QWidget
{
    Q_OBJECT
public:
    TPropertyDialog(FolderWindowHost &host, TDbKeyWordList &keywords, QWidget *parent = nullptr);
    ~TPropertyDialog() override;

    // The display options that size and place it (the workspace's); none: the content's size, centred.
    void setDisplayOptions(const DisplayOptions *options) { m_options = options; }
    // Opens the keywords editor; without one the Editor button is off, and so it is while the
    // editor is open.
    void setKeywordsEditor(std::function<void()> open);
    void setKeywordsEditorOpen(bool open);
    // The print layout for the picture shown; without one "&Print..." is off.
    void setPrintPicture(std::function<void(const QImage &picture, const QString &title)> print);

    // Shows a media item (a search result's mirror shows the library item it mirrors) or a
    // folder. The same subject again does nothing; another commits the edits of the one before
    // first and, when that fails, is not shown (false).
    bool ShowMedia(TDbMedia *item);
    bool ShowFolder(TDbFolder *folder);
    // Writes the edited fields of the subject; true when there was nothing to write.
    bool CommitEdits();
    // The window lost the focus: unless pinned, playing stops, the edits are committed and the
    // window closes with no subject (a failed commit keeps it open, with its edits).
    void FormDeactivate();
    // The subject's folder or item is leaving the library (the workspace closes): it is let go
    // without writing anything more.
    void releaseSubject();

    TDbMedia *SubjectMedia() const { return m_media; }
    TDbFolder *SubjectFolder() const { return m_folder; }
    // The media type shown, -100 for a folder, -1 for none.
    int ShownType() const { return m_shownType; }
    bool Pinned() const { return m_pinned; }
    void setPinned(bool pinned);
    bool Playing() const { return m_playing; }
    TMediaPlayer *MediaPlayer() const { return m_player; }
    TImageWindow *ImageWindow() const { return m_image; }

    // The keyword list: a row for each keyword of the subject ("[Lost]" for an OID no keyword
    // has), with the OIDs behind them.
    QStringList keywordRows() const;
    QStringList keywordRowOids() const;
    // A keyword dropped on the list: added unless listed, its Reference raised and stored.
    bool addKeyword(TDbKeyWord *keyword);
    // The selected row removed; a known keyword's Reference lowered and stored.
    void removeSelectedKeyword();
    // The keyword's row removed (its button in the keywords editor was released), likewise.
    bool removeKeyword(TDbKeyWord *keyword);
    // The keyword is gone from the library (the keywords editor deleted it): its row goes, and
    // the list is written at the next commit.
    void forgetKeyword(const QString &oid);

    // The timer that follows playback: the track bar moves, the end rewinds to the start.
    void tmrMediaPlayTimer();
    // The track bar was moved by the person.
    void TrackBarChange(int position);

signals:
    // A commit wrote the subject: the explorer's node, tiles and window captions follow.
    void committed(vk::TDbMedia *item, vk::TDbFolder *folder);
    // The keyword list shows other keywords (another subject, a drop, a delete).
    void keywordRowsChanged();

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void buildMenus();
    bool prepareForSubject();
    void stopPlaying();
    void loadViewer(TDbMedia *item);
    void showLoadError(const QString &text);
    void showThumbnail(TDbMedia *item);
    void fillKeywordList(const QString &keyWords);
    void applyFitMode();
    void placeOnScreen(bool sized);
    QSize optionSize() const;
    void keepOnScreen();
    void updateTracking();
    void subjectLeaving(const void *folderOrItem);
    void checkSubjectStillThere();
    void titleLeft();
    bool dateLeft(QLineEdit *edit);
    void updateImage();
    void exportMedia();
    void textCommand(const QString &name);
    QWidget *textTarget() const;
    void showPicturePopup(const QPoint &globalPos);
    // Runs something that may show windows of its own: losing the focus to them is no leave.
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
    TDbKeyWordList &m_keywords;
    const DisplayOptions *m_options = nullptr;
    std::function<void()> m_openEditor;
    bool m_editorOpen = false;
    std::function<void(const QImage &, const QString &)> m_printPicture;
    QAction *m_printItem = nullptr;

    TDbMedia *m_media = nullptr;
    TDbFolder *m_folder = nullptr;
    int m_shownType = -1;
    bool m_pinned = false;
    bool m_playing = false;
    bool m_keywordsModified = false;
    int m_guard = 0;
    QSize m_lastSize;
    // A subject whose node left its list: still the subject if it comes back in the same event
    // (a move), let go otherwise. Never dereferenced meanwhile.
    const void *m_leaving = nullptr;
    QString m_leavingOid;
    bool m_leavingIsFolder = false;

    // The form.
    QTabWidget *PageControl = nullptr;
    QWidget *Media = nullptr, *Description = nullptr, *Folder = nullptr, *tbsKeyWords = nullptr;
    QLineEdit *MediaTitleEdit = nullptr;
    QStackedWidget *m_viewers = nullptr;
    TImageWindow *m_image = nullptr;
    QPlainTextEdit *MediaText = nullptr;
    QWidget *MediaPanel = nullptr;
    QWidget *m_videoPanel = nullptr;
    QLabel *m_soundPicture = nullptr;
    TMediaPlayer *m_player = nullptr;
    QSlider *TrackBar = nullptr;
    QWidget *m_documentPanel = nullptr;
    QLabel *m_documentName = nullptr;
    QLabel *labMediaError = nullptr;
    QPlainTextEdit *MediaDescription = nullptr;
    QLineEdit *MediaDateEdit = nullptr, *MediaAuthorEdit = nullptr;
    QLabel *labMediaSize = nullptr, *labFileSize = nullptr, *labFileLoc = nullptr;
    QLabel *imgThumbnail = nullptr;
    QPlainTextEdit *FolderMemo = nullptr;
    QLineEdit *FolderTitleEdit = nullptr, *FolderDateEdit = nullptr, *FolderAuthorEdit = nullptr;
    QListWidget *lstMediaKeyWords = nullptr;
    QPushButton *btnEditor = nullptr, *btnDelete = nullptr;
    QToolButton *WH_Image = nullptr, *RD_Image = nullptr;
    QMenu *PopupMenu = nullptr, *PopupMenu2 = nullptr, *pmuTextEdit = nullptr;
    QList<QAction *> m_fitItems;
    QAction *m_updateImage = nullptr, *m_replaceFromClipboard = nullptr;
    QTimer tmrMediaPlay;
    QPoint m_rightPress;
};

// "0.#" kilobytes followed by "K": 2048 bytes are "2K", 1127 bytes "1.1K".
QString FileSizeLabel(qint64 bytes);

} // namespace vk
