#include "MagickBridge.h"

#include "ImageCodec.h"

#include <Magick++.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include <unistd.h>

namespace vk::magick {

namespace {

// What the library may use for pixel caches, all threads together. Memory caches count
// in the program's budget; anything larger goes to a file in the program's own work
// directory, never to a shared temporary directory and never mapped into memory (a mapped
// cache would count in the program's memory without the budget knowing). The disk allows
// the largest picture the program opens at the library's 8 bytes a pixel; the platform's
// policy may lower any of these, never raise them.
constexpr MagickCore::MagickSizeType CacheMemory = 256ULL << 20;
constexpr MagickCore::MagickSizeType CacheDisk = 1ULL << 30;
static_assert(CacheDisk >= MagickCore::MagickSizeType(MaxPicturePixels) * 8);

void ensureStarted()
{
    // The program may not have started the library itself (a headless tool, a test);
    // starting it twice is not allowed, so ask first.
    static std::once_flag once;
    std::call_once(once, [] {
        if (MagickCore::IsMagickCoreInstantiated() == MagickCore::MagickFalse)
            Magick::InitializeMagick(nullptr);
        Magick::ResourceLimits::memory(CacheMemory);
        Magick::ResourceLimits::map(0);
        Magick::ResourceLimits::area(MagickCore::MagickSizeType(MaxPicturePixels));
        Magick::ResourceLimits::disk(CacheDisk);
    });
    // Asked for each time: the directory may have been emptied and removed by a workspace
    // closing meanwhile, and without it the library would fall back to the shared one.
    // Without it, no pixel cache goes to disk at all.
    static std::atomic<bool> diskAllowed{true};
    const QString dir = pictureWorkDirectory();
    if (diskAllowed.exchange(!dir.isEmpty()) == dir.isEmpty())
        Magick::ResourceLimits::disk(dir.isEmpty() ? 0 : CacheDisk);
    if (dir.isEmpty())
        return;
    MagickCore::ExceptionInfo *exception = MagickCore::AcquireExceptionInfo();
    MagickCore::SetImageRegistry(MagickCore::StringRegistryType, "temporary-path",
                                 QFile::encodeName(dir).constData(), exception);
    MagickCore::DestroyExceptionInfo(exception);
}

// libwmf reports damaged records with printf, on standard output, where vkctl's
// readable results go. While a metafile is read, standard output is standard error;
// the lock keeps two readers from swapping the descriptors under each other.
class MetafileNoiseToStderr
{
public:
    explicit MetafileNoiseToStderr(const char *coder)
    {
        if (std::strcmp(coder, "WMF") != 0)
            return;
        m_lock = std::unique_lock<std::mutex>(lock());
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        if (m_saved >= 0 && ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            ::close(m_saved);
            m_saved = -1;
        }
    }

    ~MetafileNoiseToStderr()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        ::dup2(m_saved, STDOUT_FILENO);
        ::close(m_saved);
    }

    MetafileNoiseToStderr(const MetafileNoiseToStderr &) = delete;
    MetafileNoiseToStderr &operator=(const MetafileNoiseToStderr &) = delete;

private:
    static std::mutex &lock()
    {
        static std::mutex m;
        return m;
    }

