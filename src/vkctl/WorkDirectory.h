// The private work directory of one vkctl run, for the scratch files it writes on the way
// (thumbnails on their way into the database, the image library's own temporary files).
//
// Each run has a directory of its own, "vkctl-XXXXXX" under the per-user private temporary
// directory, locked while the run lasts, so that runs side by side (and the workspace, which
// has its "_vktmp" beside them) never clear each other's files. A run that ends removes its
// own; one that is killed leaves it behind, and the next run clears every one whose lock is
// free.
#pragma once

#include <QString>

namespace vk {

class WorkDirectory
{
public:
    // Made under `base`, after the directories of runs that are over were cleared there.
    explicit WorkDirectory(const QString &base);
    ~WorkDirectory();
    WorkDirectory(const WorkDirectory &) = delete;
    WorkDirectory &operator=(const WorkDirectory &) = delete;

    // Empty when none could be made; error() then tells why.
    const QString &path() const { return m_path; }
    const QString &error() const { return m_error; }

    // Removes the run directories under `base` that no running program holds.
    static void ClearLeftovers(const QString &base);

private:
    QString m_path;
    QString m_error;
    int m_lock = -1;
};

} // namespace vk
