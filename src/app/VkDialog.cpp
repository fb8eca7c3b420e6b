#include "VkDialog.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace vk {

namespace {
PromptLayout layoutPromptAt(const PromptSettings &s, const PromptMetrics &m, PromptLayout l);
}

PromptLayout layoutPrompt(const PromptSettings &s, const PromptMetrics &m)
{
    PromptLayout l;
    l.caption = s.dialogCaption.isEmpty() ? QStringLiteral("Vellumark") : s.dialogCaption;
    // Wide enough for every text it shows whole: each prompt line, each choice, the option and
    // the two buttons side by side.
    int width = m.dialogWidth;
    if (m.textWidth) {
        if (s.parts & PartPrompt)
            for (const QString &line : s.promptText.split(QLatin1Char('\n')))
                width = qMax(width, m.textWidth(line) + 16);
        if (s.parts & PartChoices)
            for (const QString &choice : s.choices)
                width = qMax(width, m.textWidth(choice) + m.indicatorWidth + 24);
        if (s.parts & PartOption)
            width = qMax(width, m.textWidth(s.optionText) + 41);
    }
    if (s.buttons != 0)
        width = qMax(width, 7 + m.okWidth + 14 + m.cancelWidth + 14);
    if (m.maxWidth > 0)
        width = qMin(width, qMax(m.maxWidth, m.dialogWidth));
    l.dialogWidth = width;
    PromptMetrics wide = m;
    wide.dialogWidth = width;
    return layoutPromptAt(s, wide, l);
}

namespace {
PromptLayout layoutPromptAt(const PromptSettings &s, const PromptMetrics &m, PromptLayout l)
{
    int y = 0;
    const bool choices = s.parts & PartChoices;
    if (s.parts & PartInformation) {
        l.memoVisible = true;
        l.memoBorder = choices;
        l.memo = QRect(0, 0, m.dialogWidth, 100);
        y = l.memo.bottom() + 1;
    }
    if (choices) {
        for (int i = 0; i < s.choices.size(); ++i) {
            const QRect r(12, i * 20 + y + 5, m.dialogWidth - 24, m.radioHeight);
            l.radios.append(r);
        }
        if (!l.radios.isEmpty())
            y = l.radios.last().bottom() + 1;
    }
    if (y > 0) {
        l.panelVisible = true;
        l.panel = QRect(0, 0, m.dialogWidth, y + 10);
        y = l.panel.bottom() + 1;
    } else {
        y = 15;
    }
    if (s.parts & PartOption) {
        const int w = m.textWidth ? m.textWidth(s.optionText) : 0;
        l.optionVisible = true;
        l.option = QRect(qMax(1, m.dialogWidth - w - 40), y + 5, w + 40, m.checkHeight);
        y = l.option.bottom() + 1;
    }
    if (s.parts & PartPrompt) {
        l.promptVisible = true;
        const int lines = qMax(1, int(s.promptText.count(QLatin1Char('\n'))) + 1);
        l.prompt = QRect(8, y + 10, m.dialogWidth - 16, m.promptHeight * lines);
        y = l.prompt.bottom() + 1;
    }
    if (s.buttons == 0) {
        l.okVisible = true;
        l.cancelVisible = false;
        l.ok = QRect((m.dialogWidth - m.okWidth) / 2, y + 10, m.okWidth, m.okHeight);
        y = l.ok.bottom() + 1;
    } else {
        l.okVisible = true;
        l.cancelVisible = true;
        l.ok = QRect(7, y + 10, m.okWidth, m.okHeight);
        l.cancel = QRect(m.dialogWidth - m.cancelWidth - 14, y + 10, m.cancelWidth, m.cancelHeight);
        y = l.cancel.bottom() + 1;
    }
    l.dialogHeight = y + 30;
    return l;
}
} // namespace

TfrmVkDialog::TfrmVkDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Dialog"));
    m_pnlInformation = new QFrame(this);
    m_pnlInformation->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_meoInformation = new QPlainTextEdit(m_pnlInformation);
    m_meoInformation->setReadOnly(true);
    m_meoInformation->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_meoInformation->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_ckbNextOption = new QCheckBox(this);
    m_labPrompt = new QLabel(this);
    m_btnOk = new QPushButton(QStringLiteral("OK"), this);
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

