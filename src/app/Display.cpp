#include "Display.h"

#include "Icons.h"
#include "Messages.h"
#include "OptionStore.h"
#include "UiServices.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace vk {

namespace {
constexpr QSize PanelSize(192, 120);
} // namespace

QSize TOptionDisplay::editSize(int sizeOption, QSize screen, QSize working, QSize picture)
{
    switch (sizeOption) {
    case HalfScreen:
        return {screen.width() * 10 / 14, screen.height() * 10 / 14};
    case QuarterScreen:
        return {screen.width() / 2, screen.height() / 2};
    case SixteenthScreen:
        return {screen.width() / 4, screen.height() / 4};
    case CustomSize:
        return working;
    default:
        return picture;
    }
}

QSize TOptionDisplay::previewSize(int sizeOption, QSize panel, QSize screen, QSize working, QSize picture)
{
    switch (sizeOption) {
    case HalfScreen:
        return {panel.width() * 10 / 14, panel.height() * 10 / 14};
    case QuarterScreen:
        return {panel.width() / 2, panel.height() / 2};
    case SixteenthScreen:
        return {panel.width() / 4, panel.height() / 4};
    default: {
        const QSize s = sizeOption == CustomSize ? working : picture;
        if (screen.width() <= 0 || screen.height() <= 0)
            return {};
        return {panel.width() * s.width() / screen.width(), panel.height() * s.height() / screen.height()};
    }
    }
}

QPoint TOptionDisplay::previewPosition(int position, QSize panel, QSize picture)
{
    const int dx = panel.width() - picture.width();
    const int dy = panel.height() - picture.height();
    switch (position) {
    case 0:
        return {0, 0};
    case 1:
        return {0, dy};
    case 2:
        return {dx, 0};
    case 3:
        return {dx, dy};
    default:
        return {dx / 2, dy / 2};
    }
}

QString TOptionDisplay::checkSide(const QString &text, int screenSide, bool width, int *value)
{
    if (text.isEmpty())
        return vkMessage(width ? "EmptyWidth" : "EmptyHeight");
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok)
        return vkMessage("InvalidNumber");
    if (v <= 0 || v > screenSide)
        return vkMessage(width ? "WidthTooLarge" : "HeightTooLarge");
    *value = v;
    return QString();
}

