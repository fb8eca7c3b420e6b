#include "DbFolder.h"

#include "Connection.h"
#include "Engine.h"
#include "MaskedStatement.h"
#include "Messages.h"
#include "OrderKeys.h"
#include "RecordStatements.h"
#include "RowValues.h"
#include "Statement.h"
#include "UiServices.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <optional>

namespace vk {

namespace {

const QString FolderTable = QStringLiteral("Folder");

} // namespace

// ---------------------------------------------------------------- TDbMediaList

TDbMediaList::~TDbMediaList()
{
    // The list frees the items it still holds; a subfolder tile takes its folder along.
    for (TDbMedia *item : Items) {
        if (--item->RefCount > 0) {
            if (item->Owner && item->Owner->MediaList.get() == this)
                item->Owner = nullptr;
            continue;
        }
        if (item->SubFolder) {
            item->SubFolder->Tile = nullptr;
            delete item->SubFolder;
        }
        delete item;
    }
}

QList<double> TDbMediaList::keys() const
{
    QList<double> k;
    k.reserve(Items.size());
    for (const TDbMedia *item : Items)
        k.append(item->Rec.Index);
    return k;
}

// ---------------------------------------------------------------- TDbFolder

bool TDbFolder::Select(Connection &c, const QString &descriptionFile)
{
    if (Rec.OID == QLatin1String("-1") || Changed == 0)
        return false;
    QList<quint16> order;
    const QString text = maskedSelectText({{FolderFolderId, " FolderId,"},
                                           {FolderTitle, " Title,"},
                                           {FolderLastModified, " LastModified,"},
                                           {FolderWidth, " Width,"},
                                           {FolderHeight, " Height,"},
                                           {FolderBorderWidth, " BorderWidth,"},
                                           {FolderIndex, " index,"},
                                           {FolderInsertDate, " InsertDate,"},
                                           {FolderAuthor, " Author,"},
                                           {FolderDescription, " Description,"}},
                                          Changed, " from Folder where OID=?", order);
    QStringList row;
    const QString into = (Changed & FolderDescription) ? descriptionFile : QString();
    if (!selectMaskedRow(c, text, Rec.OID, MsgRetrieveColumnData, FolderTable, into, int(order.size()), row))
        return false;
    for (int i = 0; i < order.size(); ++i) {
        const QString &v = row[i];
        switch (order[i]) {
        case FolderFolderId:
            Rec.FolderId = v;
            break;
        case FolderTitle:
            Rec.Title = v;
            break;
        case FolderWidth:
            Rec.Width = v.toInt();
            break;
        case FolderHeight:
            Rec.Height = v.toInt();
            break;
        case FolderBorderWidth:
            Rec.BorderWidth = v.toInt();
            break;
        case FolderIndex:
            Rec.Index = textToFloat(v);
            break;
        case FolderInsertDate:
            Rec.InsertDate = v.isEmpty() ? -1 : textToDate(v);
            break;
        case FolderAuthor:
            Rec.Author = v;
            break;
        default:
            break;
        }
    }
    Changed = 0;
    return true;
}

bool TDbFolder::Update(Connection &c, const QString &descriptionFile)
{
    if (Rec.OID == QLatin1String("-1") || Changed == 0)
        return false;
    QString text = QStringLiteral("update Folder set");
    QStringList values;
    QList<bool> nulls;
    auto add = [&](quint16 bit, const char *piece, const QString &value, bool isNull = false) {
        if (!(Changed & bit))
            return;
        text += QLatin1String(piece);
        values.append(value);
        nulls.append(isNull);
    };
    add(FolderFolderId, " FolderId=?,", Rec.FolderId);
    add(FolderParFolderId, " ParFolderId=?,", Rec.ParFolderId);
    add(FolderTitle, " Title=?,", Rec.Title);
    add(FolderWidth, " Width=?,", QString::number(Rec.Width));
    add(FolderHeight, " Height=?,", QString::number(Rec.Height));
    add(FolderBorderWidth, " BorderWidth=?,", QString::number(Rec.BorderWidth));
    add(FolderIndex, " index=?,", floatToText(Rec.Index));
    add(FolderInsertDate, " InsertDate=?,", dateToText(Rec.InsertDate), Rec.InsertDate < 0);
    add(FolderAuthor, " Author=?,", Rec.Author);
    const bool hasDescription = !descriptionFile.isEmpty() && QFile::exists(descriptionFile);
    add(FolderDescription, " Description=?,", hasDescription ? readTextFile(descriptionFile) : QString(),
        !hasDescription);
    text.chop(1);
    text += QStringLiteral(" where OID=?");
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    for (int i = 0; i < values.size(); ++i) {
        if (nulls[i])
            st.bindNull();
        else
            st.bind(values[i]);
    }
    st.bind(Rec.OID);
    if (st.execute() > 1) {
        c.report(MsgUpdateData, FolderTable);
        return false;
    }
    Changed = 0;
    return true;
}

bool TDbFolder::Insert(Connection &c)
{
    if (Rec.OID != QLatin1String("-1"))
        return false;
    Statement st(
        c, QStringLiteral("insert into Folder (FolderId, Title, Description, Width, Height, BorderWidth, "
                          "index, ParFolderId, InsertDate) values (?,?,?,?,?,?,?,?,?)"));
    bool good = st.needsParams();
    if (good) {
        st.bindNull();
        st.bind(Rec.Title);
        st.bindNull();
        st.bind(QString::number(Rec.Width));
        st.bind(QString::number(Rec.Height));
        st.bind(QString::number(Rec.BorderWidth));
        st.bind(floatToText(Rec.Index));
        st.bind(Rec.ParFolderId);
        if (Rec.InsertDate < 0)
            st.bindNull();
        else
            st.bind(dateToText(Rec.InsertDate));
        QString oid;
        good = st.execute(&oid) < 2 && !oid.isEmpty();
        if (good)
            Rec.OID = oid;
    }
    if (!good) {
        c.report(MsgInsertData, FolderTable);
        return false;
    }
    Changed = FolderFolderId;
    return Select(c);
}

QList<TDbFolder *> TDbFolder::Descendants() const
{
    QList<TDbFolder *> out;
    if (!MediaList)
        return out;
    for (TDbMedia *item : MediaList->Items) {
        if (item->isSubFolderTile() && item->SubFolder) {
            out.append(item->SubFolder);
            out.append(item->SubFolder->Descendants());
        }
    }
    return out;
}

bool TDbFolder::IsSelfOrDescendant(const TDbFolder *candidate) const
{
    return candidate == this || Descendants().contains(const_cast<TDbFolder *>(candidate));
}

bool TDbFolder::Delete(Connection &c, bool all)
{
    if (Rec.OID == QLatin1String("-1"))
        return true;
    auto collect = [this](bool filtered) {
        QList<TDbFolder *> folders{this};
        for (TDbFolder *f : Descendants())
            if (!filtered || !f->Tile || f->Tile->RefCount <= 1)
                folders.append(f);
        return folders;
    };
    QList<TDbFolder *> folders;
    QList<TDbMedia *> singles;
    if (all) {
        folders = collect(false);
    } else {
        if (RefCount > 1)
            return true; // another holder still uses it
        folders = collect(true);
        // A folder holding an item that another holder still uses keeps that item's row: its
        // other items are deleted one by one instead.
        for (int i = int(folders.size()) - 1; i >= 0; --i) {
            const QList<TDbMedia *> &items = folders[i]->MediaList->Items;
            const bool shared = std::any_of(items.begin(), items.end(), [](TDbMedia *m) {
                return !m->isSubFolderTile() && m->RefCount >= 2;
            });
            if (!shared)
                continue;
            for (TDbMedia *m : items)
                if (!m->isSubFolderTile() && m->RefCount <= 1)
                    singles.append(m);
            folders.removeAt(i);
        }
    }

    // All of it or nothing: a failure part-way leaves every row in place.
    const QList<TDbFolder *> mediaFolders = folders;
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    {
        Statement st(c, QStringLiteral("delete from MediaData where FolderId=?"));
        for (TDbFolder *f : mediaFolders) {
            st.nextParamSet();
            if (!st.needsParams() || st.bind(f->Rec.FolderId) > 1 || st.execute() > 1) {
                c.report(MsgDeleteData, QStringLiteral("MediaData"));
                return false;
            }
        }
    }
    if (!singles.isEmpty()) {
        Statement st(c, QStringLiteral("delete from MediaData where OID=?"));
        for (TDbMedia *m : singles) {
            st.nextParamSet();
            if (!st.needsParams() || st.bind(m->Rec.OID) > 1 || st.execute() > 1) {
                c.report(MsgDeleteData, QStringLiteral("MediaData"));
                return false;
            }
        }
    }
    if (!all)
        folders = collect(true);
    {
        Statement st(c, QStringLiteral("delete from Folder where FolderId=?"));
        for (TDbFolder *f : folders) {
            st.nextParamSet();
            if (!st.needsParams() || st.bind(f->Rec.FolderId) > 1 || st.execute() > 1) {
                c.report(MsgDeleteData, FolderTable);
                return false;
            }
        }
    }
    if (!tx.commit()) {
        c.report(MsgDeleteData, FolderTable);
        return false;
    }
    // Only now, with the rows gone, do the objects forget them.
    for (TDbFolder *f : mediaFolders)
        for (TDbMedia *m : f->MediaList->Items)
            if (!m->isSubFolderTile())
                m->Rec.OID = QStringLiteral("-1");
    for (TDbMedia *m : singles)
        m->Rec.OID = QStringLiteral("-1");
    for (TDbFolder *f : folders) {
        f->Rec.OID = QStringLiteral("-1");
        if (f->Tile)
            f->Tile->Rec.OID = QStringLiteral("-1");
    }
    return true;
}

void CopyFolderToTile(TDbFolder *folder, TDbMedia *tile)
{
    tile->Rec.OID = folder->Rec.OID;
    tile->Rec.FolderId = folder->Rec.ParFolderId;
    tile->Rec.Title = folder->Rec.Title;
    tile->Rec.Index = folder->Rec.Index;
    tile->Rec.InsertDate = folder->Rec.InsertDate;
    tile->Rec.Author = folder->Rec.Author;
    tile->Rec.MediaType = SubFolderType;
}

TDbMedia *MakeSubFolderTile(TDbFolder *folder)
{
    auto *tile = new TDbMedia;
    tile->SubFolder = folder;
    folder->Tile = tile;
    CopyFolderToTile(folder, tile);
    return tile;
}

// ---------------------------------------------------------------- TDbFolderList

TDbFolderList::TDbFolderList(Connection &connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
}

TDbFolderList::~TDbFolderList()
{
    releaseFolders();
}

void TDbFolderList::releaseFolders()
{
    // Each root folder is released, last first.
    while (!Folders.isEmpty()) {
        TDbFolder *f = Folders.takeLast();
        if (--f->RefCount <= 0)
            ReleaseFolder(f, true);
    }
}

namespace {

// The columns a folder is loaded from, in this order.
enum FolderLoadColumn
{
    FolderLoadOid,
    FolderLoadFolderId,
    FolderLoadTitle,
    FolderLoadWidth,
    FolderLoadHeight,
    FolderLoadBorderWidth,
    FolderLoadIndex,
    FolderLoadInsertDate,
    FolderLoadAuthor,
    FolderLoadParFolderId,
};
const QString FolderLoadSelect =
    QStringLiteral("select OID, FolderId, Title, Width, Height, BorderWidth, index, InsertDate, Author, "
                   "ParFolderId from Folder");

// Makes folders straight from the rows where the statement holds them; a text that repeats the
// row before's (siblings share their parent, often their author and day) is shared, not made again.
class FolderRows
{
public:
    FolderRows(const Statement &st, int defaultWidth, int defaultHeight, int defaultBorder)
        : m_st(st), m_width(defaultWidth), m_height(defaultHeight), m_border(defaultBorder)
    {
    }

