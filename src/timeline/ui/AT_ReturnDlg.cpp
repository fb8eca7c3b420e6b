#include "AT_ReturnDlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vk {

TReturnForm::TReturnForm(bool editedSlideOpen, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Return to Design Mode"));
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Select a slide to return to"));
    auto *rows = new QVBoxLayout(group);
    m_original = new QRadioButton(QStringLiteral("Originally played  slide"));
    m_current = new QRadioButton(QStringLiteral("Current slide"));
    rows->addWidget(m_original);
    rows->addWidget(m_current);
    layout->addWidget(group);
    (editedSlideOpen ? m_original : m_current)->setChecked(true);
    group->setEnabled(editedSlideOpen);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Enter takes the slide chosen; the arrow keys move between the two.
    (editedSlideOpen ? m_original : m_current)->setFocus();
}

ReturnChoice TReturnForm::choice() const
{
    return m_current->isChecked() ? ReturnChoice::CurrentSlide : ReturnChoice::OriginalSlide;
}

std::optional<ReturnChoice> TReturnForm::ask(bool editedSlideOpen, QWidget *parent)
{
    TReturnForm form(editedSlideOpen, parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.choice();
}

} // namespace vk
