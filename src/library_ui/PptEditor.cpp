#include "PptEditor.h"

#include "Connection.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "Icons.h"
#include "ImageWindow.h"
#include "MPlayer.h"
#include "MediaExport.h"
#include "MediaProperties.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "PictureFiles.h"
#include "PptDialog.h"
#include "RecordStatements.h"
#include "TextForms.h"
#include "UiServices.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace vk {

namespace {

enum Page
{
    PicturePage,
    PlayerPage,
    TextPage,
    DocumentPage
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

QString readText(const QString &path, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

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

const char *const TextFilter = "ALL Files (*.*)|*.*|TXT Files (*.txt)|*.txt|DOC Files (*.doc)|*.doc";

} // namespace

TPropertyEditor::TPropertyEditor(FolderWindowHost &host, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_host(host)
{
    setObjectName(QStringLiteral("PropertyEditor"));
    setWindowTitle(QStringLiteral("Property Editor"));
    buildForm();
    buildMenus();
    resize(520, 300);
    tmrSettle.setSingleShot(true);
    tmrSettle.setInterval(1);
    connect(&tmrSettle, &QTimer::timeout, this, &TPropertyEditor::settle);
    tmrPosition.setInterval(1000);
    connect(&tmrPosition, &QTimer::timeout, this, &TPropertyEditor::positionTimer);
    // An item that leaves the library leaves the editor.
    TDbFolderList &roots = m_host.roots();
    connect(&roots, &TDbFolderList::itemRemoved, this, [this](TDbFolder *, TDbMedia *item) {
        const bool shown =
            item == m_media ||
            (item->SubFolder &&
             ((m_folder && item->SubFolder->IsSelfOrDescendant(m_folder)) ||
              (m_media && m_media->Owner && item->SubFolder->IsSelfOrDescendant(m_media->Owner))));
        if (shown) {
            releaseItem();
            hide();
        }
    });
    connect(&roots, &TDbFolderList::rootRemoved, this, [this](TDbFolder *folder) {
        if ((m_folder && folder->IsSelfOrDescendant(m_folder)) ||
            (m_media && m_media->Owner && folder->IsSelfOrDescendant(m_media->Owner))) {
            releaseItem();
            hide();
        }
    });
}

TPropertyEditor::~TPropertyEditor() = default;

void TPropertyEditor::buildForm()
{
    auto *top = new QHBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);

    // The content, at the left.
    m_browser = new QWidget(this);
    auto *browser = new QVBoxLayout(m_browser);
    browser->setContentsMargins(0, 0, 0, 0);
    browser->addWidget(new QLabel(QStringLiteral("Media Browser:"), m_browser));
    auto *area = new QFrame(m_browser);
    area->setFrameShape(QFrame::StyledPanel);
    area->setFrameShadow(QFrame::Sunken);
    auto *areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(1, 1, 1, 1);
    m_pages = new QStackedWidget(area);
    areaLayout->addWidget(m_pages);
    browser->addWidget(area, 1);
    top->addWidget(m_browser, 3);

    m_picturePage = new QWidget;
    m_picturePage->setObjectName(QStringLiteral("PicturePage"));
    m_pictureFrame = new QFrame(m_picturePage);
    m_pictureFrame->setFrameShape(QFrame::Panel);
    m_pictureFrame->setFrameShadow(QFrame::Raised);
    m_pictureFrame->setLineWidth(1);
    auto *frame = new QVBoxLayout(m_pictureFrame);
    frame->setContentsMargins(1, 1, 1, 1);
    m_image = new TImageWindow(m_pictureFrame);
    m_image->setObjectName(QStringLiteral("ImageWindow"));
    m_image->viewport()->installEventFilter(this);
    frame->addWidget(m_image);
    m_image->hide();
    m_pages->addWidget(m_picturePage);

    m_playerPage = new QWidget;
    m_playerPage->setObjectName(QStringLiteral("PlayerPage"));
    auto *player = new QVBoxLayout(m_playerPage);
    player->setContentsMargins(0, 0, 0, 0);
    m_soundPicture = new QLabel(m_playerPage);
    m_soundPicture->setAlignment(Qt::AlignCenter);
    m_soundPicture->setFrameShape(QFrame::StyledPanel);
    m_soundPicture->setFrameShadow(QFrame::Sunken);
    player->addWidget(m_soundPicture, 1);
    m_videoPanel = new QWidget(m_playerPage);
    m_videoPanel->setObjectName(QStringLiteral("VideoPanel"));
    m_videoPanel->setAutoFillBackground(true);
    QPalette black = m_videoPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_videoPanel->setPalette(black);
    m_videoPanel->hide();
    player->addWidget(m_videoPanel, 1);
    auto *controls = new QHBoxLayout;
    m_player = new TMediaPlayer(m_playerPage);
    m_player->setVisibleButtons(buttonBit(btPlay) | buttonBit(btPause) | buttonBit(btStop));
    m_player->setFixedSize(84, 28);
    controls->addWidget(m_player);
    m_trackBar = new QSlider(Qt::Horizontal, m_playerPage);
    m_trackBar->setObjectName(QStringLiteral("TrackBar"));
    m_trackBar->setTickPosition(QSlider::TicksBelow);
    controls->addWidget(m_trackBar, 1);
    player->addLayout(controls);
    m_playerPage->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pages->addWidget(m_playerPage);

    m_text = new QPlainTextEdit;
    m_text->setObjectName(QStringLiteral("MediaText"));
    m_pages->addWidget(m_text);

    m_documentPage = new QWidget;
    auto *document = new QVBoxLayout(m_documentPage);
    auto *documentIcon = new QLabel(m_documentPage);
    documentIcon->setPixmap(vkIcon(QStringLiteral("document")).pixmap(32, 32));
    documentIcon->setAlignment(Qt::AlignCenter);
    m_documentName = new QLabel(m_documentPage);
    m_documentName->setAlignment(Qt::AlignCenter);
    m_documentName->setWordWrap(true);
    auto *open = new QPushButton(QStringLiteral("&Open"), m_documentPage);
    open->setObjectName(QStringLiteral("btnOpenDocument"));
    document->addStretch(1);
    document->addWidget(documentIcon);
    document->addWidget(m_documentName);
    document->addWidget(open, 0, Qt::AlignCenter);
    document->addStretch(1);
    m_pages->addWidget(m_documentPage);
    connect(open, &QPushButton::clicked, this, [this] {
        if (!m_media)
            return;
        const QString path = m_media->Rec.MediaFile;
        if (!guarded([&] { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }))
            m_host.ui().showMessage(vkMessage("DocumentOpenFailed").arg(path), UiServices::Icon::Warning);
    });

    // The fields, at the right, on the info colour.
    m_info = new QWidget(this);
    m_info->setObjectName(QStringLiteral("InfoPanel"));
    m_info->setAutoFillBackground(true);
    m_info->setBackgroundRole(QPalette::ToolTipBase);
    m_info->setForegroundRole(QPalette::ToolTipText);
    auto *info = new QGridLayout(m_info);
    info->setContentsMargins(8, 4, 4, 6);
    auto label = [this](const char *text, QWidget *buddy) {
        auto *l = new QLabel(QString::fromLatin1(text), m_info);
        l->setBuddy(buddy);
        l->setForegroundRole(QPalette::ToolTipText);
        return l;
    };
    edtTitle = new QLineEdit(m_info);
    edtTitle->setObjectName(QStringLiteral("edtTitle"));
    edtTitle->setMaxLength(127);
    edtDate = new QLineEdit(m_info);
    edtDate->setObjectName(QStringLiteral("edtDate"));
    edtDate->setMaxLength(127);
    edtDate->setInputMask(QStringLiteral("0000-00-00;_"));
    edtDate->setFixedWidth(edtDate->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 16);
    edtAuthor = new QLineEdit(m_info);
    edtAuthor->setObjectName(QStringLiteral("edtAuthor"));
    edtAuthor->setMaxLength(127);
    meoDescription = new QPlainTextEdit(m_info);
    meoDescription->setObjectName(QStringLiteral("meoDescription"));
    meoDescription->setBackgroundRole(QPalette::ToolTipBase);
    QPalette infoPalette = meoDescription->palette();
    infoPalette.setColor(QPalette::Base, infoPalette.color(QPalette::ToolTipBase));
    infoPalette.setColor(QPalette::Text, infoPalette.color(QPalette::ToolTipText));
    meoDescription->setPalette(infoPalette);
    meoDescription->setTabChangesFocus(true);
    m_pin = new QToolButton(m_info);
    m_pin->setObjectName(QStringLiteral("btnPin"));
    m_pin->setAutoRaise(true);
    m_pin->setIcon(pinIcon(false));
    m_pin->setToolTip(QStringLiteral("Stay On Top"));
    m_pin->setStatusTip(QStringLiteral("Stay On Top"));
    connect(m_pin, &QToolButton::clicked, this, [this] { setKeepOpen(!m_keepOpen); });
    info->addWidget(m_pin, 0, 2, Qt::AlignRight | Qt::AlignTop);
    info->addWidget(label("&Title:", edtTitle), 0, 0);
    info->addWidget(edtTitle, 0, 1);
    info->addWidget(label("D&ate:", edtDate), 1, 0);
    auto *dateRow = new QHBoxLayout;
    dateRow->addWidget(edtDate);
    auto *hint = new QLabel(QStringLiteral("(yyyy-mm-dd)"), m_info);
    hint->setForegroundRole(QPalette::ToolTipText);
    dateRow->addWidget(hint);
    dateRow->addStretch(1);
    info->addLayout(dateRow, 1, 1, 1, 2);
    info->addWidget(label("A&uthor:", edtAuthor), 2, 0);
    info->addWidget(edtAuthor, 2, 1, 1, 2);
    info->addWidget(label("&Description:", meoDescription), 3, 0, 1, 3);
    info->addWidget(meoDescription, 4, 0, 1, 3);
    info->setRowStretch(4, 1);
    info->setColumnStretch(1, 1);
    top->addWidget(m_info, 2);

    // Leaving a field writes it; leaving the date checks it first.
    for (QLineEdit *e : {edtTitle, edtAuthor})
        connect(e, &QLineEdit::editingFinished, this, [this, e] {
            if (e->isModified() && m_guard == 0)
                Apply();
        });
    edtDate->installEventFilter(this);
    meoDescription->installEventFilter(this);
    m_text->installEventFilter(this);

    connect(m_trackBar, &QSlider::sliderMoved, this, [this](int position) {
        if (m_player->DeviceID() == 0)
            return;
        try {
            const bool playing = m_player->Mode() == mpPlaying;
            m_player->setPosition(position);
            if (playing)
                m_player->Play();
        } catch (const EMCIDeviceError &) {
        }
    });
    connect(m_player, &TMediaPlayer::OnClick, this, [this](TMPBtnType button, bool &) {
        // Play at the end starts again from the start.
        if (button == btPlay && m_player->Mode() == mpStopped && m_player->Length() > 0 &&
            m_player->Position() >= m_player->Length()) {
            try {
                m_player->setPosition(0);
            } catch (const EMCIDeviceError &) {
            }
        }
        m_player->setNotify(true);
        tmrPosition.start();
    });
    connect(m_player, &TMediaPlayer::OnNotify, this, [this] {
        if (m_player->NotifyValue() != nvSuccessful || m_player->DeviceID() == 0)
            return;
        if (m_player->Mode() == mpStopped) {
            tmrPosition.stop();
            if (m_player->Position() < m_player->Length())
                return;
            try {
                m_player->setPosition(0);
            } catch (const EMCIDeviceError &) {
            }
            const QSignalBlocker quiet(m_trackBar);
            m_trackBar->setValue(0);
        }
    });
}

void TPropertyEditor::buildMenus()
{
    auto add = [this](QMenu *menu, const char *name, const char *text, const std::function<void()> &run) {
        QAction *a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QLatin1String(name));
        if (run)
            connect(a, &QAction::triggered, this, run);
        return a;
    };
    m_pictureMenu = new QMenu(this);
    m_pictureMenu->setObjectName(QStringLiteral("PictureMenu"));
    auto picture = [this](const std::function<void()> &operation) {
        return [this, operation] {
            {
                Hourglass wait;
                operation();
            }
            QTimer::singleShot(1, this, &TPropertyEditor::applyFitMode);
        };
    };
    auto *fits = new QActionGroup(this);
    const std::pair<const char *, const char *> fitNames[] = {{"FitBest", "Fit &Best"},
                                                              {"FitInWindow", "Fit In &Window"},
                                                              {"FitRelease", "Fit &Release"},
                                                              {"FitToHeight", "Fit To &Height"},
                                                              {"FitToWidth", "Fit To Wi&dth"}};
    for (const auto &[name, text] : fitNames) {
        QAction *a = add(m_pictureMenu, name, text, {});
        a->setCheckable(true);
        fits->addAction(a);
        m_fitItems << a;
        connect(a, &QAction::triggered, this, picture([] {}));
    }
    fits->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    m_fitItems[0]->setChecked(true);
    m_pictureMenu->addSeparator();
    add(m_pictureMenu, "FlipHorizontal", "Flip Hori&zontal", picture([this] { m_image->Flip(true); }));
    add(m_pictureMenu, "FlipVertical", "Flip &Vertical", picture([this] { m_image->Flip(false); }));
    add(m_pictureMenu, "RotateInvert", "Rotate &Invert", picture([this] { m_image->Rotate(180); }));
    add(m_pictureMenu, "RotateLeft", "Rotate &Left", picture([this] { m_image->Rotate(270); }));
    add(m_pictureMenu, "RotateRight", "Rotate Ri&ght", picture([this] { m_image->Rotate(90); }));
    m_pictureMenu->addSeparator();
    add(m_pictureMenu, "ExportToClipboard", "Export to Clipboard", [this] {
        if (m_image->hasPicture())
            QGuiApplication::clipboard()->setImage(m_image->picture());
    });
    m_replaceFromClipboard =
        add(m_pictureMenu, "ReplaceFromClipboard", "Replace from Clipboard", picture([this] {
                const QImage image = QGuiApplication::clipboard()->image();
                if (!image.isNull())
                    m_image->LoadFromImage(image);
            }));
    m_updateImage = add(m_pictureMenu, "UpdateImage", "&Update image", [this] { updateImage(); });
    m_pictureMenu->addSeparator();
    auto unfit = [this] {
        for (QAction *a : std::as_const(m_fitItems))
            a->setChecked(false);
    };
    add(m_pictureMenu, "ZoomIn", "Zoom I&n", picture([this, unfit] {
            unfit();
            m_image->zoomIn();
        }));
    add(m_pictureMenu, "ZoomOut", "Zoom O&ut", picture([this, unfit] {
            unfit();
            m_image->zoomOut();
        }));
    add(m_pictureMenu, "Information", "Infor&mation", [this] { showInformation(); });
    m_pictureMenu->addSeparator();
    add(m_pictureMenu, "ExportPicture", "&Export...", [this] { exportMedia(); });
    m_print = add(m_pictureMenu, "PrintPicture", "&Print", [this] {
        if (printPicture && m_media && m_image->hasPicture())
            guarded([&] { printPicture(m_image->picture(), m_media->Rec.Title); });
    });
    connect(m_pictureMenu, &QMenu::aboutToShow, this, [this] {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        m_replaceFromClipboard->setEnabled(data && data->hasImage());
        m_updateImage->setEnabled(m_media && m_media->Rec.MediaType >= 1 && m_media->Rec.MediaType <= 8);
        m_print->setEnabled(bool(printPicture) && m_image->hasPicture());
    });

