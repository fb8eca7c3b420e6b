// vkctl: the command-line companion of the workspace, over the same core.
//
//   vkctl [--source NAME] [--no-check] COMMAND ...
//
// Every command that opens a data source first runs what the workspace runs after
// connecting (integration check, schema check, option table), quietly unless something
// changed; --no-check skips that.
#include "BookCommands.h"
#include "SearchCommand.h"
#include "CliUi.h"
#include "ConfigFile.h"
#include "ConnectChecks.h"
#include "Connection.h"
#include "DatabaseSetup.h"
#include "DbFolder.h"
#include "Engine.h"
#include "ImageCodec.h"
#include "KeyWords.h"
#include "MediaFiles.h"
#include "MediaImport.h"
#include "MediaTypes.h"
#include "Paths.h"
#include "PictureFiles.h"
#include "RecordStatements.h"
#include "Settings.h"
#include "Statement.h"
#include "VideoFrames.h"
#include "WorkDirectory.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>
#include <QSettings>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

using namespace vk;

int usage()
{
    std::fputs(
        "usage: vkctl [--source NAME] [--no-check] COMMAND ...\n"
        "  sources                         list the data sources\n"
        "  init NAME [--dir DIR]           create a data source\n"
        "  sql TEXT [--param V | --null | --file PATH]...\n"
        "                                  run one statement\n"
        "  folder add TITLE [--parent OID] [--at N]\n"
        "  folder ls                       OID, FolderId, ParFolderId, depth, index, Title\n"
        "  folder rename OID TITLE\n"
        "  folder mv OID (--parent OID | --root) [--at N]\n"
        "  folder cp OID (--parent OID | --root) [--at N]\n"
        "  folder rm OID\n"
        "  ls FOLDER_OID                    OID, MediaType, index, title, file, internal|external|lost\n"
        "  rm MEDIA_OID...\n"
        "  mv MEDIA_OID... --to FOLDER_OID [--at N]\n"
        "  cp MEDIA_OID... --to FOLDER_OID [--at N]   prints the new OIDs\n"
        "  import FOLDER_OID PATH... [--internal | --external] [--recursive] [-- PATH...]\n"
        "                                  prints the new OIDs; skipped files on stderr\n"
        "  export MEDIA_OID PATH [--format EXT]\n"
        "                                  converts to PATH's (or EXT's) picture format;\n"
        "                                  PATH - is standard output\n"
        "  thumb MEDIA_OID PATH            writes the stored thumbnail as a picture\n"
        "  keyword add NAME [--icon FILE]  prints the new OID\n"
        "  keyword ls                      OID, Name, Reference\n"
        "  keyword rm OID\n"
        "  keyword tag MEDIA_OID KEYWORD_OID\n"
        "  keyword untag MEDIA_OID KEYWORD_OID\n"
        "  keyword recount\n"
        "  search [--folder FOLDER] [--type image|audio|avi|text|others]... [--text TEXT]\n"
        "         [--author TEXT] [--separator CHAR] [--case] [--keyword NAME]...\n"
        "         [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--summary] [--json]\n"
        "                                  the OIDs of the matching media, in order\n"
        "  book ls [--json]                ClearBooks and their slides\n"
        "  book show BOOK                  slides, then objects and flags\n"
        "  book export-json BOOK [PATH|-]  the whole ClearBook as JSON\n"
        "  book import-json PATH|-         a new ClearBook from JSON; prints its OID\n"
        "  book rm BOOK\n"
        "  book cp BOOK [--title TITLE]    prints the copy's OID; BOOK is an OID or a title\n"
        "  book play BOOK [--slide N] --trace [--limit SECONDS] [--resume-after SECONDS]\n"
        "                                  plays on a virtual clock, one event a line:\n"
        "                                  ms, clock (1/100 s), event, fields; tab-separated\n"
        "  check [--repair]                bring the schema up to date, find moved file\n"
        "                                  objects, check the database's integrity and its\n"
        "                                  files; --repair removes orphan copies and\n"
        "                                  salvages a damaged database\n",
        messageStream());
    return 1;
}

// Results go to a stream of their own on a duplicate of standard output, taken before any
// work starts: the metafile reader turns standard output aside while it reads, and a
// result printed meanwhile by another thread must still reach the caller.
FILE *resultStream()
{
    static FILE *stream = [] {
        const int fd = ::dup(STDOUT_FILENO);
        FILE *f = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
        return f ? f : stdout;
    }();
    return stream;
}

