#include "MediaFiles.h"

#include "DbFolder.h"
#include "MediaTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QDateTime>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Streams a file into a descriptor: a pipe or a device is written into, as it is.
bool streamInto(const QString &source, int fd, const QString &targetName, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("\"%1\" cannot be read: %2").arg(source, in.errorString()));
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        const char *data = chunk.constData();
        qint64 left = chunk.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, data, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(error, QStringLiteral("\"%1\" cannot be written: %2")
                                       .arg(targetName, QString::fromLocal8Bit(std::strerror(errno))));
            data += n;
            left -= n;
        }
    }
    if (in.error() != QFileDevice::NoError)
        return fail(error, QStringLiteral("\"%1\" cannot be read: %2").arg(source, in.errorString()));
    return true;
}

// What an export writes: the item's own file, or a refusal. `convertTo` is set when the
// picture must be converted to `target` first.
bool exportSource(const TDbMedia &item, int target, const PictureConverter &convert, const QString &name,
                  bool &convertTo, QString *error)
{
    const int type = item.Rec.MediaType;
    convertTo = false;
    if (type == TypeDocument || item.isSubFolderTile())
        return fail(error, QStringLiteral("Not support OLE exporting."));
    if (item.Rec.MediaFile.isEmpty() || !QFileInfo(item.Rec.MediaFile).isFile())
        return fail(error, QStringLiteral("Media lost."));
    if (!isPictureType(type) || target == -1 || target == type)
        return true;
    if (!isPictureType(target) || target == TypeIco || target == TypeWmf)
        return fail(error, QStringLiteral("A picture cannot be written as \"%1\".").arg(name));
    if (!convert)
        return fail(error, QStringLiteral("Pictures cannot be converted here."));
    convertTo = true;
    return true;
}

bool exportInto(const TDbMedia &item, int fd, const QString &targetName, int target,
                const PictureConverter &convert, QString *error, const QString &workDir)
{
    bool conversion = false;
    if (!exportSource(item, target, convert, QFileInfo(targetName).fileName(), conversion, error))
        return false;
    if (!conversion)
        return streamInto(item.Rec.MediaFile, fd, targetName, error);
    // The converted picture is made whole first, then streamed.
    QTemporaryDir scratch((workDir.isEmpty() ? QDir::tempPath() : workDir) +
                          QStringLiteral("/export-XXXXXX"));
    if (!scratch.isValid())
        return fail(
            error,
            QStringLiteral("No scratch file can be made for the conversion: %1").arg(scratch.errorString()));
    static const QHash<int, QString> extensions = {{TypeBmp, "bmp"}, {TypeJpg, "jpg"}, {TypePcx, "pcx"},
                                                   {TypePng, "png"}, {TypeTga, "tga"}, {TypeTif, "tif"},
                                                   {TypeGif, "gif"}};
    const QString converted = scratch.filePath(QStringLiteral("picture.") + extensions.value(target, "bin"));
    if (!convert(item.Rec.MediaFile, item.Rec.MediaType, converted, target, error))
        return false;
    return streamInto(converted, fd, targetName, error);
}

} // namespace

bool ExportMediaFile(const TDbMedia &item, const QString &path, int target, const PictureConverter &convert,
                     QString *error, const QString &workDir)
{
    // Something that is there and is not a plain file is written into, never replaced.
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            return fail(error, QStringLiteral("\"%1\" is a directory.").arg(path));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail(error, QStringLiteral("\"%1\" cannot be written: %2")
                                   .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        const bool good = exportInto(item, fd, path, target, convert, error, workDir);
        ::close(fd);
        return good;
    }
    bool conversion = false;
    if (!exportSource(item, target, convert, QFileInfo(path).fileName(), conversion, error))
        return false;
    if (!conversion)
        return copyWhole(item.Rec.MediaFile, path, error);
    // A conversion writes PATH as it reads the picture: onto its own source it would replace the
    // item's only file (a stored copy, or the user's linked picture) with the converted one.
    struct stat from = {};
    struct stat to = {};
    if (::stat(QFile::encodeName(item.Rec.MediaFile).constData(), &from) == 0 &&
        ::stat(QFile::encodeName(path).constData(), &to) == 0 && from.st_dev == to.st_dev &&
        from.st_ino == to.st_ino)
        return fail(error,
                    QStringLiteral("The file \"%1\" cannot be copied onto itself.").arg(item.Rec.MediaFile));
    return convert(item.Rec.MediaFile, item.Rec.MediaType, path, target, error);
}

bool ExportMediaToDescriptor(const TDbMedia &item, int fd, int target, const PictureConverter &convert,
                             QString *error, const QString &workDir)
{
    return exportInto(item, fd, QStringLiteral("standard output"), target, convert, error, workDir);
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

QString KeepUnstoredFile(const QString &file, const QString &keepDir)
{
    if (!QDir().mkpath(keepDir))
        return file;
    const QFileInfo info(file);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    for (int n = 0; n < 1000; ++n) {
        QString name = info.completeBaseName() + QLatin1Char('-') + stamp;
        if (n > 0)
            name += QLatin1Char('-') + QString::number(n);
        if (!info.suffix().isEmpty())
            name += QLatin1Char('.') + info.suffix();
        const QString target = QDir(keepDir).filePath(name);
        if (QFileInfo::exists(target))
            continue;
        // A rename within one file system; across file systems a copy, then the work file goes.
        if (QFile::rename(file, target))
            return target;
        if (QFile::copy(file, target)) {
            QFile::remove(file);
            return target;
        }
        return file;
    }
    return file;
}

QString UnstoredFilesDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Unsaved recordings");
}

} // namespace vk
