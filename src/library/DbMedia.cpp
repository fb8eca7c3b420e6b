// Media items: their row statements, the start-up load, import of one file, copies,
// drops onto a folder and the reference counting that decides when a row goes.
#include "DbFolder.h"

#include "Connection.h"
#include "Engine.h"
#include "MaskedStatement.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "RecordStatements.h"
#include "RowValues.h"
#include "Statement.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const QString MediaTable = QStringLiteral("MediaData");

bool exists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace

// ---------------------------------------------------------------- row statements

bool TDbMedia::Select(Connection &c, const QString &descriptionFile)
{
    if (Rec.OID == QLatin1String("-1") || Changed == 0)
        return false;
    QList<quint16> order;
    const QString text = maskedSelectText({{MediaFolderId, " FolderID,"},
                                           {MediaTitle, " title,"},
                                           {MediaMedia, " filename(media),"},
                                           {MediaNail, " filename(MediaNail),"},
                                           {MediaMediaType, " MediaType,"},
                                           {MediaIndex, " index,"},
                                           {MediaKeyWords, " KeyWords,"},
                                           {MediaInsertDate, " InsertDate,"},
                                           {MediaAuthor, " Author,"},
                                           {MediaDescription, " description,"}},
                                          Changed, " from MediaData where OID=?", order);
    QStringList row;
    const QString into = (Changed & MediaDescription) ? descriptionFile : QString();
    if (!selectMaskedRow(c, text, Rec.OID, MsgRetrieveDataFromTable, MediaTable, into, int(order.size()),
                         row))
        return false;
    for (int i = 0; i < order.size(); ++i) {
        const QString &v = row[i];
        switch (order[i]) {
        case MediaFolderId:
            Rec.FolderId = v;
            break;
        case MediaTitle:
            Rec.Title = v;
            break;
        case MediaMedia:
            Rec.MediaFile = v;
            break;
        case MediaNail:
            Rec.NailFile = v;
            break;
        case MediaMediaType:
            Rec.MediaType = v.toInt();
            break;
        case MediaIndex:
            Rec.Index = textToFloat(v);
            break;
        case MediaKeyWords:
            Rec.KeyWords = v;
            break;
        case MediaInsertDate:
            Rec.InsertDate = v.isEmpty() ? -1 : textToDate(v);
            break;
        case MediaAuthor:
            Rec.Author = v;
            break;
        default:
            break;
        }
    }
    Changed = 0;
    return true;
}

bool TDbMedia::Update(Connection &c, bool storeInDb, const QString &descriptionFile)
{
    if (Rec.OID == QLatin1String("-1") || Changed == 0)
        return false;
    enum Kind
    {
        Text,
        Null,
        File
    };
    QString text = QStringLiteral("update MediaData set");
    QList<QPair<Kind, QString>> values;
    auto add = [&](quint16 bit, const char *piece, Kind kind, const QString &value) {
        if (!(Changed & bit))
            return;
        text += QLatin1String(piece);
        values.append({kind, value});
    };
    add(MediaFolderId, " FolderId=?,", Text, Rec.FolderId);
    add(MediaTitle, " title=?,", Text, Rec.Title);
    if (Changed & MediaMedia) {
        if (storeInDb) {
            add(MediaMedia, " media=?,", exists(Rec.MediaFile) ? File : Null, Rec.MediaFile);
        } else if (exists(Rec.MediaFile)) {
            // The path travels as a value; the row then refers to the file where it lies.
            add(MediaMedia, " media=?,", Text, Rec.MediaFile);
        }
    }
    add(MediaNail, " MediaNail=?,", exists(Rec.NailFile) ? File : Null, Rec.NailFile);
    add(MediaMediaType, " MediaType=?,", Text, QString::number(Rec.MediaType));
    add(MediaIndex, " index=?,", Text, floatToText(Rec.Index));
    add(MediaKeyWords, " KeyWords=?,", Text, Rec.KeyWords);
    add(MediaInsertDate, " InsertDate=?,", Rec.InsertDate < 0 ? Null : Text, dateToText(Rec.InsertDate));
    add(MediaAuthor, " Author=?,", Text, Rec.Author);
    add(MediaDescription, " description=?,",
        !descriptionFile.isEmpty() && QFile::exists(descriptionFile) ? Text : Null,
        readTextFile(descriptionFile));
    if (values.isEmpty())
        return false;
    text.chop(1);
    text += QStringLiteral(" where OID=?");
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    for (const auto &[kind, value] : values) {
        if (kind == Text)
            st.bind(value);
        else if (kind == File)
            st.bindFile(value);
        else
            st.bindNull();
    }
    st.bind(Rec.OID);
    if (st.execute() > 1) {
        c.report(MsgUpdateData, MediaTable);
        return false;
    }
    const quint16 files = Changed & (MediaMedia | MediaNail);
    Changed = files;
    if (files)
        Select(c);
    Changed = 0;
    return true;
}

