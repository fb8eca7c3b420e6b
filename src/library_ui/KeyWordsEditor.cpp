#include "KeyWordsEditor.h"

#include "Connection.h"
#include "Icons.h"
#include "KeyWords.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "PictureFiles.h"
#include "PptDialog.h"
#include "UiServices.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace vk {

// ---------------------------------------------------------------------------------------------
// The column

bool TKeyWordColumn::ShowFrom(int first, int current)
{
    if (first < 0 || first >= Count)
        return false;
    FirstShown = first;
    Current = current;
    return true;
}

void TKeyWordColumn::ScrollUp()
{
    if (FirstShown > 0)
        --FirstShown;
}

void TKeyWordColumn::ScrollDown()
{
    // Only while some are hidden below: scrolling past the last row would show empty rows.
    if (scrollDownVisible())
        ++FirstShown;
}

int TKeyWordColumn::firstForLast() const
{
    return std::max(0, Count - std::max(1, visibleRows()));
}

void TKeyWordColumn::bringIntoView(int index)
{
    if (index < 0 || index >= Count)
        return;
    const int rows = std::max(1, visibleRows());
    if (index < FirstShown)
        FirstShown = index;
    else if (index >= FirstShown + rows)
        FirstShown = index - rows + 1;
}

// ---------------------------------------------------------------------------------------------
// The window

namespace {

constexpr int KeywordPanelWidth = 141;
constexpr int EditPanelWidth = 105;
constexpr int IconModeWidth = 34;
constexpr int Rim = 4;

QPushButton *pushButton(const char *name, const char *text, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QIcon arrowIcon(bool up)
{
    QPixmap pm(9, 9);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x34, 0x36));
    const QPolygonF tri = up ? QPolygonF({QPointF(0.5, 7), QPointF(8.5, 7), QPointF(4.5, 2)})
                             : QPolygonF({QPointF(0.5, 2), QPointF(8.5, 2), QPointF(4.5, 7)});
    p.drawPolygon(tri);
    return QIcon(pm);
}

} // namespace

int TfrmKeyWords::modeWidth(KeyWordsMode mode)
{
    switch (mode) {
    case KeyWordsMode::Edit:
        return KeywordPanelWidth + EditPanelWidth + 8;
    case KeyWordsMode::IconAndText:
        return KeywordPanelWidth + 8;
    case KeyWordsMode::Icon:
        return IconModeWidth;
    }
    return KeywordPanelWidth + 8;
}