void printLine(const QString &text)
{
    std::fprintf(resultStream(), "%s\n", text.toUtf8().constData());
}

void flushResults()
{
    std::fflush(resultStream());
}

void printError(const QString &text)
{
    std::fprintf(messageStream(), "vkctl: %s\n", text.toUtf8().constData());
}

QString engineError()
{
    return QString::fromStdString(vkdb::DbErrorText());
}

struct Options
{
    QString source;
    bool check = true;
};

// Connects to the data source and, unless told not to, runs the workspace's after-connect
// steps; what they change is told on stderr.
bool openSource(const Options &options, CliUi &ui, Connection &c)
{
    c.setUi(&ui);
    QSettings settings;
    DatabaseSettings db = readDatabaseSettings(settings);
    if (!options.source.isEmpty())
        db.dataSource = options.source;
    if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
        printError(engineError());
        return false;
    }
    if (!options.check)
        return true;
    ConnectChecks checks;
    if (!RunConnectChecks(c, checks))
        return false;
    for (const QString &change : checks.changes)
        printError(change);
    return true;
}

int cmdSources()
{
    vkdb::ConfigFile config(configFilePath().toStdString());
    for (const std::string &name : config.sections())
        printLine(QString::fromStdString(name));
    return 0;
}

int cmdInit(const QStringList &args, CliUi &ui)
{
    QString name, dir;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            dir = args[++i];
        else if (name.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            name = args[i];
        else
            return usage();
    }
    if (name.isEmpty())
        return usage();
    const QString configPath = configFilePath();
    vkdb::ConfigFile config(configPath.toStdString());
    if (config.hasSection(name.toStdString())) {
        printError(QStringLiteral("a data source named \"%1\" already exists").arg(name));
        return 1;
    }
    if (dir.isEmpty())
        dir = defaultDataSourceDirectory(name);
    Connection c;
    c.setUi(&ui);
    QSettings settings;
    const DatabaseSettings db = readDatabaseSettings(settings);
    if (!CreateDatabaseIn(c, configPath, name, db.userName, db.password, dir))
        return 1;
    // A new data source comes complete: what the first start would add is added now.
    ConnectChecks checks;
    return RunConnectChecks(c, checks) ? 0 : 1;
}

int cmdSql(const Options &options, const QStringList &args, CliUi &ui)
{
    if (args.isEmpty())
        return usage();
    const QString text = args[0];
    struct Value
    {
        enum Kind
        {
            Text,
            Null,
            File
        } kind;
        QString text;
    };
    QList<Value> values;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--param") && i + 1 < args.size())
            values.append(Value{Value::Text, args[++i]});
        else if (args[i] == QLatin1String("--null"))
            values.append(Value{Value::Null, {}});
        else if (args[i] == QLatin1String("--file") && i + 1 < args.size())
            values.append(Value{Value::File, args[++i]});
        else
            return usage();
    }
    Connection c;
    if (!openSource(options, ui, c))
        return 1;
    Statement st(c, text);
    if (!st.isOpen()) {
        printError(engineError());
        return 1;
    }
    QString oid;
    if (st.needsParams()) {
        for (const Value &v : values) {
            int rc = v.kind == Value::Text   ? st.bind(v.text)
                     : v.kind == Value::Null ? st.bindNull()
                                             : vkdb::DbBindFile(st.handle(), v.text.toStdString());
            if (rc > 1 && rc != vkdb::DbNeedParams) {
                printError(engineError());
                return 1;
            }
        }
        if (st.execute(&oid) > 1) {
            printError(engineError());
            return 1;
        }
    } else if (!values.isEmpty()) {
        printError(QStringLiteral("the statement takes no values"));
        return 1;
    }
    if (oid.isEmpty())
        oid = QString::fromStdString(vkdb::DbInsertedOid(st.handle()));
    if (vkdb::DbColumnCount(st.handle()) > 0) {
        QStringList row;
        int rc;
        while ((rc = st.fetch(row)) < 2)
            printLine(row.join(QLatin1Char('\t')));
        if (rc != vkdb::DbNoMoreRows) {
            printError(engineError());
            return 1;
        }
    } else if (!oid.isEmpty()) {
        printLine(oid);
    }
    return 0;
}

// Opens the data source and loads the folder tree with its media, as the workspace does.
bool openTree(const Options &options, CliUi &ui, Connection &c, DisplayOptions &display, TDbFolderList &roots)
{
    if (!openSource(options, ui, c))
        return false;
    LoadOptions(c, display);
    return roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight, display.DefaultPanelBorderWidth);
}