PromptMetrics TfrmVkDialog::metrics() const
{
    PromptMetrics m;
    const QFontMetrics fm(font());
    m.dialogWidth = qMax(252, fm.horizontalAdvance(QLatin1Char('M')) * 28);
    m.okHeight = m.cancelHeight = qMax(25, m_btnOk->sizeHint().height());
    m.okWidth = m.cancelWidth = qMax(75, m_btnOk->sizeHint().width());
    m.radioHeight = qMax(17, fm.height() + 4);
    m.checkHeight = qMax(17, m_ckbNextOption->sizeHint().height());
    m.promptHeight = fm.lineSpacing();
    m.textWidth = [fm](const QString &t) { return fm.horizontalAdvance(t); };
    m.indicatorWidth =
        m_ckbNextOption->sizeHint().width() - fm.horizontalAdvance(m_ckbNextOption->text()) + 8;
    if (const QScreen *screen = this->screen())
        m.maxWidth = screen->availableGeometry().width() - 40;
    return m;
}

void TfrmVkDialog::applyLayout()
{
    const PromptMetrics m = metrics();
    const PromptLayout l = layoutPrompt(settings, m);
    setWindowTitle(l.caption);
    qDeleteAll(m_radios);
    m_radios.clear();
    m_pnlInformation->setVisible(l.panelVisible);
    m_pnlInformation->setGeometry(l.panel);
    m_meoInformation->setVisible(l.memoVisible);
    m_meoInformation->setGeometry(l.memo);
    m_meoInformation->setFrameStyle(l.memoBorder ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    m_meoInformation->setPlainText(settings.informationLines.join(QLatin1Char('\n')));
    for (int i = 0; i < l.radios.size(); ++i) {
        auto *radio = new QRadioButton(settings.choices.value(i), m_pnlInformation);
        radio->setGeometry(l.radios[i]);
        radio->setChecked(i == settings.chosenIndex);
        radio->show();
        m_radios.append(radio);
    }
    m_ckbNextOption->setVisible(l.optionVisible);
    m_ckbNextOption->setGeometry(l.option);
    m_ckbNextOption->setText(settings.optionText);
    m_ckbNextOption->setChecked(settings.optionChecked);
    m_labPrompt->setVisible(l.promptVisible);
    m_labPrompt->setGeometry(l.prompt);
    m_labPrompt->setText(settings.promptText);
    m_btnOk->setVisible(l.okVisible);
    m_btnOk->setGeometry(l.ok);
    m_btnCancel->setVisible(l.cancelVisible);
    m_btnCancel->setGeometry(l.cancel);
    setFixedSize(l.dialogWidth, l.dialogHeight);
    QPushButton *focus = settings.focusButton == 1 && l.cancelVisible ? m_btnCancel : m_btnOk;
    focus->setDefault(true);
    focus->setFocus();
}

int TfrmVkDialog::Execute()
{
    applyLayout();
    const int result = exec();
    collectAnswers();
    return result;
}

void TfrmVkDialog::collectAnswers()
{
    settings.dialogCaption.clear();
    settings.chosenIndex = -1;
    for (int i = 0; i < m_radios.size(); ++i)
        if (m_radios[i]->isChecked())
            settings.chosenIndex = i;
    qDeleteAll(m_radios);
    m_radios.clear();
    settings.optionChecked = m_ckbNextOption->isChecked();
    settings.choices.clear();
    settings.informationLines.clear();
    m_meoInformation->clear();
}

void TfrmVkDialog::ShowNotice(const QString &text)
{
    settings.dialogCaption = QStringLiteral("Vellumark");
    settings.buttons = 0;
    settings.focusButton = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1) {
        settings.parts = PartInformation;
        settings.informationLines = lines;
    } else {
        settings.parts = PartPrompt;
        settings.promptText = text;
    }
    Execute();
}

} // namespace vk