bool TDbMedia::Insert(Connection &c, bool storeInDb, EngineFailure *why)
{
    if (Rec.OID != QLatin1String("-1"))
        return false;
    if (Rec.MediaType == -1)
        Rec.MediaType = MediaTypeOfExtension(Rec.MediaFile);
    QString columns =
        QStringLiteral("Insert into MediaData (FolderId,MediaType,index,title,KeyWords,InsertDate");
    QString marks = QStringLiteral(") values (?,?,?,?,?,?");
    const bool hasMedia = exists(Rec.MediaFile), hasNail = exists(Rec.NailFile);
    // A thumbnail is linked only where it is the linked file itself (an icon); a made
    // thumbnail, or one copied from another row, is stored as a file of this row's own.
    const bool storeNail = storeInDb || (hasNail && Rec.NailFile != Rec.MediaFile);
    if (storeInDb) {
        columns += QStringLiteral(",media");
        marks += QStringLiteral(",?");
    } else if (hasMedia) {
        // Linked files travel as values, never spliced into the text.
        columns += QStringLiteral(",media");
        marks += QStringLiteral(",?");
    }
    if (storeNail || hasNail) {
        columns += QStringLiteral(",MediaNail");
        marks += QStringLiteral(",?");
    }
    Statement st(c, columns + marks + QLatin1Char(')'));
    bool good = st.needsParams();
    // The engine's account of the first thing that failed, before a later call replaces it.
    auto noteFailure = [why] {
        if (why && why->code == 0)
            *why = {vkdb::DbLastError(), QString::fromStdString(vkdb::DbErrorText())};
    };
    if (!good)
        noteFailure();
    if (good) {
        st.bind(Rec.FolderId);
        st.bind(QString::number(Rec.MediaType));
        st.bind(floatToText(Rec.Index));
        st.bind(Rec.Title);
        st.bind(Rec.KeyWords);
        if (Rec.InsertDate < 0)
            st.bindNull();
        else
            st.bind(dateToText(Rec.InsertDate));
        if (storeInDb) {
            const int media = st.bindFile(Rec.MediaFile);
            good = media < 2 || media == vkdb::DbNeedParams;
        } else if (hasMedia) {
            st.bind(Rec.MediaFile);
        }
        if (!good) {
            noteFailure();
        } else if (storeNail) {
            const int nail = st.bindFile(Rec.NailFile);
            good = nail < 2 || nail == vkdb::DbNeedParams;
            if (!good)
                noteFailure();
        } else if (hasNail) {
            st.bind(Rec.NailFile);
        }
        QString oid;
        if (good) {
            good = st.execute(&oid) < 2 && !oid.isEmpty();
            if (!good)
                noteFailure();
        }
        if (good)
            Rec.OID = oid;
    }
    if (!good) {
        c.report(MsgInsertData, MediaTable);
        return false;
    }
    Changed = MediaMedia | MediaNail;
    Select(c);
    Changed = 0;
    return true;
}

bool TDbMedia::Delete(Connection &c)
{
    if (Rec.OID == QLatin1String("-1"))
        return true;
    if (!DeleteMediaRow(c, Rec.OID))
        return false;
    Rec.OID = QStringLiteral("-1");
    return true;
}

// ---------------------------------------------------------------- the start-up load

