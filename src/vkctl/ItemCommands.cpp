// vkctl ls, info, rm, mv and cp: the items of folders, as the workspace loads them.
#include "Commands.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "Connection.h"
#include "DbFolder.h"
#include "FolderNames.h"
#include "ImageCodec.h"
#include "KeyWords.h"
#include "MediaTypes.h"
#include "OptionStore.h"
#include "PictureFiles.h"
#include "Statement.h"
#include "TextForms.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include <cmath>

namespace vk {

namespace {

QString itemState(const TDbMedia *m)
{
    const bool lost = m->Rec.MediaFile.isEmpty() || !QFileInfo(m->Rec.MediaFile).isFile();
    return lost          ? QStringLiteral("lost")
           : m->External ? QStringLiteral("external")
                         : QStringLiteral("internal");
}

int runLs(Call &call)
{
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, {}))
        return ExitFailed;
    TDbFolder *folder = loadNamedFolder(c, roots, call.args[0]);
    if (!folder)
        return ExitFailed;
    QJsonArray list;
    for (TDbMedia *m : folder->MediaList->Items) {
        if (m->SubFolder)
            continue;
        if (call.json())
            list.append(QJsonObject{{QStringLiteral("oid"), m->Rec.OID},
                                    {QStringLiteral("type"), m->Rec.MediaType},
                                    {QStringLiteral("index"), m->Rec.Index},
                                    {QStringLiteral("title"), m->Rec.Title},
                                    {QStringLiteral("file"), m->Rec.MediaFile},
                                    {QStringLiteral("state"), itemState(m)}});
        else
            printRecord({m->Rec.OID, QString::number(m->Rec.MediaType), floatToText(m->Rec.Index),
                         m->Rec.Title, m->Rec.MediaFile, itemState(m)});
    }
    if (call.json())
        printJson(list);
    return ExitDone;
}

// The items named, each once, in the order first named; empty after telling which is missing.
QList<TDbMedia *> namedItems(const TDbFolderList &roots, const QStringList &oids)
{
    QList<TDbMedia *> items;
    QSet<TDbMedia *> named;
    for (const QString &oid : oids) {
        TDbMedia *m = roots.FindMediaByOid(oid);
        if (!m) {
            printError(QStringLiteral("there is no media item %1").arg(oid));
            return {};
        }
        if (!named.contains(m)) {
            named.insert(m);
            items.append(m);
        }
    }
    return items;
}

int runRm(Call &call)
{
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, call.args))
        return ExitFailed;
    const QList<TDbMedia *> items = namedItems(roots, call.args);
    if (items.isEmpty())
        return ExitFailed;
    Transaction tx(c);
    for (TDbMedia *m : items)
        if (roots.RemoveMedia(m) < 0)
            return ExitFailed;
    return tx.commit() ? ExitDone : ExitFailed;
}

int runMoveOrCopy(Call &call, bool copy)
{
    int at;
    if (!call.position(QStringLiteral("at"), &at))
        return ExitUsage;
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, call.args))
        return ExitFailed;
    const QList<TDbMedia *> items = namedItems(roots, call.args);
    if (items.isEmpty())
        return ExitFailed;
    TDbFolder *target = loadNamedFolder(c, roots, call.value(QStringLiteral("to")));
    if (!target)
        return ExitFailed;
    const int position = at >= 0 ? at : target->MediaList->count();
    if (!copy)
        return roots.MoveItems(items, target, position) ? ExitDone : ExitFailed;
    const QList<TDbMedia *> copies = roots.CopyItems(items, target, position);
    QJsonArray list;
    for (qsizetype i = 0; i < copies.size(); ++i) {
        if (!call.json()) {
            printLine(copies[i]->Rec.OID);
            continue;
        }
        QJsonObject made{{QStringLiteral("oid"), copies[i]->Rec.OID}};
        if (copies.size() == items.size())
            made.insert(QStringLiteral("source"), items[i]->Rec.OID);
        list.append(made);
    }
    if (call.json())
        printJson(list);
    return copies.size() == items.size() ? ExitDone : ExitFailed;
}