    m_playerMenu = new QMenu(this);
    m_playerMenu->setObjectName(QStringLiteral("PlayerMenu"));
    QAction *actual = add(m_playerMenu, "FitActualSize", "Fit &Actual Size", {});
    m_videoFit = add(m_playerMenu, "FitVideoInWindow", "Fit In &Window", {});
    auto *videoFits = new QActionGroup(this);
    for (QAction *a : {actual, m_videoFit}) {
        a->setCheckable(true);
        videoFits->addAction(a);
        connect(a, &QAction::triggered, this, [this] { placePicture(); });
    }
    actual->setChecked(true);
    add(m_playerMenu, "ExportMedia", "&Export...", [this] { exportMedia(); });
    connect(m_playerPage, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_videoFit->setVisible(m_media && isVideo(m_media->Rec.MediaType));
        guarded([&] { m_playerMenu->exec(m_playerPage->mapToGlobal(pos)); });
    });

    m_textMenu = new QMenu(this);
    m_textMenu->setObjectName(QStringLiteral("TextMenu"));
    const std::pair<const char *, const char *> texts[] = {{"Undo", "&Undo"},
                                                           {"Cut", "C&ut"},
                                                           {"Copy", "&Copy"},
                                                           {"Paste", "&Paste"},
                                                           {"InsertText", "&Insert Text..."},
                                                           {"ExportText", "&Export..."},
                                                           {"Clear", "C&lear"}};
    for (const auto &[name, text] : texts)
        add(m_textMenu, name, text, {});
    for (QWidget *w :
         std::initializer_list<QWidget *>{edtTitle, edtDate, edtAuthor, meoDescription, m_text}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint &pos) {
            auto *memo = qobject_cast<QPlainTextEdit *>(w);
            auto *line = qobject_cast<QLineEdit *>(w);
            const bool filled = memo && !memo->document()->isEmpty();
            const bool selection = memo ? memo->textCursor().hasSelection() : line->hasSelectedText();
            auto enable = [this](const char *name, bool on) {
                if (auto *a = m_textMenu->findChild<QAction *>(QLatin1String(name)))
                    a->setEnabled(on);
            };
            enable("Undo", memo ? memo->document()->isUndoAvailable() : line->isUndoAvailable());
            enable("Cut", selection);
            enable("Copy", selection);
            enable("Paste", !QGuiApplication::clipboard()->text().isEmpty());
            enable("InsertText", memo != nullptr);
            enable("ExportText", filled);
            enable("Clear", filled);
            QAction *chosen = guarded([&] { return m_textMenu->exec(w->mapToGlobal(pos)); });
            if (chosen)
                textCommand(chosen->objectName(), w);
        });
    }
}

