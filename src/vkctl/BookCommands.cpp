#include "BookCommands.h"

#include "AT_DbClearbook.h"
#include "ClearBookJson.h"
#include "CliOutput.h"
#include "CliSource.h"
#include "Connection.h"
#include "PlayTrace.h"
#include "Schema.h"
#include "WorkDirectory.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <memory>

namespace vk {

namespace {

// A ClearBook by OID, or by a title that only one ClearBook has.
TDbClearBook *findBook(TDbClearBookList &books, const QString &name)
{
    if (TDbClearBook *cb = books.FindClearBookByOid(name))
        return cb;
    QList<TDbClearBook *> found;
    for (TDbClearBook *cb : std::as_const(books.ClearBooks))
        if (cb->Rec.CB_Title == name)
            found.append(cb);
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty()) {
        printError(QStringLiteral("there is no ClearBook %1").arg(name));
    } else {
        QStringList oids;
        for (TDbClearBook *cb : std::as_const(found))
            oids.append(cb->Rec.OID);
        printError(QStringLiteral("%1 ClearBooks are titled \"%2\"; name one by its OID: %3")
                       .arg(found.size())
                       .arg(name, oids.join(QStringLiteral(", "))));
    }
    return nullptr;
}

// Seconds given on the command line, as milliseconds; -1 when not a number above 0.
qint64 secondsOption(const QString &text)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e9)
        return -1;
    return qMax<qint64>(1, qRound64(seconds * 1000));
}

QByteArray readInput(const QString &path, QString *error)
{
    QFile f;
    const bool ok = path == QLatin1String("-") ? f.open(stdin, QIODevice::ReadOnly)
                                               : (f.setFileName(path), f.open(QIODevice::ReadOnly));
    if (!ok) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return QByteArray();
    }
    return f.readAll();
}

// The ClearBooks of the data source, loaded as the authoring window loads them.
struct Library
{
    Connection c;
    std::unique_ptr<WorkDirectory> work;
    TDbClearBookList books{c};

    bool open(const Call &call)
    {
        if (!call.open(c))
            return false;
        work = std::make_unique<WorkDirectory>(workDirectoryBase());
        if (work->path().isEmpty()) {
            printError(work->error());
            return false;
        }
        c.setTempFilePrefix(work->path());
        // The authoring tables, made or brought up to date as the authoring window does.
        QStringList changes;
        AuthoringSchemaCheck(c, &changes);
        for (const QString &change : std::as_const(changes))
            printError(change);
        return books.LoadClearBooks();
    }
};

int runLs(Call &call)
{
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    if (call.json()) {
        QJsonArray list;
        for (TDbClearBook *cb : std::as_const(lib.books.ClearBooks)) {
            QJsonArray slides;
            for (TDbSlide *s : std::as_const(cb->Slides))
                slides.append(QJsonObject{{QStringLiteral("oid"), s->Rec.OID},
                                          {QStringLiteral("slideId"), s->Rec.Slide_Id},
                                          {QStringLiteral("title"), s->Rec.Slide_Title},
                                          {QStringLiteral("author"), s->Rec.Slide_Author},
                                          {QStringLiteral("objects"), int(s->Objects.Objects.size())}});
            list.append(QJsonObject{{QStringLiteral("oid"), cb->Rec.OID},
                                    {QStringLiteral("clearBookId"), cb->Rec.CB_Id},
                                    {QStringLiteral("title"), cb->Rec.CB_Title},
                                    {QStringLiteral("author"), cb->Rec.CB_Author},
                                    {QStringLiteral("slides"), slides}});
        }
        printJson(list);
        return ExitDone;
    }
    for (TDbClearBook *cb : std::as_const(lib.books.ClearBooks)) {
        printRecord({QStringLiteral("book"), cb->Rec.OID, QString::number(cb->Rec.CB_Id), cb->Rec.CB_Title,
                     cb->Rec.CB_Author, QString::number(cb->Slides.size())});
        for (TDbSlide *s : std::as_const(cb->Slides))
            printRecord({QStringLiteral("slide"), s->Rec.OID, QString::number(s->Rec.Slide_Id),
                         s->Rec.Slide_Title, s->Rec.Slide_Author,
                         QString::number(s->Objects.Objects.size())});
    }
    return ExitDone;
}

int runShow(Call &call)
{
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = findBook(lib.books, call.args[0]);
    if (!cb)
        return ExitFailed;
    for (const QString &line : ShowClearBook(lib.books, cb))
        printLine(line);
    return ExitDone;
}

