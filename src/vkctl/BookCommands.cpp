#include "BookCommands.h"

#include "AT_DbClearbook.h"
#include "ClearBookJson.h"
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

namespace vk {

namespace {

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;

int usage(const BookCommandContext &ctx, const QString &what)
{
    ctx.error(what);
    ctx.error(QStringLiteral("usage: vkctl book ls [--json] | show BOOK | export-json BOOK [PATH|-] | "
                             "import-json PATH|- | rm BOOK | cp BOOK [--title TITLE] | "
                             "play BOOK [--slide N] --trace [--limit SECONDS] [--resume-after SECONDS]"));
    return Usage;
}

// A ClearBook by OID, or by a title that only one ClearBook has.
TDbClearBook *findBook(TDbClearBookList &books, const QString &name, const BookCommandContext &ctx)
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
        ctx.error(QStringLiteral("there is no ClearBook %1").arg(name));
    } else {
        QStringList oids;
        for (TDbClearBook *cb : std::as_const(found))
            oids.append(cb->Rec.OID);
        ctx.error(QStringLiteral("%1 ClearBooks are titled \"%2\"; name one by its OID: %3")
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

} // namespace

int cmdBook(QStringList args, const BookCommandContext &ctx)
{
    if (args.isEmpty())
        return usage(ctx, QStringLiteral("book needs a command"));
    const QString sub = args.takeFirst();
    bool json = false;
    QString title;
    bool hasTitle = false;
    QStringList positional;
    const bool play = sub == QLatin1String("play");
    bool trace = false;
    int slideNumber = 1;
    qint64 limit = 600000;
    qint64 resumeAfter = 1000;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--json") && sub == QLatin1String("ls"))
            json = true;
        else if (a == QLatin1String("--trace") && play)
            trace = true;
        else if (a == QLatin1String("--slide") && play && !args.isEmpty()) {
            bool ok = false;
            slideNumber = args.takeFirst().toInt(&ok);
            if (!ok || slideNumber < 1)
                return usage(ctx, QStringLiteral("--slide takes a slide's place in the ClearBook, from 1"));
        } else if ((a == QLatin1String("--limit") || a == QLatin1String("--resume-after")) && play &&
                   !args.isEmpty()) {
            const qint64 ms = secondsOption(args.takeFirst());
            if (ms < 0)
                return usage(ctx, QStringLiteral("%1 takes a number of seconds above 0").arg(a));
            (a == QLatin1String("--limit") ? limit : resumeAfter) = ms;
        } else if (a == QLatin1String("--title") && sub == QLatin1String("cp") && !args.isEmpty()) {
            title = args.takeFirst();
            hasTitle = true;
        } else if (a.startsWith(QLatin1String("--")))
            return usage(ctx, QStringLiteral("unknown option '%1' for book %2").arg(a, sub));
        else
            positional.append(a);
    }
    const qsizetype wanted = sub == QLatin1String("ls") ? 0 : sub == QLatin1String("export-json") ? -1 : 1;
    if (sub != QLatin1String("ls") && sub != QLatin1String("show") && sub != QLatin1String("export-json") &&
        sub != QLatin1String("import-json") && sub != QLatin1String("rm") && sub != QLatin1String("cp") &&
        !play)
        return usage(ctx, QStringLiteral("unknown command 'book %1'").arg(sub));
    if ((wanted >= 0 && positional.size() != wanted) ||
        (wanted < 0 && (positional.isEmpty() || positional.size() > 2)))
        return usage(ctx, QStringLiteral("wrong arguments for book %1").arg(sub));
    // Nothing but the trace plays without a screen.
    if (play && !trace)
        return usage(ctx, QStringLiteral("book play needs --trace"));

    // The document is read before anything is opened, so that a bad file changes nothing.
    QJsonObject doc;
    if (sub == QLatin1String("import-json")) {
        QString error;
        const QByteArray bytes = readInput(positional.first(), &error);
        if (!error.isEmpty()) {
            ctx.error(error);
            return Failed;
        }
        QJsonParseError parse;
        const QJsonDocument d = QJsonDocument::fromJson(bytes, &parse);
        if (parse.error != QJsonParseError::NoError || !d.isObject()) {
            ctx.error(QStringLiteral("%1 is not a JSON document: %2 at offset %3")
                          .arg(positional.first(), parse.errorString())
                          .arg(parse.offset));
            return Failed;
        }
        doc = d.object();
    }

    Connection c;
    if (!ctx.open(c))
        return Failed;
    const WorkDirectory work(ctx.workDirectoryBase);
    if (work.path().isEmpty()) {
        ctx.error(work.error());
        return Failed;
    }
    c.setTempFilePrefix(work.path());
    // The authoring tables, made or brought up to date as the authoring window does.
    QStringList changes;
    AuthoringSchemaCheck(c, &changes);
    for (const QString &change : std::as_const(changes))
        ctx.error(change);
    TDbClearBookList books(c);
    if (!books.LoadClearBooks())
        return Failed;

    if (sub == QLatin1String("ls")) {
        if (json) {
            QJsonArray list;
            for (TDbClearBook *cb : std::as_const(books.ClearBooks)) {
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
            ctx.print(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
            return Done;
        }
        for (TDbClearBook *cb : std::as_const(books.ClearBooks)) {
            ctx.print(QStringList{QStringLiteral("book"), cb->Rec.OID, QString::number(cb->Rec.CB_Id),
                                  escapeField(cb->Rec.CB_Title), escapeField(cb->Rec.CB_Author),
                                  QString::number(cb->Slides.size())}
                          .join(QLatin1Char('\t')));
            for (TDbSlide *s : std::as_const(cb->Slides))
                ctx.print(QStringList{QStringLiteral("slide"), s->Rec.OID, QString::number(s->Rec.Slide_Id),
                                      escapeField(s->Rec.Slide_Title), escapeField(s->Rec.Slide_Author),
                                      QString::number(s->Objects.Objects.size())}
                              .join(QLatin1Char('\t')));
        }
        return Done;
    }
    if (sub == QLatin1String("import-json")) {
        QString error;
        TDbClearBook *cb = ImportClearBook(books, doc, &error);
        if (!cb) {
            ctx.error(error);
            return Failed;
        }
        ctx.print(cb->Rec.OID);
        return Done;
    }

    TDbClearBook *cb = findBook(books, positional.first(), ctx);
    if (!cb)
        return Failed;
    if (sub == QLatin1String("show")) {
        for (const QString &line : ShowClearBook(books, cb))
            ctx.print(line);
        return Done;
    }
    if (sub == QLatin1String("export-json")) {
        const QByteArray bytes = QJsonDocument(ExportClearBook(books, cb)).toJson(QJsonDocument::Indented);
        const QString target = positional.value(1, QStringLiteral("-"));
        if (target == QLatin1String("-")) {
            ctx.print(QString::fromUtf8(bytes).trimmed());
            return Done;
        }
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            ctx.error(QStringLiteral("cannot write %1: %2").arg(target, out.errorString()));
            return Failed;
        }
        return Done;
    }
    if (play) {
        if (slideNumber > cb->Slides.size()) {
            ctx.error(QStringLiteral("%1 has %2 slides; there is no slide %3")
                          .arg(cb->Rec.CB_Title)
                          .arg(cb->Slides.size())
                          .arg(slideNumber));
            return Failed;
        }
        PlayTrace player(books, ctx.print);
        player.setLimit(limit);
        player.setResumeAfter(resumeAfter);
        return player.run(cb->Slides[slideNumber - 1]) ? Done : Failed;
    }
    if (sub == QLatin1String("rm"))
        return books.DeleteClearBook(cb) ? Done : Failed;
    // cp
    TDbClearBook *copy =
        books.CopyClearBook(cb, hasTitle ? title : QStringLiteral("Copy of ") + cb->Rec.CB_Title);
    if (!copy)
        return Failed;
    ctx.print(copy->Rec.OID);
    return Done;
}

} // namespace vk
