// vkctl import, export and thumb: files into the library and out of it.
#include "Commands.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "CliUi.h"
#include "Connection.h"
#include "DbFolder.h"
#include "ImageCodec.h"
#include "MediaFiles.h"
#include "MediaImport.h"
#include "MediaTypes.h"
#include "OptionStore.h"
#include "PictureFiles.h"
#include "Settings.h"
#include "VideoFrames.h"
#include "WorkDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSettings>

namespace vk {

namespace {

int runImport(Call &call)
{
    const bool internal = call.isSet(QStringLiteral("internal"));
    const bool external = call.isSet(QStringLiteral("external"));
    if (internal && external)
        return call.usageError(QStringLiteral("import takes one of --internal and --external"));
    int mode;
    WorkspaceSettings values;
    {
        QSettings settings;
        if (internal || external) {
            mode = internal ? ImportDatabaseFile : ImportExternalFile;
            values.embeddedPreviews = EmbeddedPreviewsSetting(settings);
        } else {
            ReadSettings(settings, SettingsGroup::MediaManage, values);
            mode = values.defaultImportType;
        }
    }
    // Thumbnails from the pictures' embedded previews, as the workspace is set, unless refused here.
    const bool previews = values.embeddedPreviews && !call.isSet(QStringLiteral("no-previews"));
    const bool json = call.json();
    QStringList paths = call.args;
    const QString folderName = paths.takeFirst();
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, {}))
        return ExitFailed;
    TDbFolder *folder = loadNamedFolder(c, roots, folderName);
    if (!folder)
        return ExitFailed;
    // Scratch files (thumbnails on their way in, the image library's temporary files) go
    // into a work directory of this run's own, never into the shared temporary directory.
    const WorkDirectory work(workDirectoryBase());
    if (work.path().isEmpty()) {
        printError(work.error());
        return ExitFailed;
    }
    c.setTempFilePrefix(work.path());
    // Set before any worker thread starts.
    qputenv("MAGICK_TEMPORARY_PATH", QFile::encodeName(work.path()));
    qputenv("TMPDIR", QFile::encodeName(work.path()));
    roots.thumbnailer = mediaThumbnailer(previews);
    MediaImport importer(roots);
    importer.recursive = call.isSet(QStringLiteral("recursive"));
    importer.undecodablePaths = undecodableArguments();
    importer.tileWidth = display.DefaultPanelWidth;
    importer.tileHeight = display.DefaultPanelHeight;
    importer.tileBorder = display.DefaultPanelBorderWidth;
    // The media framework takes a good part of a second to start: only a video needs it (for
    // its first frame), so it starts when the first one comes, on this thread, before a worker
    // asks it for the frame.
    bool videoReady = false;
    importer.aboutToRead = [&videoReady](const QString &path) {
        if (!videoReady && MediaTypeOfExtension(path) == TypeAvi) {
            initVideoFrames();
            videoReady = true;
        }
    };
    QJsonArray imported, skipped;
    importer.imported = [json, &imported](TDbMedia *m) {
        if (json) {
            imported.append(
                QJsonObject{{QStringLiteral("oid"), m->Rec.OID},
                            {QStringLiteral("title"), m->Rec.Title},
                            {QStringLiteral("type"), m->Rec.MediaType},
                            {QStringLiteral("file"), m->Rec.MediaFile},
                            {QStringLiteral("folder"), m->Owner ? m->Owner->Rec.OID : QString()}});
            return;
        }
        printLine(m->Rec.OID);
        flushResults();
    };
    importer.skipped = [json, &skipped, &call](const ImportSkip &skip) {
        if (json) {
            skipped.append(
                QJsonObject{{QStringLiteral("path"), skip.path}, {QStringLiteral("reason"), skip.reason}});
            return;
        }
        call.ui.interruptProgress();
        printError(QStringLiteral("skipped %1: %2").arg(skip.path, skip.reason));
    };
    const bool good = importer.Run(folder, paths, mode);
    if (importer.cancelled())
        printError(QStringLiteral("import cancelled after %1 files").arg(importer.importedCount()));
    const int status = !good || importer.cancelled() ? ExitFailed
                       : importer.skippedCount() > 0 ? ExitUsage
                                                     : ExitDone;
    if (json)
        printJson(QJsonObject{{QStringLiteral("imported"), imported},
                              {QStringLiteral("skipped"), skipped},
                              {QStringLiteral("cancelled"), importer.cancelled()},
                              {QStringLiteral("stopped"), !good}});
    return status;
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

bool openOneItem(const Call &call, OneItem &one)
{
    const QString oid = call.args[0];
    if (!openPart(call, one.c, one.display, one.roots, {}, {oid}))
        return false;
    one.item = one.roots.FindMediaByOid(oid);
    if (!one.item)
        printError(QStringLiteral("there is no media item %1").arg(oid));
    return one.item != nullptr;
}

int runExport(Call &call)
{
    QString format = call.value(QStringLiteral("format"));
    if (format.startsWith(QLatin1Char('.')))
        format.remove(0, 1);
    const bool toOutput = call.args[1] == QLatin1String("-");
    int type = -1;
    if (!format.isEmpty()) {
        type = TypeOfExportName({QString()}, 1, QStringLiteral("x.") + format).code;
        if (type < 0)
            return call.usageError(QStringLiteral("unknown format '%1'").arg(format));
    }
    OneItem one;
    if (!openOneItem(call, one))
        return ExitFailed;
    if (!toOutput && !writableTarget(one.c, call.args[1]))
        return ExitFailed;
    // A conversion's scratch file goes into a work directory of this run's own.
    const WorkDirectory work(workDirectoryBase());
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
        const ExportTarget target = TypeOfExportName({QString()}, 1, call.args[1]);
        good = ExportMediaFile(*one.item, target.name, format.isEmpty() ? target.code : type,
                               convertMediaPicture, &error, one.c.tempFilePrefix());
    }
    if (!good) {
        printError(error);
        return ExitFailed;
    }
    return ExitDone;
}

