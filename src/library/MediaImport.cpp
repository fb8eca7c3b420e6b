#include "MediaImport.h"

#include "Connection.h"
#include "DbFolder.h"
#include "FileStamp.h"
#include "MediaTypes.h"
#include "UiServices.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <future>
#include <map>
#include <memory>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace vk {

namespace {

using Thumbnailer = std::function<QByteArray(const QString &, QString *)>;

QString systemError(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

// One thing to do, in the order found: make a subfolder for a directory, import a file, or
// tell why something is left out. Entries go into the subfolder of the directory numbered
// `parent`, or into the target for -1.
struct Entry
{
    enum Kind
    {
        File,
        Directory,
        Skip
    };
    Kind kind = File;
    QString path;
    int parent = -1;
    int directory = -1; // a Directory's own number
    QString reason;     // a Skip's
};

bool decodable(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

// A name as a person can read it: each byte the locale's encoding cannot decode as \xNN.
QString readableName(const QByteArray &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name.at(i));
        const int length = lead < 0x80                   ? 1
                           : lead >= 0xc2 && lead < 0xe0 ? 2
                           : lead >= 0xe0 && lead < 0xf0 ? 3
                           : lead >= 0xf0 && lead < 0xf5 ? 4
                                                         : 0;
        if (length > 0 && i + length <= name.size()) {
            const QByteArray piece = name.mid(i, length);
            if (decodable(piece)) {
                out += QFile::decodeName(piece);
                i += length;
                continue;
            }
        }
        out +=
            QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        ++i;
    }
    return out;
}

// The entries of the paths given, found as the import needs them: a directory is read when
// the walk reaches it, so the first files go in while the rest of the tree is still unread.
// Hidden entries (names beginning with ".") are other programs' own (caches, thumbnails, the
// resource forks another system leaves beside each picture) and are passed over; everything
// else left out becomes a Skip with its reason.
class Walker
{
public:
    Walker(const QStringList &paths, bool recursive, const QSet<QString> &undecodable)
        : m_paths(paths), m_recursive(recursive), m_undecodable(undecodable)
    {
    }

    // The next entry; false at the end.
    bool next(Entry &entry)
    {
        if (!fill())
            return false;
        entry = std::move(m_ahead.front());
        m_ahead.pop_front();
        return true;
    }
    bool atEnd() { return !fill(); }

private:
    struct Child
    {
        QString name; // readable
        QByteArray raw;
    };
    struct Frame
    {
        QString path;
        int directory; // its number
        int tree;      // the path given it was found under
        std::vector<Child> children;
        size_t at = 0;
    };
    struct Tree
    {
        QString given;
        QByteArray real; // its canonical path
    };

    bool fill()
    {
        while (m_ahead.empty()) {
            if (!m_stack.empty()) {
                Frame &f = m_stack.back();
                if (f.at == f.children.size()) {
                    m_stack.pop_back();
                    continue;
                }
                const Child child = f.children[f.at++];
                visit(f.path, f.directory, f.tree, child); // may push another frame
            } else if (m_nextPath < m_paths.size()) {
                given(m_paths.at(m_nextPath++));
            } else {
                return false;
            }
        }
        return true;
    }

    void skip(const QString &path, const QString &reason)
    {
        m_ahead.push_back({Entry::Skip, path, -1, -1, reason});
    }

    void given(const QString &path)
    {
        if (m_undecodable.contains(path)) {
            skip(path, QStringLiteral("its name is not valid in the locale's encoding"));
            return;
        }
        const QByteArray native = QFile::encodeName(path);
        struct stat st = {};
        if (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            m_ahead.push_back({Entry::File, path, -1, -1, {}}); // the file's own checks tell what is wrong
            return;
        }
        if (!m_recursive) {
            skip(path, QStringLiteral("a directory (import it with its subdirectories)"));
            return;
        }
        QByteArray real = native;
        if (char *resolved = ::realpath(native.constData(), nullptr)) {
            real = resolved;
            std::free(resolved);
        }
        m_trees.push_back({path, real});
        enter(path, -1, int(m_trees.size()) - 1, st);
    }

