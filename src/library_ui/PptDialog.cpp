#include "PptDialog.h"

#include "Connection.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "Icons.h"
#include "ImageWindow.h"
#include "KeyWords.h"
#include "MPlayer.h"
#include "MediaExport.h"
#include "MediaFiles.h"
#include "MediaProperties.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "OptionStore.h"
#include "PictureFiles.h"
#include "RecordStatements.h"
#include "UiServices.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vk {

namespace {

// The sizes the form was designed with.
const QSize MediaMinimum(309, 311);
const QSize FolderSize(320, 341);
const QSize TextSize(409, 409);
const QSize SoundSize(309, 309);
const QSize KeywordsMinimum(220, 300);
const QSize PictureMargins(18, 90);

enum ViewerPage
{
    NoViewer,
    PictureViewer,
    TextViewer,
    PlayerViewer,
    DocumentViewer,
};

bool isSound(int type)
{
    return type >= 100 && type < 200;
}

bool isVideo(int type)
{
    return type >= 200 && type < 300;
}

class Hourglass
{
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass &) = delete;
    Hourglass &operator=(const Hourglass &) = delete;
};

// The pin: a round head on a needle, upright (pinned) or leaning (not).
QIcon pinIcon(bool pinned)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (!pinned) {
        p.translate(8, 8);
        p.rotate(45);
        p.translate(-8, -8);
    }
    p.setPen(QPen(QColor(0x55, 0x57, 0x53), 1.5));
    p.drawLine(QPointF(8, 8), QPointF(8, 15));
    p.setPen(QPen(QColor(0xa4, 0x00, 0x00), 1));
    p.setBrush(QColor(0xef, 0x29, 0x29));
    p.drawEllipse(QRectF(3.5, 1.5, 9, 7));
    return QIcon(pm);
}

// A text file as it was written: UTF-8 when it reads as that, else the old single-byte code.
QString readText(const QString &path, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QLabel *label(const char *text, QWidget *parent)
{
    return new QLabel(QString::fromLatin1(text), parent);
}

QLineEdit *dateEdit(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setInputMask(QStringLiteral("0000-00-00;_"));
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 16);
    return e;
}

} // namespace

QString FileSizeLabel(qint64 bytes)
{
    const double tenths = std::round(double(std::max<qint64>(bytes, 0)) / 1024.0 * 10.0);
    const qint64 whole = qint64(tenths) / 10, fraction = qint64(tenths) % 10;
    return (fraction ? QStringLiteral("%1.%2").arg(whole).arg(fraction) : QString::number(whole)) +
           QLatin1Char('K');
}

TPropertyDialog::TPropertyDialog(FolderWindowHost &host, TDbKeyWordList &keywords, QWidget *parent)
    : QWidget(parent, Qt::Tool), m_host(host), m_keywords(keywords)
{
    setObjectName(QStringLiteral("PropertyDialog"));
    setWindowTitle(QStringLiteral("Property"));
    buildForm();
    buildMenus();
    resize(300, 320);
    setMinimumSize(MediaMinimum);
    tmrMediaPlay.setInterval(100);
    connect(&tmrMediaPlay, &QTimer::timeout, this, &TPropertyDialog::tmrMediaPlayTimer);
    // A subject that leaves the library leaves the dialog.
    TDbFolderList &roots = m_host.roots();
    connect(&roots, &TDbFolderList::itemRemoved, this, [this](TDbFolder *, TDbMedia *item) {
        if (item == m_media)
            subjectLeaving(item);
        else if (item->SubFolder &&
                 ((m_folder && item->SubFolder->IsSelfOrDescendant(m_folder)) ||
                  (m_media && m_media->Owner && item->SubFolder->IsSelfOrDescendant(m_media->Owner))))
            subjectLeaving(m_folder ? static_cast<const void *>(m_folder) : m_media);
    });
    connect(&roots, &TDbFolderList::rootRemoved, this, [this](TDbFolder *folder) {
        if (m_folder && folder->IsSelfOrDescendant(m_folder))
            subjectLeaving(m_folder);
        else if (m_media && m_media->Owner && folder->IsSelfOrDescendant(m_media->Owner))
            subjectLeaving(m_media);
    });
}

TPropertyDialog::~TPropertyDialog() = default;

// ---------------------------------------------------------------------------------------------
// The form

