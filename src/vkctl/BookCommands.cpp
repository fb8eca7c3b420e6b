#include "BookCommands.h"

#include "AT_DbClearbook.h"
#include "ClearBookJson.h"
#include "ClearBookWeb.h"
#include "CliOutput.h"
#include "ColorText.h"
#include "CliSource.h"
#include "Connection.h"
#include "EditedSlide.h"
#include "FlagList.h"
#include "Messages.h"
#include "AT_PlayForm.h"
#include "PlayTrace.h"
#include "Schema.h"
#include "WorkDirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QColor>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace vk {

namespace {

// The book's slide numbered from 1, told when there is none.
TDbSlide *findSlide(TDbClearBook *cb, int number)
{
    if (number < 1 || number > cb->Slides.size()) {
        printError(QStringLiteral("%1 has %2 slides; there is no slide %3")
                       .arg(cb->Rec.CB_Title)
                       .arg(cb->Slides.size())
                       .arg(number));
        return nullptr;
    }
    return cb->Slides[number - 1];
}

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
    // Held from the reading of the ClearBooks to the end of a change made from what was read,
    // so that another program's change in between is not written over (it waits, or this one
    // fails, and neither is lost).
    std::unique_ptr<Transaction> change;

    // `forChange`: what is read is changed and stored again before commit().
    bool open(const Call &call, bool forChange = false)
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
        for (const QString &text : std::as_const(changes))
            printError(text);
        if (forChange) {
            change = std::make_unique<Transaction>(c);
            if (!change->isActive())
                return false;
        }
        return books.LoadClearBooks();
    }

    // Opens the library and finds slide `number` of ClearBook `bookName` (told when there is
    // none); its ClearBook in *book.
    TDbSlide *openSlide(const Call &call, const QString &bookName, int number, bool forChange = false,
                        TDbClearBook **book = nullptr)
    {
        if (!open(call, forChange))
            return nullptr;
        TDbClearBook *cb = findBook(books, bookName);
        if (!cb)
            return nullptr;
        if (book)
            *book = cb;
        return findSlide(cb, number);
    }

    bool commit()
    {
        if (!change || change->commit())
            return true;
        printError(QStringLiteral("the change could not be stored: %1").arg(engineError()));
        return false;
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

// The ClearBook as a web presentation in a folder of its own.
int runExportHtml(Call &call)
{
    Library lib;
    if (!lib.open(call))
        return ExitFailed;
    TDbClearBook *cb = findBook(lib.books, call.args[0]);
    if (!cb)
        return ExitFailed;
    EditedSlide edited(lib.books);
    const WebExport done = ExportClearBookWeb(edited, cb, call.args[1]);
    for (const QString &note : done.notes)
        printError(note);
    if (!done.ok) {
        printError(done.error);
        return ExitFailed;
    }
    // As an import that skips files: written, but not everything came along.
    return done.leftOut > 0 ? ExitUsage : ExitDone;
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
    TDbSlide *slide = lib.openSlide(call, call.args[0], slideNumber);
    if (!slide)
        return ExitFailed;
    PlayTrace player(lib.books, printLine);
    player.setLimit(limit);
    player.setResumeAfter(resumeAfter);
    return player.run(slide) ? ExitDone : ExitFailed;
}

// A slide as the ClearBook player shows it at a time, drawn without a screen.
int runRender(Call &call)
{
    int slideNumber = 1;
    if (!call.isSet(QStringLiteral("slide")))
        return call.usageError(QStringLiteral("book render needs --slide N"));
    bool ok = false;
    slideNumber = call.value(QStringLiteral("slide")).toInt(&ok);
    if (!ok || slideNumber < 1)
        return call.usageError(QStringLiteral("--slide takes a slide's place in the ClearBook, from 1"));
    int at = 0;
    if (call.isSet(QStringLiteral("at"))) {
        at = call.value(QStringLiteral("at")).toInt(&ok);
        if (!ok || at < 0)
            return call.usageError(QStringLiteral("--at takes a time in 1/100 s, from 0"));
    }
    QSize size(1024, 768);
    if (call.isSet(QStringLiteral("size"))) {
        const QStringList wh = call.value(QStringLiteral("size")).split(QLatin1Char('x'));
        bool okW = false, okH = false;
        const int w = wh.value(0).toInt(&okW), h = wh.size() == 2 ? wh.value(1).toInt(&okH) : 0;
        if (!okW || !okH || w < 1 || h < 1 || w > 16384 || h > 16384)
            return call.usageError(QStringLiteral("--size takes WIDTHxHEIGHT in pixels, each 1 to 16384"));
        size = QSize(w, h);
    }
    const QString out = call.args[1];
    Library lib;
    TDbSlide *slide = lib.openSlide(call, call.args[0], slideNumber);
    if (!slide)
        return ExitFailed;
    if (!writableTarget(lib.c, out))
        return ExitFailed;
    EditedSlide edited(lib.books);
    // Drawn as the player draws on a screen of that size. The ClearBook is held in reference
    // units here; the design screen those units stand for is the screen divided by the design
    // scale the workspace takes on it, so the show's zoom scales the objects with the screen.
    const double scale = std::min(size.width() / 800.0, size.height() / 600.0) / lib.books.DesignScale;
    const QSize designScreen(std::max(1, int(std::lround(size.width() / scale))),
                             std::max(1, int(std::lround(size.height() / scale))));
    const QImage picture = RenderPlayedSlide(edited, slide, at, size, designScreen);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
        printError(QStringLiteral("cannot write %1: %2").arg(out, file.errorString()));
        return ExitFailed;
    }
    return ExitDone;
}

// ---------------------------------------------------------------------------------------------
// Flags and bars: the slide opened in the model the authoring window edits it through, changed
// by that model's requests, which refuse what the timeline table and the flag dialogs refuse,
// and saved as the window saves it.