    void visit(const QString &dir, int parent, int tree, const Child &child)
    {
        const QString path =
            dir.endsWith(QLatin1Char('/')) ? dir + child.name : dir + QLatin1Char('/') + child.name;
        if (!decodable(child.raw)) {
            skip(path, QStringLiteral("its name is not valid in the locale's encoding"));
            return;
        }
        const QByteArray native = QFile::encodeName(path);
        struct stat st = {};
        if (::lstat(native.constData(), &st) != 0) {
            const int error = errno;
            skip(path, error == ENOENT ? QStringLiteral("the file is not there")
                                       : QStringLiteral("it cannot be examined: %1").arg(systemError(error)));
            return;
        }
        if (S_ISLNK(st.st_mode)) {
            char *resolved = ::realpath(native.constData(), nullptr);
            if (!resolved) {
                const int error = errno;
                skip(path, error == ENOENT
                               ? QStringLiteral("a link to nothing")
                               : QStringLiteral("the link cannot be followed: %1").arg(systemError(error)));
                return;
            }
            const QByteArray target(resolved);
            std::free(resolved);
            // A link is followed only within the tree given: one to "/" would import the disk.
            const Tree &t = m_trees.at(size_t(tree));
            const QByteArray inside = t.real.endsWith('/') ? t.real : t.real + '/';
            if (target != t.real && !target.startsWith(inside)) {
                skip(path, QStringLiteral("a link that leads out of %1").arg(t.given));
                return;
            }
            if (::stat(native.constData(), &st) != 0) {
                skip(path, QStringLiteral("the link cannot be followed: %1").arg(systemError(errno)));
                return;
            }
        }
        if (S_ISDIR(st.st_mode))
            enter(path, parent, tree, st);
        else
            m_ahead.push_back({Entry::File, path, parent, -1, {}});
    }

    // A directory reached: its entries read, or the reason it is left out.
    void enter(const QString &path, int parent, int tree, const struct stat &st)
    {
        const std::pair<uint64_t, uint64_t> identity(uint64_t(st.st_dev), uint64_t(st.st_ino));
        const auto seen = m_seen.find(identity);
        if (seen != m_seen.end()) {
            skip(path, QStringLiteral("already imported as %1").arg(seen->second));
            return;
        }
        DIR *d = ::opendir(QFile::encodeName(path).constData());
        if (!d) {
            skip(path, QStringLiteral("the directory cannot be read: %1").arg(systemError(errno)));
            return;
        }
        std::vector<Child> children;
        errno = 0;
        while (const dirent *e = ::readdir(d)) {
            const QByteArray raw(e->d_name);
            if (!raw.startsWith('.'))
                children.push_back({decodable(raw) ? QFile::decodeName(raw) : readableName(raw), raw});
            errno = 0;
        }
        const int error = errno;
        ::closedir(d);
        std::sort(children.begin(), children.end(),
                  [](const Child &a, const Child &b) { return a.name.compare(b.name) < 0; });
        m_seen.emplace(identity, path);
        const int number = m_directories++;
        m_ahead.push_back({Entry::Directory, path, parent, number, {}});
        if (error != 0)
            skip(path, QStringLiteral("the directory cannot be read to the end: %1").arg(systemError(error)));
        m_stack.push_back({path, number, tree, std::move(children)});
    }