// ---------------------------------------------------------------------------------------------
// Showing an item

bool TPropertyEditor::prepare()
{
    if (aboutToShow)
        aboutToShow();
    {
        Hourglass wait;
        if (!guarded([this] { return Apply(); }))
            return false;
    }
    stopMedia();
    return true;
}

void TPropertyEditor::stopMedia()
{
    tmrPosition.stop();
    tmrSettle.stop();
    if (m_player->DeviceID() != 0) {
        try {
            m_player->Stop();
            m_player->Close();
        } catch (const EMCIDeviceError &) {
        }
    }
    m_player->setFileName(QString());
    m_videoPanel->hide();
}

void TPropertyEditor::showFields(const QString &title, qint64 date, const QString &author,
                                 const QString &description)
{
    edtTitle->setText(title);
    edtDate->setText(dateToText(date));
    edtAuthor->setText(author);
    meoDescription->setPlainText(description);
    for (QLineEdit *e : {edtTitle, edtDate, edtAuthor})
        e->setModified(false);
    meoDescription->document()->setModified(false);
}

bool TPropertyEditor::ShowFolder(TDbFolder *folder)
{
    if (!folder)
        return false;
    if (folder != m_folder || m_media) {
        if (!prepare())
            return false;
        m_media = nullptr;
        m_folder = folder;
        const QString file = m_host.workDirectory() + folder->Rec.OID;
        QFile::remove(file);
        folder->Changed = FolderDescription;
        QString description;
        if (folder->Select(m_host.roots().connection(), file)) {
            bool ok = false;
            description = readText(file, &ok);
        }
        QFile::remove(file);
        showFields(folder->Rec.Title, folder->Rec.InsertDate, folder->Rec.Author, description);
        // A folder has no content: the fields move to the left edge.
        m_browser->hide();
        if (!isVisible())
            resize(300, height());
    }
    placeFirstTime();
    show();
    raise();
    activateWindow();
    edtTitle->setFocus();
    return true;
}

