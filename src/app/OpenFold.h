// The folder chooser "OpenFolder": every root folder with its subfolders at every depth, and
// the chosen folder's description beside it.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vk {

class Connection;
class TDbFolder;
class TDbFolderList;

class TOpenFolder : public QDialog
{
    Q_OBJECT
public:
    // Without a connection no description is read.
    TOpenFolder(const TDbFolderList &roots, Connection *connection, QWidget *parent = nullptr);

    // The folder of the selected node; null with none.
    TDbFolder *selectedFolder() const;

    QTreeWidget *FolderTreeView = nullptr;
    QPlainTextEdit *FolderDescription = nullptr;
    QPushButton *OKBtn = nullptr;

private:
    void showDescription(QTreeWidgetItem *node);

    Connection *m_connection = nullptr;
};

} // namespace vk
