#include "AT_InsertText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vk {

TInsertTextForm::TInsertTextForm(const QString &text, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Text Editor"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Please insert text:"));
    edit = new QLineEdit(text);
    edit->selectAll();
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString TInsertTextForm::text() const
{
    return edit->text();
}

} // namespace vk