void TPropertyDialog::buildForm()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    layout->addWidget(PageControl);

    // The pin, at the top right.
    auto *floatPanel = new QWidget(PageControl);
    floatPanel->setObjectName(QStringLiteral("FloatPanel"));
    auto *pins = new QHBoxLayout(floatPanel);
    pins->setContentsMargins(0, 0, 0, 0);
    WH_Image = new QToolButton(floatPanel);
    WH_Image->setObjectName(QStringLiteral("WH_Image"));
    WH_Image->setIcon(pinIcon(false));
    WH_Image->setToolTip(QStringLiteral("Stay On Top"));
    WH_Image->setStatusTip(QStringLiteral("Stay On Top"));
    WH_Image->setAutoRaise(true);
    RD_Image = new QToolButton(floatPanel);
    RD_Image->setObjectName(QStringLiteral("RD_Image"));
    RD_Image->setIcon(pinIcon(true));
    RD_Image->setToolTip(QStringLiteral("Stay On Top"));
    RD_Image->setStatusTip(QStringLiteral("Cancel Stay On Top"));
    RD_Image->setAutoRaise(true);
    RD_Image->hide();
    pins->addWidget(WH_Image);
    pins->addWidget(RD_Image);
    PageControl->setCornerWidget(floatPanel, Qt::TopRightCorner);
    connect(WH_Image, &QToolButton::clicked, this, [this] { setPinned(true); });
    connect(RD_Image, &QToolButton::clicked, this, [this] { setPinned(false); });

    // Media.
    Media = new QWidget;
    Media->setObjectName(QStringLiteral("Media"));
    auto *media = new QVBoxLayout(Media);
    media->setContentsMargins(2, 2, 2, 2);
    auto *titlePanel = new QHBoxLayout;
    titlePanel->addWidget(label("Title:", Media));
    MediaTitleEdit = new QLineEdit(Media);
    MediaTitleEdit->setObjectName(QStringLiteral("MediaTitleEdit"));
    MediaTitleEdit->setMaxLength(127);
    titlePanel->addWidget(MediaTitleEdit);
    media->addLayout(titlePanel);
    m_viewers = new QStackedWidget(Media);
    m_viewers->addWidget(new QWidget);
    m_image = new TImageWindow;
    m_image->setObjectName(QStringLiteral("ImageWindow"));
    m_image->setSelectionEnabled(true);
    m_image->viewport()->installEventFilter(this);
    m_viewers->addWidget(m_image);
    MediaText = new QPlainTextEdit;
    MediaText->setObjectName(QStringLiteral("MediaText"));
    m_viewers->addWidget(MediaText);
    MediaPanel = new QWidget;
    MediaPanel->setObjectName(QStringLiteral("MediaPanel"));
    auto *player = new QVBoxLayout(MediaPanel);
    player->setContentsMargins(0, 0, 0, 0);
    m_videoPanel = new QWidget(MediaPanel);
    m_videoPanel->setObjectName(QStringLiteral("VideoPanel"));
    m_videoPanel->setAutoFillBackground(true);
    QPalette black = m_videoPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_videoPanel->setPalette(black);
    m_videoPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    m_videoPanel->hide();
    player->addWidget(m_videoPanel, 1);
    m_soundPicture = new QLabel(MediaPanel);
    m_soundPicture->setAlignment(Qt::AlignCenter);
    m_soundPicture->hide();
    player->addWidget(m_soundPicture, 1);
    auto *controls = new QHBoxLayout;
    m_player = new TMediaPlayer(MediaPanel);
    m_player->setVisibleButtons(buttonBit(btPlay) | buttonBit(btPause) | buttonBit(btStop));
    m_player->setFixedSize(84, 28);
    controls->addWidget(m_player);
    TrackBar = new QSlider(Qt::Horizontal, MediaPanel);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setTickPosition(QSlider::TicksBelow);
    controls->addWidget(TrackBar, 1);
    player->addLayout(controls);
    MediaPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    m_viewers->addWidget(MediaPanel);
    m_documentPanel = new QWidget;
    m_documentPanel->setObjectName(QStringLiteral("DocumentPanel"));
    auto *document = new QVBoxLayout(m_documentPanel);
    auto *documentIcon = new QLabel(m_documentPanel);
    documentIcon->setPixmap(vkIcon(QStringLiteral("document")).pixmap(32, 32));
    documentIcon->setAlignment(Qt::AlignCenter);
    m_documentName = new QLabel(m_documentPanel);
    m_documentName->setAlignment(Qt::AlignCenter);
    m_documentName->setWordWrap(true);
    auto *open = new QPushButton(QStringLiteral("&Open"), m_documentPanel);
    open->setObjectName(QStringLiteral("btnOpenDocument"));
    document->addStretch(1);
    document->addWidget(documentIcon);
    document->addWidget(m_documentName);
    document->addWidget(open, 0, Qt::AlignCenter);
    document->addStretch(1);
    m_viewers->addWidget(m_documentPanel);
    media->addWidget(m_viewers, 1);
    labMediaError = new QLabel(QStringLiteral("Media Error!"), Media);
    labMediaError->setObjectName(QStringLiteral("labMediaError"));
    labMediaError->setAlignment(Qt::AlignCenter);
    labMediaError->setWordWrap(true);
    labMediaError->setStyleSheet(QStringLiteral("color: #a40000"));
    labMediaError->hide();
    media->addWidget(labMediaError);
    PageControl->addTab(Media, QStringLiteral("Media"));

    // Description.
    Description = new QWidget;
    Description->setObjectName(QStringLiteral("Description"));
    auto *description = new QVBoxLayout(Description);
    description->setContentsMargins(2, 2, 2, 2);
    MediaDescription = new QPlainTextEdit(Description);
    MediaDescription->setObjectName(QStringLiteral("MediaDescription"));
    description->addWidget(MediaDescription, 1);
    auto *panel2 = new QGridLayout;
    panel2->addWidget(label("Date:", Description), 0, 0);
    MediaDateEdit = dateEdit("MediaDateEdit", Description);
    auto *dateRow = new QHBoxLayout;
    dateRow->addWidget(MediaDateEdit);
    dateRow->addWidget(label("(yyyy-mm-dd)", Description));
    dateRow->addStretch(1);
    panel2->addLayout(dateRow, 0, 1, 1, 2);
    panel2->addWidget(label("Author:", Description), 1, 0);
    MediaAuthorEdit = new QLineEdit(Description);
    MediaAuthorEdit->setObjectName(QStringLiteral("MediaAuthorEdit"));
    MediaAuthorEdit->setMaxLength(64);
    panel2->addWidget(MediaAuthorEdit, 1, 1);
    panel2->addWidget(label("Media Size:", Description), 2, 0);
    labMediaSize = new QLabel(Description);
    labMediaSize->setObjectName(QStringLiteral("labMediaSize"));
    panel2->addWidget(labMediaSize, 2, 1);
    panel2->addWidget(label("File Size:", Description), 3, 0);
    labFileSize = new QLabel(Description);
    labFileSize->setObjectName(QStringLiteral("labFileSize"));
    panel2->addWidget(labFileSize, 3, 1);
    panel2->addWidget(label("File Location:", Description), 4, 0, Qt::AlignTop);
    labFileLoc = new QLabel(Description);
    labFileLoc->setObjectName(QStringLiteral("labFileLoc"));
    labFileLoc->setWordWrap(true);
    labFileLoc->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panel2->addWidget(labFileLoc, 4, 1, 1, 2);
    imgThumbnail = new QLabel(Description);
    imgThumbnail->setObjectName(QStringLiteral("imgThumbnail"));
    imgThumbnail->setFixedSize(74, 74);
    imgThumbnail->setFrameShape(QFrame::StyledPanel);
    imgThumbnail->setAlignment(Qt::AlignCenter);
    panel2->addWidget(imgThumbnail, 1, 2, 3, 1, Qt::AlignCenter);
    panel2->setColumnStretch(1, 1);
    description->addLayout(panel2);
    PageControl->addTab(Description, QStringLiteral("Description"));

    // Folder.
    Folder = new QWidget;
    Folder->setObjectName(QStringLiteral("Folder"));
    auto *folder = new QVBoxLayout(Folder);
    folder->setContentsMargins(2, 2, 2, 2);
    FolderMemo = new QPlainTextEdit(Folder);
    FolderMemo->setObjectName(QStringLiteral("FolderMemo"));
    folder->addWidget(FolderMemo, 1);
    auto *panel1 = new QGridLayout;
    panel1->addWidget(label("Title:", Folder), 0, 0);
    FolderTitleEdit = new QLineEdit(Folder);
    FolderTitleEdit->setObjectName(QStringLiteral("FolderTitleEdit"));
    FolderTitleEdit->setMaxLength(127);
    panel1->addWidget(FolderTitleEdit, 0, 1);
    panel1->addWidget(label("Date:", Folder), 1, 0);
    FolderDateEdit = dateEdit("FolderDateEdit", Folder);
    auto *folderDateRow = new QHBoxLayout;
    folderDateRow->addWidget(FolderDateEdit);
    folderDateRow->addWidget(label("(yyyy-mm-dd)", Folder));
    folderDateRow->addStretch(1);
    panel1->addLayout(folderDateRow, 1, 1);
    panel1->addWidget(label("Author:", Folder), 2, 0);
    FolderAuthorEdit = new QLineEdit(Folder);
    FolderAuthorEdit->setObjectName(QStringLiteral("FolderAuthorEdit"));
    FolderAuthorEdit->setMaxLength(64);
    panel1->addWidget(FolderAuthorEdit, 2, 1);
    folder->addLayout(panel1);
    PageControl->addTab(Folder, QStringLiteral("Folder"));

    // KeyWords.
    tbsKeyWords = new QWidget;
    tbsKeyWords->setObjectName(QStringLiteral("tbsKeyWords"));
    auto *keywords = new QVBoxLayout(tbsKeyWords);
    keywords->setContentsMargins(2, 2, 2, 2);
    lstMediaKeyWords = new QListWidget(tbsKeyWords);
    lstMediaKeyWords->setObjectName(QStringLiteral("lstMediaKeyWords"));
    lstMediaKeyWords->setIconSize(QSize(16, 16));
    lstMediaKeyWords->setUniformItemSizes(true);
    lstMediaKeyWords->setAcceptDrops(true);
    lstMediaKeyWords->viewport()->setAcceptDrops(true);
    lstMediaKeyWords->setDragDropMode(QAbstractItemView::DropOnly);
    lstMediaKeyWords->viewport()->installEventFilter(this);
    lstMediaKeyWords->installEventFilter(this);
    keywords->addWidget(lstMediaKeyWords, 1);
    auto *buttons = new QHBoxLayout;
    btnEditor = new QPushButton(QStringLiteral("Editor"), tbsKeyWords);
    btnEditor->setObjectName(QStringLiteral("btnEditor"));
    btnEditor->setEnabled(false);
    btnDelete = new QPushButton(QStringLiteral("Delete"), tbsKeyWords);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnDelete->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(btnEditor);
    buttons->addWidget(btnDelete);
    keywords->addLayout(buttons);
    PageControl->addTab(tbsKeyWords, QStringLiteral("KeyWords"));

    // Leaving a title commits; leaving a date checks it.
    connect(MediaTitleEdit, &QLineEdit::editingFinished, this, &TPropertyDialog::titleLeft);
    connect(FolderTitleEdit, &QLineEdit::editingFinished, this, &TPropertyDialog::titleLeft);
    MediaDateEdit->installEventFilter(this);
    FolderDateEdit->installEventFilter(this);
    connect(btnDelete, &QPushButton::clicked, this, &TPropertyDialog::removeSelectedKeyword);
    connect(btnEditor, &QPushButton::clicked, this, [this] {
        if (m_openEditor)
            m_openEditor();
    });
    connect(open, &QPushButton::clicked, this, [this] {
        if (!m_media)
            return;
        const QString path = m_media->Rec.MediaFile;
        if (!guarded([&] { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }))
            m_host.ui().showMessage(vkMessage("DocumentOpenFailed").arg(path), UiServices::Icon::Warning);
    });
    connect(PageControl, &QTabWidget::currentChanged, this, [this] {
        if (PageControl->currentWidget() != tbsKeyWords || !isVisible())
            return;
        resize(size().expandedTo(KeywordsMinimum));
        keepOnScreen();
    });
    connect(TrackBar, &QSlider::sliderMoved, this, &TPropertyDialog::TrackBarChange);
    connect(TrackBar, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, [this] { TrackBarChange(TrackBar->value()); });
    });
    connect(m_player, &TMediaPlayer::OnClick, this, [this](TMPBtnType button, bool &) {
        if (button == btPlay && m_player->Mode() == mpStopped) {
            m_playing = true;
            updateTracking();
        }
    });
    connect(m_player, &TMediaPlayer::OnNotify, this, [this] {
        if (m_player->NotifyValue() == nvSuccessful && m_player->DeviceID() != 0 &&
            m_player->Mode() == mpStopped) {
            m_playing = false;
            updateTracking();
        }
    });
}

