// A folder's window in the workspace: its items as tiles with their titles, in list
// order. This is the plain form the frame opens folders in; tile drawing with
// thumbnails, drag and drop, the clipboard and the window's own menus belong to the
// full folder window of the library windows.
#pragma once

#include "ChildWindow.h"

#include <QList>
#include <QWidget>

class QListWidget;

namespace vk {

class TDbFolder;
class TDbFolderList;
class TDbMedia;

class TFolderWindow : public QWidget, public ChildWindow
{
    Q_OBJECT
public:
    TFolderWindow(TDbFolderList &roots, TDbFolder *folder, bool searchResult, QWidget *parent = nullptr);

    ViewKind viewKind() const override { return ViewKind::FolderWindow; }

    TDbFolder *folder() const { return m_folder; }
    bool isSearchResult() const { return m_searchResult; }
    bool isEmpty() const;
    // The most recently selected item, null when nothing is selected.
    TDbMedia *lastSelected() const;
    // The selected items in list order.
    QList<TDbMedia *> selectedItems() const;
    // Makes the item at `position` (clamped to the items) the only selection.
    void selectAt(int position);
    void selectItem(TDbMedia *item);
    // Shows the folder's items again.
    void refresh();
    // The folder is going away: the window lets go of it and shows nothing.
    void detachFolder();

signals:
    void selectionChanged();
    void openFolderRequested(vk::TDbFolder *folder);

private:
    void syncSelection();

    TDbFolderList &m_roots;
    TDbFolder *m_folder;
    bool m_searchResult;
    QListWidget *m_list = nullptr;
    QList<TDbMedia *> m_selectionOrder;
    bool m_filling = false;
};

} // namespace vk
