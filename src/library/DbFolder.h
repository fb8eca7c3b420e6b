// Folders and the items of their lists: the library's tree, kept in memory as the
// working copy of the Folder and MediaData tables and written through at once.
//
// A folder's items (media and the tiles of its subfolders) form one ordered
// `TDbMediaList`. Root folders are kept in the workspace's `TDbFolderList`. Folder and
// item objects are shared by reference count between their list, search-result
// mirrors and clipboard entries; the holder that lets go of the last reference frees
// the object (and deletes its rows when that is what letting go means).
#pragma once

#include "FileStamp.h"
#include "TextForms.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vk {

class Connection;
class TDbFolder;

// Media type code of the tile that stands for a subfolder.
inline constexpr int SubFolderType = 301;

struct TsMedia
{
    QString OID = QStringLiteral("-1");
    QString Title;
    QString MediaFile;
    QString NailFile;
    int MediaType = -1;
    double Index = 0;
    QString KeyWords;
    DateValue InsertDate = -1;
    QString Author;
    QString FolderId;
};

// What the engine said about the first step of a statement that failed.
struct EngineFailure
{
    int code = 0; // DbLastError()
    QString text; // DbErrorText()
};

// One item of a folder's list: a media row, or the tile of a subfolder. Data only: the
// folder window draws it.
class TDbMedia
{
public:
    // The small members together after the pointers: a library holds one item a row, and
    // padding between them would cost every one of them.
    TsMedia Rec;
    TDbFolder *SubFolder = nullptr; // the folder a SubFolder tile stands for
    TDbMedia *MirrorOf = nullptr;   // a search result's mirror: the library item it shows
    TDbFolder *Owner = nullptr;     // the folder whose list holds the item
    int RefCount = 0;
    quint16 Changed = 0;
    bool Selected = false;
    bool NoThumb = false;
    bool External = false;
    bool Lost = false;

    bool isSubFolderTile() const { return Rec.MediaType == SubFolderType; }

    // The row statements. With `storeInDb` the files are stored inside the database; without,
    // the row refers to the media file where it lies.
    bool Select(Connection &c, const QString &descriptionFile = QString());
    bool Update(Connection &c, bool storeInDb, const QString &descriptionFile = QString());
    // On failure `why` gets the engine's own account of it (a copy that could not be made, a
    // refused row).
    bool Insert(Connection &c, bool storeInDb, EngineFailure *why = nullptr);
    bool Delete(Connection &c);
};

// Column bits of a media item's `Changed` mask.
enum MediaColumn : quint16
{
    MediaTitle = 0x0002,
    MediaMedia = 0x0004,
    MediaNail = 0x0008,
    MediaMediaType = 0x0010,
    MediaIndex = 0x0020,
    MediaKeyWords = 0x0040,
    MediaInsertDate = 0x0080,
    MediaAuthor = 0x0100,
    MediaFolderId = 0x0200,
    MediaDescription = 0x0400,
};

class TDbMediaList
{
public:
    TDbMediaList(int tileWidth, int tileHeight, int tileBorder)
        : TileWidth(tileWidth), TileHeight(tileHeight), TileBorder(tileBorder)
    {
    }
    ~TDbMediaList();
    TDbMediaList(const TDbMediaList &) = delete;
    TDbMediaList &operator=(const TDbMediaList &) = delete;

    QList<TDbMedia *> Items;
    int TileWidth, TileHeight, TileBorder;

    int count() const { return int(Items.size()); }
    int indexOf(const TDbMedia *item) const { return int(Items.indexOf(const_cast<TDbMedia *>(item))); }
    QList<double> keys() const;
};

struct TsFolder
{
    QString OID = QStringLiteral("-1");
    QString ParFolderId = QStringLiteral("0");
    QString FolderId;
    QString Title;
    int Width = 0;
    int Height = 0;
    int BorderWidth = 0;
    double Index = 0;
    DateValue InsertDate = -1;
    QString Author;
};

