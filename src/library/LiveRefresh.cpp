#include "LiveRefresh.h"

#include "Connection.h"
#include "DbFolder.h"
#include "Engine.h"
#include "Statement.h"

#include <QHash>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace vk {

namespace {

// More changed media rows than this in one look: reading every folder again is cheaper than
// asking where each row went.
constexpr int MaxSingleLookups = 2000;

bool sameFields(const TsMedia &a, const TsMedia &b)
{
    return a.Title == b.Title && a.MediaFile == b.MediaFile && a.NailFile == b.NailFile &&
           a.MediaType == b.MediaType && a.Index == b.Index && a.KeyWords == b.KeyWords &&
           a.InsertDate == b.InsertDate && a.Author == b.Author;
}

bool sameFields(const TsFolder &a, const TsFolder &b)
{
    return a.Title == b.Title && a.Width == b.Width && a.Height == b.Height && a.BorderWidth == b.BorderWidth &&
           a.InsertDate == b.InsertDate && a.Author == b.Author;
}

// Items that left the tree while another holder (the clipboard, a search result) keeps them:
// their rows are gone or elsewhere, so nothing done to them later may touch a row.
void forgetRow(TDbMedia *item)
{
    item->Rec.OID = QStringLiteral("-1");
}

void forgetRows(TDbFolder *folder)
{
    QList<TDbFolder *> all{folder};
    all.append(folder->Descendants());
    for (TDbFolder *f : all) {
        f->Rec.OID = QStringLiteral("-1");
        if (f->MediaList)
            for (TDbMedia *m : std::as_const(f->MediaList->Items))
                if (!m->SubFolder)
                    forgetRow(m);
    }
}

} // namespace