namespace {

// The columns the load reads, in this order. The media file's object comes with its row: one
// look-up answers both its name and whether it is linked (an external object) rather than kept
// in the database.
enum MediaLoadColumn
{
    LoadOid,
    LoadFolderId,
    LoadTitle,
    LoadMediaFile,
    LoadLinked,
    LoadMediaType,
    LoadIndex,
    LoadNailFile,
    LoadKeyWords,
    LoadInsertDate,
    LoadAuthor,
};
const QString MediaLoadSelect =
    QStringLiteral("select MediaData.OID, FolderId, title, FILE_NAME, FILE_TYPE='01'x, MediaType, index, "
                   "filename(MediaNail), KeyWords, InsertDate, Author from MediaData left join SYSFILEOBJ on "
                   "FILE_ID=media");

// Makes the items of the load straight from the rows where the statement holds them: one
// string for each text of a row, and none for a text that repeats the row before's.
class MediaRows
{
public:
    explicit MediaRows(Statement &st) : m_st(st) {}

    // The item of the row `next` fetched, all but its FolderId.
    TDbMedia *item()
    {
        auto *m = new TDbMedia;
        TsMedia &r = m->Rec;
        r.OID = m_st.text(LoadOid);
        r.Title = m_st.text(LoadTitle);
        r.MediaFile = m_st.text(LoadMediaFile);
        r.MediaType = columnInt(m_st, LoadMediaType);
        // An empty index keeps the one of the row before.
        if (!m_st.isEmpty(LoadIndex))
            m_previousIndex = columnFloat(m_st, LoadIndex);
        r.Index = m_previousIndex;
        r.NailFile = m_st.text(LoadNailFile);
        r.KeyWords = m_keyWords.take(m_st, LoadKeyWords);
        r.InsertDate = m_insertDate.take(m_st, LoadInsertDate);
        r.Author = m_author.take(m_st, LoadAuthor);
        m->External = m_st.integer(LoadLinked) != 0;
        return m;
    }
    void setPreviousIndex(double index) { m_previousIndex = index; }

private:
    Statement &m_st;
    double m_previousIndex = 0;
    RepeatedText m_keyWords, m_author;
    RepeatedDate m_insertDate;
};

// The FolderId of a row, kept to tell whether the next row names the same folder (rows come
// in FolderId order, so most do) without making its text.
class FolderKey
{
public:
    bool sameAs(const Statement &st, int column) const
    {
        if (!m_valid)
            return false;
        const vkdb::DbValueType type = st.type(column);
        if (type == vkdb::DbValueType::Integer)
            return m_isInteger && st.integer(column) == m_integer;
        return !m_isInteger && st.utf8(column) == m_bytes;
    }
    // Takes the row's key; answers its text.
    QString take(const Statement &st, int column)
    {
        m_valid = true;
        m_isInteger = st.type(column) == vkdb::DbValueType::Integer;
        if (m_isInteger) {
            m_integer = st.integer(column);
            return QString::number(m_integer);
        }
        m_bytes.assign(st.utf8(column));
        return st.text(column);
    }

private:
    bool m_valid = false, m_isInteger = false;
    qint64 m_integer = 0;
    std::string m_bytes;
};

} // namespace

