#include "OpenFold.h"

#include "DbFolder.h"
#include "Icons.h"
#include "RecordStatements.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace vk {

namespace {

TDbFolder *folderOf(const QTreeWidgetItem *node)
{
    return node ? static_cast<TDbFolder *>(node->data(0, Qt::UserRole).value<void *>()) : nullptr;
}

QTreeWidgetItem *makeNode(TDbFolder *folder)
{
    auto *node = new QTreeWidgetItem(QStringList(folder->Rec.Title));
    node->setIcon(0, vkIcon(QStringLiteral("folder")));
    node->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(folder)));
    return node;
}

void addSubfolders(QTreeWidgetItem *node, TDbFolder *folder, int depth)
{
    // A tree that loops back on itself (a damaged database) stops instead of recursing forever.
    if (!folder->MediaList || depth > 256)
        return;
    for (TDbMedia *item : folder->MediaList->Items) {
        if (!item->SubFolder)
            continue;
        QTreeWidgetItem *child = makeNode(item->SubFolder);
        node->addChild(child);
        addSubfolders(child, item->SubFolder, depth + 1);
    }
}

} // namespace

TOpenFolder::TOpenFolder(const TDbFolderList &roots, Connection *connection, QWidget *parent)
    : QDialog(parent), m_connection(connection)
{
    setWindowTitle(QStringLiteral("OpenFolder"));
    setWindowIcon(vkIcon(QStringLiteral("folder-open")));
    auto *grid = new QGridLayout(this);
    auto *treeLabel = new QLabel(QStringLiteral("Folder Title:"), this);
    auto *descriptionLabel = new QLabel(QStringLiteral("Description: "), this);
    FolderTreeView = new QTreeWidget(this);
    FolderTreeView->setObjectName(QStringLiteral("FolderTreeView"));
    FolderTreeView->setHeaderHidden(true);
    FolderTreeView->setMinimumSize(240, 300);
    treeLabel->setBuddy(FolderTreeView);
    FolderDescription = new QPlainTextEdit(this);
    FolderDescription->setObjectName(QStringLiteral("FolderDescription"));
    FolderDescription->setReadOnly(true);
    FolderDescription->setMinimumWidth(220);
    descriptionLabel->setBuddy(FolderDescription);
    grid->addWidget(treeLabel, 0, 0);
    grid->addWidget(descriptionLabel, 0, 1);
    grid->addWidget(FolderTreeView, 1, 0);
    grid->addWidget(FolderDescription, 1, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OKBtn = buttons->button(QDialogButtonBox::Ok);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    grid->addWidget(buttons, 2, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (TDbFolder *f : roots.Folders) {
        QTreeWidgetItem *node = makeNode(f);
        FolderTreeView->addTopLevelItem(node);
        addSubfolders(node, f, 0);
    }
    connect(FolderTreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *now, QTreeWidgetItem *before) {
                if (folderOf(now) != folderOf(before))
                    showDescription(now);
            });
    connect(FolderTreeView, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *node) {
        if (folderOf(node))
            accept();
    });
    OKBtn->setEnabled(FolderTreeView->topLevelItemCount() > 0);
    if (FolderTreeView->topLevelItemCount() > 0)
        FolderTreeView->setCurrentItem(FolderTreeView->topLevelItem(0));
    FolderTreeView->setFocus();
}

TDbFolder *TOpenFolder::selectedFolder() const
{
    return folderOf(FolderTreeView->currentItem());
}

void TOpenFolder::showDescription(QTreeWidgetItem *node)
{
    FolderDescription->clear();
    TDbFolder *folder = folderOf(node);
    if (!folder || !m_connection)
        return;
    QString text;
    if (ReadDescription(*m_connection, folder->Rec.OID, RecordKind::Folder, &text))
        FolderDescription->setPlainText(text);
}

} // namespace vk
