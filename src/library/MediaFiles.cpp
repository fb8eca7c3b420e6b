#include "MediaFiles.h"

#include "DbFolder.h"
#include "MediaTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>

namespace vk {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// A plain copy that replaces `target` only once the whole file is written.
bool copyWhole(const QString &source, const QString &target, QString *error)
{
    const QFileInfo from(source), to(target);
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath())
        return true; // the file is already there
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("\"%1\" cannot be read: %2").arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("\"%1\" cannot be written: %2").arg(target, out.errorString()));
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return fail(error, QStringLiteral("\"%1\" cannot be written: %2").arg(target, out.errorString()));
        }
    }
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return fail(error, QStringLiteral("\"%1\" cannot be read: %2").arg(source, in.errorString()));
    }
    if (!out.commit())
        return fail(error, QStringLiteral("\"%1\" cannot be written: %2").arg(target, out.errorString()));
    return true;
}

} // namespace

bool ExportMediaFile(const TDbMedia &item, const QString &path, int target, const PictureConverter &convert,
                     QString *error)
{
    const int type = item.Rec.MediaType;
    if (type == TypeDocument || item.isSubFolderTile())
        return fail(error, QStringLiteral("Not support OLE exporting."));
    if (item.Rec.MediaFile.isEmpty() || !QFileInfo(item.Rec.MediaFile).isFile())
        return fail(error, QStringLiteral("Media lost."));
    if (!isPictureType(type) || target == -1 || target == type)
        return copyWhole(item.Rec.MediaFile, path, error);
    if (!isPictureType(target) || target == TypeIco || target == TypeWmf)
        return fail(error, QStringLiteral("A picture cannot be written as \"%1\".").arg(QFileInfo(path).fileName()));
    if (!convert)
        return fail(error, QStringLiteral("Pictures cannot be converted here."));
    return convert(item.Rec.MediaFile, type, path, target, error);
}

QString UniqueWorkFile(const QString &workDir, const QString &base, const QString &ext)
{
    static std::atomic<quint64> counter{0};
    const QString stem = base.isEmpty() ? QStringLiteral("def") : base;
    for (;;) {
        const QString name =
            QDir(workDir).filePath(stem + QString::number(++counter) + QLatin1Char('.') + ext);
        const QFileInfo info(name);
        if (!info.exists() && !info.isSymLink())
            return name;
        if (QFile::remove(name))
            return name;
    }
}

} // namespace vk