bool TPropertyEditor::ShowItem(TDbMedia *item)
{
    if (!item)
        return false;
    TDbMedia *subject = item->MirrorOf ? item->MirrorOf : item;
    if (subject->SubFolder)
        return ShowFolder(subject->SubFolder);
    if (subject != m_media) {
        if (!prepare())
            return false;
        m_folder = nullptr;
        m_media = subject;
        const QString file = m_host.workDirectory() + subject->Rec.OID;
        QFile::remove(file);
        subject->Changed = MediaColumn::MediaDescription;
        QString description;
        if (subject->Select(m_host.roots().connection(), file)) {
            bool ok = false;
            description = readText(file, &ok);
        }
        QFile::remove(file);
        showFields(subject->Rec.Title, subject->Rec.InsertDate, subject->Rec.Author, description);
        m_browser->show();
        if (!loadContent(subject)) {
            // The window is left without the item.
            releaseItem();
            hide();
            return false;
        }
        if (width() < 480)
            resize(520, height());
    }
    placeFirstTime();
    show();
    raise();
    activateWindow();
    edtTitle->setFocus();
    return true;
}

void TPropertyEditor::placeFirstTime()
{
    if (m_placed)
        return;
    m_placed = true;
    // The first time over the middle of the workspace; afterwards where the person left it.
    const QWidget *frame = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area =
        frame ? frame->geometry() : (screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768));
    move(area.center() - QPoint(width() / 2, height() / 2));
}