void TPropertyDialog::buildMenus()
{
    auto add = [this](QMenu *menu, const char *name, const char *text, const std::function<void()> &run) {
        QAction *a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QLatin1String(name));
        if (run)
            connect(a, &QAction::triggered, this, run);
        return a;
    };

    // The picture's popup.
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    auto picture = [this](const std::function<void()> &operation) {
        return [this, operation] {
            {
                Hourglass wait;
                m_image->setShowHorzScroll(false);
                m_image->setShowVertScroll(false);
                operation();
            }
            // Afterwards the checked fit mode is applied again and the scroll bars it needs shown.
            QTimer::singleShot(1, this, &TPropertyDialog::applyFitMode);
        };
    };
    const std::pair<const char *, const char *> fits[] = {{"FitBest", "Fit &Best"},
                                                          {"FitInWindow", "Fit In &Window"},
                                                          {"FitRelease", "Fit &Release"},
                                                          {"FitToHeight", "Fit To &Height"},
                                                          {"FitToWidth", "Fit To Wi&dth"}};
    for (const auto &[name, text] : fits) {
        QAction *a = add(PopupMenu, name, text, {});
        a->setCheckable(true);
        m_fitItems << a;
        connect(a, &QAction::triggered, this, picture([this, a] {
                    for (QAction *other : std::as_const(m_fitItems))
                        other->setChecked(other == a);
                }));
    }
    m_fitItems[1]->setChecked(true);
    add(PopupMenu, "FlipHorizontal", "Flip Hori&zontal", picture([this] { m_image->Flip(true); }));
    add(PopupMenu, "FlipVertical", "Flip &Vertical", picture([this] { m_image->Flip(false); }));
    add(PopupMenu, "RotateInvert", "Rotate &Invert", picture([this] { m_image->Rotate(180); }));
    add(PopupMenu, "RotateLeft", "Rotate &Left", picture([this] { m_image->Rotate(270); }));
    add(PopupMenu, "RotateRight", "Rotate Ri&ght", picture([this] { m_image->Rotate(90); }));
    add(PopupMenu, "ExportToClipboard", "Export to Clipboard", [this] {
        if (m_image->hasPicture())
            QGuiApplication::clipboard()->setImage(m_image->picture());
    });
    m_replaceFromClipboard = add(PopupMenu, "ReplaceFromClipboard", "Replace from Clipboard", picture([this] {
                                     const QImage image = QGuiApplication::clipboard()->image();
                                     if (!image.isNull())
                                         m_image->LoadFromImage(image);
                                 }));
    m_updateImage = add(PopupMenu, "UpdateImage", "&Update Image", [this] { updateImage(); });
    auto unfit = [this] {
        for (QAction *a : std::as_const(m_fitItems))
            a->setChecked(false);
    };
    add(PopupMenu, "ZoomIn", "Zoom I&n", picture([this, unfit] {
            unfit();
            m_image->zoomIn();
        }));
    add(PopupMenu, "ZoomOut", "Zoom O&ut", picture([this, unfit] {
            unfit();
            m_image->zoomOut();
        }));
    // The image component has no dialog of operations.
    add(PopupMenu, "ImageOperation", "Image &Operation...", {})->setEnabled(false);
    add(PopupMenu, "ExportPicture", "&Export...", [this] { exportMedia(); });
    m_printItem = add(PopupMenu, "PrintPicture", "&Print...", [this] {
        if (m_printPicture && m_media && m_image->hasPicture())
            guarded([&] { m_printPicture(m_image->picture(), m_media->Rec.Title); });
    });
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] {
        m_replaceFromClipboard->setEnabled(QGuiApplication::clipboard()->mimeData() &&
                                           QGuiApplication::clipboard()->mimeData()->hasImage());
        m_updateImage->setEnabled(m_media && m_media->Rec.MediaType >= 1 && m_media->Rec.MediaType <= 8);
        m_printItem->setEnabled(bool(m_printPicture) && m_image->hasPicture());
    });

    // Sound and video.
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    add(PopupMenu2, "FitActualSize", "Fit &Actual Size", [this] {
        m_player->setDisplayRect(QRect(0, 0, 0, 0));
        m_videoPanel->setMinimumSize(m_player->capabilities().naturalSize);
    });
    add(PopupMenu2, "FitVideoInWindow", "Fit In &Window", [this] {
        m_videoPanel->setMinimumSize(1, 1);
        m_player->setDisplayRect(m_videoPanel->rect());
    });
    add(PopupMenu2, "ExportMedia", "&Export...", [this] { exportMedia(); });
    for (QWidget *w : {m_videoPanel, MediaPanel})
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { guarded([&] { PopupMenu2->exec(w->mapToGlobal(pos)); }); });

    // The text fields.
    pmuTextEdit = new QMenu(this);
    pmuTextEdit->setObjectName(QStringLiteral("pmuTextEdit"));
    const std::pair<const char *, const char *> texts[] = {{"Undo", "&Undo"},
                                                           {"Cut", "C&ut"},
                                                           {"Copy", "&Copy"},
                                                           {"Paste", "&Paste"},
                                                           {"InsertText", "&Insert Text..."},
                                                           {"ExportText", "&Export..."},
                                                           {"Clear", "C&lear"}};
    for (const auto &[name, text] : texts) {
        const QString command = QLatin1String(name);
        QAction *a = add(pmuTextEdit, name, text, [this, command] { textCommand(command); });
        if (command == QLatin1String("Cut"))
            a->setShortcut(QKeySequence::Cut);
        else if (command == QLatin1String("Copy"))
            a->setShortcut(QKeySequence::Copy);
        else if (command == QLatin1String("Paste"))
            a->setShortcut(QKeySequence::Paste);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{MediaTitleEdit, FolderTitleEdit, MediaDescription,
                                                       FolderMemo, MediaText}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint &pos) {
            w->setFocus(Qt::PopupFocusReason);
            auto *memo = qobject_cast<QPlainTextEdit *>(w);
            auto *line = qobject_cast<QLineEdit *>(w);
            const bool filled = memo && !memo->document()->isEmpty();
            const bool selection = memo ? memo->textCursor().hasSelection() : line->hasSelectedText();
            auto enable = [this](const char *name, bool on) {
                if (auto *a = pmuTextEdit->findChild<QAction *>(QLatin1String(name)))
                    a->setEnabled(on);
            };
            enable("Undo", memo ? memo->document()->isUndoAvailable() : line->isUndoAvailable());
            enable("Cut", selection);
            enable("Copy", selection);
            enable("Paste", !QGuiApplication::clipboard()->text().isEmpty());
            enable("InsertText", memo != nullptr);
            enable("ExportText", filled);
            enable("Clear", filled);
            guarded([&] { pmuTextEdit->exec(w->mapToGlobal(pos)); });
        });
    }
}