    // The folder of the row `next` fetched, without its list; an empty size takes the default.
    // Its index is left to the caller when the row has none.
    TDbFolder *folder()
    {
        auto *f = new TDbFolder;
        TsFolder &r = f->Rec;
        r.OID = m_st.text(FolderLoadOid);
        r.FolderId = m_st.text(FolderLoadFolderId);
        r.Title = m_st.text(FolderLoadTitle);
        r.Width = m_st.isEmpty(FolderLoadWidth) ? m_width : columnInt(m_st, FolderLoadWidth);
        r.Height = m_st.isEmpty(FolderLoadHeight) ? m_height : columnInt(m_st, FolderLoadHeight);
        r.BorderWidth =
            m_st.isEmpty(FolderLoadBorderWidth) ? m_border : columnInt(m_st, FolderLoadBorderWidth);
        r.Index = columnFloat(m_st, FolderLoadIndex);
        r.InsertDate = m_insertDate.take(m_st, FolderLoadInsertDate);
        r.Author = m_author.take(m_st, FolderLoadAuthor);
        if (!m_st.isEmpty(FolderLoadParFolderId))
            r.ParFolderId = m_parent.take(m_st, FolderLoadParFolderId);
        return f;
    }

private:
    const Statement &m_st;
    int m_width, m_height, m_border;
    RepeatedText m_author, m_parent;
    RepeatedDate m_insertDate;
};

// Puts a subfolder's tile into its parent's list before the first item of a greater index
// (so a tile follows media of equal index).
void placeTile(TDbFolder *parent, TDbFolder *f)
{
    TDbMedia *tile = MakeSubFolderTile(f);
    tile->Owner = parent;
    QList<TDbMedia *> &items = parent->MediaList->Items;
    auto at =
        std::find_if(items.begin(), items.end(), [f](TDbMedia *m) { return m->Rec.Index > f->Rec.Index; });
    items.insert(at, tile);
    tile->RefCount = 1;
}

} // namespace

void TDbFolderList::noteDataVersion()
{
    // Taken before anything is read: whatever another program commits from now on is news to
    // this list (see settleAppendedKey).
    Statement st(m_connection, QStringLiteral("pragma data_version"));
    QStringList row;
    m_dataVersion = st.fetch(row) < 2 ? row.value(0).toLongLong() : -1;
}

bool TDbFolderList::Load(int defaultWidth, int defaultHeight, int defaultBorder)
{
    Connection &c = m_connection;
    DefaultWidth = defaultWidth;
    DefaultHeight = defaultHeight;
    DefaultBorder = defaultBorder;
    releaseFolders(); // what a partial load read before
    noteDataVersion();
    double maxIndex = MaxFolderIndex(c);
    if (maxIndex < 0)
        maxIndex = 0;
    auto show = [this](int n) {
        if (status)
            status(QStringLiteral("Build Folder List...") + QString::number(n));
    };
    show(0);
    QList<TDbFolder *> all;
    {
        Statement st(c, FolderLoadSelect + QStringLiteral(" order by FolderId"));
        if (!st.isOpen()) {
            c.report(MsgRetrieveTableData, FolderTable);
            return false;
        }
        int rc;
        std::optional<Transaction> fill; // indexes filled in below are stored together
        FolderRows rows(st, defaultWidth, defaultHeight, defaultBorder);
        while ((rc = st.next()) < 2) {
            TDbFolder *f = rows.folder();
            if (st.isEmpty(FolderLoadIndex)) {
                if (!fill)
                    fill.emplace(c);
                maxIndex += 32;
                f->Rec.Index = maxIndex;
                WriteFolderIndex(c, f->Rec.OID, f->Rec.Index);
            }
            f->MediaList = std::make_unique<TDbMediaList>(f->Rec.Width, f->Rec.Height, f->Rec.BorderWidth);
            f->RefCount = 1;
            all.append(f);
            // The status line is for people (the splash repaints for each): a few updates a
            // second are enough, not one per row.
            if ((all.size() & 4095) == 0)
                show(int(all.size()));
        }
        show(int(all.size()));
        if (fill)
            fill->commit();
        if (rc != vkdb::DbNoMoreRows) {
            // The load goes on with what was read; the workspace ends once it is done.
            c.report(MsgRetrieveTableData, FolderTable);
            QuitRequested = true;
        }
    }

    const bool mediaLoaded = LoadAllMedia(all);

    // Link the tree. A parent that is missing, or a chain of parents that comes back to
    // itself, would leave folders out of reach (or send the tree walks round for ever): such
    // folders become roots, and that is stored.
    QHash<QString, TDbFolder *> byId;
    byId.reserve(all.size());
    for (TDbFolder *f : all)
        byId.insert(f->Rec.FolderId, f);
    auto makeRoot = [&c](TDbFolder *f) {
        f->Rec.ParFolderId = QStringLiteral("0");
        f->Changed = FolderParFolderId;
        f->Update(c);
    };
    std::optional<Transaction> repairs;
    auto makeRootStored = [&](TDbFolder *f) {
        if (!repairs)
            repairs.emplace(c);
        makeRoot(f);
    };
    for (TDbFolder *f : all) {
        if (f->isRoot())
            continue;
        if (!byId.contains(f->Rec.ParFolderId))
            makeRootStored(f);
    }
    QList<TDbFolder *> chain; // one list for every walk
    for (TDbFolder *f : all) {
        // Walk up; a folder met twice closes a cycle, which is broken at the lowest FolderId in it.
        chain.clear();
        TDbFolder *p = f;
        while (p && !p->isRoot() && !chain.contains(p)) {
            chain.append(p);
            p = byId.value(p->Rec.ParFolderId);
        }
        if (p && !p->isRoot() && chain.contains(p)) {
            const QList<TDbFolder *> cycle = chain.mid(chain.indexOf(p));
            TDbFolder *lowest = *std::min_element(cycle.begin(), cycle.end(), [](TDbFolder *a, TDbFolder *b) {
                return a->Rec.FolderId.toLongLong() < b->Rec.FolderId.toLongLong();
            });
            makeRootStored(lowest);
        }
    }
    if (repairs)
        repairs->commit();
    for (TDbFolder *f : all)
        if (!f->isRoot())
            placeTile(byId.value(f->Rec.ParFolderId), f);
    for (TDbFolder *f : all)
        if (f->isRoot())
            Folders.append(f);
        else
            f->RefCount = 0; // held through its tile, not by this list
    std::stable_sort(Folders.begin(), Folders.end(),
                     [](TDbFolder *a, TDbFolder *b) { return a->Rec.Index < b->Rec.Index; });
    return mediaLoaded;
}

TDbFolder *TDbFolderList::LoadOneFolder(const QString &oid)
{
    Connection &c = m_connection;
    for (TDbFolder *f : Folders)
        if (f->Rec.OID == oid && f->MediaList)
            return f;
    if (m_dataVersion < 0)
        noteDataVersion();
    TDbFolder *folder = nullptr;
    {
        Statement st(c, FolderLoadSelect + QStringLiteral(" where OID=?"));
        if (!st.needsParams() || st.bind(oid) > 1 || st.execute() > 1) {
            c.report(MsgRetrieveTableData, FolderTable);
            return nullptr;
        }
        if (st.next() >= 2)
            return nullptr;
        folder = FolderRows(st, DefaultWidth, DefaultHeight, DefaultBorder).folder();
    }
    folder->MediaList =
        std::make_unique<TDbMediaList>(folder->Rec.Width, folder->Rec.Height, folder->Rec.BorderWidth);
    folder->RefCount = 1;
    Folders.append(folder);
    if (!loadFolderMedia(folder))
        return nullptr;
    // Its subfolders, as tiles of folders whose own lists stay unread.
    Statement st(c, FolderLoadSelect + QStringLiteral(" where ParFolderId=? order by FolderId"));
    if (!st.needsParams() || st.bind(folder->Rec.FolderId) > 1 || st.execute() > 1) {
        c.report(MsgRetrieveTableData, FolderTable);
        return nullptr;
    }
    int rc;
    std::optional<double> fill;
    FolderRows rows(st, DefaultWidth, DefaultHeight, DefaultBorder);
    while ((rc = st.next()) < 2) {
        TDbFolder *sub = rows.folder();
        // One without index gets the index the whole load would give it (and store).
        if (st.isEmpty(FolderLoadIndex)) {
            if (!fill)
                fill = std::max(MaxFolderIndex(c), 0.0);
            sub->Rec.Index = *fill += 32;
        }
        if (sub->Rec.OID == folder->Rec.OID) {
            delete sub; // a folder that names itself its parent is no subfolder of its own
            continue;
        }
        placeTile(folder, sub);
    }
    if (rc != vkdb::DbNoMoreRows) {
        c.report(MsgRetrieveTableData, FolderTable);
        return nullptr;
    }
    return folder;
}

QList<TDbFolder *> TDbFolderList::readFolderRows(bool *good)
{
    QList<TDbFolder *> out;
    *good = false;
    Statement st(m_connection, FolderLoadSelect + QStringLiteral(" order by FolderId"));
    if (!st.isOpen()) {
        m_connection.report(MsgRetrieveTableData, FolderTable);
        return out;
    }
    FolderRows rows(st, DefaultWidth, DefaultHeight, DefaultBorder);
    int rc;
    while ((rc = st.next()) < 2) {
        TDbFolder *f = rows.folder();
        if (st.isEmpty(FolderLoadIndex))
            f->Rec.Index = std::numeric_limits<double>::quiet_NaN(); // the caller keeps the one it knows
        f->MediaList = std::make_unique<TDbMediaList>(f->Rec.Width, f->Rec.Height, f->Rec.BorderWidth);
        out.append(f);
    }
    if (rc != vkdb::DbNoMoreRows) {
        m_connection.report(MsgRetrieveTableData, FolderTable);
        return out;
    }
    *good = true;
    return out;
}

TDbFolder *TDbFolderList::LoadFolderOfMedia(const QString &mediaOid)
{
    Statement st(m_connection,
                 QStringLiteral("select Folder.OID from MediaData, Folder where MediaData.OID=? "
                                "and Folder.FolderId=MediaData.FolderId"));
    if (!st.needsParams() || st.bind(mediaOid) > 1 || st.execute() > 1 || st.next() >= 2)
        return nullptr;
    return LoadOneFolder(st.text(0));
}

bool TDbFolderList::renumberRoots()
{
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    for (int k = 0; k < Folders.size(); ++k) {
        Folders[k]->Rec.Index = renumberedKey(k);
        if (Folders[k]->Tile)
            Folders[k]->Tile->Rec.Index = Folders[k]->Rec.Index;
        if (!WriteFolderIndex(m_connection, Folders[k]->Rec.OID, Folders[k]->Rec.Index))
            return false;
    }
    return tx.commit();
}

bool TDbFolderList::InsertRootFolderAt(TDbFolder *folder, int position)
{
    const OrderSlot slot = orderSlot(
        [this] {
            QList<double> k;
            for (TDbFolder *f : Folders)
                k.append(f->Rec.Index);
            return k;
        }(),
        position);
    folder->Rec.Index = slot.index;
    Folders.insert(slot.position, folder);
    ++folder->RefCount;
    folder->Tile = nullptr;
    folder->Rec.ParFolderId = QStringLiteral("0");
    folder->Changed = FolderParFolderId | FolderIndex;
    bool good = folder->Update(m_connection);
    if (slot.renumber)
        good = renumberRoots() && good;
    emit rootInserted(folder, slot.position);
    return good;
}

TDbFolder *TDbFolderList::AddRootFolder(const QString &title, int width, int border, int height)
{
    auto *f = new TDbFolder;
    f->Rec.Index = Folders.isEmpty() ? 0 : Folders.last()->Rec.Index + 32;
    f->Rec.Title = title;
    f->Rec.Width = width;
    f->Rec.Height = height;
    f->Rec.BorderWidth = border;
    f->Rec.InsertDate = today();
    if (!f->Insert(m_connection)) {
        m_connection.report(QStringLiteral("Create folder failed!"));
        delete f;
        return nullptr;
    }
    f->Rec.Index = settleAppendedKey(QStringLiteral("0"), f->Rec.OID, true, f->Rec.Index);
    f->MediaList = std::make_unique<TDbMediaList>(width, height, border);
    Folders.append(f);
    ++f->RefCount;
    emit rootInserted(f, int(Folders.size()) - 1);
    return f;
}

void TDbFolderList::DetachRootFolder(TDbFolder *folder, bool close)
{
    if (close && closeWindows) {
        closeWindows(folder);
        for (TDbFolder *d : folder->Descendants())
            closeWindows(d);
    }
    emit rootRemoved(folder);
    Folders.removeOne(folder);
    --folder->RefCount;
}

bool TDbFolderList::RemoveRootFolder(TDbFolder *folder)
{
    if (m_connection.ui())
        m_connection.ui()->setHourglass(true);
    if (closeWindows) {
        closeWindows(folder);
        for (TDbFolder *d : folder->Descendants())
            closeWindows(d);
    }
    const int held = folder->RefCount;
    bool good = held > 1 || folder->Delete(m_connection, false);
    if (good) {
        emit rootRemoved(folder);
        Folders.removeOne(folder);
        --folder->RefCount;
        if (held <= 1)
            ReleaseFolder(folder, false);
    } else {
        m_connection.report(QStringLiteral("Remove folder failed!"));
    }
    if (m_connection.ui())
        m_connection.ui()->setHourglass(false);
    return good;
}

void TDbFolderList::ReleaseFolder(TDbFolder *folder, bool keepShared)
{
    if (!folder)
        return;
    if (!keepShared) {
        // Items still held elsewhere survive the folder: they leave its list first, and no
        // longer point at a folder that is about to go.
        QList<TDbFolder *> folders{folder};
        for (TDbFolder *d : folder->Descendants())
            if (!d->Tile || d->Tile->RefCount <= 1)
                folders.append(d);
        for (TDbFolder *f : folders) {
            QList<TDbMedia *> &items = f->MediaList->Items;
            for (int i = int(items.size()) - 1; i >= 0; --i) {
                TDbMedia *m = items[i];
                if (m->RefCount > 1) {
                    items.removeAt(i);
                    --m->RefCount;
                    m->Owner = nullptr;
                    if (m->SubFolder && m->SubFolder->MediaList)
                        m->Rec.FolderId = m->SubFolder->Rec.ParFolderId;
                }
            }
        }
    }
    if (folder->Tile) {
        folder->Tile->SubFolder = nullptr;
        folder->Tile = nullptr;
    }
    delete folder; // its media list frees the remaining items and subfolders
}

TDbMedia *TDbFolderList::AddSubFolder(TDbFolder *parent, const QString &title, int width, int height,
                                      int border)
{
    auto *f = new TDbFolder;
    const QList<TDbMedia *> &items = parent->MediaList->Items;
    f->Rec.Index = items.isEmpty() ? 0 : items.last()->Rec.Index + 32;
    f->Rec.ParFolderId = parent->Rec.FolderId;
    f->Rec.Title = title;
    f->Rec.Width = width;
    f->Rec.Height = height;
    f->Rec.BorderWidth = border;
    f->Rec.InsertDate = today();
    f->MediaList = std::make_unique<TDbMediaList>(width, height, border);
    if (!f->Insert(m_connection)) {
        m_connection.report(QStringLiteral("Create folder failed!"));
        delete f;
        return nullptr;
    }
    f->Rec.Index = settleAppendedKey(parent->Rec.FolderId, f->Rec.OID, true, f->Rec.Index);
    TDbMedia *tile = MakeSubFolderTile(f);
    tile->Owner = parent;
    parent->MediaList->Items.append(tile);
    ++tile->RefCount;
    emit itemInserted(parent, tile, int(parent->MediaList->Items.size()) - 1);
    return tile;
}

// Two programs may append to one folder at once (vkctl importing while the workspace is
// open): each worked its key out from its own memory, so both may have taken the same one.
// Under the write lock, a new row that is not past every other row stored in its place is
// moved there. Only when another program committed something since this list last looked,
// so a single program pays nothing for it.
double TDbFolderList::settleAppendedKey(const QString &parentId, const QString &oid, bool isFolder,
                                        double index)
{
    Connection &c = m_connection;
    auto dataVersion = [&c]() -> qint64 {
        Statement st(c, QStringLiteral("pragma data_version"));
        QStringList row;
        return st.fetch(row) < 2 ? row.value(0).toLongLong() : -2;
    };
    if (m_dataVersion >= 0 && dataVersion() == m_dataVersion)
        return index;
    Transaction tx(c);
    if (!tx.isActive())
        return index;
    auto maxOf = [&c, &oid](const QString &text, const QString &parent) {
        Statement st(c, text);
        QStringList row;
        if (!st.needsParams() || st.bind(parent) != vkdb::DbNeedParams || st.bind(oid) > 1 ||
            st.execute() > 1 || st.fetch(row) > 1 || row.value(0).isEmpty())
            return -std::numeric_limits<double>::infinity();
        return textToFloat(row.value(0));
    };
    double others =
        maxOf(QStringLiteral("select max(index) from Folder where ParFolderId=? and OID<>?"), parentId);
    if (parentId != QLatin1String("0"))
        others =
            std::max(others, maxOf(QStringLiteral("select max(index) from MediaData where FolderId=? and "
                                                  "OID<>?"),
                                   parentId));
    double settled = index;
    if (others >= index) {
        settled = others + 32;
        bool good;
        if (isFolder) {
            good = WriteFolderIndex(c, oid, settled);
        } else {
            Statement st(c, QStringLiteral("update MediaData set index=? where OID=?"));
            good = st.needsParams() && st.bind(floatToText(settled)) == vkdb::DbNeedParams &&
                   st.bind(oid) < 2 && st.execute() < 2;
        }
        if (!good || !tx.commit())
            return index;
    } else if (!tx.commit()) {
        return index;
    }
    m_dataVersion = dataVersion();
    return settled;
}

bool TDbFolderList::storeItemPlace(TDbFolder *folder, TDbMedia *item)
{
    if (item->SubFolder) {
        TDbFolder *sub = item->SubFolder;
        sub->Rec.ParFolderId = folder->Rec.FolderId;
        sub->Rec.Index = item->Rec.Index;
        sub->Changed = FolderParFolderId | FolderIndex;
        return sub->Update(m_connection);
    }
    Statement st(m_connection, QStringLiteral("update MediaData set FolderId=?, index=? where OID=?"));
    st.bind(item->Rec.FolderId);
    st.bind(floatToText(item->Rec.Index));
    st.bind(item->Rec.OID);
    if (st.execute() > 1) {
        m_connection.report(MsgUpdateData, QStringLiteral("MediaData"));
        return false;
    }
    return true;
}

bool TDbFolderList::renumberItems(TDbFolder *folder)
{
    QList<TDbMedia *> &items = folder->MediaList->Items;
    for (int k = 0; k < items.size(); ++k) {
        items[k]->Rec.Index = renumberedKey(k);
        if (!storeItemPlace(folder, items[k]))
            return false;
    }
    return true;
}

bool TDbFolderList::InsertAt(TDbFolder *folder, TDbMedia *item, int position)
{
    const OrderSlot slot = orderSlot(folder->MediaList->keys(), position);
    item->Rec.Index = slot.index;
    folder->MediaList->Items.insert(slot.position, item);
    ++item->RefCount;
    item->Owner = folder;
    item->Rec.FolderId = folder->Rec.FolderId;
    bool good = storeItemPlace(folder, item);
    if (slot.renumber)
        good = renumberItems(folder) && good;
    emit itemInserted(folder, item, slot.position);
    return good;
}

int TDbFolderList::Detach(TDbMedia *item, bool close)
{
    TDbFolder *owner = item->Owner;
    if (!owner)
        return -1;
    if (item->SubFolder && close && closeWindows) {
        closeWindows(item->SubFolder);
        for (TDbFolder *d : item->SubFolder->Descendants())
            closeWindows(d);
    }
    const int position = owner->MediaList->indexOf(item);
    emit itemRemoved(owner, item);
    owner->MediaList->Items.removeOne(item);
    --item->RefCount;
    item->Selected = false;
    return position;
}

void TDbFolderList::freeItem(TDbMedia *item)
{
    if (item->SubFolder) {
        TDbFolder *sub = item->SubFolder;
        item->SubFolder = nullptr;
        sub->Tile = nullptr;
        ReleaseFolder(sub, false);
    }
    delete item;
}

int TDbFolderList::RemoveMedia(TDbMedia *item)
{
    TDbFolder *owner = item->Owner;
    if (!owner)
        return -1;
    if (item->SubFolder) {
        if (closeWindows) {
            closeWindows(item->SubFolder);
            for (TDbFolder *d : item->SubFolder->Descendants())
                closeWindows(d);
        }
        if (item->RefCount <= 1 && !item->SubFolder->Delete(m_connection, false)) {
            m_connection.report(QStringLiteral("Remove folder failed!"));
            return -1;
        }
    } else if (item->RefCount <= 1 && item->Rec.OID != QLatin1String("-1")) {
        if (!DeleteMediaRow(m_connection, item->Rec.OID)) {
            m_connection.report(QStringLiteral("Remove media failed!!"));
            return -1;
        }
        item->Rec.OID = QStringLiteral("-1");
    }
    const int position = owner->MediaList->indexOf(item);
    emit itemRemoved(owner, item);
    owner->MediaList->Items.removeOne(item);
    const bool last = item->RefCount <= 1;
    --item->RefCount;
    item->Owner = nullptr;
    if (last)
        freeItem(item);
    return position;
}

bool TDbFolderList::refuseIntoOwnSubfolder(TDbFolder *folder, TDbFolder *target)
{
    if (target && folder->IsSelfOrDescendant(target)) {
        m_connection.report(QStringLiteral("Cannot Move/Copy Folder to its SubFolder."));
        return true;
    }
    return false;
}

bool TDbFolderList::MoveFolderToRoot(TDbFolder *folder, int position)
{
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    if (folder->isRoot() && Folders.contains(folder)) {
        const int current = int(Folders.indexOf(folder));
        if (position == current || position == current + 1)
            return true;
        if (position > current)
            --position;
        DetachRootFolder(folder, false);
        const bool good = InsertRootFolderAt(folder, position);
        return tx.commit() && good;
    }
    TDbMedia *tile = folder->Tile;
    if (!tile)
        return false;
    Detach(tile, false);
    tile->SubFolder = nullptr;
    folder->Tile = nullptr;
    delete tile;
    folder->RefCount = 0;
    const bool good = InsertRootFolderAt(folder, position);
    return tx.commit() && good;
}

bool TDbFolderList::MoveFolderInto(TDbFolder *folder, TDbFolder *target, int position)
{
    if (refuseIntoOwnSubfolder(folder, target))
        return false;
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    if (folder->isRoot() && Folders.contains(folder)) {
        TDbMedia *tile = MakeSubFolderTile(folder);
        DetachRootFolder(folder, false);
        folder->RefCount = 0;
        const bool good = InsertAt(target, tile, position);
        return tx.commit() && good;
    }
    TDbMedia *tile = folder->Tile;
    if (!tile)
        return false;
    if (tile->Owner == target) {
        const int current = target->MediaList->indexOf(tile);
        if (position == current)
            return true;
        if (position > current && --position == current)
            return true;
    }
    Detach(tile, false);
    const bool good = InsertAt(target, tile, position);
    return tx.commit() && good;
}

TDbFolder *TDbFolderList::CopyFolder(TDbFolder *source, TDbFolder *parent)
{
    auto *copy = new TDbFolder;
    copy->Rec = source->Rec;
    copy->Rec.OID = QStringLiteral("-1");
    copy->Rec.ParFolderId = parent ? parent->Rec.FolderId : QStringLiteral("0");
    copy->Rec.FolderId.clear();
    copy->Rec.InsertDate = today();
    if (!copy->Insert(m_connection)) {
        delete copy;
        return nullptr;
    }
    copy->Changed = FolderParFolderId | FolderInsertDate | FolderAuthor;
    copy->Update(m_connection);
    QString description;
    if (ReadDescription(m_connection, source->Rec.OID, RecordKind::Folder, &description) &&
        !description.isEmpty())
        WriteDescription(m_connection, copy->Rec.OID, description, RecordKind::Folder);
    copy->MediaList = std::make_unique<TDbMediaList>(
        source->MediaList->TileWidth, source->MediaList->TileHeight, source->MediaList->TileBorder);
    // Every item comes along, each with a file of its own, in the same order. A copy that
    // misses one item is no copy: the caller's transaction undoes it all.
    for (TDbMedia *item : source->MediaList->Items) {
        TDbMedia *tile = CopyMedia(item, copy);
        if (!tile) {
            delete copy;
            return nullptr;
        }
        tile->Owner = copy;
        copy->MediaList->Items.append(tile);
        ++tile->RefCount;
    }
    return copy;
}

TDbFolder *TDbFolderList::CopyFolderToRoot(TDbFolder *folder, int position)
{
    Transaction tx(m_connection);
    if (!tx.isActive())
        return nullptr;
    TDbFolder *copy = CopyFolder(folder, nullptr);
    if (!copy)
        return nullptr;
    const bool good = InsertRootFolderAt(copy, position);
    if (!tx.commit() || !good)
        return nullptr;
    return copy;
}

TDbFolder *TDbFolderList::CopyFolderInto(TDbFolder *folder, TDbFolder *target, int position)
{
    // A folder that contains the target is refused without a message.
    if (folder->IsSelfOrDescendant(target))
        return nullptr;
    Transaction tx(m_connection);
    if (!tx.isActive())
        return nullptr;
    TDbFolder *copy = CopyFolder(folder, target);
    if (!copy)
        return nullptr;
    TDbMedia *tile = MakeSubFolderTile(copy);
    if (!InsertAt(target, tile, position) || !tx.commit())
        return nullptr;
    return copy;
}

TDbFolder *TDbFolderList::FindFolderById(const QString &folderId, bool deep) const
{
    for (TDbFolder *f : Folders)
        if (f->Rec.FolderId == folderId)
            return f;
    if (deep)
        for (TDbFolder *f : Folders)
            for (TDbFolder *d : f->Descendants())
                if (d->Rec.FolderId == folderId)
                    return d;
    return nullptr;
}

TDbFolder *TDbFolderList::FindFolderByOid(const QString &oid) const
{
    // A subfolder whose list a partial load left unread is not the folder itself.
    for (TDbFolder *f : TreeOrder())
        if (f->Rec.OID == oid && f->MediaList)
            return f;
    return nullptr;
}

TDbFolder *TDbFolderList::FindFolderByTitle(const QString &title) const
{
    for (TDbFolder *f : Folders)
        if (f->Rec.Title == title)
            return f;
    return nullptr;
}

QList<TDbFolder *> TDbFolderList::TreeOrder() const
{
    QList<TDbFolder *> out;
    for (TDbFolder *f : Folders) {
        out.append(f);
        out.append(f->Descendants());
    }
    return out;
}

} // namespace vk