// The latest time a command takes, in 1/100 s (a little over 115 days): a bar's start and length
// added together stay a time the timeline holds.
constexpr int MaxGivenTime = 999999999;
// As long as a flag's name (and the label a jump names) may be: the width of its column.
constexpr qsizetype MaxFlagNameLength = 255;

// A time option in 1/100 s; false, after a usage error, when it is given but not a whole number
// from 0 to MaxGivenTime.
bool timeOption(const Call &call, const QString &name, std::optional<int> *out)
{
    out->reset();
    if (!call.isSet(name))
        return true;
    const QString text = call.value(name);
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > MaxGivenTime) {
        call.usageError(QStringLiteral("--%1 takes a time in 1/100 s, a whole number from 0 to %2, not '%3'")
                            .arg(name)
                            .arg(MaxGivenTime)
                            .arg(text));
        return false;
    }
    *out = int(value);
    return true;
}

// --slide N, which the commands that change a slide need; false after a usage error.
bool slideNumberOption(const Call &call, int *out)
{
    if (!call.isSet(QStringLiteral("slide"))) {
        call.usageError(QStringLiteral("%1 needs --slide N").arg(call.command.name));
        return false;
    }
    bool ok = false;
    *out = call.value(QStringLiteral("slide")).toInt(&ok);
    if (!ok || *out < 1) {
        call.usageError(QStringLiteral("--slide takes a slide's place in the ClearBook, from 1"));
        return false;
    }
    return true;
}

// The options given that `allowed` does not hold; false after a usage error naming the first.
bool onlyOptions(const Call &call, const QStringList &allowed, const QString &forWhat)
{
    for (const QString &name : call.optionOrder())
        if (!allowed.contains(name)) {
            call.usageError(QStringLiteral("--%1 is not an option of %2").arg(name, forWhat));
            return false;
        }
    return true;
}

// A slide of a ClearBook open in the edited-slide model.
struct BookSlide
{
    Library lib;
    std::unique_ptr<EditedSlide> edited; // goes before the ClearBook list it points into
    TDbClearBook *book = nullptr;
    TDbSlide *slide = nullptr;
    int number = 0;

    bool open(const Call &call, const QString &bookName, int slideNumber, bool forChange)
    {
        slide = lib.openSlide(call, bookName, slideNumber, forChange, &book);
        if (!slide)
            return false;
        number = slideNumber;
        edited = std::make_unique<EditedSlide>(lib.books);
        if (!edited->open(slide)) {
            printError(QStringLiteral("slide %1 of %2 could not be opened")
                           .arg(slideNumber)
                           .arg(book->Rec.CB_Title));
            return false;
        }
        return true;
    }

    // Stores the slide as the authoring window's Save does (its failures are told), as one
    // change with the reading it was made from.
    bool save() { return edited->save() && lib.commit(); }
};

struct FlagKindWord
{
    FlagKind kind;
    const char *word;
};
// The words flags are given and listed by; a loop's end is listed only.
const FlagKindWord FlagKindWords[] = {
    {FlagKind::Delay, "delay"},    {FlagKind::Pause, "pause"},      {FlagKind::Stop, "stop"},
    {FlagKind::LoopStart, "loop"}, {FlagKind::LoopEnd, "loop-end"}, {FlagKind::Jump, "jump"},
    {FlagKind::Label, "label"},
};

QString flagKindWord(FlagKind kind)
{
    for (const FlagKindWord &k : FlagKindWords)
        if (k.kind == kind)
            return QLatin1String(k.word);
    return QString();
}

// A flag as `book flag ls` lists it: kind, time, name, then the kind's own fields.
QStringList flagFields(const TsFlag &r)
{
    QStringList fields{flagKindWord(r.Kind), QString::number(r.Flag_StartTime), r.Flag_Name};
    switch (r.Kind) {
    case FlagKind::Delay:
        fields << QStringLiteral("hold %1").arg(r.Time_Associated);
        break;
    case FlagKind::Pause:
        fields << (r.FlagActive ? QStringLiteral("resume key") : QStringLiteral("resume click"));
        break;
    case FlagKind::LoopStart:
        fields << QStringLiteral("end %1").arg(r.Loop_EndTime)
               << (r.FlagActive ? QStringLiteral("times %1") : QStringLiteral("limit %1"))
                      .arg(r.Time_Associated);
        break;
    case FlagKind::LoopEnd:
        fields << QStringLiteral("start %1").arg(r.Loop_EndTime);
        break;
    case FlagKind::Jump:
        fields << QStringLiteral("to ") + r.Jump_To_MarkName;
        break;
    case FlagKind::Stop:
    case FlagKind::Label:
        break;
    }
    return fields;
}

QJsonObject flagJson(const TsFlag &r)
{
    QJsonObject o{{QStringLiteral("kind"), flagKindWord(r.Kind)},
                  {QStringLiteral("time"), r.Flag_StartTime},
                  {QStringLiteral("name"), r.Flag_Name}};
    switch (r.Kind) {
    case FlagKind::Delay:
        o.insert(QStringLiteral("hold"), r.Time_Associated);
        break;
    case FlagKind::Pause:
        o.insert(QStringLiteral("resume"), r.FlagActive ? QStringLiteral("key") : QStringLiteral("click"));
        break;
    case FlagKind::LoopStart:
        o.insert(QStringLiteral("end"), r.Loop_EndTime);
        o.insert(r.FlagActive ? QStringLiteral("times") : QStringLiteral("limit"), r.Time_Associated);
        break;
    case FlagKind::LoopEnd:
        o.insert(QStringLiteral("start"), r.Loop_EndTime);
        break;
    case FlagKind::Jump:
        o.insert(QStringLiteral("to"), r.Jump_To_MarkName);
        break;
    case FlagKind::Stop:
    case FlagKind::Label:
        break;
    }
    return o;
}