// Column bits of a folder's `Changed` mask.
enum FolderColumn : quint16
{
    FolderParFolderId = 0x0002,
    FolderFolderId = 0x0004,
    FolderTitle = 0x0008,
    FolderLastModified = 0x0010,
    FolderWidth = 0x0020,
    FolderHeight = 0x0040,
    FolderBorderWidth = 0x0080,
    FolderIndex = 0x0100,
    FolderInsertDate = 0x0200,
    FolderAuthor = 0x0400,
    FolderDescription = 0x0800,
};

class TDbFolder
{
public:
    TsFolder Rec;
    quint16 Changed = 0;
    std::unique_ptr<TDbMediaList> MediaList;
    TDbMedia *Tile = nullptr;
    int RefCount = 0;

    bool isRoot() const { return Rec.ParFolderId == QLatin1String("0"); }

    // The row statements. The description travels through the file named by the caller.
    bool Select(Connection &c, const QString &descriptionFile = QString());
    bool Update(Connection &c, const QString &descriptionFile = QString());
    bool Insert(Connection &c);
    // Deletes the rows of the folder, its subfolders and their media; without `all`, rows
    // that another holder still uses are kept. One change: all of it or nothing.
    bool Delete(Connection &c, bool all);

    // The subfolders below this one, depth first.
    QList<TDbFolder *> Descendants() const;
    bool IsSelfOrDescendant(const TDbFolder *candidate) const;
};

// The workspace clipboard, shared by the library and the authoring tool. Each entry holds
// one reference to what it names.
class TDbObject;

// One entry of the workspace clipboard: a folder, a library item or a slide object.
struct ClipboardEntry
{
    int Kind = 0;          // the item's MediaType, or FolderKind for a folder
    bool IsObject = false; // a slide object (released by the authoring model)
    TDbFolder *Folder = nullptr;
    TDbMedia *Media = nullptr;
    TDbObject *SlideObject = nullptr;
};
inline constexpr int FolderKind = -100;
using TSelectedList = QList<ClipboardEntry>;

// Copies the folder's fields to its tile (the tile mirrors its folder).
void CopyFolderToTile(TDbFolder *folder, TDbMedia *tile);
// Makes the SubFolder tile of a folder (linked both ways; no owner yet).
TDbMedia *MakeSubFolderTile(TDbFolder *folder);

// A thumbnail the import's workers made before the file's row is written.
struct PreparedThumbnail
{
    QByteArray bytes;   // the stored form; empty stores none
    FileStamp madeFrom; // the file as it was before the thumbnail was read from it
};

// What other programs changed in the library since the workspace last looked (the engine's
// change log says which rows).
struct LibraryChanges
{
    QSet<QString> mediaOids;  // media rows updated or deleted (or inserted and changed again)
    QSet<QString> newMediaOids; // media rows inserted since the last look: in no list here yet
    bool folders = false;     // folder rows inserted, updated or deleted
    bool everything = false;  // the log could not tell: every folder is read again
};

// The workspace's root folders, and the operations on the tree that start from it.
class TDbFolderList : public QObject
{
    Q_OBJECT
public:
    explicit TDbFolderList(Connection &connection, QObject *parent = nullptr);
    ~TDbFolderList() override;

    QList<TDbFolder *> Folders;

    // The defaults of a new folder's tile size (the display options).
    int DefaultWidth = 80, DefaultHeight = 100, DefaultBorder = 3;
    // Shows progress of the load ("Build Folder List...").
    std::function<void(const QString &)> status;
    // Closes the open windows of a folder (the workspace sets it).
    std::function<void(TDbFolder *)> closeWindows;

    // The start-up load: all folders, their media, and the tree linked. False when the
    // folder table cannot be read. A read that broke off part-way sets QuitRequested.
    // Folders a partial load (below) read before are let go first.
    bool Load(int defaultWidth, int defaultHeight, int defaultBorder);
    bool QuitRequested = false;

