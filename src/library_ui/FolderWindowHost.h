// What the library windows (folder windows and the folder explorer) need of the workspace
// that holds them: the library, the clipboard, the person, and the commands that are the
// workspace's own. The frame implements it; tests give a small fake.
#pragma once

#include "DbFolder.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace vk {

class UiServices;

class FolderWindowHost
{
public:
    virtual ~FolderWindowHost() = default;

    virtual TDbFolderList &roots() = 0;
    virtual TSelectedList &clipboard() = 0;
    virtual UiServices &ui() = 0;
    // Lets go of everything on the clipboard (the last holders delete rows), for a new cut or copy.
    virtual void clearClipboard() { roots().ClipboardClear(clipboard()); }

    // A command of the workspace by its component name ("MediaInsert", "btnDelete", ...).
    virtual void runCommand(const QString &name) = 0;
    virtual void openFolder(TDbFolder *folder) = 0;
    // The property dialog for an item or a folder (null for the other).
    virtual void showProperties(TDbMedia *item, TDbFolder *folder) = 0;
    // A library window became the frame's active view, or its selection changed.
    virtual void viewActivated(QWidget *window) = 0;
    // The folder explorer shows the item's node (or the folder's, without an item).
    virtual void selectInExplorer(TDbFolder *folder, TDbMedia *item) = 0;
    // The property editor for an item or a folder (null for the other), and whether it shows.
    virtual void showInEditor(TDbMedia *, TDbFolder *) {}
    virtual bool editorShowing() const { return false; }
    virtual bool propertiesShowing() const { return false; }
    // The print layout for a picture item.
    virtual void printMedia(TDbMedia *) {}
    // A keyword dropped on items: each that does not carry it yet is tagged. Answers how many.
    virtual int tagItems(const QList<TDbMedia *> &, const QString & /*keywordOid*/) { return 0; }
    // A tile was pressed, or reached with the arrow keys: the visible property dialog shows it.
    virtual void tilePressed(TDbMedia *) {}
    // The explorer's node was pressed: the folder's open window comes forward and, given an
    // item, selects it alone.
    virtual void followExplorer(TDbFolder *, TDbMedia *) {}
    // A folder's title or tile changed: its windows and its parent's windows show it again.
    virtual void folderChanged(TDbFolder *) {}
    // Imports files and directories into a folder through the workspace's threaded import,
    // with its progress and its list of what was left out. Answers the last item imported.
    virtual TDbMedia *importPaths(TDbFolder *folder, const QStringList &paths) = 0;
    virtual bool showExternalMark() const = 0;
    // The picture format captured and scanned stills are saved in (the ScanImageType option).
    virtual int scanImageType() const { return 0; }
    // Where work files go (ends with '/').
    virtual QString workDirectory() const = 0;
    // Makes a picture the workspace's background (desktop false) or the desktop's wallpaper.
    virtual bool setWallpaper(TDbMedia *, bool /*desktop*/) { return false; }
    virtual bool showsBackground() const { return false; }
};

} // namespace vk