// The new flag the options of `book flag add` describe, as its dialog would propose it (the
// name left to the model when not given); false after a usage error.
bool proposedFlag(const Call &call, TsFlag *out)
{
    TsFlag &r = *out;
    const auto usage = [&call](const QString &text) {
        call.usageError(text);
        return false;
    };
    const QString kindText = call.value(QStringLiteral("kind"));
    if (!call.isSet(QStringLiteral("kind")))
        return usage(QStringLiteral("book flag add needs --kind delay|pause|stop|loop|jump|label"));
    bool known = false;
    for (const FlagKindWord &k : FlagKindWords)
        if (k.kind != FlagKind::LoopEnd && kindText == QLatin1String(k.word)) {
            r.Kind = k.kind;
            known = true;
        }
    if (!known)
        return usage(
            QStringLiteral("--kind is one of delay, pause, stop, loop, jump, label, not '%1'").arg(kindText));
    // Each kind's own options; the others are refused rather than passed over.
    const QHash<QString, FlagKind> ownOption{
        {QStringLiteral("hold"), FlagKind::Delay},      {QStringLiteral("key"), FlagKind::Pause},
        {QStringLiteral("end"), FlagKind::LoopStart},   {QStringLiteral("times"), FlagKind::LoopStart},
        {QStringLiteral("limit"), FlagKind::LoopStart}, {QStringLiteral("to"), FlagKind::Jump}};
    for (auto it = ownOption.cbegin(); it != ownOption.cend(); ++it)
        if (call.isSet(it.key()) && it.value() != r.Kind)
            return usage(QStringLiteral("--%1 is for a %2 flag, not a %3")
                             .arg(it.key(), flagKindWord(it.value()), kindText));
    if (call.isSet(QStringLiteral("name"))) {
        r.Flag_Name = call.value(QStringLiteral("name"));
        if (r.Flag_Name.isEmpty())
            return usage(QStringLiteral("--name takes a name that is not empty"));
    }
    for (const QString &name : {QStringLiteral("name"), QStringLiteral("to")})
        if (call.value(name).size() > MaxFlagNameLength)
            return usage(QStringLiteral("--%1 takes a name of at most %2 characters")
                             .arg(name)
                             .arg(MaxFlagNameLength));
    std::optional<int> time, hold, end, limit, times;
    if (!timeOption(call, QStringLiteral("time"), &time) ||
        !timeOption(call, QStringLiteral("hold"), &hold) || !timeOption(call, QStringLiteral("end"), &end) ||
        !timeOption(call, QStringLiteral("limit"), &limit))
        return false;
    if (!time)
        return usage(QStringLiteral("book flag add needs --time T"));
    if (call.isSet(QStringLiteral("times"))) {
        bool ok = false;
        const QString text = call.value(QStringLiteral("times"));
        const qlonglong n = text.toLongLong(&ok);
        if (!ok || n < 0 || n > MaxGivenTime)
            return usage(QStringLiteral("--times takes a whole number from 0 to %1, not '%2'")
                             .arg(MaxGivenTime)
                             .arg(text));
        times = int(n);
    }
    if (times && limit)
        return usage(QStringLiteral("a loop is counted (--times) or time-limited (--limit), not both"));
    if (r.Kind == FlagKind::LoopStart && !times && !limit)
        return usage(QStringLiteral("a loop needs --times N or --limit T"));
    r.Flag_StartTime = *time;
    // What the dialogs start a new flag with: a delay of a second, a loop a second long, a pause
    // resumed by a click.
    switch (r.Kind) {
    case FlagKind::Delay:
        r.Time_Associated = hold.value_or(100);
        break;
    case FlagKind::Pause:
        r.FlagActive = call.isSet(QStringLiteral("key"));
        break;
    case FlagKind::LoopStart:
        r.Loop_EndTime = end ? *end : std::min(*time + 100, MaxGivenTime);
        r.FlagActive = times.has_value();
        r.Time_Associated = times ? *times : *limit;
        break;
    case FlagKind::Jump:
        r.Jump_To_MarkName = call.value(QStringLiteral("to"));
        break;
    default:
        break;
    }
    return true;
}

int runFlagLs(Call &call, BookSlide &s)
{
    const TDbFlagList &flags = s.edited->flags();
    if (call.json()) {
        QJsonArray list;
        for (const TDbFlag *f : flags.Flags)
            list.append(flagJson(f->Rec));
        printJson(list);
    } else {
        for (const TDbFlag *f : flags.Flags)
            printRecord(flagFields(f->Rec));
    }
    // What could be read is listed, but not as the whole (the reason was told).
    return flags.isComplete() ? ExitDone : ExitFailed;
}

int runFlagAdd(BookSlide &s, TsFlag proposed)
{
    EditedSlide &edited = *s.edited;
    if (proposed.Flag_Name.isEmpty())
        proposed.Flag_Name = edited.newFlagName(proposed.Kind);
    // A jump leads to a label: the dialog offers nothing else to choose.
    if (proposed.Kind == FlagKind::Jump) {
        const TDbFlag *to = edited.flags().FindFlag(proposed.Jump_To_MarkName);
        if (to && to->kind() != FlagKind::Label) {
            edited.books().connection().report(vkMessage("NoJumpDestination"));
            return ExitFailed;
        }
    }
    TDbFlag *made = edited.requestAddFlag(proposed);
    if (!made) {
        // The model's rules told why; anything else it refuses is told here.
        if (FlagRefusal(edited.flags(), nullptr, proposed, false, edited.maxTime()).isEmpty())
            printError(QStringLiteral("the flag %1 could not be added").arg(proposed.Flag_Name));
        return ExitFailed;
    }
    QStringList names{made->Rec.Flag_Name};
    if (const TDbFlag *end = edited.flags().Partner(made))
        names << end->Rec.Flag_Name;
    if (!s.save())
        return ExitFailed;
    // What is stored now, read back as the next opening of the slide reads it.
    TDbFlagList stored(s.lib.c);
    if (!stored.LoadFlags(s.slide))
        return ExitFailed;
    for (const TDbFlag *f : std::as_const(stored.Flags))
        if (names.contains(f->Rec.Flag_Name))
            printRecord(flagFields(f->Rec));
    return ExitDone;
}

