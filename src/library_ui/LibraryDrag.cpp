#include "LibraryDrag.h"

#include "DbFolder.h"

#include <QCoreApplication>
#include <QMimeData>

namespace vk {

LibraryDrag &LibraryDrag::current()
{
    static LibraryDrag drag;
    return drag;
}

QMimeData *LibraryDrag::begin(Kind kind, TDbFolder *folder, const QList<TDbMedia *> &items, QWidget *source)
{
    LibraryDrag &d = current();
    const quint64 generation = d.generation + 1;
    d = LibraryDrag();
    d.generation = generation;
    d.kind = kind;
    d.folder = folder;
    d.items = items;
    d.source = source;
    auto *data = new QMimeData;
    data->setData(QLatin1String(MimeType), QByteArray::number(int(kind)));
    return data;
}

bool LibraryDrag::isLibraryDrag(const QMimeData *data)
{
    return data && data->hasFormat(QLatin1String(MimeType)) && current().kind != None;
}

void LibraryDrag::end()
{
    const quint64 generation = current().generation;
    current() = LibraryDrag();
    current().generation = generation;
}

void LibraryDrag::endAfterDrop()
{
    const quint64 generation = current().generation;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [generation] {
            if (current().generation == generation)
                end();
        },
        Qt::QueuedConnection);
}

void LibraryDrag::forget(const void *thing)
{
    LibraryDrag &d = current();
    if (d.folder == thing)
        d.folder = nullptr;
    d.items.removeAll(static_cast<TDbMedia *>(const_cast<void *>(thing)));
    if ((d.kind == RootFolder && !d.folder) || (d.kind != RootFolder && d.items.isEmpty()))
        end();
}

bool LibraryDrag::carriesSubFolderOf(const TDbFolder *target) const
{
    if (kind == RootFolder)
        return folder && folder->IsSelfOrDescendant(target);
    for (const TDbMedia *m : items)
        if (m->SubFolder && m->SubFolder->IsSelfOrDescendant(target))
            return true;
    return false;
}

bool DropIntoFolder(TDbFolderList &roots, const LibraryDrag &drag, TDbFolder *target, int position, bool copy)
{
    if (!target || drag.kind == LibraryDrag::None)
        return false;
    if (drag.kind == LibraryDrag::RootFolder) {
        if (!drag.folder)
            return false;
        return copy ? roots.CopyFolderInto(drag.folder, target, position) != nullptr
                    : roots.MoveFolderInto(drag.folder, target, position);
    }
    if (drag.items.isEmpty())
        return false;
    if (copy)
        return !roots.CopyItems(drag.items, target, position).isEmpty();
    return roots.MoveItems(drag.items, target, position);
}

bool DropAtRoot(TDbFolderList &roots, const LibraryDrag &drag, int position, bool copy)
{
    TDbFolder *folder = nullptr;
    if (drag.kind == LibraryDrag::RootFolder)
        folder = drag.folder;
    else if (drag.items.size() == 1 && drag.items[0]->SubFolder)
        folder = drag.items[0]->SubFolder;
    if (!folder)
        return false;
    return copy ? roots.CopyFolderToRoot(folder, position) != nullptr
                : roots.MoveFolderToRoot(folder, position);
}

} // namespace vk