    std::unique_lock<std::mutex> m_lock;
    int m_saved = -1;
};

// The channel order of a 32-bit QRgb pixel in memory, as the library names channels.
constexpr const char *QRgbOrder = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "BGRA" : "ARGB";

bool fits(qint64 width, qint64 height)
{
    return width <= MaxPictureSide && height <= MaxPictureSide && width * height <= MaxPicturePixels;
}

// The library's texts read "client: reason `file' @ error/coder.c/Function/123"; only
// the reason means anything to a person.
QString reasonOf(const std::exception &e)
{
    QString text = QString::fromLocal8Bit(e.what());
    const int colon = text.indexOf(QLatin1String(": "));
    if (colon >= 0 && !text.left(colon).contains(QLatin1Char(' ')))
        text = text.mid(colon + 2);
    for (const char *cut : {" `", " @ "}) {
        const int at = text.indexOf(QLatin1String(cut));
        if (at >= 0)
            text.truncate(at);
    }
    text = text.trimmed();
    return text.isEmpty() ? QStringLiteral("the image library could not read it") : text;
}

void fail(Result &r, Failure failure, const QString &reason)
{
    r.image = QImage();
    r.failure = failure;
    r.reason = reason;
}

// Runs `body`, turning whatever the library throws into `r`. Warnings arrive as
// exceptions after the picture has been read; `acceptWarning` says whether the
// result stands despite one.
template <typename Body, typename Accept> void guarded(Result &r, Body body, Accept acceptWarning)
{
    try {
        ensureStarted();
        body();
    } catch (const Magick::ErrorResourceLimit &e) {
        fail(r, Failure::TooLarge, reasonOf(e));
    } catch (const Magick::WarningResourceLimit &e) {
        fail(r, Failure::TooLarge, reasonOf(e));
    } catch (const Magick::ErrorCache &e) {
        // Its pixel cache found no room: the picture's size, not its content.
        fail(r, Failure::TooLarge, reasonOf(e));
    } catch (const Magick::WarningCorruptImage &e) {
        fail(r, Failure::Damaged, reasonOf(e));
    } catch (const Magick::Warning &e) {
        if (!acceptWarning())
            fail(r, Failure::Damaged, reasonOf(e));
    } catch (const std::bad_alloc &) {
        fail(r, Failure::TooLarge, QStringLiteral("not enough memory"));
    } catch (const std::exception &e) {
        fail(r, Failure::Damaged, reasonOf(e));
    } catch (...) {
        fail(r, Failure::Damaged, QStringLiteral("the image library failed"));
    }
}

void toQImage(Magick::Image &img, Result &r)
{
    const size_t width = img.columns();
    const size_t height = img.rows();
    if (width == 0 || height == 0) {
        fail(r, Failure::Damaged, QStringLiteral("no picture was found in the file"));
        return;
    }
    if (!fits(qint64(width), qint64(height))) {
        r.size = QSize(int(qMin<size_t>(width, INT_MAX)), int(qMin<size_t>(height, INT_MAX)));
        fail(r, Failure::TooLarge, QString());
        return;
    }
    // Pixels are exported as they are stored: CMYK or linear values would come out as
    // wrong colours.
    const MagickCore::ColorspaceType space = img.colorSpace();
    if (space != MagickCore::sRGBColorspace && space != MagickCore::GRAYColorspace &&
        space != MagickCore::TransparentColorspace && space != MagickCore::UndefinedColorspace)
        img.colorSpace(MagickCore::sRGBColorspace);
    const bool alpha = img.matte();
    QImage out(int(width), int(height), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull()) {
        fail(r, Failure::TooLarge, QStringLiteral("not enough memory"));
        return;
    }
    // Exported straight into the picture's own byte order, without a second copy.
    // Exporting reads palette pictures through their colour map, unlike pixelColor().
    img.write(0, 0, width, height, QRgbOrder, Magick::CharPixel, out.bits());
    r.image = out;
    r.size = r.image.size();
}

// Reads the whole of `file` into memory the library owns (a Blob made from bytes would
// copy them: a second copy of the file for as long as it is read).
bool readWhole(QIODevice &file, Magick::Blob &blob, Result &r)
{
    const qint64 size = file.size();
    void *bytes = size > 0 ? MagickCore::AcquireMagickMemory(size_t(size)) : nullptr;
    if (!bytes) {
        fail(r, size > 0 ? Failure::TooLarge : Failure::Unreadable,
             size > 0 ? QStringLiteral("not enough memory") : file.errorString());
        return false;
    }
    blob.updateNoCopy(bytes, size_t(size), Magick::Blob::MallocAllocator);
    if (!file.seek(0) || file.read(static_cast<char *>(bytes), size) != size) {
        fail(r, Failure::Unreadable, file.errorString());
        return false;
    }
    return true;
}

} // namespace