bool TDbFolderList::LoadAllMedia(const QList<TDbFolder *> &folders)
{
    Connection &c = m_connection;
    if (folders.isEmpty())
        return true;
    if (status)
        status(QStringLiteral("Get FileType Summary..."));
    Statement st(c, MediaLoadSelect + QStringLiteral(" order by FolderId, index"));
    if (!st.isOpen()) {
        c.report(MsgRetrieveTableData, MediaTable);
        return false;
    }
    const int folderCount = int(folders.size());
    int current = 0, rows = 0;
    auto show = [&] {
        if (status)
            status(QStringLiteral("Abstract Media Info...%1/(%2/%3)")
                       .arg(rows)
                       .arg(current + 1)
                       .arg(folderCount));
    };
    show();
    QList<TDbMedia *> orphans;
    MediaRows items(st);
    FolderKey key;
    bool matched = false; // the last key's rows have a folder: folders[current]
    QString orphanFolderId;
    int rc;
    while ((rc = st.next()) < 2) {
        TDbMedia *m = items.item();
        if (!key.sameAs(st, LoadFolderId)) {
            // Matched like a merge: from the current folder on; a row no folder matches leaves
            // the current folder where it was.
            const QString folderId = key.take(st, LoadFolderId);
            const int start = current;
            while (current < folderCount && folders[current]->Rec.FolderId != folderId)
                ++current;
            matched = current < folderCount;
            if (!matched) {
                current = start;
                orphanFolderId = folderId;
            }
        }
        if (matched) {
            TDbFolder *f = folders[current];
            m->Rec.FolderId = f->Rec.FolderId; // the same text, shared
            m->Owner = f;
            f->MediaList->Items.append(m);
            ++m->RefCount;
        } else {
            m->Rec.FolderId = orphanFolderId;
            orphans.append(m);
        }
        ++rows;
        // The status line is for people (the splash repaints for each): a few updates a second
        // are enough, not one per thousand rows.
        if ((rows & 16383) == 0)
            show();
    }
    show();
    const bool good = rc == vkdb::DbNoMoreRows;
    if (!good)
        c.report(MsgRetrieveTableData, MediaTable);
    if (!orphans.isEmpty()) {
        double maxIndex = MaxFolderIndex(c);
        TDbFolder *lost =
            AddRootFolder(QStringLiteral("Lost Media Folder"), DefaultWidth, DefaultBorder, DefaultHeight);
        if (!lost) {
            qDeleteAll(orphans);
            return false;
        }
        lost->Rec.Index = std::max(maxIndex, 0.0) + 32;
        lost->Changed = FolderIndex;
        lost->Update(c);
        Transaction tx(c);
        for (TDbMedia *m : orphans) {
            m->Owner = lost;
            m->Rec.FolderId = lost->Rec.FolderId;
            lost->MediaList->Items.append(m);
            ++m->RefCount;
            m->Changed = MediaFolderId;
            m->Update(c, false);
        }
        tx.commit();
    }
    return good;
}

bool TDbFolderList::loadFolderMedia(TDbFolder *folder)
{
    Connection &c = m_connection;
    Statement st(c, MediaLoadSelect + QStringLiteral(" where FolderId=? order by index"));
    if (!st.needsParams() || st.bind(folder->Rec.FolderId) > 1 || st.execute() > 1) {
        c.report(MsgRetrieveTableData, MediaTable);
        return false;
    }
    MediaRows items(st);
    QList<TDbMedia *> &list = folder->MediaList->Items;
    int rc;
    while ((rc = st.next()) < 2) {
        if (list.isEmpty() && st.isEmpty(LoadIndex)) {
            // The whole load reads all rows in one run, and a first row without index there
            // keeps the index of the last row before it that has one.
            Statement before(c,
                             QStringLiteral("select index from MediaData where (FolderId<? or FolderId is "
                                            "null) and length(index)>0 order by FolderId desc, index desc"));
            if (before.needsParams() && before.bind(folder->Rec.FolderId) < 2 && before.execute() < 2 &&
                before.next() < 2)
                items.setPreviousIndex(columnFloat(before, 0));
        }
        TDbMedia *m = items.item();
        m->Rec.FolderId = folder->Rec.FolderId;
        m->Owner = folder;
        list.append(m);
        ++m->RefCount;
    }
    if (rc != vkdb::DbNoMoreRows) {
        c.report(MsgRetrieveTableData, MediaTable);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- import, copy, drops

TDbMedia *TDbFolderList::InsertMediaFile(TDbFolder *folder, const QString &path, int &mode)
{
    return InsertPreparedFile(folder, path, mode, nullptr, nullptr);
}

QString TDbFolderList::ImportRefusal(const QString &path, int type)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("the file is not there");
    if (!info.isFile())
        return QStringLiteral("not a plain file");
    if (info.size() <= 0)
        return QStringLiteral("the file is empty");
    if (type == TypeText && info.size() > MaxImportTextSize)
        return QStringLiteral("a text file over %1 bytes").arg(MaxImportTextSize);
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return QStringLiteral("the file cannot be read: %1").arg(probe.errorString());
    return QString();
}

namespace {

// A thumbnail on its way into the database: a scratch file of our own, gone afterwards.
std::unique_ptr<QTemporaryFile> scratchThumbnail(const Connection &c, const QString &stem,
                                                 const QByteArray &encoded)
{
    const QString dir = c.tempFilePrefix().isEmpty() ? QDir::tempPath() : c.tempFilePrefix();
    const bool png = encoded.startsWith("\x89PNG");
    auto scratch = std::make_unique<QTemporaryFile>(QDir(dir).filePath(
        stem + QStringLiteral("-XXXXXX") + (png ? QStringLiteral(".png") : QStringLiteral(".jpg"))));
    if (!scratch->open() || scratch->write(encoded) != encoded.size() || !scratch->flush())
        return nullptr;
    scratch->close();
    return scratch;
}

// An account of the engine's (a sentence) as a skip reason (a clause).
QString asClause(QString text)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.size() > 1 && text.at(0).isUpper() && !text.at(1).isUpper())
        text[0] = text.at(0).toLower();
    return text;
}