TfrmKeyWords::TfrmKeyWords(TDbKeyWordList &keywords, Connection &connection, UiServices &ui, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_keywords(keywords), m_connection(connection),
      m_ui(ui)
{
    setObjectName(QStringLiteral("frmKeyWords"));
    setWindowTitle(QStringLiteral("Key Words"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildForm();
    for (TDbKeyWord *k : std::as_const(m_keywords.Items))
        addButton(k);
    setFixedWidth(modeWidth(m_mode));
    setMinimumHeight(150);
    resize(modeWidth(m_mode), 270);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    m_column.Count = int(m_buttons.size());
    if (!m_buttons.isEmpty())
        ShowFrom(0, -1);
    updateEditState();
    // From the keyboard: the first keyword, or Add when there is none.
    if (!m_buttons.isEmpty())
        m_buttons.first().button->setFocus(Qt::OtherFocusReason);
    else
        btnAdd->setFocus(Qt::OtherFocusReason);
}

TfrmKeyWords::~TfrmKeyWords() = default;

void TfrmKeyWords::buildForm()
{
    pnlKeyWords = new QFrame(this);
    pnlKeyWords->setObjectName(QStringLiteral("pnlKeyWords"));
    pnlKeyWords->setFrameShape(QFrame::StyledPanel);
    pnlKeyWords->setFrameShadow(QFrame::Sunken);
    pnlKeyWords->setAutoFillBackground(true);
    pnlKeyWords->setBackgroundRole(QPalette::Base);
    pnlKeyWords->setContextMenuPolicy(Qt::CustomContextMenu);
    btnScrollUp = new QToolButton(pnlKeyWords);
    btnScrollUp->setObjectName(QStringLiteral("btnScrollUp"));
    btnScrollUp->setIcon(arrowIcon(true));
    btnScrollUp->setFixedSize(16, 16);
    btnScrollUp->setFocusPolicy(Qt::NoFocus);
    btnScrollDown = new QToolButton(pnlKeyWords);
    btnScrollDown->setObjectName(QStringLiteral("btnScrollDown"));
    btnScrollDown->setIcon(arrowIcon(false));
    btnScrollDown->setFixedSize(16, 16);
    btnScrollDown->setFocusPolicy(Qt::NoFocus);
    connect(btnScrollUp, &QToolButton::clicked, this, &TfrmKeyWords::ScrollUp);
    connect(btnScrollDown, &QToolButton::clicked, this, &TfrmKeyWords::ScrollDown);

    pnlEdit = new QWidget(this);
    pnlEdit->setObjectName(QStringLiteral("pnlEdit"));
    pnlEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *edit = new QVBoxLayout(pnlEdit);
    edit->setContentsMargins(6, 0, 2, 0);
    edit->setSpacing(4);
    auto *label1 = new QLabel(QStringLiteral("KeyWord:"), pnlEdit);
    label1->setObjectName(QStringLiteral("Label1"));
    edtKeyWord = new QLineEdit(pnlEdit);
    edtKeyWord->setObjectName(QStringLiteral("edtKeyWord"));
    edtKeyWord->setMaxLength(32);
    label1->setBuddy(edtKeyWord);
    edit->addWidget(label1);
    edit->addWidget(edtKeyWord);
    auto *label2 = new QLabel(QStringLiteral("Original Size"), pnlEdit);
    label2->setObjectName(QStringLiteral("Label2"));
    edit->addWidget(label2);
    auto *imageRow = new QHBoxLayout;
    imgKeyWord = new QToolButton(pnlEdit);
    imgKeyWord->setObjectName(QStringLiteral("imgKeyWord"));
    imgKeyWord->setFixedSize(24, 24);
    imgKeyWord->setIconSize(QSize(16, 16));
    imgKeyWord->setToolTip(QStringLiteral("Load Image"));
    imgKeyWord->setFocusPolicy(Qt::NoFocus);
    imageRow->addWidget(imgKeyWord);
    labKeyWordFileSize = new QLabel(QStringLiteral("16 x 16"), pnlEdit);
    labKeyWordFileSize->setObjectName(QStringLiteral("labKeyWordFileSize"));
    imageRow->addWidget(labKeyWordFileSize, 1);
    edit->addLayout(imageRow);
    btnAdd = pushButton("btnAdd", "&Add", pnlEdit);
    btnUpdate = pushButton("btnUpdate", "&Update", pnlEdit);
    btnImage = pushButton("btnImage", "&Image", pnlEdit);
    btnDelete = pushButton("btnDelete", "&Delete", pnlEdit);
    btnExit = pushButton("btnExit", "Close", pnlEdit);
    for (QPushButton *b : {btnAdd, btnUpdate, btnImage, btnDelete})
        edit->addWidget(b);
    edit->addStretch(1);
    edit->addWidget(btnExit);

    connect(btnAdd, &QPushButton::clicked, this, &TfrmKeyWords::btnAddClick);
    connect(btnUpdate, &QPushButton::clicked, this, &TfrmKeyWords::btnUpdateClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmKeyWords::btnDeleteClick);
    connect(btnImage, &QPushButton::clicked, this, [this] { btnImageClick(); });
    connect(imgKeyWord, &QToolButton::clicked, this, [this] { btnImageClick(); });
    connect(btnExit, &QPushButton::clicked, this, &QWidget::close);
    connect(edtKeyWord, &QLineEdit::textEdited, this, [this] {
        Editing = true;
        updateEditState();
    });
    // Enter in the name stores it.
    connect(edtKeyWord, &QLineEdit::returnPressed, this, [this] {
        if (btnUpdate->isEnabled())
            btnUpdateClick();
    });

    pmuKeyWord = new QMenu(this);
    pmuKeyWord->setObjectName(QStringLiteral("pmuKeyWord"));
    auto *modes = new QActionGroup(this);
    auto addMode = [&](const char *name, const char *text, KeyWordsMode mode) {
        QAction *a = pmuKeyWord->addAction(QString::fromLatin1(text));
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        modes->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode] { setMode(mode); });
        return a;
    };
    muiAll = addMode("muiAll", "Edit...", KeyWordsMode::Edit);
    muiOnlyList = addMode("muiOnlyList", "Icon and Text", KeyWordsMode::IconAndText);
    muiOnlyIcon = addMode("muiOnlyIcon", "Icon", KeyWordsMode::Icon);
    muiAll->setChecked(true);
    for (QWidget *w : {static_cast<QWidget *>(pnlKeyWords), pnlEdit})
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { pmuKeyWord->popup(w->mapToGlobal(pos)); });
    // The menu from the keyboard too.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { pmuKeyWord->popup(mapToGlobal(pos)); });
}