bool TPropertyEditor::loadContent(TDbMedia *item)
{
    m_image->Clear();
    m_image->hide();
    m_imageShown = false;
    m_text->clear();
    const int type = item->Rec.MediaType;
    const QString path = item->Rec.MediaFile;
    TDbFolderList::CheckLost(item);
    if (isPictureType(type)) {
        m_pages->setCurrentIndex(PicturePage);
        if (item->Lost || !LoadPictureFile(path, type, *m_image)) {
            guarded([&] { m_host.ui().showMessage(vkMessage("MediaLoadError"), UiServices::Icon::Warning); });
            return true; // the fields can still be edited
        }
        placePicture();
        // The viewer shows once the window has settled.
        tmrSettle.start();
        return true;
    }
    if (type == TypeText) {
        bool ok = false;
        const QString text = item->Lost ? QString() : readText(path, &ok);
        m_text->setPlainText(text);
        m_text->document()->setModified(false);
        m_pages->setCurrentIndex(TextPage);
        return true;
    }
    if (isSound(type) || isVideo(type)) {
        m_pages->setCurrentIndex(PlayerPage);
        m_soundPicture->setVisible(isSound(type));
        m_soundPicture->setPixmap(TypeBitmaps::bitmap(QStringLiteral("Audio")));
        m_videoPanel->setVisible(isVideo(type));
        m_player->setDisplay(isVideo(type) ? m_videoPanel : nullptr);
        QString error;
        if (item->Lost || !guarded([&] { return OpenMediaFile(path, type, *m_player, &error); })) {
            m_videoPanel->hide();
            guarded(
                [&] { m_host.ui().showMessage(vkMessage("MediaOpenFailed"), UiServices::Icon::Warning); });
            return false;
        }
        const qint64 length = m_player->Length();
        const QSignalBlocker quiet(m_trackBar);
        m_trackBar->setRange(0, int(std::min<qint64>(length, INT_MAX)));
        m_trackBar->setTickInterval(length > 100 ? int(length / 100) : 0);
        m_trackBar->setValue(int(std::min<qint64>(m_player->Position(), INT_MAX)));
        if (isVideo(type)) {
            placePicture();
            tmrSettle.start();
        }
        tmrPosition.start();
        return true;
    }
    m_documentName->setText(item->Rec.Title);
    m_pages->setCurrentIndex(DocumentPage);
    return true;
}