int runExportJson(Call &call)
{
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = findBook(lib.books, call.args[0]);
    if (!cb)
        return ExitFailed;
    const QByteArray bytes = QJsonDocument(ExportClearBook(lib.books, cb)).toJson(QJsonDocument::Indented);
    const QString target = call.args.value(1, QStringLiteral("-"));
    if (target == QLatin1String("-")) {
        printLine(QString::fromUtf8(bytes).trimmed());
        return ExitDone;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        printError(QStringLiteral("cannot write %1: %2").arg(target, out.errorString()));
        return ExitFailed;
    }
    return ExitDone;
}

int runImportJson(Call &call)
{
    // The document is read before anything is opened, so that a bad file changes nothing.
    const QString path = call.args[0];
    QString error;
    const QByteArray bytes = readInput(path, &error);
    if (!error.isEmpty()) {
        printError(error);
        return ExitFailed;
    }
    QJsonParseError parse;
    const QJsonDocument d = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !d.isObject()) {
        printError(QStringLiteral("%1 is not a JSON document: %2 at offset %3")
                       .arg(path, parse.errorString())
                       .arg(parse.offset));
        return ExitFailed;
    }
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = ImportClearBook(lib.books, d.object(), &error);
    if (!cb) {
        printError(error);
        return ExitFailed;
    }
    printLine(cb->Rec.OID);
    return ExitDone;
}

int runRm(Call &call)
{
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = findBook(lib.books, call.args[0]);
    return cb && lib.books.DeleteClearBook(cb) ? ExitDone : ExitFailed;
}

int runCp(Call &call)
{
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = findBook(lib.books, call.args[0]);
    if (!cb)
        return ExitFailed;
    const QString title = call.isSet(QStringLiteral("title")) ? call.value(QStringLiteral("title"))
                                                              : QStringLiteral("Copy of ") + cb->Rec.CB_Title;
    TDbClearBook *copy = lib.books.CopyClearBook(cb, title);
    if (!copy)
        return ExitFailed;
    printLine(copy->Rec.OID);
    return ExitDone;
}

int runPlay(Call &call)
{
    // Nothing but the trace plays without a screen.
    if (!call.isSet(QStringLiteral("trace")))
        return call.usageError(QStringLiteral("book play needs --trace"));
    int slideNumber = 1;
    if (call.isSet(QStringLiteral("slide"))) {
        bool ok = false;
        slideNumber = call.value(QStringLiteral("slide")).toInt(&ok);
        if (!ok || slideNumber < 1)
            return call.usageError(QStringLiteral("--slide takes a slide's place in the ClearBook, from 1"));
    }
    qint64 limit = 600000;
    qint64 resumeAfter = 1000;
    for (const QString &name : {QStringLiteral("limit"), QStringLiteral("resume-after")}) {
        if (!call.isSet(name))
            continue;
        const qint64 ms = secondsOption(call.value(name));
        if (ms < 0)
            return call.usageError(QStringLiteral("--%1 takes a number of seconds above 0").arg(name));
        (name == QLatin1String("limit") ? limit : resumeAfter) = ms;
    }
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = findBook(lib.books, call.args[0]);
    if (!cb)
        return ExitFailed;
    if (slideNumber > cb->Slides.size()) {
        printError(QStringLiteral("%1 has %2 slides; there is no slide %3")
                       .arg(cb->Rec.CB_Title)
                       .arg(cb->Slides.size())
                       .arg(slideNumber));
        return ExitFailed;
    }
    PlayTrace player(lib.books, printLine);
    player.setLimit(limit);
    player.setResumeAfter(resumeAfter);
    return player.run(cb->Slides[slideNumber - 1]) ? ExitDone : ExitFailed;
}

} // namespace