QIcon TfrmKeyWords::iconOf(const TDbKeyWord *keyword) const
{
    QPixmap icon;
    if (!keyword->Rec.IconFile.isEmpty())
        icon.load(keyword->Rec.IconFile);
    // A keyword without an icon, or whose icon cannot be read, shows the keyword picture.
    if (icon.isNull())
        return vkIcon(QStringLiteral("keywords"));
    return QIcon(icon.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void TfrmKeyWords::addButton(TDbKeyWord *keyword)
{
    KeywordButton b;
    b.keyword = keyword;
    b.button = new QToolButton(pnlKeyWords);
    b.button->setCheckable(true);
    b.button->setAutoRaise(true);
    // A pressed keyword must be seen at a glance: the current item carries it.
    b.button->setStyleSheet(
        QStringLiteral("QToolButton { border: 1px solid transparent; border-radius: 2px; }"
                       "QToolButton:checked { background: #c5d5ec; border-color: #3465a4; }"
                       "QToolButton:focus { border-color: #729fcf; }"));
    b.button->setFixedSize(23, 22);
    b.button->setIconSize(QSize(16, 16));
    b.button->setIcon(iconOf(keyword));
    b.button->setFocusPolicy(Qt::StrongFocus);
    b.button->setToolTip(keyword->Rec.Name);
    b.button->setAccessibleName(keyword->Rec.Name);
    b.button->installEventFilter(this);
    b.label = new QLabel(keyword->Rec.Name, pnlKeyWords);
    b.label->setContextMenuPolicy(Qt::CustomContextMenu);
    b.label->installEventFilter(this);
    b.label->setCursor(Qt::OpenHandCursor);
    connect(b.label, &QLabel::customContextMenuRequested, this,
            [this, l = b.label](const QPoint &pos) { pmuKeyWord->popup(l->mapToGlobal(pos)); });
    connect(b.button, &QToolButton::clicked, this, [this, k = keyword](bool down) {
        if (toggled)
            toggled(k, down);
    });
    m_buttons.append(b);
    m_column.Count = int(m_buttons.size());
}

void TfrmKeyWords::placeButtons()
{
    const QRect client = pnlKeyWords->contentsRect();
    m_column.PanelHeight = client.height();
    for (int i = 0; i < m_buttons.size(); ++i) {
        const KeywordButton &b = m_buttons[i];
        const int top = m_column.buttonTop(i);
        const bool shown = top >= 0 && top < client.height();
        b.button->setVisible(shown);
        b.label->setVisible(shown && m_mode != KeyWordsMode::Icon);
        if (!shown)
            continue;
        b.button->move(client.left() + 1, client.top() + top);
        const int labelHeight = std::max(16, b.label->fontMetrics().height() + 2);
        b.label->setGeometry(client.left() + 27, client.top() + top + (22 - labelHeight) / 2,
                             std::max(0, pnlKeyWords->width() - 31), labelHeight);
        // The keyword being edited is blue.
        b.label->setStyleSheet(i == m_column.Current ? QStringLiteral("color: blue") : QString());
    }
    btnScrollUp->move(client.left() + client.width() - 19, client.top() + 1);
    btnScrollDown->move(client.left() + client.width() - 19, client.top() + client.height() - 20);
    btnScrollUp->setVisible(m_column.scrollUpVisible());
    btnScrollDown->setVisible(m_column.scrollDownVisible());
    btnScrollUp->raise();
    btnScrollDown->raise();
}

void TfrmKeyWords::ShowFrom(int first, int current)
{
    if (!m_column.ShowFrom(first, current))
        return;
    placeButtons();
}

void TfrmKeyWords::ScrollUp()
{
    m_column.ScrollUp();
    placeButtons();
}

void TfrmKeyWords::ScrollDown()
{
    m_column.ScrollDown();
    placeButtons();
}

void TfrmKeyWords::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int h = height() - 2 * Rim;
    const int panel = m_mode == KeyWordsMode::Icon ? IconModeWidth - 2 * Rim : KeywordPanelWidth;
    pnlKeyWords->setGeometry(Rim, Rim, panel, h);
    pnlEdit->setGeometry(Rim + KeywordPanelWidth, Rim, EditPanelWidth, h);
    pnlEdit->setVisible(m_mode == KeyWordsMode::Edit);
    placeButtons();
}

void TfrmKeyWords::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() > 0)
        ScrollUp();
    else if (event->angleDelta().y() < 0)
        ScrollDown();
    event->accept();
}