// For a command that acts on a few folders and items: opens the data source and reads only
// the folders named and those holding the items named, not the whole library. An item no
// folder holds (or no item at all) takes the whole load after all, which gives such a row its
// folder (the lost-media folder) and the command its own "there is no ..." answer.
bool openPart(const Options &options, CliUi &ui, Connection &c, DisplayOptions &display, TDbFolderList &roots,
              const QStringList &folderOids, const QStringList &mediaOids)
{
    if (!openSource(options, ui, c))
        return false;
    LoadOptions(c, display);
    roots.DefaultWidth = display.DefaultPanelWidth;
    roots.DefaultHeight = display.DefaultPanelHeight;
    roots.DefaultBorder = display.DefaultPanelBorderWidth;
    for (const QString &oid : folderOids)
        roots.LoadOneFolder(oid);
    for (const QString &oid : mediaOids)
        if (!roots.LoadFolderOfMedia(oid))
            return roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight,
                              display.DefaultPanelBorderWidth);
    return true;
}

// The folder commands work on the tree as the workspace loads it.
int cmdFolder(const Options &options, QStringList args, CliUi &ui)
{
    if (args.isEmpty())
        return usage();
    const QString sub = args.takeFirst();
    // Options of the command, wherever they stand.
    QString parentOid;
    bool toRoot = false;
    int at = -1;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--parent") && i + 1 < args.size()) {
            parentOid = args[++i];
        } else if (args[i] == QLatin1String("--root")) {
            toRoot = true;
        } else if (args[i] == QLatin1String("--at") && i + 1 < args.size()) {
            bool ok = false;
            at = args[++i].toInt(&ok);
            if (!ok || at < 0)
                return usage();
        } else {
            positional.append(args[i]);
        }
    }
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openTree(options, ui, c, display, roots))
        return 1;
    auto find = [&roots](const QString &oid) {
        TDbFolder *f = roots.FindFolderByOid(oid);
        if (!f)
            printError(QStringLiteral("there is no folder %1").arg(oid));
        return f;
    };
    TDbFolder *parent = nullptr;
    if (!parentOid.isEmpty() && !(parent = find(parentOid)))
        return 1;

    if (sub == QLatin1String("add") && positional.size() == 1 && !toRoot) {
        Transaction tx(c);
        TDbFolder *folder = nullptr;
        if (parent) {
            TDbMedia *tile = roots.AddSubFolder(parent, positional[0], display.DefaultPanelWidth,
                                                display.DefaultPanelHeight, display.DefaultPanelBorderWidth);
            folder = tile ? tile->SubFolder : nullptr;
            if (folder && at >= 0 && !roots.MoveFolderInto(folder, parent, at))
                return 1;
        } else {
            folder = roots.AddRootFolder(positional[0], display.DefaultPanelWidth,
                                         display.DefaultPanelBorderWidth, display.DefaultPanelHeight);
            if (folder && at >= 0 && !roots.MoveFolderToRoot(folder, at))
                return 1;
        }
        if (!folder || !tx.commit())
            return 1;
        printLine(folder->Rec.OID);
        return 0;
    }
    if (sub == QLatin1String("ls") && positional.isEmpty() && !toRoot && !parent) {
        std::function<void(TDbFolder *, int)> list = [&](TDbFolder *f, int depth) {
            printLine(QStringList{f->Rec.OID, f->Rec.FolderId, f->Rec.ParFolderId, QString::number(depth),
                                  floatToText(f->Rec.Index), f->Rec.Title}
                          .join(QLatin1Char('\t')));
            for (TDbMedia *item : f->MediaList->Items)
                if (item->SubFolder)
                    list(item->SubFolder, depth + 1);
        };
        for (TDbFolder *f : roots.Folders)
            list(f, 0);
        return 0;
    }
    if (sub == QLatin1String("rename") && positional.size() == 2) {
        TDbFolder *f = find(positional[0]);
        return f && WriteTitle(c, f->Rec.OID, positional[1], RecordKind::Folder) ? 0 : 1;
    }
    if ((sub == QLatin1String("mv") || sub == QLatin1String("cp")) && positional.size() == 1 &&
        (toRoot != (parent != nullptr))) {
        TDbFolder *f = find(positional[0]);
        if (!f)
            return 1;
        const int position = at >= 0 ? at : int(parent ? parent->MediaList->count() : roots.Folders.size());
        if (sub == QLatin1String("mv"))
            return (toRoot ? roots.MoveFolderToRoot(f, position) : roots.MoveFolderInto(f, parent, position))
                       ? 0
                       : 1;
        TDbFolder *copy =
            toRoot ? roots.CopyFolderToRoot(f, position) : roots.CopyFolderInto(f, parent, position);
        if (!copy) {
            if (!toRoot && f->IsSelfOrDescendant(parent))
                printError(QStringLiteral("Cannot Move/Copy Folder to its SubFolder."));
            return 1;
        }
        printLine(copy->Rec.OID);
        return 0;
    }
    if (sub == QLatin1String("rm") && positional.size() == 1 && !toRoot && !parent) {
        TDbFolder *f = find(positional[0]);
        if (!f)
            return 1;
        if (f->isRoot())
            return roots.RemoveRootFolder(f) ? 0 : 1;
        return roots.RemoveMedia(f->Tile) >= 0 ? 0 : 1;
    }
    return usage();
}