bool TDbFolderList::Refresh(const LibraryChanges &changes)
{
    Connection &c = m_connection;

    // What is in memory: every folder, and those whose lists were read (a folder loaded on its
    // own shows its subfolders as tiles of folders without lists).
    const QList<TDbFolder *> every = TreeOrder();
    QList<TDbFolder *> known;
    for (TDbFolder *f : every)
        if (f->MediaList)
            known.append(f);
    QHash<QString, TDbFolder *> byOid;
    for (TDbFolder *f : every)
        byOid.insert(f->Rec.OID, f);

    QList<TDbFolder *> reread; // folders whose lists are read again (in tree order)
    QSet<TDbFolder *> rereadSet;
    auto rereadFolder = [&](TDbFolder *f) {
        if (f && f->MediaList && !rereadSet.contains(f)) {
            rereadSet.insert(f);
            reread.append(f);
        }
    };
    QList<TDbFolder *> touched; // folders whose own fields changed
    QSet<TDbFolder *> gone;
    QList<TDbFolder *> added;
    bool rootsChanged = false;
    // Nothing is shown before every read has succeeded: a read that fails puts back the fields
    // taken over from the rows and lets the new folders go.
    QList<QPair<TDbFolder *, TsFolder>> previous;
    auto fail = [&] {
        for (auto it = previous.crbegin(); it != previous.crend(); ++it) {
            TDbFolder *f = it->first;
            f->Rec = it->second;
            if (f->MediaList) {
                f->MediaList->TileWidth = f->Rec.Width;
                f->MediaList->TileHeight = f->Rec.Height;
                f->MediaList->TileBorder = f->Rec.BorderWidth;
            }
        }
        qDeleteAll(added);
        return false;
    };

    // The folders: when any folder row changed, all of them are read (they are few).
    const bool structure = changes.folders || changes.everything;
    QList<TDbFolder *> all = every; // every folder there is now, in FolderId order once re-read
    if (structure) {
        bool good = false;
        QList<TDbFolder *> fresh = readFolderRows(&good);
        if (!good) {
            qDeleteAll(fresh);
            return false;
        }
        QHash<QString, TDbFolder *> byFolderId;
        for (TDbFolder *f : every)
            byFolderId.insert(f->Rec.FolderId, f);
        auto parentOf = [&](const QString &parentId) -> TDbFolder * {
            return parentId == QLatin1String("0") ? nullptr : byFolderId.value(parentId);
        };
        auto placeChanged = [&](const QString &parentId) {
            if (TDbFolder *p = parentOf(parentId))
                rereadFolder(p);
            else
                rootsChanged = true;
        };
        QSet<QString> present;
        all.clear();
        for (TDbFolder *row : fresh) {
            present.insert(row->Rec.OID);
            TDbFolder *f = byOid.value(row->Rec.OID);
            if (!f) {
                if (std::isnan(row->Rec.Index))
                    row->Rec.Index = 0;
                added.append(row);
                all.append(row);
                continue;
            }
            all.append(f);
            TsFolder &r = f->Rec;
            TsFolder n = row->Rec;
            delete row;
            if (std::isnan(n.Index))
                n.Index = r.Index;
            if (!sameFields(r, n)) {
                touched.append(f);
                placeChanged(r.ParFolderId); // the tile or the root node shows the title
            }
            if (r.ParFolderId != n.ParFolderId || r.Index != n.Index) {
                placeChanged(r.ParFolderId);
                placeChanged(n.ParFolderId);
            }
            n.FolderId = r.FolderId;
            previous.append({f, r});
            r = n;
            if (f->MediaList) {
                f->MediaList->TileWidth = r.Width;
                f->MediaList->TileHeight = r.Height;
                f->MediaList->TileBorder = r.BorderWidth;
            }
        }
        for (TDbFolder *f : every)
            if (!present.contains(f->Rec.OID)) {
                gone.insert(f);
                placeChanged(f->Rec.ParFolderId);
            }
        for (TDbFolder *f : std::as_const(added)) {
            placeChanged(f->Rec.ParFolderId);
            if (!loadFolderMedia(f))
                return fail();
        }
    }

    // The folders the changed media rows are in, before and after.
    if (changes.everything || changes.mediaOids.size() + changes.newMediaOids.size() > MaxSingleLookups) {
        for (TDbFolder *f : std::as_const(known))
            if (!gone.contains(f))
                rereadFolder(f);
    } else if (!changes.mediaOids.isEmpty() || !changes.newMediaOids.isEmpty()) {
        // Where the rows were: only rows this list may hold need looking for (an import names
        // new rows only, and a large library is not walked for them).
        QHash<QString, TDbMedia *> items;
        if (!changes.mediaOids.isEmpty())
            for (TDbFolder *f : std::as_const(known))
                for (TDbMedia *m : std::as_const(f->MediaList->Items))
                    if (!m->SubFolder)
                        items.insert(m->Rec.OID, m);
        QHash<QString, TDbFolder *> byFolderId;
        for (TDbFolder *f : std::as_const(all))
            byFolderId.insert(f->Rec.FolderId, f);
        for (const QString &oid : changes.mediaOids + changes.newMediaOids) {
            if (TDbMedia *m = items.value(oid))
                rereadFolder(m->Owner);
            Statement st(c, QStringLiteral("select FolderId from MediaData where OID=?"));
            if (!st.needsParams() || st.bind(oid) >= 2 || st.execute() >= 2)
                return fail();
            const int rc = st.next();
            if (rc < 2) {
                TDbFolder *f = byFolderId.value(st.text(0));
                if (f && !added.contains(f))
                    rereadFolder(f);
            } else if (rc != vkdb::DbNoMoreRows) {
                return fail();
            }
        }
    }
    for (TDbFolder *g : std::as_const(gone))
        if (rereadSet.remove(g))
            reread.removeOne(g);
    if (reread.isEmpty() && !rootsChanged && touched.isEmpty() && gone.isEmpty() && added.isEmpty())
        return true;

    // The parent each folder has now. A parent that is missing, or a chain of parents that comes
    // back to itself, leaves the folder at the root level here (the next whole load stores that).
    QHash<QString, TDbFolder *> byFolderId;
    for (TDbFolder *f : std::as_const(all))
        if (!gone.contains(f))
            byFolderId.insert(f->Rec.FolderId, f);
    QHash<TDbFolder *, TDbFolder *> parent; // null: a root
    for (TDbFolder *f : std::as_const(all)) {
        if (gone.contains(f))
            continue;
        TDbFolder *p = f->isRoot() ? nullptr : byFolderId.value(f->Rec.ParFolderId);
        // Walking up must reach a root within as many steps as there are folders.
        int steps = 0;
        for (TDbFolder *up = p; up && p; up = up->isRoot() ? nullptr : byFolderId.value(up->Rec.ParFolderId))
            if (up == f || ++steps > all.size())
                p = nullptr;
        parent.insert(f, p);
    }
    QHash<TDbFolder *, QList<TDbFolder *>> children; // in FolderId order
    QList<TDbFolder *> roots;
    for (TDbFolder *f : std::as_const(all)) {
        if (gone.contains(f))
            continue;
        if (TDbFolder *p = parent.value(f))
            children[p].append(f);
        else
            roots.append(f);
    }

    // The lists as they are stored now. Items still there keep their objects.
    QHash<QString, TDbMedia *> pool;
    for (TDbFolder *f : std::as_const(reread))
        for (TDbMedia *m : std::as_const(f->MediaList->Items))
            if (!m->SubFolder)
                pool.insert(m->Rec.OID, m);
    for (TDbFolder *g : std::as_const(gone))
        if (g->MediaList)
            for (TDbMedia *m : std::as_const(g->MediaList->Items))
                if (!m->SubFolder)
                    pool.insert(m->Rec.OID, m);
    QSet<TDbFolder *> changedItems; // folders whose kept items changed in place
    QHash<TDbFolder *, QList<TDbMedia *>> desired;
    // Every list is read before any item takes over what was read (a list that frees its
    // items when it goes).
    std::vector<std::unique_ptr<TDbFolder>> reads;
    for (TDbFolder *f : std::as_const(reread)) {
        auto read = std::make_unique<TDbFolder>();
        read->Rec.FolderId = f->Rec.FolderId;
        read->MediaList = std::make_unique<TDbMediaList>(1, 1, 0);
        if (!loadFolderMedia(read.get()))
            return fail();
        reads.push_back(std::move(read));
    }
    for (qsizetype i = 0; i < reread.size(); ++i) {
        TDbFolder *f = reread[i];
        TDbFolder &read = *reads[size_t(i)];
        QList<TDbMedia *> list;
        for (TDbMedia *m : std::as_const(read.MediaList->Items)) {
            TDbMedia *existing = pool.take(m->Rec.OID);
            if (!existing) {
                m->Owner = nullptr;
                m->RefCount = 0;
                list.append(m);
                continue;
            }
            if (!sameFields(existing->Rec, m->Rec) || existing->External != m->External) {
                const QString folderId = existing->Rec.FolderId;
                existing->Rec = m->Rec;
                existing->Rec.FolderId = folderId;
                existing->External = m->External;
                if (existing->Owner == f)
                    changedItems.insert(f);
            }
            delete m;
            list.append(existing);
        }
        read.MediaList->Items.clear();
        // The subfolder tiles among them, as the whole load places them.
        for (TDbFolder *sub : children.value(f)) {
            TDbMedia *tile = sub->Tile ? sub->Tile : MakeSubFolderTile(sub);
            CopyFolderToTile(sub, tile);
            auto at = std::find_if(list.begin(), list.end(),
                                   [sub](TDbMedia *m) { return m->Rec.Index > sub->Rec.Index; });
            list.insert(at, tile);
        }
        desired.insert(f, list);
    }
    // Folders that moved under a folder whose list is not read again cannot be: their parent's
    // place changed, which re-reads it.

    // Windows of vanished folders close first, while everything they show is still there.
    for (TDbFolder *f : every)
        if (gone.contains(f))
            emit folderDeletedElsewhere(f);

    // Everything that leaves a list leaves first; then everything comes in (the explorer's
    // nodes of a folder that changes places are let go before new ones are made).
    QList<TDbMedia *> loose;
    for (TDbFolder *f : std::as_const(reread)) {
        const QList<TDbMedia *> &want = desired[f];
        const QSet<TDbMedia *> wanted(want.begin(), want.end());
        const QList<TDbMedia *> current = f->MediaList->Items;
        for (TDbMedia *m : current) {
            if (wanted.contains(m))
                continue;
            emit itemRemoved(f, m);
            f->MediaList->Items.removeOne(m);
            --m->RefCount;
            m->Owner = nullptr;
            m->Selected = false;
            loose.append(m);
        }
    }
    QList<TDbFolder *> looseRoots;
    if (structure) {
        const QSet<TDbFolder *> wanted(roots.begin(), roots.end());
        const QList<TDbFolder *> current = Folders;
        for (TDbFolder *f : current) {
            if (wanted.contains(f))
                continue;
            emit rootRemoved(f);
            Folders.removeOne(f);
            --f->RefCount;
            looseRoots.append(f);
        }
    }

    // A new folder's subfolders are tiles of its list from the start.
    for (TDbFolder *f : std::as_const(added)) {
        for (TDbFolder *sub : children.value(f)) {
            TDbMedia *tile = sub->Tile ? sub->Tile : MakeSubFolderTile(sub);
            CopyFolderToTile(sub, tile);
            if (tile->Owner) {
                tile->Owner->MediaList->Items.removeOne(tile);
                --tile->RefCount;
            }
            loose.removeOne(tile);
            QList<TDbMedia *> &items = f->MediaList->Items;
            auto at = std::find_if(items.begin(), items.end(),
                                   [sub](TDbMedia *m) { return m->Rec.Index > sub->Rec.Index; });
            items.insert(at, tile);
            tile->Owner = f;
            tile->Rec.FolderId = f->Rec.FolderId;
            ++tile->RefCount;
        }
    }
    for (TDbFolder *f : std::as_const(reread)) {
        const QList<TDbMedia *> &want = desired[f];
        QList<TDbMedia *> &items = f->MediaList->Items;
        const QSet<TDbMedia *> present(items.begin(), items.end());
        QList<TDbMedia *> keptInOrder;
        for (TDbMedia *m : want)
            if (present.contains(m))
                keptInOrder.append(m);
        bool rearranged = changedItems.contains(f);
        if (keptInOrder != items) {
            items = keptInOrder;
            rearranged = true;
        }
        for (int k = 0; k < want.size(); ++k) {
            TDbMedia *m = want[k];
            if (k < items.size() && items[k] == m)
                continue;
            if (m->Owner && m->Owner != f) {
                // Still in the list of a vanished folder, which goes below.
                m->Owner->MediaList->Items.removeOne(m);
                --m->RefCount;
            }
            items.insert(k, m);
            ++m->RefCount;
            m->Owner = f;
            m->Rec.FolderId = f->Rec.FolderId;
            loose.removeOne(m);
            emit itemInserted(f, m, k);
        }
        if (rearranged)
            emit itemsRefreshed(f);
    }
    if (structure) {
        std::stable_sort(roots.begin(), roots.end(),
                         [](TDbFolder *a, TDbFolder *b) { return a->Rec.Index < b->Rec.Index; });
        const QSet<TDbFolder *> present(Folders.begin(), Folders.end());
        QList<TDbFolder *> keptInOrder;
        for (TDbFolder *f : std::as_const(roots))
            if (present.contains(f))
                keptInOrder.append(f);
        bool rearranged = false;
        if (keptInOrder != Folders) {
            Folders = keptInOrder;
            rearranged = true;
        }
        for (int k = 0; k < roots.size(); ++k) {
            TDbFolder *f = roots[k];
            if (k < Folders.size() && Folders[k] == f)
                continue;
            if (f->Tile) {
                // A subfolder that became a root: its tile left its parent's list above.
                TDbMedia *tile = f->Tile;
                if (tile->Owner) {
                    tile->Owner->MediaList->Items.removeOne(tile);
                    --tile->RefCount;
                    tile->Owner = nullptr;
                }
                tile->SubFolder = nullptr;
                f->Tile = nullptr;
                loose.removeOne(tile);
                if (tile->RefCount <= 0)
                    delete tile;
            }
            f->Rec.ParFolderId = QStringLiteral("0");
            Folders.insert(k, f);
            ++f->RefCount;
            looseRoots.removeOne(f);
            emit rootInserted(f, k);
        }
        if (rearranged || rootsChanged)
            emit itemsRefreshed(nullptr);
    }
    for (TDbFolder *f : std::as_const(touched)) {
        if (gone.contains(f))
            continue;
        if (f->Tile)
            CopyFolderToTile(f, f->Tile);
        emit itemsRefreshed(f);
        TDbFolder *p = f->Tile ? f->Tile->Owner : nullptr;
        if (!p || !rereadSet.contains(p))
            emit itemsRefreshed(p);
    }

    // What left the tree and stays nowhere: freed, or (held elsewhere) kept without its row.
    for (TDbMedia *m : std::as_const(loose)) {
        if (m->Owner)
            continue;
        if (TDbFolder *sub = m->SubFolder) {
            if (!gone.contains(sub))
                continue;
            // (A tile on the clipboard stays there, holding its folder, but no rows.)
            forgetRows(sub);
            if (m->RefCount <= 0)
                freeItem(m);
            continue;
        }
        if (m->RefCount > 0)
            forgetRow(m);
        else
            delete m;
    }
    for (TDbFolder *f : std::as_const(looseRoots)) {
        if (!gone.contains(f))
            continue; // became a subfolder
        forgetRows(f);
        if (f->RefCount <= 0)
            ReleaseFolder(f, false);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

LiveRefresh::LiveRefresh(TDbFolderList &roots, QObject *parent) : QObject(parent), m_roots(roots)
{
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LiveRefresh::poll);
}

void LiveRefresh::start(int intervalMs)
{
    vkdb::DbConnection *db = m_roots.connection().handle();
    if (!db)
        return;
    int64_t version = -1, position = -1;
    std::vector<vkdb::DbChange> none;
    bool complete = true;
    // The log's end first: a commit between the two reads is then news at the first look.
    vkdb::DbChangesSince(db, -1, none, position, complete);
    vkdb::DbDataVersion(db, version);
    m_dataVersion = version;
    m_position = position;
    m_readAll = false;
    m_timer.start(intervalMs);
}

void LiveRefresh::stop()
{
    m_timer.stop();
}

bool LiveRefresh::poll()
{
    vkdb::DbConnection *db = m_roots.connection().handle();
    // The workspace's own open transaction: what it reads there is its own work in progress.
    if (!db || m_running || vkdb::DbInTransaction(db) || (mayRefresh && !mayRefresh()))
        return false;
    // The log's end before the version: when the version then has not moved, nobody else
    // committed up to that end, and every entry before it is the workspace's own.
    int64_t newest = -1;
    std::vector<vkdb::DbChange> log;
    bool complete = true;
    if (!vkdb::DbSucceeded(vkdb::DbChangesSince(db, -1, log, newest, complete)))
        return false;
    int64_t version = -1;
    if (!vkdb::DbSucceeded(vkdb::DbDataVersion(db, version)))
        return false;
    if (version == m_dataVersion && !m_readAll) {
        if (newest > m_position)
            m_position = newest;
        return false;
    }
    int64_t last = m_position;
    if (!vkdb::DbSucceeded(vkdb::DbChangesSince(db, m_position, log, last, complete)))
        return false; // the same changes are read at the next look
    LibraryChanges changes;
    // A look that could not apply what it read may have left some folders half done.
    changes.everything = !complete || m_readAll;
    bool keywords = changes.everything;
    for (const vkdb::DbChange &change : log) {
        const QString table = QString::fromStdString(change.table);
        if (table.compare(QLatin1String("MediaData"), Qt::CaseInsensitive) == 0) {
            // A row whose first change here is its insert is new to this list, whatever follows.
            const QString oid = QString::fromStdString(change.oid);
            if (change.kind == vkdb::DbChange::Inserted && !changes.mediaOids.contains(oid))
                changes.newMediaOids.insert(oid);
            else if (!changes.newMediaOids.contains(oid))
                changes.mediaOids.insert(oid);
        }
        else if (table.compare(QLatin1String("Folder"), Qt::CaseInsensitive) == 0)
            changes.folders = true;
        else if (table.compare(QLatin1String("KeyWords_Table"), Qt::CaseInsensitive) == 0)
            keywords = true;
    }
    if (changes.mediaOids.isEmpty() && changes.newMediaOids.isEmpty() && !changes.folders && !changes.everything &&
        !keywords) {
        m_dataVersion = version;
        m_position = last;
        return false;
    }
    bool good = false;
    {
        m_running = true; // a message box of the refresh runs the event loop
        const auto done = qScopeGuard([this] { m_running = false; });
        good = m_roots.Refresh(changes);
    }
    // Only what was applied is behind; a look that failed (the database busy) is made again
    // in whole at the next one.
    m_readAll = !good;
    if (good) {
        m_dataVersion = version;
        m_position = last;
    }
    if (good && keywords)
        emit keywordsChanged();
    emit refreshed();
    return good;
}

} // namespace vk