QString formatName(int type)
{
    switch (type) {
    case TypeBmp:
        return QStringLiteral("BMP");
    case TypeJpg:
        return QStringLiteral("JPG");
    case TypePcx:
        return QStringLiteral("PCX");
    case TypePng:
        return QStringLiteral("PNG");
    case TypeTga:
        return QStringLiteral("TGA");
    case TypeTif:
        return QStringLiteral("TIF");
    case TypeGif:
        return QStringLiteral("GIF");
    case TypeIco:
        return QStringLiteral("ICO");
    case TypeWmf:
        return QStringLiteral("WMF");
    case TypeText:
        return QStringLiteral("Text");
    case TypeWav:
        return QStringLiteral("WAV");
    case TypeMid:
        return QStringLiteral("MID");
    case TypeRmi:
        return QStringLiteral("RMI");
    case TypeMp3:
        return QStringLiteral("MP3");
    case TypeAvi:
        return QStringLiteral("AVI");
    case TypeMpg:
        return QStringLiteral("MPG");
    case TypeDocument:
        return QStringLiteral("Document");
    case TypeSubFolder:
        return QStringLiteral("SubFolder");
    default:
        return QString::number(type);
    }
}

// A picture's size from its header where the reader can tell it, else from the picture.
QSize pictureSize(const QString &path, int type)
{
    if (!declaredSizesSound(path))
        return QSize();
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid())
        return size;
    QImage picture;
    QString error;
    return loadMediaPicture(path, type, picture, &error) ? picture.size() : QSize();
}

// One text column of a row by OID; null when there is none.
QStringList rowValues(Connection &c, const QString &text, const QString &oid)
{
    Statement st(c, text);
    QStringList row;
    if (!st.needsParams() || st.bind(oid) > 1 || st.execute() > 1 || st.fetch(row) >= 2)
        return {};
    return row;
}

// What info prints: named fields in order, and the document --json prints.
struct Info
{
    QList<QPair<QString, QJsonValue>> fields;
    void add(const QString &name, const QJsonValue &value) { fields.append({name, value}); }

    int print(bool json) const
    {
        if (json) {
            QJsonObject doc;
            for (const auto &f : fields)
                doc.insert(f.first, f.second);
            printJson(doc);
            return ExitDone;
        }
        for (const auto &f : fields) {
            if (f.second.isArray()) {
                // A list: one line a value, under the singular of its name.
                const QString name = f.first.endsWith(QLatin1Char('s')) ? f.first.chopped(1) : f.first;
                for (const QJsonValue &v : f.second.toArray())
                    printRecord({name, v.toString()});
            } else if (f.second.isObject()) {
                const QJsonObject o = f.second.toObject();
                printRecord({f.first, QStringLiteral("%1x%2")
                                          .arg(o.value(QStringLiteral("width")).toInt())
                                          .arg(o.value(QStringLiteral("height")).toInt())});
            } else if (f.second.isDouble()) {
                const double d = f.second.toDouble();
                const bool whole = d == std::floor(d) && std::fabs(d) < 9e15;
                printRecord({f.first, whole ? QString::number(qint64(d)) : floatToText(d)});
            } else if (f.second.isBool()) {
                printRecord({f.first, f.second.toBool() ? QStringLiteral("yes") : QStringLiteral("no")});
            } else if (!f.second.isNull()) {
                printRecord({f.first, f.second.toString()});
            }
        }
        return ExitDone;
    }
};

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString fileTime(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toString(Qt::ISODate) : QString();
}

int itemInfo(Connection &c, TDbMedia *m, bool json)
{
    const TsMedia &r = m->Rec;
    const QString state = itemState(m);
    Info info;
    info.add(QStringLiteral("oid"), r.OID);
    info.add(QStringLiteral("kind"), QStringLiteral("item"));
    info.add(QStringLiteral("title"), r.Title);
    const QStringList row =
        rowValues(c, QStringLiteral("select description from MediaData where OID = ?"), r.OID);
    info.add(QStringLiteral("description"), textOrNull(row.value(0)));
    info.add(QStringLiteral("type"), r.MediaType);
    QString label = TypeLabel(r.MediaType);
    label = label.mid(1).chopped(1);
    info.add(QStringLiteral("typeName"), (formatName(r.MediaType) + QLatin1Char(' ') + label).trimmed());
    info.add(QStringLiteral("file"), textOrNull(r.MediaFile));
    info.add(QStringLiteral("storage"), state);
    if (state != QLatin1String("lost")) {
        info.add(QStringLiteral("size"), double(QFileInfo(r.MediaFile).size()));
        if (isPictureType(r.MediaType)) {
            const QSize size = pictureSize(r.MediaFile, r.MediaType);
            if (size.isValid())
                info.add(QStringLiteral("dimensions"),
                         QJsonObject{{QStringLiteral("width"), size.width()},
                                     {QStringLiteral("height"), size.height()}});
        }
    }
    info.add(QStringLiteral("thumbnail"), textOrNull(r.NailFile));
    TDbKeyWordList keywords;
    QJsonArray names;
    if (keywords.Load(c))
        for (const QString &oid : KeywordOids(r.KeyWords))
            if (const TDbKeyWord *k = FindKeyword(keywords, oid))
                names.append(k->Rec.Name);
    info.add(QStringLiteral("keywords"), names);
    info.add(QStringLiteral("author"), textOrNull(r.Author));
    info.add(QStringLiteral("inserted"), textOrNull(dateToText(r.InsertDate)));
    info.add(QStringLiteral("fileModified"), textOrNull(fileTime(r.MediaFile)));
    if (m->Owner) {
        info.add(QStringLiteral("folder"), m->Owner->Rec.OID);
        info.add(QStringLiteral("folderPath"), textOrNull(FolderPathByOid(c, m->Owner->Rec.OID)));
    }
    info.add(QStringLiteral("index"), r.Index);
    return info.print(json);
}

