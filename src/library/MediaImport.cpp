#include "MediaImport.h"

#include "Connection.h"
#include "DbFolder.h"
#include "MediaTypes.h"
#include "UiServices.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <deque>
#include <future>
#include <memory>

namespace vk {

namespace {

// One thing to do, in order: make a subfolder for a directory, or import a file into the
// folder of an earlier entry (or the target, for -1).
struct Entry
{
    QString path;
    int parent = -1;
    bool directory = false;
};

// What a worker finds out about a file before its row is written.
struct Prepared
{
    QString refusal;      // why the file is not imported; empty when it is
    QByteArray thumbnail; // the stored form; empty for a type without one
    bool thumbnailMade = false;
};

void walk(const QString &dir, int self, QSet<QString> &seen, std::vector<Entry> &out)
{
    const QFileInfoList list = QDir(dir).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &info : list) {
        // Hidden files and directories are other programs' own (caches, thumbnails, the
        // resource forks another system leaves beside each picture).
        if (info.fileName().startsWith(QLatin1Char('.')))
            continue;
        if (info.isDir()) {
            // A link back up the tree is followed once.
            const QString canonical = info.canonicalFilePath();
            if (canonical.isEmpty() || seen.contains(canonical))
                continue;
            seen.insert(canonical);
            out.push_back({info.filePath(), self, true});
            walk(info.filePath(), int(out.size()) - 1, seen, out);
        } else {
            out.push_back({info.filePath(), self, false});
        }
    }
}

Prepared prepare(const QString &path, const std::function<QByteArray(const QString &, QString *)> &thumbnailer,
                 bool skipUnreadable)
{
    Prepared p;
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

    std::vector<Entry> entries;
    QSet<QString> seen;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            if (!recursive) {
                skip(path, QStringLiteral("a directory (import it with its subdirectories)"));
                continue;
            }
            seen.insert(info.canonicalFilePath());
            entries.push_back({path, -1, true});
            walk(path, int(entries.size()) - 1, seen, entries);
        } else {
            entries.push_back({path, -1, false});
        }
    }
    int files = 0;
    for (const Entry &e : entries)
        files += e.directory ? 0 : 1;

    // Workers decode a bounded distance ahead of the writer: enough to keep them busy,
    // few enough that cancelling wastes little.
    QThreadPool pool;
    const int workers = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    pool.setMaxThreadCount(workers);
    const size_t ahead = size_t(workers) * 3;
    const auto thumbnailer = m_list.thumbnailer;
    const bool skipUnreadable = skipUnreadablePictures;
    std::deque<std::pair<size_t, std::future<Prepared>>> inFlight;
    size_t next = 0;
    auto feed = [&] {
        while (next < entries.size() && inFlight.size() < ahead) {
            const size_t i = next++;
            if (entries[i].directory)
                continue;
            auto task = std::make_shared<std::packaged_task<Prepared()>>(
                [path = entries[i].path, thumbnailer, skipUnreadable] {
                    return prepare(path, thumbnailer, skipUnreadable);
                });
            inFlight.emplace_back(i, task->get_future());
            pool.start([task] { (*task)(); });
        }
    };

    Connection &c = m_list.connection();
    UiServices *ui = c.ui();
    if (ui)
        ui->progressStart(QStringLiteral("Importing media..."), files);
    std::vector<TDbFolder *> folderOf(entries.size(), nullptr);
    bool good = true;
    int done = 0;
    feed();
    for (size_t i = 0; i < entries.size() && good && !m_cancelled; ++i) {
        const Entry &e = entries[i];
        TDbFolder *into = e.parent < 0 ? folder : folderOf[size_t(e.parent)];
        if (e.directory) {
            if (!into)
                continue; // its parent could not be made; its files were skipped with it
            TDbMedia *tile = m_list.AddSubFolder(into, QFileInfo(e.path).fileName(), tileWidth, tileHeight,
                                                 tileBorder);
            if (!tile) {
                skip(e.path, QStringLiteral("its folder could not be made"));
                continue;
            }
            folderOf[i] = tile->SubFolder;
            if (folderMade)
                folderMade(tile);
            feed();
            continue;
        }
        Prepared p = inFlight.front().second.get();
        inFlight.pop_front();
        feed();
        if (!into) {
            skip(e.path, QStringLiteral("its folder could not be made"));
        } else if (!p.refusal.isEmpty()) {
            skip(e.path, p.refusal);
        } else {
            QString reason;
            TDbMedia *m = m_list.InsertPreparedFile(into, e.path, mode, p.thumbnailMade ? &p.thumbnail : nullptr,
                                                    &reason);
            if (m) {
                ++m_imported;
                if (imported)
                    imported(m);
            } else if (mode == -1) {
                m_cancelled = true;
            } else {
                skip(e.path, reason);
                // A row the database refuses will not be the last one it refuses.
                good = reason != TDbFolderList::DatabaseRefusal();
            }
        }
        ++done;
        // A cancel at the last file has nothing left to stop.
        if (ui && !ui->progressStep(done) && done < files)
            m_cancelled = true;
    }
    if (ui)
        ui->progressEnd();
    // Files not yet started are dropped; the pool waits for the ones in hand on the way out.
    pool.clear();
    m_failed = !good;
    return good;
}

TDbMedia *ImportDirectory(MediaImport &import, const QString &directory, TDbFolder *parent, int mode)
{
    if (!QFileInfo(directory).isDir())
        return nullptr;
    TDbMedia *tile = nullptr;
    const auto made = import.folderMade;
    import.folderMade = [&](TDbMedia *t) {
        if (!tile)
            tile = t;
        if (made)
            made(t);
    };
    const bool recursive = import.recursive;
    import.recursive = true;
    import.Run(parent, {directory}, mode);
    import.recursive = recursive;
    import.folderMade = made;
    return tile;
}

} // namespace vk
