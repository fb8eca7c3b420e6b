#include "AT_CBPropertyDlg.h"

#include "Connection.h"
#include "Icons.h"
#include "RecordStatements.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vk {

TCBPropertyForm::TCBPropertyForm(TDbClearBookList &books, QWidget *parent) : QDialog(parent), m_books(books)
{
    setWindowTitle(QStringLiteral("Clearbook Property"));
    auto *form = new QFormLayout(this);
    TitleEdit = new QLineEdit;
    TitleEdit->setMaxLength(MaxAuthoringTitle);
    AuthorEdit = new QLineEdit;
    AuthorEdit->setMaxLength(MaxAuthoringTitle);
    Description = new QTextEdit;
    Description->setAcceptRichText(false);
    Description->setTabChangesFocus(true);
    SlideTreeView = new QTreeWidget;
    SlideTreeView->setObjectName(QStringLiteral("SlideTreeView"));
    SlideTreeView->setHeaderHidden(true);
    SlideTreeView->setRootIsDecorated(false);
    form->addRow(QStringLiteral("&Title:"), TitleEdit);
    form->addRow(QStringLiteral("&Author:"), AuthorEdit);
    form->addRow(QStringLiteral("&Description:"), Description);
    form->addRow(QStringLiteral("&Slides:"), SlideTreeView);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(TitleEdit, &QLineEdit::textChanged, this, [buttons](const QString &t) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!t.trimmed().isEmpty());
    });
    form->addRow(buttons);
    resize(420, 420);
}

void TCBPropertyForm::fill(TDbClearBook *cb)
{
    m_cb = cb;
    SlideTreeView->clear();
    for (TDbSlide *s : std::as_const(cb->Slides))
        new QTreeWidgetItem(SlideTreeView, {s->Rec.Slide_Title});
    TitleEdit->setText(cb->Rec.CB_Title);
    TitleEdit->setModified(false);
    AuthorEdit->setText(cb->Rec.CB_Author);
    AuthorEdit->setModified(false);
    Description->clear();
    QString text;
    if (ReadDescription(m_books.connection(), cb->Rec.OID, RecordKind::ClearBook, &text))
        Description->setPlainText(text);
    Description->document()->setModified(false);
}

bool TCBPropertyForm::apply()
{
    if (!m_cb)
        return false;
    const QString description = Description->toPlainText();
    const bool ok = m_books.SetClearBookProperties(m_cb, TitleEdit->text().trimmed(), AuthorEdit->text(),
                                                   Description->document()->isModified() ? &description : nullptr);
    if (ok)
        Description->document()->setModified(false);
    return ok;
}

} // namespace vk
