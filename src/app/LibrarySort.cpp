#include "LibrarySort.h"

#include "Connection.h"
#include "DbFolder.h"
#include "OrderKeys.h"

#include <algorithm>

namespace vk {

namespace {

template <typename T, typename Title> void sortByTitle(QList<T *> &list, Title title)
{
    std::stable_sort(list.begin(), list.end(), [&](const T *a, const T *b) {
        return QString::compare(title(a), title(b), Qt::CaseSensitive) < 0;
    });
}

QString itemTitle(const TDbMedia *item)
{
    // A subfolder's node shows its folder's title.
    return item->SubFolder ? item->SubFolder->Rec.Title : item->Rec.Title;
}

} // namespace

bool SortMainFolders(TDbFolderList &roots)
{
    if (roots.Folders.isEmpty())
        return true;
    QList<TDbFolder *> sorted = roots.Folders;
    sortByTitle(sorted, [](const TDbFolder *f) { return f->Rec.Title; });
    Connection &c = roots.connection();
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    QList<double> before;
    for (TDbFolder *f : sorted)
        before.append(f->Rec.Index);
    bool good = true;
    for (int n = 0; n < sorted.size() && good; ++n) {
        sorted[n]->Rec.Index = renumberedKey(n);
        sorted[n]->Changed = FolderIndex;
        good = sorted[n]->Update(c);
    }
    if (!good || !tx.commit()) {
        for (int n = 0; n < sorted.size(); ++n)
            sorted[n]->Rec.Index = before[n];
        return false;
    }
    roots.Folders = sorted;
    return true;
}

bool SortFolderItems(TDbFolderList &roots, TDbFolder *folder)
{
    if (!folder || !folder->MediaList || folder->MediaList->Items.isEmpty())
        return true;
    QList<TDbMedia *> sorted = folder->MediaList->Items;
    sortByTitle(sorted, itemTitle);
    Connection &c = roots.connection();
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    QList<double> before;
    for (TDbMedia *m : sorted)
        before.append(m->Rec.Index);
    bool good = true;
    for (int n = 0; n < sorted.size() && good; ++n) {
        TDbMedia *item = sorted[n];
        item->Rec.Index = renumberedKey(n);
        if (TDbFolder *sub = item->SubFolder) {
            sub->Rec.Index = item->Rec.Index;
            sub->Changed = FolderIndex;
            good = sub->Update(c);
            if (good)
                CopyFolderToTile(sub, item);
        } else {
            item->Changed = MediaIndex;
            good = item->Update(c, false);
        }
    }
    if (!good || !tx.commit()) {
        for (int n = 0; n < sorted.size(); ++n) {
            sorted[n]->Rec.Index = before[n];
            if (sorted[n]->SubFolder)
                sorted[n]->SubFolder->Rec.Index = before[n];
        }
        return false;
    }
    folder->MediaList->Items = sorted;
    return true;
}

} // namespace vk