    const QStringList m_paths;
    const bool m_recursive;
    const QSet<QString> m_undecodable;
    qsizetype m_nextPath = 0;
    std::deque<Entry> m_ahead;
    std::vector<Frame> m_stack;
    std::vector<Tree> m_trees;
    std::map<std::pair<uint64_t, uint64_t>, QString> m_seen; // directories by device and inode
    int m_directories = 0;
};

// What a worker finds out about a file before its row is written.
struct Prepared
{
    QString refusal;      // why the file is not imported; empty when it is
    QByteArray thumbnail; // the stored form; empty for a type without one
    bool thumbnailMade = false;
    FileStamp stamp; // the file before it was looked at
};

Prepared prepare(const QString &path, const Thumbnailer &thumbnailer, bool skipUnreadable)
{
    Prepared p;
    p.stamp = FileStamp::of(path);
    const int type = MediaTypeOfExtension(path);
    p.refusal = TDbFolderList::ImportRefusal(path, type);
    if (!p.refusal.isEmpty() || !(isPictureType(type) || type == TypeAvi) || !thumbnailer)
        return p;
    QString error;
    QByteArray bytes = thumbnailer(path, &error);
    p.thumbnailMade = true;
    if (bytes.isEmpty()) {
        // A video without a frame to show may still play; it shows its type icon.
        if (skipUnreadable && type != TypeAvi)
            p.refusal = error.isEmpty() ? QStringLiteral("not a picture that can be read") : error;
        return p;
    }
    // Icons and metafiles are their own thumbnails; decoding them only proves they are whole.
    if (type != TypeIco && type != TypeWmf)
        p.thumbnail = std::move(bytes);
    return p;
}

// A decoder that throws (out of memory, or any other failure) costs that file, not the import.
Prepared refusedFor(std::exception_ptr failure)
{
    Prepared p;
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc &) {
        p.refusal = QStringLiteral("not enough memory to read it");
    } catch (const std::exception &e) {
        p.refusal = QStringLiteral("reading it failed: %1").arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        p.refusal = QStringLiteral("reading it failed");
    }
    return p;
}

Prepared prepareSafely(const QString &path, const Thumbnailer &thumbnailer, bool skipUnreadable)
{
    try {
        return prepare(path, thumbnailer, skipUnreadable);
    } catch (...) {
        return refusedFor(std::current_exception());
    }
}

} // namespace