// The media commands: items of folders as the workspace loads them.
int cmdMedia(const QString &command, const Options &options, const QStringList &args, CliUi &ui)
{
    QString toOid;
    int at = -1;
    QStringList oids;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--to") && i + 1 < args.size()) {
            toOid = args[++i];
        } else if (args[i] == QLatin1String("--at") && i + 1 < args.size()) {
            bool ok = false;
            at = args[++i].toInt(&ok);
            if (!ok || at < 0)
                return usage();
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return usage();
        } else {
            oids.append(args[i]);
        }
    }
    const bool moving = command == QLatin1String("mv") || command == QLatin1String("cp");
    if (oids.isEmpty() || moving != !toOid.isEmpty() || (command == QLatin1String("ls") && oids.size() != 1))
        return usage();
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    const bool listing = command == QLatin1String("ls");
    if (!openPart(options, ui, c, display, roots, listing ? oids : QStringList{toOid},
                  listing ? QStringList() : oids))
        return 1;

    if (listing) {
        TDbFolder *folder = roots.FindFolderByOid(oids[0]);
        if (!folder) {
            printError(QStringLiteral("there is no folder %1").arg(oids[0]));
            return 1;
        }
        for (TDbMedia *m : folder->MediaList->Items) {
            if (m->SubFolder)
                continue;
            const bool lost = m->Rec.MediaFile.isEmpty() || !QFileInfo(m->Rec.MediaFile).isFile();
            const QString state = lost          ? QStringLiteral("lost")
                                  : m->External ? QStringLiteral("external")
                                                : QStringLiteral("internal");
            printLine(QStringList{m->Rec.OID, QString::number(m->Rec.MediaType), floatToText(m->Rec.Index),
                                  m->Rec.Title, m->Rec.MediaFile, state}
                          .join(QLatin1Char('\t')));
        }
        return 0;
    }
    QList<TDbMedia *> items;
    QSet<TDbMedia *> named;
    for (const QString &oid : oids) {
        TDbMedia *m = roots.FindMediaByOid(oid);
        if (!m) {
            printError(QStringLiteral("there is no media item %1").arg(oid));
            return 1;
        }
        // An item named twice is taken once.
        if (!named.contains(m)) {
            named.insert(m);
            items.append(m);
        }
    }
    if (command == QLatin1String("rm")) {
        Transaction tx(c);
        for (TDbMedia *m : items)
            if (roots.RemoveMedia(m) < 0)
                return 1;
        return tx.commit() ? 0 : 1;
    }
    TDbFolder *target = roots.FindFolderByOid(toOid);
    if (!target) {
        printError(QStringLiteral("there is no folder %1").arg(toOid));
        return 1;
    }
    const int position = at >= 0 ? at : target->MediaList->count();
    if (command == QLatin1String("mv"))
        return roots.MoveItems(items, target, position) ? 0 : 1;
    const QList<TDbMedia *> copies = roots.CopyItems(items, target, position);
    for (TDbMedia *copy : copies)
        printLine(copy->Rec.OID);
    return copies.size() == items.size() ? 0 : 1;
}

// Exit status of an import: every file imported, some skipped, or stopped.
enum ImportStatus
{
    ImportAll = 0,
    ImportFailed = 1,
    ImportSomeSkipped = 2
};

