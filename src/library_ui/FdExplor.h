// The folder explorer: the whole library as one tree (root folders, their items, subfolders
// opening further), the second way besides folder windows to open, make, rename, delete, sort,
// cut, copy, paste and drag folders and media. It follows the library through the tree model;
// the frame docks it or lets it float.
#pragma once

#include "ChildWindow.h"

#include <QHash>
#include <QTreeView>
#include <QWidget>

class QAction;
class QMenu;
class QToolBar;

namespace vk {

class FolderWindowHost;
class LibraryTreeModel;
class TDbFolder;
class TDbMedia;

class TFolderdExplorer : public QWidget, public ChildWindow
{
    Q_OBJECT
public:
    explicit TFolderdExplorer(FolderWindowHost &host, QWidget *parent = nullptr);
    ~TFolderdExplorer() override;

    ViewKind viewKind() const override { return ViewKind::FolderExplorer; }

    QTreeView *tree() const { return m_tree; }
    LibraryTreeModel *model() const { return m_model; }

    // The selected node: its level (-1 none, 0 a root folder, 1 or more an item), the root
    // folder or the item.
    int selectedLevel() const;
    TDbFolder *selectedFolder() const;
    TDbMedia *selectedItem() const;
    // Selects a folder's node, or the node of an item of a folder.
    void SelectedNode(TDbFolder *folder, TDbMedia *item);

    // The commands.
    void NewFolder();
    void NewSubFolder();
    void Delete();
    void Open();
    void Property();
    void PropertyEditor();
    void Copy();
    void Cut();
    void Paste();
    void SortFolders();
    void SortMedia();
    bool Rename(const QModelIndex &index, const QString &title);
    // A drop on the tree at a node: allowed as the drop rules say, and done.
    enum class DropPlace
    {
        OnItem, // on a media node's label
        Beside, // on the expand button or the indentation of a node
        OnFolder
    };
    bool canDrop(const QModelIndex &at, DropPlace place) const;
    bool drop(const QModelIndex &at, DropPlace place, bool copy);

    void UpdateMenuItems();
    QAction *action(const QString &name) const { return m_actions.value(name); }
    QToolBar *toolBar() const { return m_toolBar; }

    // The model changed without telling (a sort elsewhere): read the tree again.
    void reload();

private:
    class Tree;
    QAction *makeAction(const QString &name, const QString &text, const QString &icon = QString(),
                        const QString &hint = QString());
    void pressed(const QModelIndex &index);
    void doubleClicked(const QModelIndex &index);
    void popup(const QPoint &pos);
    TDbFolder *targetFolder() const;

    FolderWindowHost &m_host;
    LibraryTreeModel *m_model = nullptr;
    QTreeView *m_tree = nullptr;
    QToolBar *m_toolBar = nullptr;
    QMenu *m_mediaMenu = nullptr;
    QMenu *m_folderMenu = nullptr;
    QMenu *m_treeMenu = nullptr;
    QHash<QString, QAction *> m_actions;
    bool EditingLabel = false;
};

} // namespace vk