void TPropertyEditor::placePicture()
{
    if (!m_media)
        return;
    const QSize page = m_pages->currentWidget()->size();
    if (isPictureType(m_media->Rec.MediaType)) {
        // The frame takes the picture's size when it is smaller than the page, centred.
        const QSize natural =
            m_image->hasPicture() ? QSize(m_image->ImageWidth(), m_image->ImageHeight()) + QSize(4, 4) : page;
        const QSize size = natural.boundedTo(page);
        m_pictureFrame->setGeometry(
            QRect(QPoint((page.width() - size.width()) / 2, (page.height() - size.height()) / 2), size));
    } else if (isVideo(m_media->Rec.MediaType) && m_player->DeviceID() != 0) {
        const QSize natural = m_player->capabilities().naturalSize;
        if (m_videoFit->isChecked() || natural.isEmpty()) {
            m_player->setDisplayRect(m_videoPanel->rect());
        } else {
            const QSize size = natural.boundedTo(m_videoPanel->size());
            m_player->setDisplayRect(QRect(QPoint((m_videoPanel->width() - size.width()) / 2,
                                                  (m_videoPanel->height() - size.height()) / 2),
                                           size));
        }
    }
}

void TPropertyEditor::settle()
{
    if (!m_media)
        return;
    if (isPictureType(m_media->Rec.MediaType) && m_image->hasPicture()) {
        placePicture();
        m_image->show();
        m_imageShown = true;
        applyFitMode();
    } else if (isVideo(m_media->Rec.MediaType) && m_player->DeviceID() != 0) {
        placePicture();
        // One frame back and forth, so that the display shows a picture.
        try {
            if (m_player->Mode() != mpPlaying) {
                m_player->Step();
                m_player->Back();
            }
        } catch (const EMCIDeviceError &) {
        }
    }
}