// ---------------------------------------------------------------------------------------------
// Showing a subject

bool TPropertyDialog::prepareForSubject()
{
    {
        Hourglass wait;
        if (!guarded([this] { return CommitEdits(); }))
            return false;
    }
    stopPlaying();
    m_playing = false;
    updateTracking();
    return true;
}

void TPropertyDialog::stopPlaying()
{
    tmrMediaPlay.stop();
    if (m_player->DeviceID() != 0) {
        try {
            m_player->Stop();
            m_player->Close();
        } catch (const EMCIDeviceError &) {
            // Closed already.
        }
    }
    m_player->setFileName(QString());
    m_videoPanel->hide();
}

bool TPropertyDialog::ShowFolder(TDbFolder *folder)
{
    if (!folder)
        return false;
    if (folder == m_folder && !m_media)
        return true;
    if (!prepareForSubject())
        return false;
    m_media = nullptr;
    m_folder = folder;
    m_leaving = nullptr;
    for (QWidget *page : {Media, Description, tbsKeyWords})
        PageControl->setTabVisible(PageControl->indexOf(page), false);
    PageControl->setTabVisible(PageControl->indexOf(Folder), true);
    PageControl->setCurrentWidget(Folder);
    FolderTitleEdit->setText(folder->Rec.Title);
    FolderDateEdit->setText(dateToText(folder->Rec.InsertDate));
    FolderAuthorEdit->setText(folder->Rec.Author);
    const QString file = m_host.workDirectory() + folder->Rec.OID;
    folder->Changed = FolderDescription;
    QString description;
    if (folder->Select(m_host.roots().connection(), file)) {
        bool ok = false;
        description = readText(file, &ok);
    }
    QFile::remove(file);
    FolderMemo->setPlainText(description);
    for (QLineEdit *e : {FolderTitleEdit, FolderDateEdit, FolderAuthorEdit})
        e->setModified(false);
    FolderMemo->document()->setModified(false);
    m_shownType = FolderKind;
    const bool wasVisible = isVisible();
    if (wasVisible) {
        resize(size().expandedTo(FolderSize));
        keepOnScreen();
    } else {
        placeOnScreen(true);
        show();
        raise();
        activateWindow();
        FolderTitleEdit->setFocus();
    }
    return true;
}