int cmdImport(const Options &options, const QStringList &args, CliUi &ui)
{
    int mode = -1;
    bool recursive = false;
    QStringList positional;
    bool optionsEnd = false;
    for (const QString &arg : args) {
        if (optionsEnd) {
            positional.append(arg);
        } else if (arg == QLatin1String("--")) {
            optionsEnd = true; // what follows are paths, whatever they look like
        } else if (arg == QLatin1String("--internal") || arg == QLatin1String("--external")) {
            const int chosen = arg == QLatin1String("--internal") ? ImportDatabaseFile : ImportExternalFile;
            if (mode != -1 && mode != chosen)
                return usage();
            mode = chosen;
        } else if (arg == QLatin1String("--recursive")) {
            recursive = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usage();
        } else {
            positional.append(arg);
        }
    }
    if (positional.size() < 2)
        return usage();
    if (mode == -1) {
        QSettings settings;
        WorkspaceSettings values;
        ReadSettings(settings, SettingsGroup::MediaManage, values);
        mode = values.defaultImportType;
    }
    const QString folderOid = positional.takeFirst();
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(options, ui, c, display, roots, {folderOid}, {}))
        return ImportFailed;
    TDbFolder *folder = roots.FindFolderByOid(folderOid);
    if (!folder) {
        printError(QStringLiteral("there is no folder %1").arg(folderOid));
        return ImportFailed;
    }
    // Scratch files (thumbnails on their way in, the image library's temporary files) go
    // into a work directory of this run's own, never into the shared temporary directory.
    const QString privateTemp = privateTempDirectory();
    const WorkDirectory work(privateTemp.isEmpty() ? QDir::tempPath() : privateTemp);
    if (work.path().isEmpty()) {
        printError(work.error());
        return ImportFailed;
    }
    c.setTempFilePrefix(work.path());
    // Set before any worker thread starts.
    qputenv("MAGICK_TEMPORARY_PATH", QFile::encodeName(work.path()));
    qputenv("TMPDIR", QFile::encodeName(work.path()));
    initVideoFrames();
    roots.thumbnailer = mediaThumbnail;
    MediaImport importer(roots);
    importer.recursive = recursive;
    importer.tileWidth = display.DefaultPanelWidth;
    importer.tileHeight = display.DefaultPanelHeight;
    importer.tileBorder = display.DefaultPanelBorderWidth;
    importer.imported = [](TDbMedia *m) {
        printLine(m->Rec.OID);
        flushResults();
    };
    importer.skipped = [&ui](const ImportSkip &skip) {
        ui.interruptProgress();
        printError(QStringLiteral("skipped %1: %2").arg(skip.path, skip.reason));
    };
    const bool good = importer.Run(folder, positional, mode);
    if (importer.cancelled())
        printError(QStringLiteral("import cancelled after %1 files").arg(importer.importedCount()));
    if (!good || importer.cancelled())
        return ImportFailed;
    return importer.skippedCount() > 0 ? ImportSomeSkipped : ImportAll;
}

// The commands that take MEDIA_OID PATH: the item's folder loaded and the item found, or said
// why not.
struct OneItem
{
    Connection c;
    DisplayOptions display;
    TDbFolderList roots{c};
    TDbMedia *item = nullptr;
};

bool openOneItem(const Options &options, const QStringList &args, CliUi &ui, OneItem &one)
{
    if (!openPart(options, ui, one.c, one.display, one.roots, {}, {args[0]}))
        return false;
    one.item = one.roots.FindMediaByOid(args[0]);
    if (!one.item)
        printError(QStringLiteral("there is no media item %1").arg(args[0]));
    return one.item != nullptr;
}

bool itemAndPath(const QStringList &args)
{
    return args.size() == 2 && !args[0].startsWith(QLatin1String("--")) &&
           !args[1].startsWith(QLatin1String("--"));
}

