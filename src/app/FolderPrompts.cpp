#include "FolderPrompts.h"

#include "DbFolder.h"
#include "Icons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vk {

bool askFolderTitle(QWidget *parent, QString &title)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("New Folder"));
    auto *form = new QFormLayout(&dialog);
    auto *edit = new QLineEdit(title, &dialog);
    edit->setMaxLength(127);
    edit->setMinimumWidth(260);
    form->addRow(QStringLiteral("Title:"), edit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    ok->setEnabled(!title.isEmpty());
    QObject::connect(edit, &QLineEdit::textChanged, ok,
                     [ok](const QString &t) { ok->setEnabled(!t.isEmpty()); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted || edit->text().isEmpty())
        return false;
    title = edit->text();
    return true;
}

namespace {

void addSubfolders(QTreeWidgetItem *node, TDbFolder *folder)
{
    if (!folder->MediaList)
        return;
    for (TDbMedia *item : folder->MediaList->Items) {
        if (!item->SubFolder)
            continue;
        auto *child = new QTreeWidgetItem(node, QStringList(item->SubFolder->Rec.Title));
        child->setIcon(0, vkIcon(QStringLiteral("folder")));
        child->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(item->SubFolder)));
        addSubfolders(child, item->SubFolder);
    }
}

} // namespace

TDbFolder *chooseFolder(QWidget *parent, const TDbFolderList &roots)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("OpenFolder"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *tree = new QTreeWidget(&dialog);
    tree->setHeaderHidden(true);
    tree->setMinimumSize(300, 320);
    for (TDbFolder *f : roots.Folders) {
        auto *node = new QTreeWidgetItem(tree, QStringList(f->Rec.Title));
        node->setIcon(0, vkIcon(QStringLiteral("folder")));
        node->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(f)));
        addSubfolders(node, f);
    }
    layout->addWidget(tree);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(tree->topLevelItemCount() > 0);
    if (tree->topLevelItemCount() > 0)
        tree->setCurrentItem(tree->topLevelItem(0));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(tree, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || !tree->currentItem())
        return nullptr;
    return static_cast<TDbFolder *>(tree->currentItem()->data(0, Qt::UserRole).value<void *>());
}

} // namespace vk