bool TPropertyDialog::ShowMedia(TDbMedia *item)
{
    if (!item)
        return false;
    TDbMedia *subject = item->MirrorOf ? item->MirrorOf : item;
    if (subject->SubFolder)
        return ShowFolder(subject->SubFolder);
    if (subject == m_media)
        return true;
    if (!prepareForSubject())
        return false;
    m_folder = nullptr;
    m_media = subject;
    m_leaving = nullptr;
    const bool folderPageWasActive = PageControl->currentWidget() == Folder;
    PageControl->setTabVisible(PageControl->indexOf(Folder), false);
    for (QWidget *page : {Media, Description, tbsKeyWords})
        PageControl->setTabVisible(PageControl->indexOf(page), true);
    if (folderPageWasActive)
        PageControl->setCurrentWidget(Media);
    const TsMedia &r = subject->Rec;
    MediaTitleEdit->setText(r.Title);
    MediaDateEdit->setText(dateToText(r.InsertDate));
    MediaAuthorEdit->setText(r.Author);
    labFileLoc->setText(subject->External ? r.MediaFile : QStringLiteral("(Internal)"));
    const QString file = m_host.workDirectory() + r.OID;
    subject->Changed = MediaColumn::MediaDescription;
    QString description;
    if (subject->Select(m_host.roots().connection(), file)) {
        bool ok = false;
        description = readText(file, &ok);
    }
    QFile::remove(file);
    MediaDescription->setPlainText(description);
    for (QLineEdit *e : {MediaTitleEdit, MediaDateEdit, MediaAuthorEdit})
        e->setModified(false);
    MediaDescription->document()->setModified(false);
    showThumbnail(subject);
    m_shownType = r.MediaType;
    loadViewer(subject);
    const bool wasVisible = isVisible();
    if (!wasVisible) {
        PageControl->setCurrentWidget(Media);
        placeOnScreen(true);
    } else if (PageControl->currentWidget() != tbsKeyWords) {
        placeOnScreen(false);
    }
    keepOnScreen();
    fillKeywordList(r.KeyWords);
    if (!wasVisible) {
        show();
        raise();
        activateWindow();
        MediaTitleEdit->setFocus();
    }
    // The picture's scale is known once the window has its size.
    QTimer::singleShot(1, this, &TPropertyDialog::applyFitMode);
    return true;
}