// vkctl export MEDIA_OID PATH [--format EXT]: PATH "-" is standard output; --format names
// the picture type to write (otherwise PATH's extension does, and "-" gets the file as it is).
// A pipe or a device given as PATH is written into, never replaced.
int cmdExport(const Options &options, QStringList args, CliUi &ui)
{
    QString format;
    const int at = int(args.indexOf(QStringLiteral("--format")));
    if (at >= 0) {
        if (at + 1 >= args.size())
            return usage();
        format = args[at + 1];
        args.remove(at, 2);
        if (format.startsWith(QLatin1Char('.')))
            format.remove(0, 1);
    }
    const bool toOutput = args.size() == 2 && args[1] == QLatin1String("-");
    if (!toOutput && !itemAndPath(args))
        return usage();
    if (args.size() != 2 || args[0].startsWith(QLatin1String("--")))
        return usage();
    int type = -1;
    if (!format.isEmpty()) {
        type = TypeOfExportName({QString()}, 1, QStringLiteral("x.") + format).code;
        if (type < 0) {
            printError(QStringLiteral("unknown format '%1'").arg(format));
            return 2;
        }
    }
    OneItem one;
    if (!openOneItem(options, args, ui, one))
        return 1;
    // A conversion's scratch file goes into a work directory of this run's own.
    const QString privateTemp = privateTempDirectory();
    const WorkDirectory work(privateTemp.isEmpty() ? QDir::tempPath() : privateTemp);
    if (!work.path().isEmpty()) {
        one.c.setTempFilePrefix(work.path());
        qputenv("MAGICK_TEMPORARY_PATH", QFile::encodeName(work.path()));
    }
    QString error;
    bool good;
    if (toOutput) {
        // Through the program's own copy of standard output, which no library turns aside.
        flushResults();
        good = ExportMediaToDescriptor(*one.item, ::fileno(resultStream()), type, convertMediaPicture, &error,
                                       one.c.tempFilePrefix());
    } else {
        const ExportTarget target = TypeOfExportName({QString()}, 1, args[1]);
        good = ExportMediaFile(*one.item, target.name, format.isEmpty() ? target.code : type,
                               convertMediaPicture, &error, one.c.tempFilePrefix());
    }
    if (!good) {
        printError(error);
        return 1;
    }
    return 0;
}

int cmdThumb(const Options &options, const QStringList &args, CliUi &ui)
{
    if (!itemAndPath(args))
        return usage();
    OneItem one;
    if (!openOneItem(options, args, ui, one))
        return 1;
    const TDbMedia *m = one.item;
    if (m->Rec.NailFile.isEmpty() || !QFileInfo(m->Rec.NailFile).isFile()) {
        printError(QStringLiteral("media item %1 has no thumbnail").arg(m->Rec.OID));
        return 1;
    }
    const int type = TypeOfExportName({QString()}, 1, args[1]).code;
    QImage thumb;
    QString error;
    if (!loadImage(m->Rec.NailFile, thumb, &error) || !saveMediaPicture(thumb, args[1], type, &error)) {
        printError(error);
        return 1;
    }
    return 0;
}

int cmdKeyword(const Options &options, QStringList args, CliUi &ui)
{
    if (args.isEmpty())
        return usage();
    const QString sub = args.takeFirst();
    QString icon;
    const int iconAt = int(args.indexOf(QStringLiteral("--icon")));
    if (iconAt >= 0) {
        if (iconAt + 1 >= args.size())
            return usage();
        icon = args.takeAt(iconAt + 1);
        args.removeAt(iconAt);
    }
    const bool known = (sub == QLatin1String("add") && args.size() == 1) ||
                       (sub == QLatin1String("ls") && args.isEmpty()) ||
                       (sub == QLatin1String("rm") && args.size() == 1) ||
                       ((sub == QLatin1String("tag") || sub == QLatin1String("untag")) && args.size() == 2) ||
                       (sub == QLatin1String("recount") && args.isEmpty());
    if (!known || (!icon.isEmpty() && sub != QLatin1String("add")))
        return usage();
    if (!icon.isEmpty() && !QFileInfo(icon).isFile()) {
        printError(QStringLiteral("there is no icon file %1").arg(icon));
        return 1;
    }
    Connection c;
    if (!openSource(options, ui, c))
        return 1;
    TDbKeyWordList keywords;
    if (!keywords.Load(c))
        return 1;
    if (sub == QLatin1String("add")) {
        TsKeyWord record;
        record.Name = args[0];
        record.IconFile = icon;
        const int at = AddKeyword(c, keywords, record);
        if (at < 0)
            return 1;
        printLine(keywords.Items[at]->Rec.OID);
        return 0;
    }
    if (sub == QLatin1String("ls")) {
        for (TDbKeyWord *k : keywords.Items)
            printLine(QStringList{k->Rec.OID, k->Rec.Name, QString::number(k->Rec.Reference)}.join(
                QLatin1Char('\t')));
        return 0;
    }
    if (sub == QLatin1String("recount"))
        return RecountKeywords(c) ? 0 : 1;
    TDbKeyWord *keyword = FindKeyword(keywords, args.value(sub == QLatin1String("rm") ? 0 : 1));
    if (!keyword) {
        printError(QStringLiteral("there is no keyword %1").arg(args.last()));
        return 1;
    }
    if (sub == QLatin1String("rm"))
        return RemoveKeyword(c, keywords, keyword) ? 0 : 1;
    DisplayOptions display;
    TDbFolderList roots(c);
    LoadOptions(c, display);
    // The item's folder is enough; an item no folder holds takes the whole load.
    if (!roots.LoadFolderOfMedia(args[0]) &&
        !roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight, display.DefaultPanelBorderWidth))
        return 1;
    TDbMedia *item = roots.FindMediaByOid(args[0]);
    if (!item) {
        printError(QStringLiteral("there is no media item %1").arg(args[0]));
        return 1;
    }
    // Tagging what is already tagged (or untagging what is not) changes nothing and is no error.
    const bool down = sub == QLatin1String("tag");
    if (HasKeyword(item->Rec.KeyWords, keyword->Rec.OID) == down)
        return 0;
    return ToggleKeyword(c, keyword, item, down) ? 0 : 1;
}