int runFlagRm(BookSlide &s, const QString &name)
{
    EditedSlide &edited = *s.edited;
    TDbFlag *flag = edited.flags().FindFlag(name);
    if (!flag) {
        printError(
            QStringLiteral("slide %1 of %2 has no flag %3").arg(s.number).arg(s.book->Rec.CB_Title, name));
        return ExitFailed;
    }
    // A loop goes with its end, whichever of the two is named.
    QList<QStringList> removed;
    TDbFlag *partner = edited.flags().Partner(flag);
    for (const TDbFlag *f : edited.flags().Flags)
        if (f == flag || f == partner)
            removed.append(flagFields(f->Rec));
    if (!edited.requestRemoveFlag(flag)) {
        printError(QStringLiteral("the flag %1 could not be removed").arg(name));
        return ExitFailed;
    }
    if (!s.save())
        return ExitFailed;
    for (const QStringList &fields : std::as_const(removed))
        printRecord(fields);
    return ExitDone;
}

int runFlag(Call &call)
{
    const QString action = call.args[0];
    const QStringList common{QStringLiteral("slide")};
    const int wanted = action == QLatin1String("rm") ? 3 : 2;
    if (action == QLatin1String("ls")) {
        if (!onlyOptions(call, common + QStringList{QStringLiteral("json")}, QStringLiteral("book flag ls")))
            return ExitUsage;
    } else if (action == QLatin1String("add")) {
        if (!onlyOptions(
                call,
                common + QStringList{QStringLiteral("kind"), QStringLiteral("name"), QStringLiteral("time"),
                                     QStringLiteral("hold"), QStringLiteral("end"), QStringLiteral("times"),
                                     QStringLiteral("limit"), QStringLiteral("key"), QStringLiteral("to")},
                QStringLiteral("book flag add")))
            return ExitUsage;
    } else if (action == QLatin1String("rm")) {
        if (!onlyOptions(call, common, QStringLiteral("book flag rm")))
            return ExitUsage;
    } else {
        return call.usageError(QStringLiteral("book flag takes ls, add or rm, not '%1'").arg(action));
    }
    if (call.args.size() != wanted)
        return call.usageError(
            action == QLatin1String("rm")
                ? QStringLiteral("usage: vkctl book flag rm BOOK --slide N NAME")
                : QStringLiteral("usage: vkctl book flag %1 BOOK --slide N ...").arg(action));
    int slideNumber = 0;
    if (!slideNumberOption(call, &slideNumber))
        return ExitUsage;
    TsFlag proposed;
    if (action == QLatin1String("add") && !proposedFlag(call, &proposed))
        return ExitUsage;
    BookSlide s;
    if (!s.open(call, call.args[1], slideNumber, action != QLatin1String("ls")))
        return ExitFailed;
    if (action == QLatin1String("ls"))
        return runFlagLs(call, s);
    if (action == QLatin1String("add"))
        return runFlagAdd(s, proposed);
    return runFlagRm(s, call.args[2]);
}

int runBar(Call &call)
{
    int slideNumber = 0;
    if (!slideNumberOption(call, &slideNumber))
        return ExitUsage;
    bool ok = false;
    const int objectNumber = call.args[1].toInt(&ok);
    if (!ok || objectNumber < 1)
        return call.usageError(
            QStringLiteral(
                "OBJECT is an object's number on its slide, from 1, as book show lists it; not '%1'")
                .arg(call.args[1]));
    std::optional<int> start, end, length;
    if (!timeOption(call, QStringLiteral("start"), &start) ||
        !timeOption(call, QStringLiteral("end"), &end) ||
        !timeOption(call, QStringLiteral("length"), &length))
        return ExitUsage;
    if (!start && !end && !length)
        return call.usageError(QStringLiteral("book bar needs --start, --end or --length"));
    if (end && length)
        return call.usageError(QStringLiteral("a bar is given its --end or its --length, not both"));
    BookSlide s;
    if (!s.open(call, call.args[0], slideNumber, true))
        return ExitFailed;
    const QList<TDbObject *> &order = s.slide->Objects.DesignOrder;
    if (objectNumber > order.size()) {
        printError(QStringLiteral("slide %1 of %2 has %3 objects; there is no object %4")
                       .arg(slideNumber)
                       .arg(s.book->Rec.CB_Title)
                       .arg(order.size())
                       .arg(objectNumber));
        return ExitFailed;
    }
    TDbObject *o = order[objectNumber - 1];
    EditedSlide &edited = *s.edited;
    // As the timeline table's time boxes set the selected bar: the start keeps the end where it
    // is, and no typed length is shorter than half a second.
    edited.selectOnly(o);
    bool changed = false;
    if (start)
        changed = edited.requestSetBarStart(*start) || changed;
    if (length)
        changed = edited.requestSetBarLength(*length) || changed;
    if (end)
        changed = edited.requestSetBarEnd(*end) || changed;
    if (changed && !s.save())
        return ExitFailed;
    printRecord({QStringLiteral("object"), QString::number(slideNumber), QString::number(objectNumber),
                 QStringLiteral("bar %1+%2").arg(o->Rec.Bar_Left).arg(o->Rec.Bar_Width)});
    return ExitDone;
}