// Why the library could not take a file that is still there to be taken.
QString libraryRefusal(const Connection &c, const EngineFailure &failure)
{
    if (failure.code == vkdb::ErrFileObject || failure.code == vkdb::ErrDiskFull) {
        // A file-object directory the program may not write into fails every copy alike; the
        // system tells why.
        std::string dir = vkdb::DbFileObjectDir(c.handle());
        struct stat st = {};
        if (!dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
            ::access(dir.c_str(), W_OK | X_OK) != 0) {
            const int error = errno;
            if (dir.size() > 1 && dir.back() == '/')
                dir.pop_back();
            return QStringLiteral("the file-object directory %1 cannot be written: %2")
                .arg(QString::fromStdString(dir),
                     QString::fromStdString(std::generic_category().message(error)));
        }
        if (!failure.text.isEmpty())
            return asClause(failure.text);
    }
    return failure.text.isEmpty()
               ? TDbFolderList::DatabaseRefusal()
               : TDbFolderList::DatabaseRefusal() + QStringLiteral(": ") + asClause(failure.text);
}

} // namespace

TDbMedia *TDbFolderList::InsertPreparedFile(TDbFolder *folder, const QString &path, int &mode,
                                            const PreparedThumbnail *thumbnail, QString *skipReason,
                                            bool *libraryFailed)
{
    if (libraryFailed)
        *libraryFailed = false;
    Connection &c = m_connection;
    const QFileInfo info(path);
    const int type = MediaTypeOfExtension(path);
    const QString refusal = ImportRefusal(path, type);
    if (!refusal.isEmpty()) {
        if (skipReason)
            *skipReason = refusal;
        return nullptr;
    }
    bool external = mode == 1;
    if (mode == 2) {
        bool toAll = false;
        const int choice =
            c.ui() ? c.ui()->askChoice(QStringLiteral("New Media"),
                                       QStringLiteral("Which type do you wish to import file(s) as?"),
                                       {info.fileName()},
                                       {QStringLiteral("Database file"), QStringLiteral("External file")}, 0,
                                       QStringLiteral("Selected type to all."), &toAll)
                   : 0;
        if (choice < 0) {
            mode = -1;
            if (skipReason)
                *skipReason = QStringLiteral("the import was cancelled");
            return nullptr;
        }
        external = choice == 1;
        if (toAll)
            mode = external ? 1 : 0;
    }
    auto *m = new TDbMedia;
    m->Rec.FolderId = folder->Rec.FolderId;
    m->Rec.Title = info.fileName();
    // A linked file must be found again from wherever the program runs.
    m->Rec.MediaFile = info.absoluteFilePath();
    m->Rec.MediaType = type;
    const QList<TDbMedia *> &items = folder->MediaList->Items;
    m->Rec.Index = items.isEmpty() ? 0 : items.last()->Rec.Index + 32;
    m->Rec.InsertDate = today();
    std::unique_ptr<QTemporaryFile> nail;
    if (thumbnail && !thumbnail->bytes.isEmpty()) {
        nail = scratchThumbnail(c, QStringLiteral("nail"), thumbnail->bytes);
        if (nail)
            m->Rec.NailFile = nail->fileName();
    } else if (thumbnail && (type == TypeIco || type == TypeWmf)) {
        m->Rec.NailFile = m->Rec.MediaFile;
    }
    EngineFailure failure;
    const bool inserted = m->Insert(c, !external, &failure);
    // The file as it was once it was stored (copied, or linked where it lies).
    const FileStamp stored = FileStamp::of(path);
    nail.reset();
    if (!inserted) {
        // A file that went away while it was being stored is skipped like any missing file.
        const QString gone = ImportRefusal(path, type);
        if (gone.isEmpty())
            c.report(QStringLiteral("Create media failed!"));
        if (skipReason)
            *skipReason = gone.isEmpty() ? libraryRefusal(c, failure) : gone;
        if (libraryFailed)
            *libraryFailed = gone.isEmpty();
        delete m;
        return nullptr;
    }
    if (m->Rec.MediaFile.isEmpty()) {
        // The file went away between its check and its storing: the row has no content.
        m->Delete(c);
        if (skipReason)
            *skipReason = QStringLiteral("the file is not there");
        delete m;
        return nullptr;
    }
    m->Rec.Index = settleAppendedKey(folder->Rec.FolderId, m->Rec.OID, false, m->Rec.Index);
    m->External = external;
    m->Owner = folder;
    folder->MediaList->Items.append(m);
    ++m->RefCount;
    if (thumbnail) {
        CheckLost(m);
        // A thumbnail made of what the file held before it changed is made again, from what
        // was stored.
        const bool madeOfContent =
            (isPictureType(type) && type != TypeIco && type != TypeWmf) || type == TypeAvi;
        if (madeOfContent && thumbnailer &&
            (!stored.sameAs(thumbnail->madeFrom) || thumbnail->madeFrom.tooRecent()) &&
            !BuildThumbnail(m, true) && !m->Rec.NailFile.isEmpty()) {
            // None is better than one of content the item does not have.
            m->Rec.NailFile.clear();
            m->Changed = MediaNail;
            m->Update(c, true);
        }
        m->NoThumb = (isPictureType(type) || type == TypeAvi) && m->Rec.NailFile.isEmpty();
    } else if (thumbnailer) {
        // A picture that cannot be thumbnailed shows its type icon; the import goes on.
        m->NoThumb = !BuildThumbnail(m, true);
    }
    emit itemInserted(folder, m, int(folder->MediaList->Items.size()) - 1);
    return m;
}