void TfrmKeyWords::setMode(KeyWordsMode mode)
{
    // Choosing the checked mode again does nothing.
    if (mode == m_mode)
        return;
    m_mode = mode;
    muiAll->setChecked(mode == KeyWordsMode::Edit);
    muiOnlyList->setChecked(mode == KeyWordsMode::IconAndText);
    muiOnlyIcon->setChecked(mode == KeyWordsMode::Icon);
    setFixedWidth(modeWidth(mode));
    resizeEvent(nullptr);
}

void TfrmKeyWords::SetDownStates(const QString &keyWords)
{
    const QStringList oids = KeywordOids(keyWords);
    for (const KeywordButton &b : std::as_const(m_buttons))
        b.button->setChecked(oids.contains(b.keyword->Rec.OID));
}

QStringList TfrmKeyWords::downOids() const
{
    QStringList out;
    for (const KeywordButton &b : m_buttons)
        if (b.button->isChecked())
            out << b.keyword->Rec.OID;
    return out;
}

void TfrmKeyWords::makeCurrent(int index)
{
    if (index < 0 || index >= m_buttons.size())
        return;
    m_column.Current = index;
    const TDbKeyWord *k = m_buttons[index].keyword;
    edtKeyWord->setText(k->Rec.Name);
    NewImage = QImage();
    imgKeyWord->setIcon(iconOf(k));
    labKeyWordFileSize->setText(QStringLiteral("16 x 16"));
    Editing = false;
    ImageChanged = false;
    m_column.bringIntoView(index);
    placeButtons();
    updateEditState();
}

void TfrmKeyWords::updateEditState()
{
    const bool current = m_column.Current >= 0 && m_column.Current < m_buttons.size();
    imgKeyWord->setEnabled(current);
    edtKeyWord->setEnabled(current);
    if (!current) {
        edtKeyWord->clear();
        imgKeyWord->setIcon(QIcon());
    }
    btnUpdate->setEnabled(Editing && current);
    btnAdd->setEnabled(!Editing);
    btnDelete->setEnabled(!Editing && current);
    btnImage->setEnabled(current);
}

void TfrmKeyWords::btnAddClick()
{
    if (Editing)
        return;
    TsKeyWord record;
    record.Name = QStringLiteral("(None)");
    // The row is stored at once, named "(None)" until the person names it.
    const int at = AddKeyword(m_connection, m_keywords, record);
    if (at < 0)
        return;
    addButton(m_keywords.Items.at(at));
    const int index = int(m_buttons.size()) - 1;
    m_column.PanelHeight = pnlKeyWords->contentsRect().height();
    m_column.ShowFrom(m_column.firstForLast(), index);
    makeCurrent(index);
    edtKeyWord->setFocus();
    edtKeyWord->selectAll();
}

void TfrmKeyWords::btnUpdateClick()
{
    const int index = m_column.Current;
    if (index < 0 || index >= m_buttons.size())
        return;
    TDbKeyWord *k = m_buttons[index].keyword;
    const TsKeyWord before = k->Rec;
    QString scratch;
    k->Modified = true;
    k->Rec.Name = edtKeyWord->text();
    if (ImageChanged) {
        k->IconChanged = true;
        if (NewImage.isNull()) {
            k->Rec.IconFile.clear();
        } else {
            scratch = m_connection.tempFilePrefix() + k->Rec.OID;
            QFile::remove(scratch);
            if (!NewImage.save(scratch, "PNG")) {
                k->Rec = before;
                k->IconChanged = false;
                m_ui.showMessage(vkMessage("WorkFileNotWritten").arg(scratch, QStringLiteral("not written")),
                                 UiServices::Icon::Warning);
                return;
            }
            k->Rec.IconFile = scratch;
        }
    }
    const bool stored = k->Update(m_connection);
    if (!scratch.isEmpty())
        QFile::remove(scratch); // the engine keeps its own copy
    if (!stored) {
        // The keyword stays as stored; the edit keeps what was typed, to be put right.
        k->Rec = before;
        k->IconChanged = false;
        return;
    }
    KeywordButton &b = m_buttons[index];
    b.label->setText(k->Rec.Name);
    b.button->setToolTip(k->Rec.Name);
    b.button->setAccessibleName(k->Rec.Name);
    b.button->setIcon(iconOf(k));
    imgKeyWord->setIcon(iconOf(k));
    Editing = false;
    ImageChanged = false;
    updateEditState();
    emit keywordChanged(k);
}