int folderInfo(Connection &c, TDbFolder *f, bool json)
{
    const TsFolder &r = f->Rec;
    Info info;
    info.add(QStringLiteral("oid"), r.OID);
    info.add(QStringLiteral("kind"), QStringLiteral("folder"));
    info.add(QStringLiteral("title"), r.Title);
    const QStringList row =
        rowValues(c, QStringLiteral("select Description, LastModified from Folder where OID = ?"), r.OID);
    info.add(QStringLiteral("description"), textOrNull(row.value(0)));
    info.add(QStringLiteral("path"), FolderPathByOid(c, r.OID));
    int items = 0, folders = 0;
    qint64 bytes = 0;
    for (const TDbMedia *m : f->MediaList->Items) {
        if (m->SubFolder) {
            ++folders;
        } else {
            ++items;
            if (!m->Rec.MediaFile.isEmpty())
                bytes += std::max<qint64>(0, QFileInfo(m->Rec.MediaFile).size());
        }
    }
    info.add(QStringLiteral("items"), items);
    info.add(QStringLiteral("folders"), folders);
    info.add(QStringLiteral("size"), double(bytes));
    info.add(QStringLiteral("author"), textOrNull(r.Author));
    info.add(QStringLiteral("inserted"), textOrNull(dateToText(r.InsertDate)));
    info.add(QStringLiteral("modified"), textOrNull(row.value(1)));
    info.add(QStringLiteral("folderId"), r.FolderId);
    info.add(QStringLiteral("parentFolderId"), r.ParFolderId);
    info.add(QStringLiteral("tileWidth"), r.Width);
    info.add(QStringLiteral("tileHeight"), r.Height);
    info.add(QStringLiteral("tileBorder"), r.BorderWidth);
    info.add(QStringLiteral("index"), r.Index);
    return info.print(json);
}

int runInfo(Call &call)
{
    const QString name = call.args[0];
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, {}))
        return ExitFailed;
    if (isOidText(name)) {
        TDbMedia *m = roots.LoadFolderOfMedia(name) ? roots.FindMediaByOid(name) : nullptr;
        // An item no folder holds is in the lost-media folder the whole load gives it.
        if (!m && !rowValues(c, QStringLiteral("select OID from MediaData where OID = ?"), name).isEmpty() &&
            roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight,
                       display.DefaultPanelBorderWidth))
            m = roots.FindMediaByOid(name);
        if (m && !m->SubFolder)
            return itemInfo(c, m, call.json());
        // A subfolder's tile stands for its folder.
        const QString oid = m ? m->SubFolder->Rec.OID : name;
        if (TDbFolder *f = roots.FindFolderByOid(oid) ? roots.FindFolderByOid(oid) : roots.LoadOneFolder(oid))
            return folderInfo(c, f, call.json());
        // Else a folder titled with 18 digits, or nothing.
        QString error;
        if (FolderOidByName(c, name, &error).isEmpty()) {
            printError(QStringLiteral("there is no media item or folder %1").arg(name));
            return ExitFailed;
        }
    }
    TDbFolder *f = loadNamedFolder(c, roots, name);
    return f ? folderInfo(c, f, call.json()) : ExitFailed;
}

} // namespace