void TPropertyEditor::applyFitMode()
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
}

void TPropertyEditor::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_media)
        QTimer::singleShot(0, this, [this] {
            placePicture();
            applyFitMode();
        });
}

// ---------------------------------------------------------------------------------------------
// Apply, leaving and losing the focus

bool TPropertyEditor::Apply()
{
    Connection &c = m_host.roots().connection();
    const QString work = m_host.workDirectory();
    bool good = true;
    // The fields changed since they were shown, as a media item or a folder takes them.
    const auto takeFields = [this](auto &e) {
        if (edtTitle->isModified())
            e.title = edtTitle->text();
        if (edtDate->isModified())
            e.date = edtDate->text();
        if (edtAuthor->isModified())
            e.author = edtAuthor->text();
        if (meoDescription->document()->isModified())
            e.description = meoDescription->toPlainText();
    };
    if (m_media) {
        TDbMedia *item = m_media;
        MediaEdits e;
        takeFields(e);
        MediaEdits text;
        if (item->Rec.MediaType == TypeText && m_text->document()->isModified())
            text.text = m_text->toPlainText();
        // The fields and the text are written apart: a text that cannot be stored is said so
        // and keeps its mark, and the fields are not held back by it.
        if (!e.isEmpty()) {
            if (guarded([&] { return CommitMediaEdits(c, item, e, work); })) {
                for (QLineEdit *edit : {edtTitle, edtDate, edtAuthor})
                    edit->setModified(false);
                meoDescription->document()->setModified(false);
                emit committed(item, nullptr);
            } else {
                good = false;
            }
        }
        if (!text.isEmpty()) {
            if (guarded([&] { return CommitMediaEdits(c, item, text, work); })) {
                m_text->document()->setModified(false);
                emit committed(item, nullptr);
            } else {
                guarded([&] {
                    m_host.ui().showMessage(vkMessage("UpdateTextFailed"), UiServices::Icon::Warning);
                });
                good = false;
            }
        }
        QFile::remove(work + item->Rec.OID);
        return good;
    }
    if (m_folder) {
        TDbFolder *folder = m_folder;
        FolderEdits e;
        takeFields(e);
        if (e.isEmpty())
            return true;
        if (!guarded([&] { return CommitFolderEdits(c, folder, e, work); }))
            return false;
        for (QLineEdit *edit : {edtTitle, edtDate, edtAuthor})
            edit->setModified(false);
        meoDescription->document()->setModified(false);
        QFile::remove(work + folder->Rec.OID);
        emit committed(nullptr, folder);
        return true;
    }
    return true;
}

bool TPropertyEditor::dateLeft()
{
    if (!edtDate->isModified() || IsDateText(edtDate->text()))
        return true;
    guarded([this] { m_host.ui().showMessage(vkMessage("DateFormatError"), UiServices::Icon::Warning); });
    QTimer::singleShot(0, edtDate, [this] {
        activateWindow();
        edtDate->setFocus();
    });
    return false;
}

void TPropertyEditor::FormDeactivate()
{
    if (m_keepOpen || !isVisible() || m_guard > 0)
        return;
    m_pin->setToolTip(QStringLiteral("Stay On Top"));
    stopMedia();
    // A write that fails keeps the window, its item and its edits.
    if (!guarded([this] { return Apply(); }))
        return;
    releaseItem();
    hide();
}

