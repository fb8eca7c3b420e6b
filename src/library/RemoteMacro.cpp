#include "RemoteMacro.h"

#include "Connection.h"
#include "DbFolder.h"
#include "Engine.h"
#include "OptionStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>

#include <sqlite3.h>

namespace vk {

QList<QByteArray> SplitMacroLines(const QByteArray &data)
{
    QList<QByteArray> lines = data.split('\n');
    // A macro ends with its last line feed: nothing after it is a line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

std::optional<NewMediaMacro> ParseNewMediaMacro(const QList<QByteArray> &lines, QString *reason)
{
    auto refuse = [reason](const QString &why) -> std::optional<NewMediaMacro> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (lines.size() < 3)
        return refuse(
            QStringLiteral("a macro has three lines: NewMedia, the file's full path, True or False"));
    if (lines[0] != "NewMedia")
        return refuse(QStringLiteral("unknown command \"%1\"").arg(QString::fromUtf8(lines[0].left(40))));
    const QByteArray &raw = lines[1];
    if (raw.isEmpty())
        return refuse(QStringLiteral("no file named"));
    if (raw.contains('\0'))
        return refuse(QStringLiteral("the file's name holds a NUL byte"));
    if (raw.size() >= PATH_MAX)
        return refuse(QStringLiteral("the file's name is too long"));
    const QString path = QFile::decodeName(raw);
    if (!QDir::isAbsolutePath(path))
        return refuse(QStringLiteral("\"%1\" is not a full path").arg(path));
    NewMediaMacro macro;
    macro.path = QDir::cleanPath(path);
    macro.deleteAfter = lines[2] == "True";
    return macro;
}

namespace {

bool isInside(const QString &path, const QString &dir)
{
    return !dir.isEmpty() && path.startsWith(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'));
}

// Why a file handed over to be deleted is one the data source keeps itself (a stored copy in
// its file-object directory, the database file or one of the engine's files beside it);
// empty when it is not. Links are followed: where the file really lies counts.
QString ownFileRefusal(const Connection &c, const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return {};
    const QString foDir =
        QFileInfo(QString::fromStdString(vkdb::DbFileObjectDir(c.handle()))).canonicalFilePath();
    if (isInside(real, foDir))
        return QStringLiteral("%1 is a file the library stores itself; it is not deleted").arg(path);
    if (::sqlite3 *db = vkdb::DbNativeHandle(c.handle())) {
        const char *name = ::sqlite3_db_filename(db, "main");
        const QString dbFile = name && *name ? QFileInfo(QFile::decodeName(name)).canonicalFilePath() : QString();
        // The database and its companions: "-wal", "-shm", ".vk-lock", ".vk-reserve".
        if (!dbFile.isEmpty() && real.startsWith(dbFile))
            return QStringLiteral("%1 is one of the library's database files; it is not deleted").arg(path);
    }
    return {};
}

} // namespace

NewMediaResult ExecuteNewMedia(TDbFolderList &roots, const NewMediaMacro &macro,
                               const DisplayOptions &options)
{
    NewMediaResult result;
    const QFileInfo info(macro.path);
    if (!info.exists() && !info.isSymLink()) {
        result.reason = QStringLiteral("%1: the file is not there").arg(macro.path);
        return result;
    }
    // A directory, pipe or device is never read (a pipe would hold the workspace up).
    if (!info.isFile()) {
        result.reason = QStringLiteral("%1: not a plain file").arg(macro.path);
        return result;
    }
    if (macro.deleteAfter) {
        result.reason = ownFileRefusal(roots.connection(), macro.path);
        if (!result.reason.isEmpty()) {
            result.ignored = true;
            return result;
        }
    }
    const QString title = QLatin1String(RemoteMediaFolderTitle);
    result.folder = roots.FindFolderByTitle(title);
    if (!result.folder) {
        result.folder = roots.AddRootFolder(title, options.DefaultPanelWidth, options.DefaultPanelBorderWidth,
                                            options.DefaultPanelHeight);
        if (!result.folder) {
            result.reason = QStringLiteral("the folder \"%1\" could not be made").arg(title);
            return result;
        }
        result.folderMade = true;
    }
    int mode = 0; // a database file; the person is not asked
    QString skipped;
    result.item = roots.InsertPreparedFile(result.folder, macro.path, mode, nullptr, &skipped);
    if (!result.item) {
        // The file stays where it is whatever the macro asked: it is not in the library.
        result.reason = QStringLiteral("%1: %2").arg(
            macro.path, skipped.isEmpty() ? QStringLiteral("not imported") : skipped);
        return result;
    }
    if (macro.deleteAfter) {
        QFile file(macro.path);
        result.fileDeleted = file.remove();
        if (!result.fileDeleted)
            result.reason = QStringLiteral("%1 is in the library but could not be deleted: %2")
                                .arg(macro.path, file.errorString());
    }
    return result;
}

} // namespace vk