// --- book slide

// A place in a ClearBook, from 1, given by --to; `fallback` (from 0) when not given. False after
// a usage error.
bool placeOption(Call &call, int count, int fallback, int *place)
{
    if (!call.isSet(QStringLiteral("to"))) {
        *place = fallback;
        return true;
    }
    bool ok = false;
    const int n = call.value(QStringLiteral("to")).toInt(&ok);
    if (!ok || n < 1 || n > count) {
        call.usageError(QStringLiteral("--to takes a place from 1 to %1, not '%2'")
                            .arg(count)
                            .arg(call.value(QStringLiteral("to"))));
        return false;
    }
    *place = n - 1;
    return true;
}

// "M" (a slide of `book`) or "BOOK/M" (the last "/" parts them): the slide; told when there is
// none.
TDbSlide *slideReference(TDbClearBookList &books, TDbClearBook *book, const QString &text)
{
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    TDbClearBook *in = book;
    if (slash >= 0) {
        in = findBook(books, text.left(slash));
        if (!in)
            return nullptr;
    }
    bool ok = false;
    const int n = text.mid(slash + 1).toInt(&ok);
    if (!ok) {
        printError(QStringLiteral("'%1' is not a slide: give its place from 1, or BOOK/PLACE").arg(text));
        return nullptr;
    }
    return findSlide(in, n);
}

// The record book show prints for the slide.
void printSlideRecord(TDbClearBookList &books, TDbSlide *slide)
{
    if (!slide || !slide->Owner)
        return;
    const QString head = QStringLiteral("slide\t%1\t").arg(slide->Owner->Slides.indexOf(slide) + 1);
    for (const QString &line : ShowClearBook(books, slide->Owner))
        if (line.startsWith(head)) {
            printLine(line);
            return;
        }
}

// The link codes by their words.
std::optional<int> linkWord(const QString &word)
{
    static const QHash<QString, int> words{{QStringLiteral("none"), 0},     {QStringLiteral("next"), -1},
                                           {QStringLiteral("previous"), -2}, {QStringLiteral("backward"), -3},
                                           {QStringLiteral("replay"), -4}};
    if (words.contains(word))
        return words.value(word);
    return std::nullopt;
}

int runSlideMoveOrCopy(Call &call, bool copy)
{
    int slideNumber = 0;
    if (!slideNumberOption(call, &slideNumber))
        return ExitUsage;
    Library lib;
    TDbClearBook *book = nullptr;
    TDbSlide *slide = lib.openSlide(call, call.args[1], slideNumber, true, &book);
    if (!slide)
        return ExitFailed;
    TDbClearBook *target = book;
    if (call.isSet(QStringLiteral("into"))) {
        target = findBook(lib.books, call.value(QStringLiteral("into")));
        if (!target)
            return ExitFailed;
    }
    const bool same = target == book;
    // The places a slide can take: one more in another ClearBook, or for a copy.
    const int count = int(target->Slides.size()) + (same && !copy ? 0 : 1);
    if (!copy && same && !call.isSet(QStringLiteral("to")))
        return call.usageError(QStringLiteral("book slide mv needs --to M, --into BOOK2, or both"));
    int place = 0;
    if (!placeOption(call, count, count - 1, &place))
        return ExitUsage;
    TDbSlide *result = slide;
    if (copy) {
        result = lib.books.CopySlideTo(slide, target, place);
        if (!result)
            return ExitFailed;
    } else if (same) {
        if (place != book->Slides.indexOf(slide) && !lib.books.MoveSlide(book->Slides, slide, place))
            return ExitFailed;
    } else if (!lib.books.MoveSlideTo(slide, target, place)) {
        return ExitFailed;
    }
    if (!lib.commit())
        return ExitFailed;
    printSlideRecord(lib.books, result);
    return ExitDone;
}

int runSlideRm(Call &call)
{
    int slideNumber = 0;
    if (!slideNumberOption(call, &slideNumber))
        return ExitUsage;
    Library lib;
    TDbClearBook *book = nullptr;
    TDbSlide *slide = lib.openSlide(call, call.args[1], slideNumber, true, &book);
    if (!slide)
        return ExitFailed;
    if (!lib.books.RemoveSlide(book->Slides, slide) || !lib.commit())
        return ExitFailed;
    return ExitDone;
}