void printSalvage(const vkdb::SalvageReport &report)
{
    for (const vkdb::SalvagedTable &t : report.tables) {
        if (t.name.rfind("_vk_", 0) == 0 || t.name.rfind("sqlite_", 0) == 0)
            continue;
        QString line =
            QStringLiteral("salvaged: %1 %2 rows kept").arg(QString::fromStdString(t.name)).arg(t.rowsKept);
        if (t.pagesLost)
            line += QStringLiteral(", %1 damaged pages lost").arg(t.pagesLost);
        printLine(line);
    }
    for (const std::string &note : report.notes)
        printLine(QStringLiteral("salvaged: ") + QString::fromStdString(note));
    if (!report.damagedCopy.empty())
        printLine(QStringLiteral("salvaged: the damaged database is kept at ") +
                  QString::fromStdString(report.damagedCopy));
}

// Salvages the closed data source; false (with the reason on stderr) when it cannot be done.
bool salvage(const QString &dataSource)
{
    vkdb::DbEnvironment env{configFilePath().toStdString()};
    vkdb::SalvageReport report;
    if (vkdb::DbSalvage(dataSource.toStdString(), &env, report) != vkdb::DbOk) {
        printError(engineError());
        return false;
    }
    printSalvage(report);
    return true;
}

// SQLite's own check of every page; false when it found damage.
bool integrityIntact(Connection &c)
{
    bool intact = true;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(vkdb::DbNativeHandle(c.handle()), "pragma integrity_check", -1, &st, nullptr) !=
        SQLITE_OK) {
        printLine(QStringLiteral("integrity: cannot be checked: ") +
                  QString::fromUtf8(sqlite3_errmsg(vkdb::DbNativeHandle(c.handle()))));
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const QString line = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        intact = intact && line == QLatin1String("ok");
        printLine(QStringLiteral("integrity: ") + line);
    }
    if (rc != SQLITE_DONE) {
        printLine(QStringLiteral("integrity: ") +
                  QString::fromUtf8(sqlite3_errmsg(vkdb::DbNativeHandle(c.handle()))));
        intact = false;
    }
    sqlite3_finalize(st);
    return intact;
}