QList<Command> itemCommands()
{
    Command ls;
    ls.name = QStringLiteral("ls");
    ls.synopsis = QStringLiteral("FOLDER [--json]");
    ls.summary = QStringLiteral("list a folder's items: OID, type, index, title, file, state");
    ls.description = QStringLiteral(
        "Lists the items of FOLDER in their order, one a line: OID, media type, index, title, file and "
        "state (internal: a copy stored in the database; external: linked where it lies; lost: the file "
        "is not there). Subfolders are not listed (vkctl folder ls lists them).\n\n"
        "FOLDER is an OID or a title path (\"Holiday 2026/Day 1\", a \"/\" inside a title written "
        "\"\\/\").");
    ls.options = {jsonOption()};
    ls.examples = {QStringLiteral("vkctl ls \"Holiday 2026/Day 1\""),
                   QStringLiteral("vkctl ls \"Holiday 2026\" --json")};
    ls.minArgs = ls.maxArgs = 1;
    ls.readOnly = true;
    ls.run = runLs;

    Command info;
    info.name = QStringLiteral("info");
    info.synopsis = QStringLiteral("OID|FOLDER [--json]");
    info.summary = QStringLiteral("everything stored for an item or a folder");
    info.description = QStringLiteral(
        "Shows everything stored for a media item or a folder, one field a line (name, tab, value; a "
        "list one line a value): for an item its title, description, type, file, storage, size, "
        "dimensions (pictures), thumbnail, keywords by name, author, dates and folder; for a folder its "
        "title, description, path, items, subfolders, size of the items' files, author, dates and tile "
        "size. Fields without a value are left out; --json gives them as null.\n\n"
        "A folder may be named by its title path as well as its OID.");
    info.options = {jsonOption()};
    info.examples = {QStringLiteral("vkctl info 000000000000001234"),
                     QStringLiteral("vkctl info \"Holiday 2026\" --json")};
    info.minArgs = info.maxArgs = 1;
    info.readOnly = true;
    info.run = runInfo;

    Command rm;
    rm.name = QStringLiteral("rm");
    rm.synopsis = QStringLiteral("MEDIA_OID...");
    rm.summary = QStringLiteral("remove media items");
    rm.description = QStringLiteral(
        "Removes the items from their folders, as one change. A copy stored in the database goes with "
        "the last row that holds it; a linked file stays where it is.");
    rm.examples = {QStringLiteral("vkctl rm 000000000000001234 000000000000001266")};
    rm.minArgs = 1;
    rm.maxArgs = -1;
    rm.run = runRm;

    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("the folder (OID or title path)"),
                                QStringLiteral("FOLDER"));
    Command mv;
    mv.name = QStringLiteral("mv");
    mv.synopsis = QStringLiteral("MEDIA_OID... --to FOLDER [--at N]");
    mv.summary = QStringLiteral("move media items into a folder");
    mv.description = QStringLiteral(
        "Moves the items into FOLDER, together, in the order named (an item named twice is taken once), "
        "at place N among its items (default: last).");
    mv.options = {to, atOption(QStringLiteral("their place among the folder's items, from 0"))};
    mv.examples = {QStringLiteral("vkctl mv 000000000000001234 --to \"Holiday 2026/Day 1\" --at 0")};
    mv.minArgs = 1;
    mv.maxArgs = -1;
    mv.run = [](Call &call) {
        if (!call.isSet(QStringLiteral("to")))
            return call.usageError(QStringLiteral("mv needs --to FOLDER"));
        return runMoveOrCopy(call, false);
    };

    Command cp = mv;
    cp.name = QStringLiteral("cp");
    cp.synopsis = QStringLiteral("MEDIA_OID... --to FOLDER [--at N] [--json]");
    cp.summary = QStringLiteral("copy media items into a folder; prints the copies' OIDs");
    cp.description = QStringLiteral(
        "Copies the items into FOLDER, together, in the order named (an item named twice is taken once), "
        "at place N among its items (default: last), and prints the copies' OIDs in that order. A copy "
        "stored in the database gets a file of its own.");
    cp.options = {to, atOption(QStringLiteral("their place among the folder's items, from 0")), jsonOption()};
    cp.examples = {QStringLiteral("vkctl cp 000000000000001234 --to Archive")};
    cp.run = [](Call &call) {
        if (!call.isSet(QStringLiteral("to")))
            return call.usageError(QStringLiteral("cp needs --to FOLDER"));
        return runMoveOrCopy(call, true);
    };

    return {ls, info, rm, mv, cp};
}

} // namespace vk
