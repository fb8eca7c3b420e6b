#include "AT_OpenClearBook.h"

#include "AT_DbClearbook.h"
#include "Connection.h"
#include "Icons.h"
#include "RecordStatements.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace vk {

TOpenClearBookDlg::TOpenClearBookDlg(TDbClearBookList &books, QWidget *parent) : QDialog(parent), m_books(books)
{
    setWindowTitle(QStringLiteral("Open Clearbook"));
    auto *form = new QFormLayout(this);
    trvClearBooks = new QTreeWidget;
    trvClearBooks->setHeaderHidden(true);
    trvClearBooks->setRootIsDecorated(false);
    for (TDbClearBook *cb : std::as_const(books.ClearBooks)) {
        auto *item = new QTreeWidgetItem(trvClearBooks, {cb->Rec.CB_Title});
        item->setIcon(0, vkIcon(QStringLiteral("authoring")));
        item->setData(0, Qt::UserRole, QVariant::fromValue<void *>(cb));
    }
    labAuthor = new QLabel;
    labDescription = new QLabel;
    labDescription->setWordWrap(true);
    form->addRow(QStringLiteral("&Clearbook Title:"), trvClearBooks);
    form->addRow(QStringLiteral("Author: "), labAuthor);
    form->addRow(QStringLiteral("Description: "), labDescription);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(trvClearBooks->topLevelItemCount() > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    m_details = new QTimer(this);
    m_details->setSingleShot(true);
    m_details->setInterval(300);
    connect(m_details, &QTimer::timeout, this, &TOpenClearBookDlg::showDetails);
    connect(trvClearBooks, &QTreeWidget::currentItemChanged, m_details, qOverload<>(&QTimer::start));
    connect(trvClearBooks, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    if (trvClearBooks->topLevelItemCount() > 0)
        trvClearBooks->setCurrentItem(trvClearBooks->topLevelItem(0));
}

TDbClearBook *TOpenClearBookDlg::chosen() const
{
    QTreeWidgetItem *item = trvClearBooks->currentItem();
    return item ? static_cast<TDbClearBook *>(item->data(0, Qt::UserRole).value<void *>()) : nullptr;
}

void TOpenClearBookDlg::showDetails()
{
    labAuthor->clear();
    labDescription->clear();
    if (TDbClearBook *cb = chosen()) {
        labAuthor->setText(cb->Rec.CB_Author);
        QString text;
        if (ReadDescription(m_books.connection(), cb->Rec.OID, RecordKind::ClearBook, &text))
            labDescription->setText(text);
    }
}

} // namespace vk