void TPropertyDialog::showThumbnail(TDbMedia *item)
{
    const int type = item->Rec.MediaType;
    QPixmap picture;
    if ((type >= 1 && type <= 97) || type == TypeAvi) {
        if (!item->Rec.NailFile.isEmpty() && QFileInfo(item->Rec.NailFile).isFile())
            picture.load(item->Rec.NailFile);
        if (picture.isNull() && m_host.roots().BuildThumbnail(item, true) && !item->Rec.NailFile.isEmpty())
            picture.load(item->Rec.NailFile);
    }
    if (picture.isNull())
        picture = TypeBitmaps::bitmap(TypeBitmaps::nameOfMediaType(type));
    const QSize room = imgThumbnail->size() - QSize(4, 4);
    imgThumbnail->setPixmap(
        picture.isNull() ? QPixmap() : picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TPropertyDialog::showLoadError(const QString &text)
{
    labMediaSize->setText(QStringLiteral("-"));
    labFileSize->setText(QStringLiteral("-"));
    labMediaError->setText(text.isEmpty() ? vkMessage("MediaLoadError") : text);
    labMediaError->show();
    m_viewers->setCurrentIndex(NoViewer);
}

void TPropertyDialog::loadViewer(TDbMedia *item)
{
    labMediaError->hide();
    m_image->Clear();
    MediaText->clear();
    const int type = item->Rec.MediaType;
    const QString path = item->Rec.MediaFile;
    TDbFolderList::CheckLost(item);
    if (item->Lost) {
        showLoadError(QString());
        return;
    }
    const QString fileSize = FileSizeLabel(QFileInfo(path).size());
    if (isPictureType(type)) {
        if (!LoadPictureFile(path, type, *m_image)) {
            showLoadError(QString());
            return;
        }
        m_viewers->setCurrentIndex(PictureViewer);
        labFileSize->setText(fileSize);
        applyFitMode();
    } else if (type == TypeText) {
        bool ok = false;
        const QString text = readText(path, &ok);
        if (!ok) {
            showLoadError(QString());
            return;
        }
        MediaText->setPlainText(text);
        MediaText->document()->setModified(false);
        m_viewers->setCurrentIndex(TextViewer);
        labMediaSize->setText(QStringLiteral("%1 lines").arg(MediaText->document()->blockCount()));
        labFileSize->setText(fileSize);
    } else if (isSound(type) || isVideo(type)) {
        m_viewers->setCurrentIndex(PlayerViewer);
        m_videoPanel->setVisible(isVideo(type));
        m_soundPicture->setVisible(isSound(type));
        m_soundPicture->setPixmap(TypeBitmaps::bitmap(QStringLiteral("Audio")));
        m_player->setDisplay(isVideo(type) ? m_videoPanel : nullptr);
        QString error;
        if (!guarded([&] { return OpenMediaFile(path, type, *m_player, &error); })) {
            m_videoPanel->hide();
            showLoadError(error);
            return;
        }
        if (isVideo(type)) {
            const QSize natural = m_player->capabilities().naturalSize;
            m_videoPanel->setMinimumSize(natural);
            m_player->setDisplayRect(QRect(0, 0, 0, 0));
        }
        const qint64 length = m_player->Length();
        labMediaSize->setText(MediaTimeText(MediaTime(*m_player, 0)));
        labFileSize->setText(fileSize);
        const QSignalBlocker quiet(TrackBar);
        TrackBar->setRange(0, int(std::min<qint64>(length, INT_MAX)));
        TrackBar->setValue(0);
        TrackBar->setTickInterval(length > 100 ? int(length / 100) : 0);
        tmrMediaPlay.start();
    } else if (type == TypeDocument) {
        m_documentName->setText(item->Rec.Title);
        m_viewers->setCurrentIndex(DocumentViewer);
        labMediaSize->setText(QStringLiteral("-"));
        labFileSize->setText(fileSize);
    } else {
        showLoadError(QString());
    }
}

void TPropertyDialog::applyFitMode()
{
    if (!m_image->hasPicture())
        return;
    static const int styles[] = {fsBest, fsWindow, fsNone, fsHeight, fsWidth};
    for (int i = 0; i < m_fitItems.size(); ++i) {
        if (!m_fitItems[i]->isChecked())
            continue;
        if (styles[i] == fsNone)
            m_image->ResetZoom();
        else
            m_image->setFitStyle(styles[i]);
    }
    m_image->setShowHorzScroll(true);
    m_image->setShowVertScroll(true);
    labMediaSize->setText(QStringLiteral("%1x%2")
                              .arg(int(m_image->ImageWidth() * m_image->ScaleX()))
                              .arg(int(m_image->ImageHeight() * m_image->ScaleY())));
}

void TPropertyDialog::fillKeywordList(const QString &keyWords)
{
    lstMediaKeyWords->clear();
    for (const QString &oid : KeywordOids(keyWords)) {
        auto *row = new QListWidgetItem(lstMediaKeyWords);
        row->setData(Qt::UserRole, oid);
        row->setSizeHint(QSize(0, 18));
        if (TDbKeyWord *k = FindKeyword(m_keywords, oid)) {
            QPixmap icon;
            if (!k->Rec.IconFile.isEmpty())
                icon.load(k->Rec.IconFile);
            row->setIcon(icon.isNull()
                             ? vkIcon(QStringLiteral("keywords"))
                             : QIcon(icon.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
            row->setText(k->Rec.Name);
        } else {
            row->setIcon(vkIcon(QStringLiteral("keywords")));
            row->setText(vkMessage("LostKeyword"));
        }
    }
    m_keywordsModified = false;
    btnDelete->setEnabled(lstMediaKeyWords->count() > 0);
    emit keywordRowsChanged();
}

// ---------------------------------------------------------------------------------------------
// Size and place

QSize TPropertyDialog::optionSize() const
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    switch (m_options ? m_options->SizeOptionChecked : 0) {
    case 1:
        return available * 10 / 14;
    case 2:
        return available / 2;
    case 3:
        return available / 4;
    case 4:
        if (m_options->CustomDisplayWidth > 0 && m_options->CustomDisplayHeight > 0)
            return QSize(m_options->CustomDisplayWidth, m_options->CustomDisplayHeight);
        break;
    default:
        break;
    }
    // The content's own size.
    if (m_shownType == FolderKind)
        return FolderSize;
    if (m_shownType == TypeText || m_shownType == TypeDocument)
        return TextSize;
    if (isSound(m_shownType))
        return SoundSize;
    QSize shown;
    if (isPictureType(m_shownType) && m_image->hasPicture())
        shown = QSize(m_image->ImageWidth(), m_image->ImageHeight());
    else if (isVideo(m_shownType))
        shown = m_player->capabilities().naturalSize;
    if (shown.isEmpty())
        return MediaMinimum;
    return (shown + PictureMargins).expandedTo(MediaMinimum).boundedTo(available);
}

void TPropertyDialog::placeOnScreen(bool place)
{
    const QSize size = optionSize();
    // The media minimum holds the person's resizing; a sound's own size is a little smaller.
    if (!m_playing)
        setMinimumSize(MediaMinimum.boundedTo(size));
    resize(size);
    if (!place)
        return;
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QPoint at;
    switch (m_options ? m_options->PosOptionChecked : 4) {
    case 0:
        at = area.topLeft();
        break;
    case 1:
        at = QPoint(area.left(), area.bottom() + 1 - height());
        break;
    case 2:
        at = QPoint(area.right() + 1 - width(), area.top());
        break;
    case 3:
        at = QPoint(area.right() + 1 - width(), area.bottom() + 1 - height());
        break;
    default:
        at = area.center() - QPoint(width() / 2, height() / 2);
        break;
    }
    move(at);
}

void TPropertyDialog::keepOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QPoint at = pos();
    if (at.x() + width() > area.right() + 1)
        at.setX(std::max(area.left(), area.right() + 1 - width()));
    if (at.y() + height() > area.bottom() + 1)
        at.setY(std::max(area.top(), area.bottom() + 1 - height()));
    move(at);
}

void TPropertyDialog::updateTracking()
{
    // While sound or video plays, the window keeps its size.
    if (m_playing && m_lastSize.isValid()) {
        setMinimumSize(m_lastSize);
        setMaximumSize(m_lastSize);
    } else {
        setMinimumSize(MediaMinimum.boundedTo(size()));
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void TPropertyDialog::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_playing)
        m_lastSize = size();
}

// ---------------------------------------------------------------------------------------------
// Committing, leaving and losing the focus

bool TPropertyDialog::CommitEdits()
{
    Connection &c = m_host.roots().connection();
    const QString work = m_host.workDirectory();
    if (m_media) {
        MediaEdits e;
        if (MediaTitleEdit->isModified())
            e.title = MediaTitleEdit->text();
        if (MediaDateEdit->isModified())
            e.date = MediaDateEdit->text();
        if (MediaAuthorEdit->isModified())
            e.author = MediaAuthorEdit->text();
        if (MediaDescription->document()->isModified())
            e.description = MediaDescription->toPlainText();
        if (m_keywordsModified) {
            QStringList known;
            for (const QString &oid : keywordRowOids())
                if (FindKeyword(m_keywords, oid) && !known.contains(oid))
                    known << oid;
            e.keywords = known;
        }
        if (m_shownType == TypeText && MediaText->document()->isModified())
            e.text = MediaText->toPlainText();
        if (e.isEmpty())
            return true;
        TDbMedia *item = m_media;
        if (!guarded([&] { return CommitMediaEdits(c, item, e, work); }))
            return false;
        for (QLineEdit *edit : {MediaTitleEdit, MediaDateEdit, MediaAuthorEdit})
            edit->setModified(false);
        MediaDescription->document()->setModified(false);
        MediaText->document()->setModified(false);
        if (e.keywords) {
            // The rows of keywords that are gone went with the list that was written.
            fillKeywordList(item->Rec.KeyWords);
        }
        if (e.text)
            labFileLoc->setText(QStringLiteral("(Internal)"));
        emit committed(item, nullptr);
        return true;
    }
    if (m_folder) {
        FolderEdits e;
        if (FolderTitleEdit->isModified())
            e.title = FolderTitleEdit->text();
        if (FolderDateEdit->isModified())
            e.date = FolderDateEdit->text();
        if (FolderAuthorEdit->isModified())
            e.author = FolderAuthorEdit->text();
        if (FolderMemo->document()->isModified())
            e.description = FolderMemo->toPlainText();
        if (e.isEmpty())
            return true;
        TDbFolder *folder = m_folder;
        if (!guarded([&] { return CommitFolderEdits(c, folder, e, work); }))
            return false;
        for (QLineEdit *edit : {FolderTitleEdit, FolderDateEdit, FolderAuthorEdit})
            edit->setModified(false);
        FolderMemo->document()->setModified(false);
        emit committed(nullptr, folder);
        return true;
    }
    return true;
}

void TPropertyDialog::titleLeft()
{
    auto *edit = qobject_cast<QLineEdit *>(sender());
    if (edit && edit->isModified() && m_guard == 0)
        CommitEdits();
}

bool TPropertyDialog::dateLeft(QLineEdit *edit)
{
    if (!edit->isModified() || IsDateText(edit->text()))
        return true;
    guarded([this] { m_host.ui().showMessage(vkMessage("DateFormatError"), UiServices::Icon::Warning); });
    // Back to the field, in this window (the message took the focus away from it).
    QTimer::singleShot(0, edit, [this, edit] {
        activateWindow();
        edit->setFocus();
    });
    return false;
}

void TPropertyDialog::FormDeactivate()
{
    if (m_pinned || !isVisible() || m_guard > 0)
        return;
    stopPlaying();
    m_playing = false;
    updateTracking();
    // A commit that fails keeps the window, its subject and its edits: closing would lose them.
    if (!guarded([this] { return CommitEdits(); }))
        return;
    releaseSubject();
    hide();
}

void TPropertyDialog::releaseSubject()
{
    stopPlaying();
    m_media = nullptr;
    m_folder = nullptr;
    m_leaving = nullptr;
    m_shownType = -1;
    m_image->Clear();
    MediaText->clear();
    lstMediaKeyWords->clear();
    m_keywordsModified = false;
    for (QLineEdit *e : {MediaTitleEdit, MediaDateEdit, MediaAuthorEdit, FolderTitleEdit, FolderDateEdit,
                         FolderAuthorEdit}) {
        e->clear();
        e->setModified(false);
    }
    for (QPlainTextEdit *m : {MediaDescription, FolderMemo, MediaText}) {
        m->clear();
        m->document()->setModified(false);
    }
}

void TPropertyDialog::subjectLeaving(const void *thing)
{
    // The node left its list: a move puts it back in the same event, a removal frees it. Until
    // that is known nothing of it is touched.
    m_leaving = thing;
    m_leavingIsFolder = thing == m_folder;
    m_leavingOid = m_leavingIsFolder ? m_folder->Rec.OID : m_media->Rec.OID;
    tmrMediaPlay.stop();
    m_media = nullptr;
    m_folder = nullptr;
    QTimer::singleShot(0, this, &TPropertyDialog::checkSubjectStillThere);
}

void TPropertyDialog::checkSubjectStillThere()
{
    if (!m_leaving)
        return;
    const void *thing = std::exchange(m_leaving, nullptr);
    if (m_leavingIsFolder) {
        for (TDbFolder *f : m_host.roots().TreeOrder())
            if (f == thing) {
                m_folder = f;
                return;
            }
    } else if (TDbMedia *m = m_host.roots().FindMediaByOid(m_leavingOid); m && m == thing) {
        m_media = m;
        if (m_player->DeviceID() != 0)
            tmrMediaPlay.start();
        return;
    }
    releaseSubject();
    hide();
}

void TPropertyDialog::setPinned(bool pinned)
{
    m_pinned = pinned;
    WH_Image->setVisible(!pinned);
    RD_Image->setVisible(pinned);
}

void TPropertyDialog::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || isActiveWindow())
        return;
    // Decided once the event that moved the focus is over: a window of our own (a message, a
    // file dialog, a menu) is no leave.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isActiveWindow() && m_guard == 0 && !QApplication::activeModalWidget() &&
            !QApplication::activePopupWidget())
            FormDeactivate();
    });
}

