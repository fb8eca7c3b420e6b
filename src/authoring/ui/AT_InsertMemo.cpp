#include "AT_InsertMemo.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vk {

TMemoForm::TMemoForm(const QString &text, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Memo Text"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Please insert memo text:"));
    memo = new QPlainTextEdit(text);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab leaves the box, so that OK is reached from the keyboard.
    memo->setTabChangesFocus(true);
    label->setBuddy(memo);
    layout->addWidget(label);
    layout->addWidget(memo);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(360, 260);
}

QString TMemoForm::text() const
{
    return memo->toPlainText();
}

} // namespace vk
