// A folder window on 10,000 items (offscreen): the time from opening to its first paint, the
// longest and the mean frame while scrolling from top to bottom once the thumbnails are made,
// and the memory the open window adds per item. Beside it, in the same run, Qt's own list view
// in icon mode over the same 10,000 titles.
//
//   QT_QPA_PLATFORM=offscreen build/ci/bench/bench_folder_window
#include "Childwin.h"
#include "Connection.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "ThumbnailCache.h"
#include "UiServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

using namespace vk;

namespace {

constexpr int ItemCount = 10000;

class QuietUi : public UiServices
{
public:
    void showMessage(const QString &, Icon) override {}
    bool askYesNo(const QString &) override { return true; }
    bool askOkCancel(const QString &, Icon) override { return true; }
    void showInformation(const QString &, const QStringList &, const QString &) override {}
    int askChoice(const QString &, const QString &, const QStringList &, const QStringList &, int chosen,
                  const QString &, bool *) override
    {
        return chosen;
    }
    void progressStart(const QString &, int) override {}
    bool progressStep(int) override { return true; }
    void progressEnd() override {}
    void setHourglass(bool) override {}
    void setStatusText(const QString &) override {}
};

class Host : public FolderWindowHost
{
public:
    explicit Host(Connection &c) : m_roots(c) {}
    TDbFolderList &roots() override { return m_roots; }
    TSelectedList &clipboard() override { return m_clipboard; }
    UiServices &ui() override { return m_ui; }
    void runCommand(const QString &) override {}
    void openFolder(TDbFolder *) override {}
    void showProperties(TDbMedia *, TDbFolder *) override {}
    void viewActivated(QWidget *) override {}
    void selectInExplorer(TDbFolder *, TDbMedia *) override {}
    TDbMedia *importPaths(TDbFolder *, const QStringList &) override { return nullptr; }
    bool showExternalMark() const override { return true; }
    QString workDirectory() const override { return QStringLiteral("/tmp/"); }

private:
    TDbFolderList m_roots;
    TSelectedList m_clipboard;
    QuietUi m_ui;
};

long residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Paints the widget's viewport at every scroll position from top to bottom, a screen at a time.
void scrollThrough(QAbstractScrollArea *view, double *longestMs, double *meanMs)
{
    QScrollBar *bar = view->verticalScrollBar();
    QElapsedTimer t;
    double longest = 0, total = 0;
    int frames = 0;
    for (int v = 0; v <= bar->maximum(); v += std::max(1, bar->pageStep() / 4)) {
        bar->setValue(v);
        t.start();
        view->viewport()->repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        longest = std::max(longest, ms);
        total += ms;
        ++frames;
    }
    *longestMs = longest;
    *meanMs = frames ? total / frames : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // A thumbnail file of its own for each item, as the library stores them.
    QImage thumb(120, 90, QImage::Format_RGB32);
    thumb.fill(QColor(52, 101, 164));
    const QString first = dir.path() + "/nail0.jpg";
    thumb.save(first, "JPG", 80);
    QFile source(first);
    source.open(QIODevice::ReadOnly);
    const QByteArray bytes = source.readAll();
    Connection connection;
    Host host(connection);
    auto *folder = new TDbFolder;
    folder->Rec.OID = QStringLiteral("000000000000000001");
    folder->Rec.Title = QStringLiteral("10,000 pictures");
    folder->MediaList = std::make_unique<TDbMediaList>(120, 130, 3);
    QStringList titles;
    for (int i = 0; i < ItemCount; ++i) {
        const QString nail = dir.path() + QStringLiteral("/nail%1.jpg").arg(i);
        if (i > 0) {
            QFile f(nail);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
        auto *m = new TDbMedia;
        m->Rec.Title = QStringLiteral("Picture %1.jpg").arg(i);
        m->Rec.MediaType = 3;
        m->Rec.NailFile = nail;
        m->Rec.MediaFile = nail;
        m->Owner = folder;
        m->RefCount = 1;
        folder->MediaList->Items.append(m);
        titles << m->Rec.Title;
    }

    // Qt's list view over the same titles.
    double refFirst = 0, refLongest = 0, refMean = 0;
    {
        QStringListModel model(titles);
        QListView view;
        view.setViewMode(QListView::IconMode);
        view.setUniformItemSizes(true);
        view.setGridSize(QSize(130, 140));
        view.resize(1000, 700);
        QElapsedTimer t;
        t.start();
        view.setModel(&model);
        view.show();
        // The view lays its items out in batches; the first paint comes after the whole layout.
        view.doItemsLayout();
        QCoreApplication::processEvents();
        view.viewport()->repaint();
        refFirst = t.nsecsElapsed() / 1e6;
        for (int i = 0; i < 200 && view.verticalScrollBar()->maximum() == 0; ++i)
            QCoreApplication::processEvents();
        scrollThrough(&view, &refLongest, &refMean);
    }

    const long before = residentBytes();
    QElapsedTimer t;
    t.start();
    auto *window = new TFolder(host, folder, false);
    window->resize(1000, 700);
    window->show();
    window->viewport()->repaint();
    const double firstPaint = t.nsecsElapsed() / 1e6;
    const long afterOpen = residentBytes();

    // Thumbnails made for every screen on the way down, then the timed scroll.
    QScrollBar *bar = window->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep()) {
        bar->setValue(v);
        QCoreApplication::processEvents();
        QThread::msleep(40);
        QCoreApplication::processEvents();
        ThumbnailCache::shared().waitForDone();
    }
    double longest = 0, mean = 0;
    bar->setValue(0);
    scrollThrough(window, &longest, &mean);

    std::printf("folder window, %d items (offscreen, 1000x700)\n", ItemCount);
    std::printf("  first paint          %8.1f ms    Qt list view: %8.1f ms\n", firstPaint, refFirst);
    std::printf("  scroll, longest frame%8.2f ms    Qt list view: %8.2f ms\n", longest, refLongest);
    std::printf("  scroll, mean frame   %8.2f ms    Qt list view: %8.2f ms\n", mean, refMean);
    std::printf("  memory the open window adds: %ld bytes per item (%ld KiB in all)\n",
                (afterOpen - before) / ItemCount, (afterOpen - before) / 1024);
    std::printf("  thumbnails kept: %lld KiB\n",
                static_cast<long long>(ThumbnailCache::shared().bytesKept() / 1024));
    delete window;
    for (TDbMedia *m : folder->MediaList->Items)
        m->RefCount = 0;
    return 0;
}