// vkctl check [--repair]: brings the schema up to date and reports, one line each, damage
// SQLite finds, rows whose internal copy is missing, external files that are lost, and orphan
// copies in the file-object directory. --repair removes the orphans and salvages a damaged
// database; it never touches a user's own file.
int cmdCheck(const Options &options, const QStringList &args, CliUi &ui)
{
    bool repair = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--repair"))
            repair = true;
        else
            return usage();
    }
    QSettings settings;
    DatabaseSettings db = readDatabaseSettings(settings);
    if (!options.source.isEmpty())
        db.dataSource = options.source;
    Connection c;
    c.setUi(&ui);
    bool salvaged = false;
    if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
        if (vkdb::DbLastError() != vkdb::ErrRecoveryNeeded) {
            printError(engineError());
            return 1;
        }
        printLine(QStringLiteral("integrity: ") + engineError());
        if (!repair)
            return 1;
        if (!salvage(db.dataSource))
            return 1;
        salvaged = true;
        if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
            printError(engineError());
            return 1;
        }
    }

    IntegrationState integration;
    QStringList changes;
    const bool integrated = IntegrationCheck(c, integration, {}, &changes);
    for (const QString &change : changes)
        printLine(QStringLiteral("integration: ") + change);
    for (const QString &lost : integration.lostFiles)
        printLine(QStringLiteral("lost: ") + lost);
    changes.clear();
    StartupSchemaCheck(c, &changes);
    for (const QString &change : changes)
        printLine(QStringLiteral("schema: ") + change);
    DisplayOptions displayOptions;
    if (LoadOrCreateOptions(c, displayOptions))
        printLine(QStringLiteral("options: created table OptionTable"));

    bool intact = integrityIntact(c);
    if (!intact && repair && !salvaged) {
        c.disconnect();
        if (!salvage(db.dataSource))
            return 1;
        if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
            printError(engineError());
            return 1;
        }
        intact = integrityIntact(c);
    }

    bool filesGood = true;
    vkdb::DbFileCheck files;
    if (vkdb::DbCheckFileObjects(c.handle(), files) != vkdb::DbOk) {
        printLine(QStringLiteral("files: cannot be checked: ") + engineError());
        filesGood = false;
    }
    auto row = [](const vkdb::DbFileProblem &p) {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(QString::fromStdString(p.table), QString::fromStdString(p.oid),
                 QString::fromStdString(p.column), QString::fromStdString(p.path));
    };
    for (const vkdb::DbFileProblem &p : files.missing)
        printLine(QStringLiteral("missing: ") + row(p));
    for (const vkdb::DbFileProblem &p : files.lost)
        printLine(QStringLiteral("lost: ") + row(p));
    filesGood = filesGood && files.missing.empty() && files.lost.empty();
    if (repair && !files.orphans.empty()) {
        std::vector<std::string> removed;
        if (vkdb::DbRemoveOrphans(c.handle(), removed) != vkdb::DbOk) {
            printError(engineError());
            filesGood = false;
        }
        for (const std::string &path : removed)
            printLine(QStringLiteral("removed: ") + QString::fromStdString(path));
        filesGood = filesGood && removed.size() == files.orphans.size();
    } else {
        for (const std::string &path : files.orphans)
            printLine(QStringLiteral("orphan: ") + QString::fromStdString(path));
        filesGood = filesGood && files.orphans.empty();
    }
    return intact && integrated && filesGood ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    resultStream();
    std::atexit([] { flushResults(); });
    QuietLibraries();
    // Qt's last words before it gives up still reach the person.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg || !qEnvironmentVariableIsEmpty("VKCTL_DEBUG"))
            std::fprintf(vk::messageStream(), "vkctl: %s\n", text.toUtf8().constData());
    });
    vk::initImageLibrary(argv[0]);
    // Import takes pictures from videos, which needs the graphical side of Qt (without a
    // screen); every other command does with the core.
    bool importing = false;
    for (int i = 1; i < argc && !importing; ++i)
        importing = std::strcmp(argv[i], "import") == 0;
    if (importing)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = importing ? std::make_unique<QGuiApplication>(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    vk::setApplicationIdentity();
    QStringList args = QCoreApplication::arguments().mid(1);
    Options options;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--source") && !args.isEmpty())
            options.source = args.takeFirst();
        else if (opt == QLatin1String("--no-check"))
            options.check = false;
        else
            return usage();
    }
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    vk::CliUi ui;
    if (command == QLatin1String("sources"))
        return args.isEmpty() ? cmdSources() : usage();
    if (command == QLatin1String("init"))
        return cmdInit(args, ui);
    if (command == QLatin1String("sql"))
        return cmdSql(options, args, ui);
    if (command == QLatin1String("folder"))
        return cmdFolder(options, args, ui);
    if (command == QLatin1String("ls") || command == QLatin1String("rm") || command == QLatin1String("mv") ||
        command == QLatin1String("cp"))
        return cmdMedia(command, options, args, ui);
    if (command == QLatin1String("keyword"))
        return cmdKeyword(options, args, ui);
    if (command == QLatin1String("import"))
        return cmdImport(options, args, ui);
    if (command == QLatin1String("export"))
        return cmdExport(options, args, ui);
    if (command == QLatin1String("thumb"))
        return cmdThumb(options, args, ui);
    if (command == QLatin1String("check"))
        return cmdCheck(options, args, ui);
    if (command == QLatin1String("search"))
        return cmdSearch(args, {[&](Connection &c) { return openSource(options, ui, c); }, printLine, printError,
                                QString()});
    if (command == QLatin1String("book")) {
        const QString privateTemp = privateTempDirectory();
        return cmdBook(args, {[&](Connection &c) { return openSource(options, ui, c); }, printLine,
                              printError, privateTemp.isEmpty() ? QDir::tempPath() : privateTemp});
    }
    return usage();
}