    // For a command that acts on the items of a few folders, instead of Load: reads only the
    // folder of that OID, with its list as Load builds it, and adds it to Folders (answers null
    // when there is no such folder or it cannot be read). Its subfolders are tiles of folders
    // whose own lists are not read (MediaList null): lookups pass over them, and nothing that
    // walks a folder's subtree (moving, copying or removing folders) may run on a list loaded
    // this way. The repairs of Load (the lost-media folder, missing indexes and parents) wait
    // for the next whole load. Folders already loaded are not read again.
    TDbFolder *LoadOneFolder(const QString &oid);
    // The folder holding a media row, loaded as above; null when the row is not there or no
    // folder holds it (Load, which may follow, puts such a row into the lost-media folder).
    TDbFolder *LoadFolderOfMedia(const QString &mediaOid);

    TDbFolder *AddRootFolder(const QString &title, int width, int border, int height);
    bool InsertRootFolderAt(TDbFolder *folder, int position);
    bool RemoveRootFolder(TDbFolder *folder);
    void DetachRootFolder(TDbFolder *folder, bool closeWindows);
    TDbFolder *CopyFolder(TDbFolder *source, TDbFolder *parent);
    void ReleaseFolder(TDbFolder *folder, bool keepShared);

    // A subfolder of `parent`, appended to its list.
    TDbMedia *AddSubFolder(TDbFolder *parent, const QString &title, int width, int height, int border);
    // Puts an item into a folder's list at a position (index rule), and stores its new place.
    bool InsertAt(TDbFolder *folder, TDbMedia *item, int position);
    // Takes an item out of its folder's list; answers its former position.
    int Detach(TDbMedia *item, bool closeWindows);
    // Removes an item from its folder: its rows go unless held elsewhere. Answers its former
    // position, -1 on failure.
    int RemoveMedia(TDbMedia *item);

    // Every folder's media, at start-up (the folders in FolderId order). Rows whose folder is
    // missing go to a new root folder "Lost Media Folder".
    bool LoadAllMedia(const QList<TDbFolder *> &folders);
    // Imports one file into a folder. `mode`: 0 store in the database, 1 link the file where it
    // lies, 2 ask (the answer may become the mode for the rest; -1 when the person cancelled).
    TDbMedia *InsertMediaFile(TDbFolder *folder, const QString &path, int &mode);
    // InsertMediaFile with the thumbnail already made (by the import's workers): the row and
    // its thumbnail are written in one statement. An empty thumbnail stores none; null makes
    // it here. When the file changed after the thumbnail was made (or so shortly before that
    // a change would not show), the thumbnail is made again from the stored file.
    // Answers null with `skipReason` set when the file is not imported; `libraryFailed` then
    // tells whether the library itself refused it (a database or file-object directory that
    // cannot be written), which the files after it would meet as well.
    TDbMedia *InsertPreparedFile(TDbFolder *folder, const QString &path, int &mode,
                                 const PreparedThumbnail *thumbnail, QString *skipReason,
                                 bool *libraryFailed = nullptr);
    // Why a file would not be imported as `type` (missing, not a plain file, empty, a text over
    // the size limit, unreadable); empty when it would be.
    static QString ImportRefusal(const QString &path, int type);
    static constexpr qint64 MaxImportTextSize = 33000;
    // The start of the skip reason of a file whose row the database refused (the import
    // stops there); the engine's account follows.
    static QString DatabaseRefusal() { return QStringLiteral("the database refused its row"); }
    // A stored copy of an item for `target` (not yet in its list). A database file gets a file
    // of its own, so that the copy keeps its content whatever happens to the original.
    TDbMedia *CopyMedia(TDbMedia *item, TDbFolder *target);
    // Drops of items (media and subfolder tiles) onto a folder at a position. Within one folder
    // the items stay together in selection order.
    bool MoveItems(const QList<TDbMedia *> &items, TDbFolder *target, int position);
    QList<TDbMedia *> CopyItems(const QList<TDbMedia *> &items, TDbFolder *target, int position);
    // Lets go of one reference to an item; the last one deletes its row and frees it.
    void ReleaseItem(TDbMedia *item);
    // A media item, subfolder tile or folder onto the clipboard (taking a reference), and the
    // clipboard emptied (letting go of each, last holders deleting rows).
    void ClipboardAdd(TSelectedList &clipboard, TDbMedia *item);
    void ClipboardAdd(TSelectedList &clipboard, TDbFolder *folder);
    void ClipboardClear(TSelectedList &clipboard);
    // Makes a thumbnail of a picture file, encoded for storage (the image component, set by
    // the front end: the model itself draws nothing). Empty with *error set on failure.
    std::function<QByteArray(const QString &path, QString *error)> thumbnailer;
    Connection &connection() const { return m_connection; }
    // The item's thumbnail, made from its file and, with `store`, stored with its row. Icons
    // and metafiles are their own thumbnails; sound, text, documents and subfolders have none.
    bool BuildThumbnail(TDbMedia *item, bool store);
    // Lost: the item's file does not exist.
    static void CheckLost(TDbMedia *item);