TOptionDisplay::TOptionDisplay(DisplayOptions &options, UiServices &ui, QSize screen, QWidget *parent)
    : QDialog(parent), m_options(options), m_ui(ui), m_screen(screen)
{
    setWindowTitle(QStringLiteral("Display"));
    setWindowIcon(vkIcon(QStringLiteral("display")));
    m_picture = applicationIcon().pixmap(128).size();
    m_working = QSize(options.CustomDisplayWidth, options.CustomDisplayHeight);

    auto *top = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    top->addLayout(row);

    Panel = new QFrame(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel->setFixedSize(PanelSize + QSize(2 * Panel->frameWidth(), 2 * Panel->frameWidth()));
    Panel->setStyleSheet(QStringLiteral("QFrame#Panel { background: #008080; }"));
    Image = new QLabel(Panel);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setScaledContents(true);
    Image->setPixmap(applicationIcon().pixmap(128));
    row->addWidget(Panel, 0, Qt::AlignTop);

    auto *sizeBox = new QGroupBox(QStringLiteral("  Size  "), this);
    auto *sizeGrid = new QGridLayout(sizeBox);
    m_sizes = new QButtonGroup(this);
    const char *sizeTexts[] = {"&Actual Size", "1 / &2 Screen", "1 / &4 Screen", "1 /1&6 Screen",
                               "C&ustom Size"};
    // Shown in the order of the form: the three shares, the actual size, the custom size.
    const int order[] = {HalfScreen, QuarterScreen, SixteenthScreen, ActualSize, CustomSize};
    int r = 0;
    for (int option : order) {
        auto *b = new QRadioButton(QString::fromLatin1(sizeTexts[option]), sizeBox);
        b->setObjectName(QStringLiteral("Size%1").arg(option == ActualSize ? 5 : option));
        m_sizes->addButton(b, option);
        sizeGrid->addWidget(b, r++, 0, 1, 2);
    }
    WidthEdit = new QLineEdit(sizeBox);
    WidthEdit->setObjectName(QStringLiteral("WidthEdit"));
    HeightEdit = new QLineEdit(sizeBox);
    HeightEdit->setObjectName(QStringLiteral("HeightEdit"));
    for (QLineEdit *e : {WidthEdit, HeightEdit}) {
        e->setMaxLength(4);
        // Only digits (and the keys that edit them) go in.
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,4}")), e));
        e->installEventFilter(this);
    }
    auto *w = new QLabel(QStringLiteral("&Width:"), sizeBox);
    w->setBuddy(WidthEdit);
    auto *h = new QLabel(QStringLiteral("&Height:"), sizeBox);
    h->setBuddy(HeightEdit);
    sizeGrid->addWidget(w, r, 0);
    sizeGrid->addWidget(WidthEdit, r++, 1);
    sizeGrid->addWidget(h, r, 0);
    sizeGrid->addWidget(HeightEdit, r++, 1);
    row->addWidget(sizeBox);

    auto *positionBox = new QGroupBox(QStringLiteral("  Position  "), this);
    positionBox->setObjectName(QStringLiteral("Position"));
    auto *positionGrid = new QGridLayout(positionBox);
    m_positions = new QButtonGroup(this);
    const char *positions[] = {"Left - &Top", "Left - &Bottom", "&Right - Top", "Right - B&ottom", "&Center"};
    for (int i = 0; i < 5; ++i) {
        auto *b = new QRadioButton(QString::fromLatin1(positions[i]), positionBox);
        m_positions->addButton(b, i);
        positionGrid->addWidget(b, i < 4 ? i / 2 : 2, i < 4 ? i % 2 : 0);
    }
    top->addWidget(positionBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TOptionDisplay::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TOptionDisplay::reject);

    connect(m_sizes, &QButtonGroup::idClicked, this, &TOptionDisplay::sizeChosen);
    connect(m_positions, &QButtonGroup::idClicked, this, [this] { placePreview(); });
    connect(WidthEdit, &QLineEdit::editingFinished, this, [this] { leaveEdit(WidthEdit); });
    connect(HeightEdit, &QLineEdit::editingFinished, this, [this] { leaveEdit(HeightEdit); });

    const int size = options.SizeOptionChecked >= 0 && options.SizeOptionChecked <= CustomSize
                         ? options.SizeOptionChecked
                         : ActualSize;
    if (QAbstractButton *b = m_positions->button(options.PosOptionChecked))
        b->setChecked(true);
    m_sizes->button(size)->setChecked(true);
    sizeChosen(size);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton *TOptionDisplay::sizeButton(int option) const
{
    return qobject_cast<QRadioButton *>(m_sizes->button(option));
}

QRadioButton *TOptionDisplay::positionButton(int position) const
{
    return qobject_cast<QRadioButton *>(m_positions->button(position));
}

void TOptionDisplay::sizeChosen(int option)
{
    const bool custom = option == CustomSize;
    WidthEdit->setEnabled(custom);
    HeightEdit->setEnabled(custom);
    const QSize edits = editSize(option, m_screen, m_working, m_picture);
    WidthEdit->setText(QString::number(edits.width()));
    HeightEdit->setText(QString::number(edits.height()));
    // The custom size stays what was typed for it: looking at a share of the screen on the
    // way does not replace it.
    Image->resize(previewSize(option, PanelSize, m_screen, m_working, m_picture));
    placePreview();
}

void TOptionDisplay::placePreview()
{
    const int position = m_positions->checkedId() < 0 ? 4 : m_positions->checkedId();
    const int f = Panel->frameWidth();
    Image->move(previewPosition(position, PanelSize, Image->size()) + QPoint(f, f));
}

bool TOptionDisplay::leaveEdit(QLineEdit *edit)
{
    if (m_checking || !edit->isEnabled())
        return true;
    const bool width = edit == WidthEdit;
    int value = 0;
    const QString problem =
        checkSide(edit->text(), width ? m_screen.width() : m_screen.height(), width, &value);
    if (!problem.isEmpty()) {
        // The message box takes the focus; it comes back to the edit without checking again.
        m_checking = true;
        m_ui.showMessage(problem);
        edit->setFocus();
        edit->selectAll();
        m_checking = false;
        return false;
    }
    if (width)
        m_working.setWidth(value);
    else
        m_working.setHeight(value);
    Image->resize(previewSize(CustomSize, PanelSize, m_screen, m_working, m_picture));
    placePreview();
    return true;
}

bool TOptionDisplay::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == WidthEdit) {
                if (leaveEdit(WidthEdit))
                    HeightEdit->setFocus();
                return true;
            }
            if (watched == HeightEdit) {
                if (leaveEdit(HeightEdit))
                    findChild<QPushButton *>(QStringLiteral("OK"))->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TOptionDisplay::accept()
{
    // A custom size is stored only when both sides are sound.
    if (m_sizes->checkedId() == CustomSize && (!leaveEdit(WidthEdit) || !leaveEdit(HeightEdit)))
        return;
    m_options.CustomDisplayWidth = m_working.width();
    m_options.CustomDisplayHeight = m_working.height();
    m_options.SizeOptionChecked = m_sizes->checkedId();
    if (m_positions->checkedId() >= 0)
        m_options.PosOptionChecked = m_positions->checkedId();
    QDialog::accept();
}

void TOptionDisplay::reject()
{
    m_working = QSize(m_options.CustomDisplayWidth, m_options.CustomDisplayHeight);
    QDialog::reject();
}

} // namespace vk