int runSlideSet(Call &call)
{
    int slideNumber = 0;
    if (!slideNumberOption(call, &slideNumber))
        return ExitUsage;
    static const QStringList styles{QStringLiteral("center"), QStringLiteral("full"), QStringLiteral("tile")};
    if (call.isSet(QStringLiteral("style")) && !styles.contains(call.value(QStringLiteral("style"))))
        return call.usageError(QStringLiteral("--style takes center, full or tile"));
    if (call.isSet(QStringLiteral("gradient")) && call.value(QStringLiteral("gradient")) != QLatin1String("on") &&
        call.value(QStringLiteral("gradient")) != QLatin1String("off"))
        return call.usageError(QStringLiteral("--gradient takes on or off"));
    QString linkTarget;
    int objectNumber = 0;
    if (call.isSet(QStringLiteral("link"))) {
        const QString link = call.value(QStringLiteral("link"));
        const qsizetype eq = link.indexOf(QLatin1Char('='));
        bool ok = false;
        objectNumber = link.left(eq).toInt(&ok);
        if (eq < 0 || !ok || objectNumber < 1)
            return call.usageError(
                QStringLiteral("--link takes OBJECT=TARGET: the object's number as book show lists it, and "
                               "next, previous, backward, replay, none, a slide's place or BOOK/PLACE"));
        linkTarget = link.mid(eq + 1);
    }
    BookSlide s;
    if (!s.open(call, call.args[1], slideNumber, true))
        return ExitFailed;
    EditedSlide &edited = *s.edited;
    SlideProperties p = SlidePropertiesOf(s.slide->Rec);
    if (call.isSet(QStringLiteral("title")))
        p.title = call.value(QStringLiteral("title"));
    if (call.isSet(QStringLiteral("author")))
        p.author = call.value(QStringLiteral("author"));
    if (call.isSet(QStringLiteral("color"))) {
        QString colour = call.value(QStringLiteral("color"));
        // "#rrggbb" as the colour text stores it ("$00bbggrr").
        if (colour.startsWith(QLatin1Char('#')) && QColor::isValidColorName(colour)) {
            const QColor c = QColor::fromString(colour);
            colour = colorToText(ColorValue(c.red() | (c.green() << 8) | (c.blue() << 16)));
        }
        p.color = colour;
    }
    if (call.isSet(QStringLiteral("gradient")))
        p.gradient = call.value(QStringLiteral("gradient")) == QLatin1String("on") ? 1 : 0;
    if (call.isSet(QStringLiteral("picture"))) {
        const QString picture = call.value(QStringLiteral("picture"));
        p.background = picture == QLatin1String("none") ? QString() : QFileInfo(picture).absoluteFilePath();
    }
    if (call.isSet(QStringLiteral("style")))
        p.style = QString::number(styles.indexOf(call.value(QStringLiteral("style"))));
    if (call.isSet(QStringLiteral("ending"))) {
        const QString ending = call.value(QStringLiteral("ending"));
        p.jumpCB = 0;
        if (ending == QLatin1String("pause")) {
            p.jumpSlide = EndingAction::Pause;
        } else if (ending == QLatin1String("repeat")) {
            p.jumpSlide = EndingAction::Repeat;
        } else if (ending == QLatin1String("sequence")) {
            p.jumpSlide = EndingAction::Sequence;
        } else {
            TDbSlide *to = slideReference(s.lib.books, s.book, ending);
            if (!to)
                return ExitFailed;
            p.jumpCB = to->Owner->Rec.CB_Id;
            p.jumpSlide = to->Rec.Slide_Id;
        }
    }
    bool changed = false;
    if (!(p == SlidePropertiesOf(s.slide->Rec))) {
        if (!edited.requestSetSlideProperties(p))
            return ExitFailed;
        changed = true;
    }
    if (objectNumber > 0) {
        const QList<TDbObject *> &order = s.slide->Objects.DesignOrder;
        if (objectNumber > order.size()) {
            printError(QStringLiteral("slide %1 of %2 has %3 objects; there is no object %4")
                           .arg(slideNumber)
                           .arg(s.book->Rec.CB_Title)
                           .arg(order.size())
                           .arg(objectNumber));
            return ExitFailed;
        }
        int cbId = 0, slideId = 0;
        if (const std::optional<int> code = linkWord(linkTarget)) {
            slideId = *code;
        } else {
            TDbSlide *to = slideReference(s.lib.books, s.book, linkTarget);
            if (!to)
                return ExitFailed;
            if (!to->isStored()) {
                printError(QStringLiteral("the slide %1 is not stored").arg(linkTarget));
                return ExitFailed;
            }
            cbId = to->Owner->Rec.CB_Id;
            slideId = to->Rec.Slide_Id;
        }
        edited.selectOnly(order[objectNumber - 1]);
        changed = edited.requestSetLink(cbId, slideId) || changed;
    }
    if (changed && !s.save())
        return ExitFailed;
    printSlideRecord(s.lib.books, s.slide);
    return ExitDone;
}

