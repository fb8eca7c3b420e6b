#include "FlagForm.h"

#include "Connection.h"
#include "EditedSlide.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace vk {

TLimitedSpin::TLimitedSpin(int low, int high, QWidget *parent) : QSpinBox(parent), m_low(low), m_high(high)
{
    // Typed values are not held to the spin limits; OK checks them.
    setRange(-9999999, 9999999);
    setValue(low);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 28);
}

void TLimitedSpin::stepBy(int steps)
{
    setValue(qBound(m_low, value() + steps, m_high));
}

QAbstractSpinBox::StepEnabled TLimitedSpin::stepEnabled() const
{
    StepEnabled on;
    if (value() < m_high)
        on |= StepUpEnabled;
    if (value() > m_low)
        on |= StepDownEnabled;
    return on;
}

TTimeBoxes::TTimeBoxes(int minutesHigh, int hundredthsHigh, QWidget *parent)
    : QWidget(parent), Minutes(new TLimitedSpin(0, minutesHigh, this)), Seconds(new TLimitedSpin(0, 59, this)),
      Hundredths(new TLimitedSpin(0, hundredthsHigh, this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    const struct
    {
        QSpinBox *box;
        const char *label;
    } parts[] = {{Minutes, " min"}, {Seconds, " sec"}, {Hundredths, " ms"}};
    for (const auto &p : parts) {
        row->addWidget(p.box);
        auto *label = new QLabel(QString::fromLatin1(p.label), this);
        label->setBuddy(p.box);
        row->addWidget(label);
    }
    row->addStretch();
}

void TTimeBoxes::setTime(int t)
{
    t = std::max(t, 0);
    Minutes->setValue(t / 6000);
    Seconds->setValue(t % 6000 / 100);
    Hundredths->setValue(t % 100);
}

bool TTimeBoxes::time(int *t, QString *why) const
{
    const qint64 m = Minutes->value(), s = Seconds->value(), h = Hundredths->value();
    if (m < 0 || s < 0 || h < 0) {
        *why = QStringLiteral("A time cannot be negative.");
        return false;
    }
    const qint64 total = m * 6000 + s * 100 + h;
    if (total > std::numeric_limits<int>::max()) {
        *why = QStringLiteral("The time is too long for a timeline.");
        return false;
    }
    *t = int(total);
    return true;
}

TFlagForm::TFlagForm(EditedSlide &edited, FlagKind kind, const QString &caption, const QString &startTitle,
                     bool wideSpins, QWidget *parent)
    : QDialog(parent), m_edited(edited), m_kind(kind)
{
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);
    auto *nameRow = new QHBoxLayout;
    auto *nameLabel = new QLabel(QStringLiteral("Mark Name:"), this);
    MarkName = new QLineEdit(this);
    MarkName->setMaxLength(255);
    nameLabel->setBuddy(MarkName);
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(MarkName, 1);
    layout->addLayout(nameRow);
    m_column = new QVBoxLayout;
    layout->addLayout(m_column);
    QGroupBox *start = addGroup(startTitle);
    StartTime = new TTimeBoxes(wideSpins ? 100 : 99, wideSpins ? 100 : 99, start);
    start->layout()->addWidget(StartTime);

    auto *buttons = new QDialogButtonBox(this);
    OkButton = buttons->addButton(QDialogButtonBox::Ok);
    CancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    connect(OkButton, &QPushButton::clicked, this, [this] { Ok(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QGroupBox *TFlagForm::addGroup(const QString &title)
{
    auto *group = new QGroupBox(title, this);
    new QVBoxLayout(group);
    m_column->addWidget(group);
    return group;
}

void TFlagForm::refuse(const QString &why) const
{
    m_edited.books().connection().report(why);
}

void TFlagForm::Prepare(TDbFlag *flag, int time)
{
    m_flag = nullptr;
    setResult(QDialog::Rejected);
    // A loop's end is edited through its loop.
    if (flag && flag->kind() == FlagKind::LoopEnd)
        flag = m_edited.flags().Partner(flag);
    m_editing = flag;
    if (flag) {
        MarkName->setText(flag->Rec.Flag_Name);
        StartTime->setTime(flag->Rec.Flag_StartTime);
        fill(flag->Rec);
    } else {
        MarkName->setText(m_edited.newFlagName(m_kind));
        StartTime->setTime(time);
        fillNew(time);
    }
    MarkName->selectAll();
    MarkName->setFocus();
    adjustSize();
}

bool TFlagForm::Execute(TDbFlag *flag, int time)
{
    Prepare(flag, time);
    return exec() == QDialog::Accepted;
}

bool TFlagForm::Ok()
{
    TsFlag proposed = m_editing ? m_editing->Rec : TsFlag();
    proposed.Kind = m_kind;
    proposed.Flag_Name = MarkName->text();
    QString why;
    if (!StartTime->time(&proposed.Flag_StartTime, &why) || !propose(proposed, &why)) {
        refuse(why);
        return false;
    }
    // The slide checks the flag by its rules and tells why when it refuses.
    if (m_editing) {
        // OK on values as they were changes nothing and closes the dialog.
        if (!(proposed == m_editing->Rec) && !m_edited.requestChangeFlag(m_editing, proposed))
            return false;
        m_flag = m_editing;
    } else {
        m_flag = m_edited.requestAddFlag(proposed);
        if (!m_flag)
            return false;
    }
    accept();
    return true;
}

} // namespace vk
