#include "AT_ZoomDlg.h"

#include "Messages.h"
#include "UiServices.h"

#include <QButtonGroup>
#include <QCheckBox>
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
#include <QToolButton>
#include <QVBoxLayout>

namespace vk {

namespace {
constexpr int Ratios[] = {200, 100, 66, 50, 33};
} // namespace

QString TZoomForm::checkZoom(const QString &text, int *zoom)
{
    bool ok = false;
    const int z = text.trimmed().toInt(&ok);
    if (!ok)
        return vkMessage("InvalidNumber");
    // The surface's side is the screen's times the square root of the zoom: a zoom outside
    // this range makes no usable surface (and none below 0 has a root at all).
    if (z < MinZoom || z > MaxZoom)
        return vkMessage("ZoomOutOfRange");
    *zoom = z;
    return QString();
}

int TZoomForm::ratioOf(int zoom)
{
    for (int i = 0; i < 5; ++i)
        if (Ratios[i] == zoom)
            return i;
    return -1;
}

int TZoomForm::step(int zoom, int by)
{
    return std::clamp(zoom + by, MinZoom, MaxZoom);
}

TZoomForm::TZoomForm(bool fixed, int zoom, UiServices &ui, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_zoom(zoom)
{
    setWindowTitle(QStringLiteral("Zoom"));
    auto *top = new QVBoxLayout(this);
    FixedCheckBox = new QCheckBox(QStringLiteral("&Fixed Ratio"), this);
    FixedCheckBox->setObjectName(QStringLiteral("FixedCheckBox"));
    top->addWidget(FixedCheckBox);
    fitBox = new QGroupBox(QStringLiteral("Fit To Ratio"), this);
    fitBox->setObjectName(QStringLiteral("FitRadioGroup"));
    auto *grid = new QGridLayout(fitBox);
    FitRadioGroup = new QButtonGroup(this);
    const char *texts[] = {"&200%", "&100%", "&66%", "&50%", "&33%"};
    for (int i = 0; i < 5; ++i) {
        auto *b = new QRadioButton(QString::fromLatin1(texts[i]), fitBox);
        FitRadioGroup->addButton(b, i);
        grid->addWidget(b, i, 0);
    }
    top->addWidget(fitBox);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Zoom:"), this);
    FitEdit = new QLineEdit(QString::number(zoom), this);
    FitEdit->setObjectName(QStringLiteral("FitEdit"));
    FitEdit->setMaxLength(4);
    FitEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,4}")), FitEdit));
    label->setBuddy(FitEdit);
    up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    up->setAutoRepeat(true);
    down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    down->setAutoRepeat(true);
    row->addWidget(label);
    row->addWidget(FitEdit);
    row->addWidget(new QLabel(QStringLiteral("%"), this));
    row->addWidget(up);
    row->addWidget(down);
    top->addLayout(row);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TZoomForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(FitRadioGroup, &QButtonGroup::idClicked, this,
            [this](int id) { FitEdit->setText(QString::number(Ratios[id])); });
    connect(up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    connect(FixedCheckBox, &QCheckBox::toggled, this, [this] { enableControls(); });
    FixedCheckBox->setChecked(fixed);
    if (fixed)
        if (QAbstractButton *b = FitRadioGroup->button(ratioOf(zoom)))
            b->setChecked(true);
    enableControls();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

bool TZoomForm::fixed() const
{
    return FixedCheckBox->isChecked();
}

void TZoomForm::enableControls()
{
    const bool on = FixedCheckBox->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(fitBox), static_cast<QWidget *>(FitEdit),
                       static_cast<QWidget *>(up), static_cast<QWidget *>(down)})
        w->setEnabled(on);
}

void TZoomForm::stepBy(int by)
{
    int z = 0;
    const QString problem = checkZoom(FitEdit->text(), &z);
    if (!problem.isEmpty() && problem == vkMessage("InvalidNumber")) {
        m_ui.showMessage(problem);
        FitEdit->setFocus();
        FitEdit->selectAll();
        return;
    }
    if (!problem.isEmpty())
        z = std::clamp(FitEdit->text().toInt(), MinZoom, MaxZoom);
    z = step(z, by);
    FitEdit->setText(QString::number(z));
    const int ratio = ratioOf(z);
    if (ratio >= 0) {
        FitRadioGroup->button(ratio)->setChecked(true);
    } else if (QAbstractButton *b = FitRadioGroup->checkedButton()) {
        // No item stands for the value: none is selected.
        FitRadioGroup->setExclusive(false);
        b->setChecked(false);
        FitRadioGroup->setExclusive(true);
    }
}

void TZoomForm::accept()
{
    if (FixedCheckBox->isChecked()) {
        int z = 0;
        const QString problem = checkZoom(FitEdit->text(), &z);
        if (!problem.isEmpty()) {
            m_ui.showMessage(problem);
            FitEdit->setFocus();
            FitEdit->selectAll();
            return;
        }
        m_zoom = z;
    }
    QDialog::accept();
}

} // namespace vk
