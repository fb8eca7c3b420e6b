// Imports of many files at once: the one path every front end takes (the workspace's
// import command and drops, and vkctl import).
//
// Thumbnails are decoded on worker threads, a few files ahead, while the rows are
// written in order on the one connection, so both cores stay busy and the library gets
// the files in the order they were given.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace vk {

class TDbFolder;
class TDbFolderList;
class TDbMedia;

struct ImportSkip
{
    QString path;
    QString reason;
};

// Whether a file name's bytes decode in the locale's encoding and back again unchanged.
bool IsDecodableName(const QByteArray &name);
// A file name as a person can read it: each byte the locale's encoding cannot decode as \xNN.
QString ReadableName(const QByteArray &name);

class MediaImport
{
public:
    explicit MediaImport(TDbFolderList &list) : m_list(list) {}

    // Directories given are imported as subfolders, with their subdirectories; entries whose
    // names begin with "." are left out. A symbolic link is followed only within the directory
    // given, and a directory reached a second time (through a link, or given twice) is left
    // out. Without this, directories given are skipped.
    bool recursive = false;
    // A picture that cannot be decoded is skipped with the decoder's reason; without this
    // it is imported and shows its type icon (as a video without a frame always is).
    bool skipUnreadablePictures = true;
    // Worker threads for the thumbnails; 0 means one for each core.
    int threads = 0;
    // Paths given whose bytes the locale's encoding cannot decode, as ReadableName shows them:
    // they are skipped with that reason, as the entries of a directory are.
    QSet<QString> undecodablePaths;
    // Tile sizes of the subfolders made for directories.
    int tileWidth = 80, tileHeight = 100, tileBorder = 3;

    // Each new item, as it is imported, and each file or directory left out (one that cannot
    // be read, a name the locale's encoding cannot decode, a link out of the tree, ...).
    std::function<void(TDbMedia *)> imported;
    std::function<void(const ImportSkip &)> skipped;
    // Each subfolder made for a directory.
    std::function<void(TDbMedia *tile)> folderMade;
    // Each file, on the thread that runs the import, before a worker starts on it: what a
    // file's thumbnail needs set up on that thread (the media framework for the first video)
    // is set up here, and only when such a file comes.
    std::function<void(const QString &path)> aboutToRead;

    // Imports `paths` into `folder`, in the order given (a directory's entries in name
    // order). A directory is read when the import reaches it, never the whole tree first.
    // `mode` as for InsertMediaFile. Progress goes through the connection's UiServices, one
    // step a file or skip (the total is 0, unknown, when directories are walked); when the
    // person cancels, the import stops after the file in hand and everything imported so
    // far stays. Answers false only when the import stopped because the library refused a
    // file (its database or file-object directory cannot be written); every file not
    // imported is then told with the reason.
    bool Run(TDbFolder *folder, const QStringList &paths, int mode);

    int importedCount() const { return m_imported; }
    int skippedCount() const { return m_skipped; }
    bool cancelled() const { return m_cancelled; }
    // The last Run stopped because the database failed.
    bool failed() const { return m_failed; }

private:
    TDbFolderList &m_list;
    int m_imported = 0;
    int m_skipped = 0;
    bool m_cancelled = false;
    bool m_failed = false;
};

// A directory dropped onto a folder: a subfolder of `parent` named after it, with its files
// and, as subfolders of their own, its subdirectories. Answers the new subfolder's tile
// (null for a path that is no directory, or when the subfolder could not be made);
// `import` carries the settings and the callbacks, and tells afterwards how it went.
TDbMedia *ImportDirectory(MediaImport &import, const QString &directory, TDbFolder *parent, int mode);

} // namespace vk