void TPropertyDialog::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    setPinned(false);
}

void TPropertyDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Z && event->modifiers() == Qt::ControlModifier) {
        m_host.runCommand(QStringLiteral("ExplorerButton"));
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TPropertyDialog::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!lstMediaKeyWords || !m_image)
        return QWidget::eventFilter(watched, event); // the form is still being made
    if ((watched == MediaDateEdit || watched == FolderDateEdit) && type == QEvent::FocusOut) {
        // Left for another field of this window: a date that names no day is said so at once.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && m_guard == 0)
            dateLeft(static_cast<QLineEdit *>(watched));
    } else if (watched == lstMediaKeyWords->viewport()) {
        if (type == QEvent::DragEnter || type == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (drag->mimeData()->hasFormat(QLatin1String(KeywordMimeType)) && m_media) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        if (type == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QString oid =
                QString::fromUtf8(drop->mimeData()->data(QLatin1String(KeywordMimeType))).trimmed();
            if (TDbKeyWord *k = FindKeyword(m_keywords, oid)) {
                addKeyword(k);
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
            }
            return true;
        }
    } else if (watched == lstMediaKeyWords && type == QEvent::KeyPress &&
               static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        removeSelectedKeyword();
        return true;
    } else if (watched == m_image->viewport()) {
        // A right click shows the picture's popup; a right drag shows the pointing cursor only.
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            m_rightPress = mouse->globalPosition().toPoint();
            return true;
        }
        if (type == QEvent::MouseMove && (mouse->buttons() & Qt::RightButton)) {
            if ((mouse->globalPosition().toPoint() - m_rightPress).manhattanLength() > 3)
                m_image->viewport()->setCursor(vkCursor(CrHand));
            return true;
        }
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
            m_image->viewport()->unsetCursor();
            if ((mouse->globalPosition().toPoint() - m_rightPress).manhattanLength() <= 3)
                showPicturePopup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// The keyword list

QStringList TPropertyDialog::keywordRows() const
{
    QStringList rows;
    for (int i = 0; i < lstMediaKeyWords->count(); ++i)
        rows << lstMediaKeyWords->item(i)->text();
    return rows;
}

QStringList TPropertyDialog::keywordRowOids() const
{
    QStringList oids;
    for (int i = 0; i < lstMediaKeyWords->count(); ++i)
        oids << lstMediaKeyWords->item(i)->data(Qt::UserRole).toString();
    return oids;
}

bool TPropertyDialog::addKeyword(TDbKeyWord *keyword)
{
    if (!m_media || !keyword || keywordRowOids().contains(keyword->Rec.OID))
        return false;
    auto *row = new QListWidgetItem(lstMediaKeyWords);
    row->setData(Qt::UserRole, keyword->Rec.OID);
    row->setSizeHint(QSize(0, 18));
    QPixmap icon;
    if (!keyword->Rec.IconFile.isEmpty())
        icon.load(keyword->Rec.IconFile);
    row->setIcon(icon.isNull() ? vkIcon(QStringLiteral("keywords")) : QIcon(icon.scaled(16, 16)));
    row->setText(keyword->Rec.Name);
    ++keyword->Rec.Reference;
    guarded([&] { return keyword->Update(m_host.roots().connection()); });
    m_keywordsModified = true;
    btnDelete->setEnabled(true);
    emit keywordRowsChanged();
    return true;
}

void TPropertyDialog::removeSelectedKeyword()
{
    QListWidgetItem *row = lstMediaKeyWords->currentItem();
    if (!row)
        return;
    if (TDbKeyWord *k = FindKeyword(m_keywords, row->data(Qt::UserRole).toString())) {
        --k->Rec.Reference;
        guarded([&] { return k->Update(m_host.roots().connection()); });
    }
    delete row;
    m_keywordsModified = true;
    btnDelete->setEnabled(lstMediaKeyWords->count() > 0);
    emit keywordRowsChanged();
}

void TPropertyDialog::forgetKeyword(const QString &oid)
{
    for (int i = lstMediaKeyWords->count() - 1; i >= 0; --i)
        if (lstMediaKeyWords->item(i)->data(Qt::UserRole).toString() == oid) {
            delete lstMediaKeyWords->takeItem(i);
            m_keywordsModified = true;
        }
    btnDelete->setEnabled(lstMediaKeyWords->count() > 0);
}

void TPropertyDialog::setKeywordsEditor(std::function<void()> open)
{
    m_openEditor = std::move(open);
    btnEditor->setEnabled(bool(m_openEditor) && !m_editorOpen);
}

void TPropertyDialog::setKeywordsEditorOpen(bool open)
{
    m_editorOpen = open;
    btnEditor->setEnabled(bool(m_openEditor) && !m_editorOpen);
}

void TPropertyDialog::setPrintPicture(std::function<void(const QImage &, const QString &)> print)
{
    m_printPicture = std::move(print);
}

bool TPropertyDialog::removeKeyword(TDbKeyWord *keyword)
{
    if (!m_media || !keyword)
        return false;
    bool removed = false;
    for (int i = lstMediaKeyWords->count() - 1; i >= 0; --i)
        if (lstMediaKeyWords->item(i)->data(Qt::UserRole).toString() == keyword->Rec.OID) {
            delete lstMediaKeyWords->takeItem(i);
            removed = true;
        }
    if (!removed)
        return false;
    --keyword->Rec.Reference;
    guarded([&] { return keyword->Update(m_host.roots().connection()); });
    m_keywordsModified = true;
    btnDelete->setEnabled(lstMediaKeyWords->count() > 0);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Sound and video

void TPropertyDialog::tmrMediaPlayTimer()
{
    if (m_player->DeviceID() == 0)
        return;
    const qint64 length = m_player->Length();
    const qint64 position = m_player->Position();
    const QSignalBlocker quiet(TrackBar);
    if (length > 0 && TrackBar->maximum() != length) {
        // A stream that tells its length only once it plays.
        TrackBar->setRange(0, int(std::min<qint64>(length, INT_MAX)));
        TrackBar->setTickInterval(length > 100 ? int(length / 100) : 0);
        labMediaSize->setText(MediaTimeText(MediaTime(*m_player, 0)));
    }
    if (m_player->Mode() == mpStopped && length > 0 && position >= length) {
        // The end rewinds to the start.
        try {
            m_player->setPosition(0);
        } catch (const EMCIDeviceError &) {
        }
        TrackBar->setValue(0);
        m_playing = false;
        updateTracking();
        return;
    }
    TrackBar->setValue(int(std::min<qint64>(position, INT_MAX)));
}

void TPropertyDialog::TrackBarChange(int position)
{
    if (m_player->DeviceID() == 0)
        return;
    try {
        const bool playing = m_player->Mode() == mpPlaying;
        m_player->setPosition(position);
        // Moving the bar while it plays plays on from there.
        if (playing)
            m_player->Play();
    } catch (const EMCIDeviceError &) {
    }
}

// ---------------------------------------------------------------------------------------------
// Pictures, export and the text commands

void TPropertyDialog::showPicturePopup(const QPoint &globalPos)
{
    guarded([&] { PopupMenu->exec(globalPos); });
}

void TPropertyDialog::updateImage()
{
    if (!m_media || !m_image->hasPicture() || m_media->Rec.MediaType < 1 || m_media->Rec.MediaType > 8)
        return;
    TDbMedia *item = m_media;
    Connection &c = m_host.roots().connection();
    const QString scratch = m_host.workDirectory() + item->Rec.OID;
    QFile::remove(scratch);
    Hourglass wait;
    guarded([&] {
        if (!SavePictureFile(*m_image, scratch, item->Rec.MediaType)) {
            m_host.ui().showMessage(m_image->lastError(), UiServices::Icon::Warning);
            return;
        }
        QString stored;
        if (ReplaceMediaFile(c, item->Rec.OID, scratch, &stored)) {
            item->Rec.MediaFile = stored;
            item->External = false;
            item->Lost = false;
            m_image->setImageName(stored);
            labFileLoc->setText(QStringLiteral("(Internal)"));
            labFileSize->setText(FileSizeLabel(QFileInfo(stored).size()));
            item->NoThumb = !m_host.roots().BuildThumbnail(item, true);
            showThumbnail(item);
            emit committed(item, nullptr);
        }
    });
    QFile::remove(scratch);
    applyFitMode();
}

void TPropertyDialog::exportMedia()
{
    if (!m_media)
        return;
    guarded([&] { return ExportMediaAsked(this, *m_media, m_host); });
}

QWidget *TPropertyDialog::textTarget() const
{
    QWidget *focus = QApplication::focusWidget();
    for (QWidget *w : std::initializer_list<QWidget *>{MediaTitleEdit, FolderTitleEdit, MediaDescription,
                                                       FolderMemo, MediaText})
        if (w == focus)
            return w;
    return PageControl->currentWidget() == Folder ? static_cast<QWidget *>(FolderMemo) : MediaDescription;
}

void TPropertyDialog::textCommand(const QString &command)
{
    QWidget *target = textTarget();
    auto *line = qobject_cast<QLineEdit *>(target);
    auto *memo = qobject_cast<QPlainTextEdit *>(target);
    if (command == QLatin1String("Undo")) {
        line ? line->undo() : memo->undo();
    } else if (command == QLatin1String("Cut")) {
        line ? line->cut() : memo->cut();
    } else if (command == QLatin1String("Copy")) {
        line ? line->copy() : memo->copy();
    } else if (command == QLatin1String("Paste")) {
        line ? line->paste() : memo->paste();
    } else if (!memo) {
        return;
    } else if (command == QLatin1String("InsertText")) {
        const QString file = guarded([&] {
            return QFileDialog::getOpenFileName(
                this, QStringLiteral("Insert Text"), QString(),
                DialogFilters(QStringLiteral("ALL Files (*.*)|*.*|TXT Files "
                                             "(*.txt)|*.txt|DOC Files (*.doc)|*.doc"))
                    .join(QStringLiteral(";;")),
                nullptr, QFileDialog::DontUseNativeDialog);
        });
        bool ok = false;
        if (!file.isEmpty()) {
            const QString text = readText(file, &ok);
            if (ok) {
                memo->setPlainText(text);
                memo->document()->setModified(true);
            }
        }
    } else if (command == QLatin1String("ExportText")) {
        const QString file = guarded([&] {
            return QFileDialog::getSaveFileName(
                this, QStringLiteral("Export Text"), QString(),
                DialogFilters(QStringLiteral("ALL Files (*.*)|*.*|TXT Files "
                                             "(*.txt)|*.txt|DOC Files (*.doc)|*.doc"))
                    .join(QStringLiteral(";;")),
                nullptr, QFileDialog::DontUseNativeDialog);
        });
        if (!file.isEmpty()) {
            QFile out(file);
            const QByteArray bytes = memo->toPlainText().toUtf8();
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
                guarded([&] {
                    m_host.ui().showMessage(vkMessage("WorkFileNotWritten").arg(file, out.errorString()),
                                            UiServices::Icon::Warning);
                });
        }
    } else if (command == QLatin1String("Clear")) {
        if (guarded([&] { return m_host.ui().askYesNo(vkMessage("ClearDescriptionQuestion")); })) {
            memo->selectAll();
            memo->textCursor().removeSelectedText();
            memo->document()->setModified(true);
        }
    }
}

} // namespace vk
