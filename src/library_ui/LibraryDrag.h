// What is being dragged among the library windows: a root folder or an item from the folder
// explorer, or the selection of a folder window. A drag carries only a marker of its own type;
// the things themselves stay here, in the one drag that can be running at a time.
#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QMimeData;

namespace vk {

class TDbFolder;
class TDbFolderList;
class TDbMedia;

struct LibraryDrag
{
    enum Kind
    {
        None,
        RootFolder,      // a root folder from the explorer
        ExplorerItem,    // a media item or subfolder tile from the explorer
        WindowSelection, // the selected tiles of a folder window
    };
    Kind kind = None;
    TDbFolder *folder = nullptr; // RootFolder
    QList<TDbMedia *> items;     // ExplorerItem, WindowSelection (in selection order)
    QPointer<QWidget> source;
    // Counts the drags begun, so that a late end leaves a newer drag alone.
    quint64 generation = 0;

    static constexpr const char *MimeType = "application/x-vellumark-library";

    // The drag running now; a new one replaces it.
    static LibraryDrag &current();
    // Starts describing a drag: the data to hand to QDrag.
    static QMimeData *begin(Kind kind, TDbFolder *folder, const QList<TDbMedia *> &items, QWidget *source);
    static bool isLibraryDrag(const QMimeData *data);
    // The drag is over (dropped or abandoned).
    static void end();
    // The drag's own event loop has returned. A drop hands its work to the event loop so that
    // the drag is finished before the library changes; that work still reads the drag, so the
    // drag ends only after it has run (unless a new drag has begun by then).
    static void endAfterDrop();
    // A thing that left the library (its row deleted or its folder freed) leaves the drag too.
    static void forget(const void *thing);

    bool carriesSubFolderOf(const TDbFolder *target) const;
};

// Drops what is dragged into a folder at a position, moving or copying. False when nothing
// was done (a move onto itself, a folder into its own subfolder, which tells the person).
bool DropIntoFolder(TDbFolderList &roots, const LibraryDrag &drag, TDbFolder *target, int position,
                    bool copy);
// Drops onto the root level of the library at a position: a folder or a subfolder becomes a
// root folder; media cannot go there.
bool DropAtRoot(TDbFolderList &roots, const LibraryDrag &drag, int position, bool copy);

} // namespace vk