void TfrmKeyWords::btnDeleteClick()
{
    const int index = m_column.Current;
    if (Editing || index < 0 || index >= m_buttons.size())
        return;
    TDbKeyWord *k = m_buttons[index].keyword;
    const QString oid = k->Rec.OID;
    emit keywordRemoving(oid);
    if (!RemoveKeyword(m_connection, m_keywords, k, [this](const QString &media, const QString &keyWords) {
            emit mediaUntagged(media, keyWords);
        }))
        return;
    KeywordButton b = m_buttons.takeAt(index);
    delete b.button;
    delete b.label;
    m_column.Count = int(m_buttons.size());
    m_column.Current = -1;
    if (m_column.FirstShown >= m_column.Count)
        m_column.FirstShown = std::max(0, m_column.Count - 1);
    Editing = false;
    ImageChanged = false;
    placeButtons();
    updateEditState();
}

bool TfrmKeyWords::btnImageClick(const QString &given)
{
    if (m_column.Current < 0)
        return false;
    QString file = given;
    if (file.isEmpty())
        file = QFileDialog::getOpenFileName(
            this, QStringLiteral("Load Image"), QString(),
            DialogFilters(QStringLiteral("All Pictures (*.BMP; *.ICO; *.WMF)|*.BMP;*.ICO;*.WMF|Bitmap "
                                         "(*.BMP)|*.BMP|Icon (*.ICO)|*.ICO|MetaFile (*.WMF)|*.WMF"))
                .join(QStringLiteral(";;")),
            nullptr, QFileDialog::DontUseNativeDialog);
    if (file.isEmpty())
        return false;
    QImage picture;
    QString error;
    if (!loadMediaPicture(file, MediaTypeOfExtension(file), picture, &error)) {
        m_ui.showMessage(error, UiServices::Icon::Warning);
        return false;
    }
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return false; // an empty picture is ignored
    labKeyWordFileSize->setText(QStringLiteral("%1 x %2").arg(picture.width()).arg(picture.height()));
    NewImage = picture.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    imgKeyWord->setIcon(QIcon(QPixmap::fromImage(NewImage)));
    Editing = true;
    ImageChanged = true;
    updateEditState();
    return true;
}

int TfrmKeyWords::indexOfWidget(QObject *w) const
{
    for (int i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i].button == w || m_buttons[i].label == w)
            return i;
    return -1;
}

void TfrmKeyWords::startDrag(int index)
{
    const TDbKeyWord *k = m_buttons[index].keyword;
    auto *drag = new QDrag(m_buttons[index].label);
    auto *data = new QMimeData;
    data->setData(QLatin1String(KeywordMimeType), k->Rec.OID.toUtf8());
    data->setText(k->Rec.Name);
    drag->setMimeData(data);
    drag->setPixmap(iconOf(k).pixmap(16, 16));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool TfrmKeyWords::eventFilter(QObject *watched, QEvent *event)
{
    const int index = indexOfWidget(watched);
    if (index < 0)
        return QWidget::eventFilter(watched, event);
    const bool isLabel = watched == m_buttons[index].label;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (isLabel) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            makeCurrent(index);
            if (mouse->button() == Qt::LeftButton) {
                m_pressed = index;
                m_pressPoint = mouse->globalPosition().toPoint();
            }
            return mouse->button() == Qt::LeftButton;
        }
        break;
    case QEvent::MouseMove:
        if (isLabel && m_pressed == index) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if ((mouse->globalPosition().toPoint() - m_pressPoint).manhattanLength() >=
                QApplication::startDragDistance()) {
                m_pressed = -1;
                startDrag(index);
            }
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (isLabel)
            m_pressed = -1;
        break;
    case QEvent::FocusIn:
        // Reached with the keyboard: the keyword becomes the one edited.
        if (!isLabel && static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason &&
            static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason)
            makeCurrent(index);
        break;
    case QEvent::KeyPress:
        if (!isLabel) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            const int next = key == Qt::Key_Up ? index - 1 : key == Qt::Key_Down ? index + 1 : -1;
            if ((key == Qt::Key_Up || key == Qt::Key_Down) && next >= 0 && next < m_buttons.size()) {
                makeCurrent(next);
                m_buttons[next].button->setFocus(Qt::TabFocusReason);
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmKeyWords::closeEvent(QCloseEvent *event)
{
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace vk