void TDbFolderList::CheckLost(TDbMedia *item)
{
    item->Lost = item->Rec.OID != QLatin1String("SampleOID") && !item->SubFolder &&
                 item->Rec.MediaType != TypeSubFolder && !exists(item->Rec.MediaFile);
}

bool TDbFolderList::BuildThumbnail(TDbMedia *item, bool store)
{
    CheckLost(item);
    const int type = item->Rec.MediaType;
    if (!isPictureType(type) && type != TypeAvi) {
        item->Rec.NailFile.clear();
        return true;
    }
    if (item->Lost)
        return false;
    if (type == TypeIco || type == TypeWmf) {
        item->Rec.NailFile = item->Rec.MediaFile;
        return true;
    }
    if (!thumbnailer)
        return false;
    QString error;
    QByteArray encoded;
    try {
        encoded = thumbnailer(item->Rec.MediaFile, &error);
    } catch (...) {
        // A decoder that gives up (out of memory, or any other way) leaves the type icon.
        return false;
    }
    if (encoded.isEmpty())
        return false;
    std::unique_ptr<QTemporaryFile> scratch = scratchThumbnail(m_connection, item->Rec.OID, encoded);
    if (!scratch)
        return false;
    item->Rec.NailFile = scratch->fileName();
    if (!store) {
        scratch->setAutoRemove(false); // the caller stores it; the work directory is emptied at exit
        return true;
    }
    item->Changed = MediaNail;
    const bool stored = item->Update(m_connection, true);
    if (!stored)
        item->Rec.NailFile.clear();
    return stored;
}

TDbMedia *TDbFolderList::CopyMedia(TDbMedia *item, TDbFolder *target)
{
    Connection &c = m_connection;
    if (item->SubFolder) {
        TDbFolder *copy = CopyFolder(item->SubFolder, target);
        if (!copy)
            return nullptr;
        TDbMedia *tile = MakeSubFolderTile(copy);
        tile->Owner = target;
        return tile;
    }
    auto *m = new TDbMedia;
    m->Rec = item->Rec;
    m->Rec.OID = QStringLiteral("-1");
    m->Rec.InsertDate = today();
    m->Rec.FolderId = target ? target->Rec.FolderId : QStringLiteral("-1");
    m->External = item->External;
    // A file kept in the database is copied along; a linked file is linked again.
    if (!m->Insert(c, !item->External)) {
        delete m;
        return nullptr;
    }
    QString description;
    if (ReadDescription(c, item->Rec.OID, RecordKind::MediaData, &description) && !description.isEmpty())
        WriteDescription(c, m->Rec.OID, description, RecordKind::MediaData);
    return m;
}

