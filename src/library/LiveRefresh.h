// The workspace following what other programs change in its library (vkctl importing, a second
// workspace renaming a folder): while it runs, it looks on the event loop whether another
// connection committed anything, which costs next to nothing when nothing did; when one did, it
// reads the engine's change log from where it left off and re-reads only the folders the
// changed rows belong to (TDbFolderList::Refresh). The windows follow through the folder list's
// signals.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace vk {

class TDbFolderList;

class LiveRefresh : public QObject
{
    Q_OBJECT
public:
    explicit LiveRefresh(TDbFolderList &roots, QObject *parent = nullptr);

    // From now on, what others commit is news: the load has read everything before.
    void start(int intervalMs = DefaultInterval);
    void stop();
    bool isActive() const { return m_timer.isActive(); }
    static constexpr int DefaultInterval = 250;

    // One look. Answers true when something was read again.
    bool poll();

    // Whether the moment suits a look: a dialog of the workspace's own running its loop, or a
    // drag, may hold items that a refresh would free; the workspace says so here. (The
    // workspace's own open transaction always holds the look.)
    std::function<bool()> mayRefresh;

signals:
    // The keywords table changed.
    void keywordsChanged();
    // A look found and applied changes.
    void refreshed();

private:
    TDbFolderList &m_roots;
    QTimer m_timer;
    qint64 m_dataVersion = -1;
    qint64 m_position = -1;
    bool m_running = false;
    bool m_readAll = false; // the last look failed: the next reads everything again
};

} // namespace vk