int runThumb(Call &call)
{
    OneItem one;
    if (!openOneItem(call, one) || !writableTarget(one.c, call.args[1]))
        return ExitFailed;
    const TDbMedia *m = one.item;
    if (m->Rec.NailFile.isEmpty() || !QFileInfo(m->Rec.NailFile).isFile()) {
        printError(QStringLiteral("media item %1 has no thumbnail").arg(m->Rec.OID));
        return ExitFailed;
    }
    const int type = TypeOfExportName({QString()}, 1, call.args[1]).code;
    QImage thumb;
    QString error;
    if (!loadImage(m->Rec.NailFile, thumb, &error) || !saveMediaPicture(thumb, call.args[1], type, &error)) {
        printError(error);
        return ExitFailed;
    }
    return ExitDone;
}

} // namespace

QList<Command> transferCommands()
{
    Command importCommand;
    importCommand.name = QStringLiteral("import");
    importCommand.synopsis =
        QStringLiteral("FOLDER PATH... [--internal | --external] [--recursive] [--no-previews] [--json]");
    importCommand.summary = QStringLiteral("import files into a folder; prints the new OIDs");
    importCommand.description = QStringLiteral(
        "Imports the files into FOLDER (an OID or a title path), stored in the database (--internal) "
        "or linked where they lie (--external; the default is the workspace's setting), and prints the "
        "OID of each, one a line, in the order imported. Each file or directory left out gets one line "
        "on stderr with its reason (\"skipped PATH: REASON\").\n\n"
        "With --recursive, directories become subfolders, read as the import reaches them; names "
        "beginning with \".\" are passed over, a symbolic link is followed only within the directory "
        "given, and a directory reached twice is imported once. Paths after \"--\" are taken as "
        "paths whatever they look like.\n\n"
        "A camera picture's thumbnail is made from the preview the file carries (its EXIF thumbnail or "
        "a larger one) when that preview is large enough and of the picture's shape; --no-previews "
        "makes every thumbnail from the picture itself, as the workspace's preference can too.\n\n"
        "With --json, one document at the end: {\"imported\": [{\"oid\", \"title\", \"type\", \"file\", "
        "\"folder\"}], \"skipped\": [{\"path\", \"reason\"}], \"cancelled\", \"stopped\"}.\n\n"
        "Exit 0 when every file was imported, 2 when some were skipped, 1 on failure or Ctrl-C or "
        "SIGTERM (what was imported before it stays).");
    importCommand.options = {
        QCommandLineOption(QStringLiteral("internal"),
                           QStringLiteral("store copies of the files in the database")),
        QCommandLineOption(QStringLiteral("external"), QStringLiteral("link the files where they lie")),
        QCommandLineOption(QStringLiteral("recursive"),
                           QStringLiteral("import directories as subfolders, with what they hold")),
        QCommandLineOption(
            QStringLiteral("no-previews"),
            QStringLiteral("make every thumbnail from the picture, not from its embedded preview")),
        jsonOption(),
    };
    importCommand.examples = {
        QStringLiteral("vkctl import \"Holiday 2026/Day 1\" ~/Pictures/*.jpg --internal"),
        QStringLiteral("vkctl import Archive ~/Scans --recursive --json")};
    importCommand.minArgs = 2;
    importCommand.maxArgs = -1;
    importCommand.fileArguments = true;
    importCommand.graphical = true;
    importCommand.run = runImport;

    Command exportCommand;
    exportCommand.name = QStringLiteral("export");
    exportCommand.synopsis = QStringLiteral("MEDIA_OID PATH [--format EXT]");
    exportCommand.summary = QStringLiteral("write a media item's file, converted when asked");
    exportCommand.description = QStringLiteral(
        "Writes the item's file to PATH, converted when PATH's extension (or --format EXT) names another "
        "picture format. PATH \"-\" writes to standard output (as it is, unless --format says otherwise); "
        "a pipe or a device given as PATH is written into, never replaced.");
    exportCommand.options = {QCommandLineOption(
        QStringLiteral("format"), QStringLiteral("the picture format to write (bmp, jpg, png, ...)"),
        QStringLiteral("EXT"))};
    exportCommand.examples = {QStringLiteral("vkctl export 000000000000001234 beach.png"),
                              QStringLiteral("vkctl export 000000000000001234 - --format bmp > beach.bmp")};
    exportCommand.minArgs = exportCommand.maxArgs = 2;
    exportCommand.fileArguments = true;
    exportCommand.readOnly = true;
    exportCommand.run = runExport;

    Command thumb;
    thumb.name = QStringLiteral("thumb");
    thumb.synopsis = QStringLiteral("MEDIA_OID PATH");
    thumb.summary = QStringLiteral("write a media item's stored thumbnail as a picture");
    thumb.description = QStringLiteral("Writes the item's stored thumbnail to PATH, in the format PATH's "
                                       "extension names.");
    thumb.examples = {QStringLiteral("vkctl thumb 000000000000001234 beach-small.png")};
    thumb.minArgs = thumb.maxArgs = 2;
    thumb.fileArguments = true;
    thumb.readOnly = true;
    thumb.run = runThumb;

    return {importCommand, exportCommand, thumb};
}

} // namespace vk