    // The item of that OID anywhere in the tree.
    TDbMedia *FindMediaByOid(const QString &oid) const;

    // Drops: a folder (root or subfolder) moved or copied to the root level or into a folder.
    bool MoveFolderToRoot(TDbFolder *folder, int position);
    TDbFolder *CopyFolderToRoot(TDbFolder *folder, int position);
    bool MoveFolderInto(TDbFolder *folder, TDbFolder *target, int position);
    TDbFolder *CopyFolderInto(TDbFolder *folder, TDbFolder *target, int position);

    // Lookups.
    TDbFolder *FindFolderById(const QString &folderId, bool deep) const;
    TDbFolder *FindFolderByOid(const QString &oid) const;
    TDbFolder *FindFolderByTitle(const QString &title) const;
    // Roots in order, each followed by its descendants in list order.
    QList<TDbFolder *> TreeOrder() const;

    // Brings the tree in step with what other programs committed: the folder rows (when they
    // changed) and the lists of the folders that hold the changed media are read again and
    // merged into what is in memory. Items and folders that are still there stay the same
    // objects (selections and open windows keep them); new ones come in and vanished ones go,
    // each told by the signals below. Nothing is written: a row another program deleted is
    // not deleted again by anyone here. False when the rows could not be read.
    bool Refresh(const LibraryChanges &changes);

signals:
    // Items of a folder changed in place or changed places (null: the root folders did); also
    // the folder's own title or tile size.
    void itemsRefreshed(vk::TDbFolder *folder);
    // Another program deleted the folder: told for each folder (a subfolder of a deleted one
    // too, in tree order) before anything leaves the tree (their windows close).
    void folderDeletedElsewhere(vk::TDbFolder *folder);
    // For the folder explorer, which mirrors the tree node for node.
    void rootInserted(vk::TDbFolder *folder, int position);
    void rootRemoved(vk::TDbFolder *folder);
    void itemInserted(vk::TDbFolder *folder, vk::TDbMedia *item, int position);
    void itemRemoved(vk::TDbFolder *folder, vk::TDbMedia *item);

private:
    void releaseFolders();
    // Every folder row, as objects of their own with empty lists, in FolderId order.
    QList<TDbFolder *> readFolderRows(bool *good);
    void noteDataVersion();
    bool loadFolderMedia(TDbFolder *folder);
    bool renumberRoots();
    bool renumberItems(TDbFolder *folder);
    bool storeItemPlace(TDbFolder *folder, TDbMedia *item);
    void freeItem(TDbMedia *item);
    bool refuseIntoOwnSubfolder(TDbFolder *folder, TDbFolder *target);
    // After an append: when another program appended to the same place since this one last
    // looked, the new row moves past everything stored there (see the definition).
    double settleAppendedKey(const QString &parentId, const QString &oid, bool isFolder, double index);

    Connection &m_connection;
    qint64 m_dataVersion = -1; // the database's change counter as this list last knew it
};

} // namespace vk