Result ping(QIODevice &file, const char *coder)
{
    Result r;
    Magick::Blob data;
    if (!readWhole(file, data, r))
        return r;
    Magick::Image img;
    const MetafileNoiseToStderr quiet(coder);
    guarded(
        r,
        [&] {
            img.magick(coder);
            img.subRange(1);
            img.ping(data);
        },
        [&] { return img.isValid() && img.columns() > 0; });
    if (r.failure == Failure::None)
        r.size = QSize(int(qMin<size_t>(img.columns(), INT_MAX)), int(qMin<size_t>(img.rows(), INT_MAX)));
    return r;
}

Result read(QIODevice &file, const char *coder, const ReadOptions &options)
{
    Result r;
    Magick::Blob data;
    if (!readWhole(file, data, r))
        return r;
    Magick::Image img;
    const MetafileNoiseToStderr quiet(coder);
    guarded(
        r,
        [&] {
            img.magick(coder);
            img.subRange(1); // the first frame of an animation or icon file
            if (options.density > 0)
                img.density(Magick::Geometry(size_t(options.density + 0.5), size_t(options.density + 0.5)));
            // JPEG decodes at a fraction of its size when told the size wanted.
            if (options.thumbnail.isValid())
                img.defineValue("jpeg", "size",
                                std::to_string(options.thumbnail.width()) + "x" +
                                    std::to_string(options.thumbnail.height()));
            img.read(data);
        },
        [&] { return img.isValid() && img.columns() > 0; });
    if (r.failure != Failure::None)
        return r;
    guarded(
        r,
        [&] {
            if (options.thumbnail.isValid() && fits(qint64(img.columns()), qint64(img.rows()))) {
                Magick::Geometry exact(size_t(options.thumbnail.width()), size_t(options.thumbnail.height()));
                exact.aspect(true);
                img.thumbnail(exact);
            }
            toQImage(img, r);
        },
        [&] { return !r.image.isNull(); });
    return r;
}

Result write(const QImage &image, const char *coder, QByteArray &out)
{
    Result r;
    out.clear();
    if (image.isNull()) {
        fail(r, Failure::Damaged, QStringLiteral("there is no picture"));
        return r;
    }
    // The library aborts the whole program, rather than throwing, when asked to make a
    // picture beyond its limits from pixels; never ask it to.
    if (!fits(image.width(), image.height())) {
        r.size = image.size();
        fail(r, Failure::TooLarge, QString());
        return r;
    }
    // RGB32 is ARGB32 with every alpha at 255: both go in as they are, without a copy.
    const bool thirtyTwoBits =
        image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32;
    const QImage argb = !thirtyTwoBits ? image.convertToFormat(QImage::Format_ARGB32)
                        : image.bytesPerLine() == qsizetype(image.width()) * 4 ? image
                                                                               : image.copy();
    if (argb.isNull()) {
        fail(r, Failure::TooLarge, QStringLiteral("not enough memory"));
        return r;
    }
    const bool opaque = isOpaque(argb);
    Magick::Blob blob;
    guarded(
        r,
        [&] {
            Magick::Image img;
            img.read(size_t(argb.width()), size_t(argb.height()), QRgbOrder, Magick::CharPixel,
                     argb.constBits());
            if (opaque)
                img.matte(false);
            img.magick(coder);
            img.write(&blob);
        },
        [&] { return blob.length() > 0; });
    if (r.failure == Failure::None) {
        if (blob.length() == 0)
            fail(r, Failure::Damaged, QStringLiteral("the image library wrote nothing"));
        else
            out = QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
    }
    return r;
}

} // namespace vk::magick

namespace vk {

void initImageLibrary(const char *argv0)
{
    Magick::InitializeMagick(argv0);
}

QString pictureWorkDirectory()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        return QString();
    const QString tmp = cache + QStringLiteral("/tmp");
    const QString dir = tmp + QStringLiteral("/_vktmp");
    // Never work inside a directory some link points us to.
    if (QFileInfo(tmp).isSymLink() || QFileInfo(dir).isSymLink())
        return QString();
    if (!QFileInfo(dir).isDir()) {
        if (!QDir().mkpath(dir))
            return QString();
        const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QFile::setPermissions(tmp, ownerOnly);
        QFile::setPermissions(dir, ownerOnly);
    }
    return dir;
}

} // namespace vk
