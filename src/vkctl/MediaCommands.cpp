#include "MediaCommands.h"

#include "Connection.h"
#include "DbFolder.h"
#include "MediaProperties.h"
#include "OptionStore.h"
#include "WorkDirectory.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace vk {

namespace {

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;

int usage(const BookCommandContext &ctx, const QString &what)
{
    ctx.error(what);
    ctx.error(
        QStringLiteral("usage: vkctl set MEDIA_OID [--title TITLE] [--author AUTHOR] [--date YYYY-MM-DD] "
                       "[--description-file PATH|-]"));
    return Usage;
}

// The description as the file holds it (UTF-8); standard input for "-".
bool readDescription(const QString &path, QString *text, QString *error)
{
    QFile f;
    const bool opened = path == QLatin1String("-") ? f.open(stdin, QIODevice::ReadOnly)
                                                   : (f.setFileName(path), f.open(QIODevice::ReadOnly));
    if (!opened) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        return false;
    }
    *text = QString::fromUtf8(bytes);
    return true;
}

} // namespace

int cmdSet(QStringList args, const BookCommandContext &ctx)
{
    MediaEdits edits;
    QString oid, descriptionPath;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        auto value = [&](std::optional<QString> &field) {
            if (args.isEmpty())
                return false;
            field = args.takeFirst();
            return true;
        };
        bool good = true;
        if (arg == QLatin1String("--title")) {
            good = value(edits.title);
        } else if (arg == QLatin1String("--author")) {
            good = value(edits.author);
        } else if (arg == QLatin1String("--date")) {
            good = value(edits.date);
        } else if (arg == QLatin1String("--description-file")) {
            good = !args.isEmpty();
            if (good)
                descriptionPath = args.takeFirst();
        } else if (arg.startsWith(QLatin1String("--")) || !oid.isEmpty()) {
            return usage(ctx, QStringLiteral("unexpected %1").arg(arg));
        } else {
            oid = arg;
        }
        if (!good)
            return usage(ctx, QStringLiteral("%1 needs a value").arg(arg));
    }
    if (oid.isEmpty())
        return usage(ctx, QStringLiteral("which media item?"));
    if (edits.isEmpty() && descriptionPath.isEmpty())
        return usage(ctx, QStringLiteral("nothing to set"));
    if (!descriptionPath.isEmpty()) {
        QString text, error;
        if (!readDescription(descriptionPath, &text, &error)) {
            ctx.error(error);
            return Failed;
        }
        edits.description = text;
    }

    Connection c;
    if (!ctx.open(c))
        return Failed;
    const WorkDirectory work(ctx.workDirectoryBase.isEmpty() ? QDir::tempPath() : ctx.workDirectoryBase);
    if (work.path().isEmpty()) {
        ctx.error(work.error());
        return Failed;
    }
    c.setTempFilePrefix(work.path());
    // Only the item's own folder is read, as the workspace holds it; a row no folder holds
    // takes the whole load, which gives it its folder (the lost-media folder).
    DisplayOptions display;
    LoadOptions(c, display);
    TDbFolderList roots(c);
    roots.DefaultWidth = display.DefaultPanelWidth;
    roots.DefaultHeight = display.DefaultPanelHeight;
    roots.DefaultBorder = display.DefaultPanelBorderWidth;
    if (!roots.LoadFolderOfMedia(oid))
        roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight, display.DefaultPanelBorderWidth);
    TDbMedia *item = roots.FindMediaByOid(oid);
    if (!item) {
        ctx.error(QStringLiteral("there is no media item %1").arg(oid));
        return Failed;
    }
    return CommitMediaEdits(c, item, edits, work.path()) ? Done : Failed;
}

} // namespace vk