namespace {

// An item named twice is taken once: moving or copying it twice would detach it twice.
QList<TDbMedia *> eachOnce(const QList<TDbMedia *> &items)
{
    QList<TDbMedia *> once;
    once.reserve(items.size());
    QSet<TDbMedia *> seen;
    for (TDbMedia *item : items)
        if (!seen.contains(item)) {
            seen.insert(item);
            once.append(item);
        }
    return once;
}

} // namespace

bool TDbFolderList::MoveItems(const QList<TDbMedia *> &named, TDbFolder *target, int position)
{
    const QList<TDbMedia *> items = eachOnce(named);
    for (TDbMedia *item : items)
        if (item->SubFolder && refuseIntoOwnSubfolder(item->SubFolder, target))
            return false;
    if (items.isEmpty())
        return false;
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    if (items.size() == 1 && items[0]->Owner == target) {
        const int current = target->MediaList->indexOf(items[0]);
        if (position == current)
            return true;
        if (position > current && --position == current)
            return true;
    } else {
        // Items of the target itself that stand before the drop position leave gaps; the
        // position counts only those strictly before it.
        int before = 0;
        for (TDbMedia *item : items)
            if (item->Owner == target && target->MediaList->indexOf(item) < position)
                ++before;
        position -= before;
    }
    for (TDbMedia *item : items)
        Detach(item, false);
    bool good = true;
    for (int i = 0; i < items.size(); ++i)
        good = InsertAt(target, items[i], position + i) && good;
    return tx.commit() && good;
}

QList<TDbMedia *> TDbFolderList::CopyItems(const QList<TDbMedia *> &named, TDbFolder *target, int position)
{
    const QList<TDbMedia *> items = eachOnce(named);
    QList<TDbMedia *> copies;
    for (TDbMedia *item : items)
        if (item->SubFolder && item->SubFolder->IsSelfOrDescendant(target))
            return copies; // refused without a message
    Transaction tx(m_connection);
    if (!tx.isActive())
        return copies;
    for (TDbMedia *item : items) {
        TDbMedia *source = item->MirrorOf ? item->MirrorOf : item;
        TDbMedia *copy = CopyMedia(source, target);
        if (!copy)
            continue;
        InsertAt(target, copy, position + int(copies.size()));
        copies.append(copy);
    }
    if (!tx.commit())
        return {};
    return copies;
}

void TDbFolderList::ReleaseItem(TDbMedia *item)
{
    if (--item->RefCount > 0)
        return;
    if (item->SubFolder) {
        item->SubFolder->Delete(m_connection, false);
        freeItem(item);
        return;
    }
    item->Delete(m_connection);
    delete item;
}

void TDbFolderList::ClipboardAdd(TSelectedList &clipboard, TDbMedia *item)
{
    ++item->RefCount;
    clipboard.append({item->Rec.MediaType, false, nullptr, item, nullptr});
}

void TDbFolderList::ClipboardAdd(TSelectedList &clipboard, TDbFolder *folder)
{
    ++folder->RefCount;
    clipboard.append({FolderKind, false, folder, nullptr, nullptr});
}

void TDbFolderList::ClipboardClear(TSelectedList &clipboard)
{
    for (const ClipboardEntry &e : clipboard) {
        if (e.IsObject)
            continue; // slide objects belong to the authoring model
        if (e.Kind == FolderKind) {
            TDbFolder *folder = e.Folder;
            if (--folder->RefCount <= 0) {
                folder->Delete(m_connection, false);
                ReleaseFolder(folder, false);
            }
        } else {
            ReleaseItem(e.Media);
        }
    }
    clipboard.clear();
}

TDbMedia *TDbFolderList::FindMediaByOid(const QString &oid) const
{
    for (TDbFolder *f : TreeOrder()) {
        if (!f->MediaList)
            continue; // a subfolder whose list a partial load left unread
        for (TDbMedia *m : std::as_const(f->MediaList->Items))
            if (!m->SubFolder && m->Rec.OID == oid)
                return m;
    }
    return nullptr;
}

} // namespace vk