int runSlide(Call &call)
{
    const QString action = call.args[0];
    const QStringList common{QStringLiteral("slide")};
    const QHash<QString, QStringList> allowed{
        {QStringLiteral("mv"), common + QStringList{QStringLiteral("to"), QStringLiteral("into")}},
        {QStringLiteral("cp"), common + QStringList{QStringLiteral("to"), QStringLiteral("into")}},
        {QStringLiteral("rm"), common},
        {QStringLiteral("set"),
         common + QStringList{QStringLiteral("title"), QStringLiteral("author"), QStringLiteral("color"),
                              QStringLiteral("gradient"), QStringLiteral("picture"), QStringLiteral("style"),
                              QStringLiteral("ending"), QStringLiteral("link")}},
    };
    if (!allowed.contains(action))
        return call.usageError(QStringLiteral("book slide takes mv, cp, rm or set, not '%1'").arg(action));
    if (!onlyOptions(call, allowed.value(action), QStringLiteral("book slide ") + action))
        return ExitUsage;
    if (call.args.size() != 2)
        return call.usageError(QStringLiteral("usage: vkctl book slide %1 BOOK --slide N ...").arg(action));
    if (action == QLatin1String("mv"))
        return runSlideMoveOrCopy(call, false);
    if (action == QLatin1String("cp"))
        return runSlideMoveOrCopy(call, true);
    if (action == QLatin1String("rm"))
        return runSlideRm(call);
    return runSlideSet(call);
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

    Command exportHtml;
    exportHtml.name = QStringLiteral("book export-html");
    exportHtml.synopsis = QStringLiteral("BOOK DIR");
    exportHtml.summary = QStringLiteral("the ClearBook as a web presentation in a folder");
    exportHtml.description =
        QStringLiteral(
            "Writes the ClearBook into the folder DIR (made when missing) as a web presentation that any "
            "current browser plays from disk, offline: index.html (which holds the ClearBook as the JSON "
            "document book export-json writes, its media named by their copies), player.js, player.css and "
            "media/, the copies of the pictures, sounds and clips the slides use (pictures a browser cannot "
            "show are converted to PNG). Open DIR/index.html. Each medium left out or converted is named on "
            "stderr; other files already in DIR stay. An index.html, player.js or player.css in DIR is "
            "replaced only when the index.html is an earlier export; otherwise nothing is written and the "
            "exit code is 1. Exit 0 when every medium came along, 2 when some were left out.\n\n") +
        naming;
    exportHtml.examples = {QStringLiteral("vkctl book export-html Tour ~/Tour-web")};
    exportHtml.minArgs = exportHtml.maxArgs = 2;
    exportHtml.fileArguments = true;
    exportHtml.readOnly = true;
    exportHtml.widgets = true;
    exportHtml.run = runExportHtml;

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

    Command render;
    render.name = QStringLiteral("book render");
    render.synopsis = QStringLiteral("BOOK --slide N [--at T] OUT.png [--size WxH]");
    render.summary = QStringLiteral("a slide as the player shows it at a time, as a PNG picture");
    render.description =
        QStringLiteral(
            "Draws slide N of the ClearBook as the ClearBook player shows it at timeline time T (1/100 s, "
            "default 0) on a screen of WxH pixels (default 1024x768), and writes it to OUT.png. The "
            "objects whose bars hold T are drawn, a clip by its first frame; sounds are not seen. No "
            "display is needed.\n\n") +
        naming;
    render.options = {
        QCommandLineOption(QStringLiteral("slide"), QStringLiteral("the slide, from 1"), QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("at"), QStringLiteral("the timeline time in 1/100 s (default 0)"),
                           QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("size"), QStringLiteral("the screen in pixels (default 1024x768)"),
                           QStringLiteral("WxH")),
    };
    render.examples = {QStringLiteral("vkctl book render Tour --slide 2 --at 350 slide2.png --size 1920x1080")};
    render.minArgs = render.maxArgs = 2;
    render.fileArguments = true;
    render.readOnly = true;
    render.widgets = true;
    render.run = runRender;

    const QString refusals = QStringLiteral(
        "Flags and bars are changed as the timeline table and the flag dialogs change them, by the same "
        "rules, and the slide is saved. Times are whole numbers of 1/100 s, as book show prints them. A "
        "change the rules refuse leaves the slide as it was and exits 1 with one of these texts on stderr: "
        "\"Duplicated Flag Name\" (another flag of the slide has the name, or the name a loop's end would "
        "take), \"Exceed MaxTime\" (the flag, or "
        "a loop's end, lies after the slide's last bar ends), \"loopstart must less than loopEnd\", \"less "
        "than one loop\" (a loop's --limit is shorter than the loop), \"loop time too small\" (--times 0), "
        "\"Loop Cross Error\" (two loops overlap without one holding the other), \"Jump to Loop in error\" "
        "(a jump would lead into or out of a loop), \"No Jump Destination\" (--to names no label of the "
        "slide).");

    Command flag;
    flag.name = QStringLiteral("book flag");
    flag.synopsis = QStringLiteral("ls|add|rm BOOK --slide N ...");
    flag.summary = QStringLiteral("list, add or remove the timeline flags of a slide");
    flag.description =
        QStringLiteral(
            "  book flag ls BOOK --slide N [--json]\n"
            "  book flag add BOOK --slide N --kind KIND --time T [--name NAME] [KIND'S OPTIONS]\n"
            "  book flag rm BOOK --slide N NAME\n\n"
            "ls lists the flags of slide N, one a line, tab-separated: the kind (delay, pause, stop, loop, "
            "loop-end, jump, label), the time, the name, then the kind's own fields: \"hold T\" of a delay; "
            "\"resume key\" or \"resume click\" of a pause; \"end T\" and \"times N\" or \"limit T\" of a "
            "loop; \"start T\" (its loop's) of a loop's end; \"to LABEL\" of a jump. A loop's end follows "
            "its "
            "loop and is named after it with \"(End)\".\n\n"
            "add adds a flag at --time and prints it as ls lists it, read back from what was stored (a "
            "loop with its end). Without --name it is named by its kind and the next free number (Delay3). "
            "A delay holds --hold T (default 100); a pause is resumed by a click, or with --key by a key "
            "press; a loop runs to --end T (default a second after its start) and repeats --times N more "
            "times or until --limit T has passed (one of the two is needed); a jump leads --to a label.\n\n"
            "rm removes the flag NAME, a loop together with its end (either may be named), and prints what "
            "it removed as ls lists it.\n\n") +
        refusals + QStringLiteral("\n\n") + naming;
    flag.groupNote = refusals;
    flag.options = {
        QCommandLineOption(QStringLiteral("slide"), QStringLiteral("the slide, by its place from 1"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("kind"),
                           QStringLiteral("add: delay, pause, stop, loop, jump or label"),
                           QStringLiteral("KIND")),
        QCommandLineOption(QStringLiteral("time"), QStringLiteral("add: where the flag stands, in 1/100 s"),
                           QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("name"),
                           QStringLiteral("add: its name (default: the kind and the next free number)"),
                           QStringLiteral("NAME")),
        QCommandLineOption(QStringLiteral("hold"),
                           QStringLiteral("add, a delay: how long it holds (default 100)"),
                           QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("key"),
                           QStringLiteral("add, a pause: a key press resumes it rather than a click")),
        QCommandLineOption(QStringLiteral("end"),
                           QStringLiteral("add, a loop: where it ends (default start + 100)"),
                           QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("times"), QStringLiteral("add, a loop: how many times it repeats"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("limit"), QStringLiteral("add, a loop: how long it repeats in all"),
                           QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("to"), QStringLiteral("add, a jump: the label it leads to"),
                           QStringLiteral("LABEL")),
        jsonOption(),
    };
    flag.examples = {
        QStringLiteral("vkctl book flag add Tour --slide 1 --kind loop --time 100 --end 300 --times 2"),
        QStringLiteral("vkctl book flag ls Tour --slide 1"),
        QStringLiteral("vkctl book flag rm Tour --slide 1 Loop1")};
    flag.minArgs = 2;
    flag.maxArgs = 3;
    flag.run = runFlag;

    Command bar;
    bar.name = QStringLiteral("book bar");
    bar.synopsis = QStringLiteral("BOOK --slide N OBJECT [--start T] [--end T | --length L]");
    bar.summary = QStringLiteral("set when an object of a slide appears and for how long");
    bar.description =
        QStringLiteral(
            "Sets the bar of object OBJECT (its number on the slide, as book show and book play list it) as "
            "the timeline table's Start, End and Length boxes set it, in 1/100 s: --start moves the start "
            "and keeps the end, --end moves the end, --length sets the length; a bar set this way is never "
            "shorter than 50 (half a second). Prints the bar as book show does: \"object\", the slide, the "
            "object, \"bar START+LENGTH\".\n\n") +
        naming;
    bar.options = {
        QCommandLineOption(QStringLiteral("slide"), QStringLiteral("the slide, by its place from 1"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("start"), QStringLiteral("where the bar starts; its end stays"),
                           QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("end"), QStringLiteral("where the bar ends"), QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("length"), QStringLiteral("how long the bar is (at least 50)"),
                           QStringLiteral("L")),
    };
    bar.examples = {QStringLiteral("vkctl book bar Tour --slide 1 2 --start 250 --length 100")};
    bar.minArgs = bar.maxArgs = 2;
    bar.run = runBar;

    Command slide;
    slide.name = QStringLiteral("book slide");
    slide.synopsis = QStringLiteral("mv|cp|rm|set BOOK --slide N ...");
    slide.summary = QStringLiteral("move, copy, remove a slide, or set its background, ending action and links");
    slide.description =
        QStringLiteral(
            "  book slide mv BOOK --slide N [--to M] [--into BOOK2]\n"
            "  book slide cp BOOK --slide N [--to M] [--into BOOK2]\n"
            "  book slide rm BOOK --slide N\n"
            "  book slide set BOOK --slide N [--title T] [--author A] [--color COLOUR] [--gradient on|off]\n"
            "                 [--picture FILE|none] [--style center|full|tile]\n"
            "                 [--ending pause|repeat|sequence|M|BOOK2/M] [--link OBJECT=TARGET]\n\n"
            "mv moves slide N to place M (from 1) of its ClearBook, or of BOOK2 (at its end without --to), "
            "as the slide explorer's drag does: into another ClearBook its objects, flags and the links and "
            "ending actions that lead to it go with it. cp puts a copy there (at the end without --to) with "
            "its description, background, objects and flags; its links stay as they are. rm removes the slide "
            "with its objects and flags. mv and cp print the slide as book show does.\n\n"
            "set changes the slide as its property dialog does, as one change that is saved: its title and "
            "author (at most 127 characters), its colour (colour text as book show prints it, or #rrggbb), "
            "the gradient from that colour to white, the background picture (BMP, JPG, PCX, PNG or TGA; "
            "\"none\" takes it away) and its style, and the ending action: pause, repeat, sequence, or a jump "
            "to slide M of this ClearBook or of BOOK2. --link gives object OBJECT (its number as book show "
            "lists it) the link TARGET: next, previous, backward, replay, none, slide M or BOOK2/M. Prints the "
            "slide as book show does. A value the rules refuse changes nothing and exits 1 with the reason, "
            "such as \"This format is invalid for wallpaper!\".\n\n") +
        naming;
    slide.options = {
        QCommandLineOption(QStringLiteral("slide"), QStringLiteral("the slide, by its place from 1"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("to"), QStringLiteral("mv, cp: the place it takes, from 1"),
                           QStringLiteral("M")),
        QCommandLineOption(QStringLiteral("into"), QStringLiteral("mv, cp: the ClearBook it goes into"),
                           QStringLiteral("BOOK2")),
        QCommandLineOption(QStringLiteral("title"), QStringLiteral("set: the title"), QStringLiteral("T")),
        QCommandLineOption(QStringLiteral("author"), QStringLiteral("set: the author"), QStringLiteral("A")),
        QCommandLineOption(QStringLiteral("color"), QStringLiteral("set: the background colour"),
                           QStringLiteral("COLOUR")),
        QCommandLineOption(QStringLiteral("gradient"), QStringLiteral("set: on or off"), QStringLiteral("on|off")),
        QCommandLineOption(QStringLiteral("picture"), QStringLiteral("set: the background picture, or none"),
                           QStringLiteral("FILE")),
        QCommandLineOption(QStringLiteral("style"), QStringLiteral("set: center, full or tile"),
                           QStringLiteral("STYLE")),
        QCommandLineOption(QStringLiteral("ending"),
                           QStringLiteral("set: pause, repeat, sequence, or a slide M or BOOK2/M to jump to"),
                           QStringLiteral("ENDING")),
        QCommandLineOption(QStringLiteral("link"), QStringLiteral("set: OBJECT=TARGET"),
                           QStringLiteral("OBJECT=TARGET")),
    };
    slide.examples = {QStringLiteral("vkctl book slide mv Tour --slide 3 --to 1"),
                      QStringLiteral("vkctl book slide cp Tour --slide 2 --into Extras"),
                      QStringLiteral("vkctl book slide set Tour --slide 1 --color clNavy --gradient on --ending sequence"),
                      QStringLiteral("vkctl book slide set Tour --slide 1 --link 3=next")};
    slide.minArgs = slide.maxArgs = 2;
    slide.fileArguments = true;
    slide.run = runSlide;

    return {ls, show, exportJson, importJson, rm, cp, play, render, flag, bar, slide, exportHtml};
}

} // namespace vk