QList<Command> bookCommands()
{
    const QString naming =
        QStringLiteral("BOOK is a ClearBook's OID or its title (which only one ClearBook may "
                       "have).");

    Command ls;
    ls.name = QStringLiteral("book ls");
    ls.synopsis = QStringLiteral("[--json]");
    ls.summary = QStringLiteral("list the ClearBooks and their slides");
    ls.description = QStringLiteral(
        "Lists each ClearBook (\"book\", OID, id, title, author, number of slides), each followed by its "
        "slides (\"slide\", OID, id, title, author, number of objects), one a line.");
    ls.options = {jsonOption()};
    ls.examples = {QStringLiteral("vkctl book ls --json")};
    ls.readOnly = true;
    ls.run = runLs;

    Command show;
    show.name = QStringLiteral("book show");
    show.synopsis = QStringLiteral("BOOK");
    show.summary = QStringLiteral("a ClearBook's slides, then their objects and flags");
    show.description =
        QStringLiteral("Shows the ClearBook, its slides, then the objects and flags of each slide, "
                       "one record a line.\n\n") +
        naming;
    show.examples = {QStringLiteral("vkctl book show Tour")};
    show.minArgs = show.maxArgs = 1;
    show.readOnly = true;
    show.run = runShow;

    Command exportJson;
    exportJson.name = QStringLiteral("book export-json");
    exportJson.synopsis = QStringLiteral("BOOK [PATH|-]");
    exportJson.summary = QStringLiteral("the whole ClearBook as one JSON document");
    exportJson.description =
        QStringLiteral(
            "Writes the whole ClearBook as one JSON document to PATH (standard output when PATH is "
            "\"-\" or not given); the format is described in src/authoring/ClearBookJson.h.\n\n") +
        naming;
    exportJson.examples = {QStringLiteral("vkctl book export-json Tour tour.json")};
    exportJson.minArgs = 1;
    exportJson.maxArgs = 2;
    exportJson.fileArguments = true;
    exportJson.readOnly = true;
    exportJson.run = runExportJson;

    Command importJson;
    importJson.name = QStringLiteral("book import-json");
    importJson.synopsis = QStringLiteral("PATH|-");
    importJson.summary = QStringLiteral("a new ClearBook from a JSON document; prints its OID");
    importJson.description = QStringLiteral(
        "Makes a new ClearBook from the JSON document in PATH (standard input for \"-\") and prints its "
        "OID. A document that cannot be read changes nothing.");
    importJson.examples = {QStringLiteral("vkctl book import-json tour.json")};
    importJson.minArgs = importJson.maxArgs = 1;
    importJson.fileArguments = true;
    importJson.run = runImportJson;

    Command rm;
    rm.name = QStringLiteral("book rm");
    rm.synopsis = QStringLiteral("BOOK");
    rm.summary = QStringLiteral("remove a ClearBook");
    rm.description =
        QStringLiteral("Removes the ClearBook with its slides, objects and flags; files the library "
                       "still holds stay.\n\n") +
        naming;
    rm.examples = {QStringLiteral("vkctl book rm Tour")};
    rm.minArgs = rm.maxArgs = 1;
    rm.run = runRm;

    Command cp;
    cp.name = QStringLiteral("book cp");
    cp.synopsis = QStringLiteral("BOOK [--title TITLE]");
    cp.summary = QStringLiteral("copy a ClearBook; prints the copy's OID");
    cp.description =
        QStringLiteral("Copies the ClearBook, links kept inside it, and prints the copy's OID. The "
                       "copy is titled TITLE, or \"Copy of\" and the original's title.\n\n") +
        naming;
    cp.options = {QCommandLineOption(QStringLiteral("title"), QStringLiteral("the copy's title"),
                                     QStringLiteral("TITLE"))};
    cp.examples = {QStringLiteral("vkctl book cp Tour --title \"Tour 2\"")};
    cp.minArgs = cp.maxArgs = 1;
    cp.run = runCp;

    Command play;
    play.name = QStringLiteral("book play");
    play.synopsis = QStringLiteral("BOOK [--slide N] --trace [--limit SECONDS] [--resume-after SECONDS]");
    play.summary = QStringLiteral("play a ClearBook on a virtual clock, one event a line");
    play.description =
        QStringLiteral(
            "Plays the ClearBook from its slide N (default 1) on a virtual clock and prints every event with "
            "its time, one a line, tab-separated: virtual milliseconds since play began, the timeline's "
            "clock "
            "in 1/100 s, the event and its fields (listed in src/timeline/PlayTrace.h). Play stops at a Stop "
            "flag, at the end of a slide with no link, or after --limit seconds of virtual time; a pause is "
            "ended after --resume-after seconds. Media are taken to be as long as their bars.\n\n") +
        naming;
    play.options = {
        QCommandLineOption(QStringLiteral("slide"), QStringLiteral("the slide to start at, from 1"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("trace"),
                           QStringLiteral("print the events (needed: nothing else plays "
                                          "without a screen)")),
        QCommandLineOption(QStringLiteral("limit"),
                           QStringLiteral("stop after this much virtual time (default 600)"),
                           QStringLiteral("SECONDS")),
        QCommandLineOption(QStringLiteral("resume-after"),
                           QStringLiteral("end each pause after this long (default 1)"),
                           QStringLiteral("SECONDS")),
    };
    play.examples = {QStringLiteral("vkctl book play Tour --trace --limit 30")};
    play.minArgs = play.maxArgs = 1;
    play.run = runPlay;

    return {ls, show, exportJson, importJson, rm, cp, play};
}

} // namespace vk