bool MediaImport::Run(TDbFolder *folder, const QStringList &paths, int mode)
{
    m_imported = m_skipped = 0;
    m_cancelled = m_failed = false;
    auto skip = [this](const QString &path, const QString &reason) {
        ++m_skipped;
        if (skipped)
            skipped({path, reason});
    };

    // How many files there are is known only when no directory is to be walked.
    int total = int(paths.size());
    for (const QString &path : paths) {
        if (recursive && QFileInfo(path).isDir()) {
            total = 0;
            break;
        }
    }
    Walker walker(paths, recursive, undecodablePaths);

    // Workers decode a bounded distance ahead of the writer: enough to keep them busy,
    // few enough that cancelling wastes little.
    QThreadPool pool;
    const int workers = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    pool.setMaxThreadCount(workers);
    const size_t ahead = size_t(workers) * 3;
    const Thumbnailer thumbnailer = m_list.thumbnailer;
    const bool skipUnreadable = skipUnreadablePictures;
    struct Pending
    {
        Entry entry;
        std::future<Prepared> prepared; // a file's
    };
    std::deque<Pending> pending;
    size_t decoding = 0;
    auto feed = [&] {
        Entry e;
        while (decoding < ahead && walker.next(e)) {
            Pending p{std::move(e), {}};
            if (p.entry.kind == Entry::File) {
                if (aboutToRead)
                    aboutToRead(p.entry.path);
                auto task = std::make_shared<std::packaged_task<Prepared()>>(
                    [path = p.entry.path, thumbnailer, skipUnreadable] {
                        return prepareSafely(path, thumbnailer, skipUnreadable);
                    });
                p.prepared = task->get_future();
                pool.start([task] { (*task)(); });
                ++decoding;
            }
            pending.push_back(std::move(p));
        }
    };

    Connection &c = m_list.connection();
    UiServices *ui = c.ui();
    if (ui)
        ui->progressStart(QStringLiteral("Importing media..."), total);
    std::vector<TDbFolder *> folders; // the subfolders made, by directory number
    auto folderOf = [&](int directory) -> TDbFolder * {
        if (directory < 0)
            return folder;
        return size_t(directory) < folders.size() ? folders[size_t(directory)] : nullptr;
    };
    bool good = true;
    QString stopReason;
    int done = 0;
    feed();
    while (!pending.empty() && good && !m_cancelled) {
        Pending item = std::move(pending.front());
        pending.pop_front();
        const Entry &e = item.entry;
        TDbFolder *into = folderOf(e.parent);
        if (e.kind == Entry::Directory) {
            folders.resize(std::max(folders.size(), size_t(e.directory) + 1), nullptr);
            TDbMedia *tile = into ? m_list.AddSubFolder(into, QFileInfo(e.path).fileName(), tileWidth,
                                                        tileHeight, tileBorder)
                                  : nullptr;
            if (tile) {
                folders[size_t(e.directory)] = tile->SubFolder;
                if (folderMade)
                    folderMade(tile);
            } else {
                skip(e.path, QStringLiteral("its folder could not be made"));
            }
            feed();
            continue;
        }
        if (e.kind == Entry::Skip) {
            skip(e.path, e.reason);
        } else {
            --decoding;
            Prepared p;
            try {
                p = item.prepared.get();
            } catch (...) {
                p = refusedFor(std::current_exception());
            }
            feed();
            // A file that changed while it was looked at (still being written, say) is looked
            // at again as it is now.
            if (!p.refusal.isEmpty() && p.stamp.valid() && !FileStamp::of(e.path).sameAs(p.stamp))
                p = prepareSafely(e.path, thumbnailer, skipUnreadable);
            if (!into) {
                skip(e.path, QStringLiteral("its folder could not be made"));
            } else if (!p.refusal.isEmpty()) {
                skip(e.path, p.refusal);
            } else {
                QString reason;
                bool libraryFailed = false;
                const PreparedThumbnail thumbnail{p.thumbnail, p.stamp};
                TDbMedia *m = m_list.InsertPreparedFile(
                    into, e.path, mode, p.thumbnailMade ? &thumbnail : nullptr, &reason, &libraryFailed);
                if (m) {
                    ++m_imported;
                    if (imported)
                        imported(m);
                } else if (mode == -1) {
                    m_cancelled = true;
                } else {
                    skip(e.path, reason);
                    // A library that refuses one file (its database or its file-object
                    // directory cannot be written) refuses the next ones too.
                    if (libraryFailed) {
                        good = false;
                        stopReason = reason;
                    }
                }
            }
        }
        ++done;
        // A cancel when nothing is left has nothing to stop.
        if (ui && !ui->progressStep(done) && !(pending.empty() && walker.atEnd()))
            m_cancelled = true;
    }
    if (ui)
        ui->progressEnd();
    // Files not yet started are dropped; the pool waits for the ones in hand on the way out.
    pool.clear();
    if (!good) {
        // What the import did not reach is left out, each with the reason it stopped.
        const QString reason = QStringLiteral("the import stopped: %1").arg(stopReason);
        auto leftOut = [&](const Entry &e) {
            if (e.kind == Entry::File)
                skip(e.path, reason);
            else if (e.kind == Entry::Skip)
                skip(e.path, e.reason);
        };
        for (const Pending &p : pending)
            leftOut(p.entry);
        Entry e;
        while (walker.next(e))
            leftOut(e);
    }
    m_failed = !good;
    return good;
}

TDbMedia *ImportDirectory(MediaImport &import, const QString &directory, TDbFolder *parent, int mode)
{
    if (!QFileInfo(directory).isDir())
        return nullptr;
    TDbMedia *tile = nullptr;
    const auto made = import.folderMade;
    import.folderMade = [&](TDbMedia * t) { if (!tile) tile = t;
    if (made)
        made(t);
};
const bool recursive = import.recursive;
import.recursive = true;
import.Run(parent, {directory}, mode);
import.recursive = recursive;
import.folderMade = made;
return tile;
} // namespace vk

bool IsDecodableName(const QByteArray &name)
{
    return decodable(name);
}

QString ReadableName(const QByteArray &name)
{
    return readableName(name);
}

} // namespace vk