void TPropertyEditor::releaseItem()
{
    stopMedia();
    m_media = nullptr;
    m_folder = nullptr;
    m_image->Clear();
    m_image->hide();
    m_imageShown = false;
    m_text->clear();
    m_text->document()->setModified(false);
    showFields(QString(), -1, QString(), QString());
}

void TPropertyEditor::setKeepOpen(bool keep)
{
    m_keepOpen = keep;
    m_pin->setIcon(pinIcon(keep));
    m_pin->setToolTip(keep ? QStringLiteral("Cancel Stay On Top") : QStringLiteral("Stay On Top"));
    m_pin->setStatusTip(m_pin->toolTip());
}

void TPropertyEditor::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || isActiveWindow())
        return;
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isActiveWindow() && m_guard == 0 && !QApplication::activeModalWidget() &&
            !QApplication::activePopupWidget())
            FormDeactivate();
    });
}

void TPropertyEditor::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    setKeepOpen(false);
}

void TPropertyEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Z && event->modifiers() == Qt::ControlModifier) {
        m_host.runCommand(QStringLiteral("ExplorerButton"));
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // Escape leaves as losing the focus does: written, then closed.
        if (guarded([this] { return Apply(); })) {
            releaseItem();
            hide();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TPropertyEditor::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!m_image || !edtDate)
        return QWidget::eventFilter(watched, event);
    if (watched == edtDate && type == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && m_guard == 0 &&
            dateLeft() && edtDate->isModified())
            Apply();
    } else if ((watched == meoDescription || watched == m_text) && type == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        auto *memo = static_cast<QPlainTextEdit *>(watched);
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && m_guard == 0 &&
            memo->document()->isModified())
            Apply();
    } else if (watched == m_image->viewport()) {
        // The picture's menu opens for a right click that did not drag.
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            m_rightPress = mouse->globalPosition().toPoint();
            return true;
        }
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
            if ((mouse->globalPosition().toPoint() - m_rightPress).manhattanLength() <= 3)
                guarded([&] { m_pictureMenu->exec(mouse->globalPosition().toPoint()); });
            return true;
        }
        if (type == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
            guarded([&] { m_pictureMenu->exec(m_image->viewport()->mapToGlobal(QPoint(8, 8))); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Media, pictures, export and the text commands

void TPropertyEditor::positionTimer()
{
    if (m_player->DeviceID() == 0)
        return;
    const qint64 length = m_player->Length();
    const QSignalBlocker quiet(m_trackBar);
    if (length > 0 && m_trackBar->maximum() != length) {
        m_trackBar->setRange(0, int(std::min<qint64>(length, INT_MAX)));
        m_trackBar->setTickInterval(length > 100 ? int(length / 100) : 0);
    }
    m_trackBar->setValue(int(std::min<qint64>(m_player->Position(), INT_MAX)));
}

void TPropertyEditor::updateImage()
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
            item->NoThumb = !m_host.roots().BuildThumbnail(item, true);
            emit committed(item, nullptr);
        }
    });
    QFile::remove(scratch);
    applyFitMode();
}

void TPropertyEditor::exportMedia()
{
    if (!m_media)
        return;
    // The one export filter of the library, for every kind of item.
    guarded([&] { return ExportMediaAsked(this, *m_media, m_host); });
}

void TPropertyEditor::showInformation()
{
    if (!m_media || !m_image->hasPicture())
        return;
    const QFileInfo file(m_media->Rec.MediaFile);
    guarded([&] {
        m_host.ui().showMessage(
            QStringLiteral("%1\n%2 x %3 pixels, %4 bits\n%5, %6")
                .arg(m_media->Rec.Title)
                .arg(m_image->ImageWidth())
                .arg(m_image->ImageHeight())
                .arg(m_image->picture().depth())
                .arg(TypeLabel(m_media->Rec.MediaType).trimmed(), FileSizeLabel(file.size())),
            UiServices::Icon::Information);
    });
}

void TPropertyEditor::textCommand(const QString &command, QWidget *target)
{
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
                DialogFilters(QLatin1String(TextFilter)).join(QStringLiteral(";;")), nullptr,
                QFileDialog::DontUseNativeDialog);
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
                DialogFilters(QLatin1String(TextFilter)).join(QStringLiteral(";;")), nullptr,
                QFileDialog::DontUseNativeDialog);
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
