// The transition player at 1920×1080 (offscreen): for every effect, the frames per second the
// player's per-frame work allows — one frame's share of the copies onto the canvas and the
// repaint of what changed (the canvas onto a screen-sized picture, as the window's paint does).
// Beside it, in the same run, the reference: one full-screen copy of the picture per frame.
// The player shows a frame every 16 ms, so an effect keeps up while its figure stays at 60 or
// more. Also the time the order takes to work out (once per picture, before its first frame).
//
// Then the slide show in User Click mode on a 1920×1080 screen: the time from a key press to the
// next picture's first frame on the screen — loading the file, scaling it to the screen, working
// out the effect's order and drawing its first frame — for photographs of 1920×1080 and of
// 4000×3000 (scaled down). The show waits 100 ms more on purpose before it starts an effect;
// that wait is not counted.
//
//   QT_QPA_PLATFORM=offscreen build/ci/bench/bench_transitions [BLOCK]   (default 5)
#include "DbFolder.h"
#include "MediaTypes.h"
#include "SlideShow.h"
#include "TransitionView.h"
#include "VirtualClock.h"
#include "Transitions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vk;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int speed = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const QSize size(1920, 1080);
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    QImage screen(size, QImage::Format_RGB32);

    // The reference: a full-screen copy per frame.
    {
        QElapsedTimer t;
        t.start();
        const int n = 200;
        for (int i = 0; i < n; ++i) {
            QPainter p(&screen);
            p.drawImage(0, 0, picture);
        }
        std::printf("reference: one full-screen copy a frame: %.0f fps\n", n * 1000.0 / t.elapsed());
    }

    std::printf("%-4s %-26s %8s %8s %10s %10s\n", "no.", "effect", "copies", "frames", "order ms", "fps");
    double slowest = 1e18;
    int slowestEffect = -1;
    for (const TransitionPage &page : TransitionPages())
        for (int effect : page.effects) {
            const int block = effect == RandomBlockEffect ? speed + 2 : speed;
            SeededTransitionRandom random(1);
            QElapsedTimer order;
            order.start();
            TTransitionView view(nullptr);
            view.resize(size);
            view.clear();
            view.play(effect, picture, block, &random);
            const double orderMs = order.nsecsElapsed() / 1e6;

            // Each frame: the view's share of copies, then the repaint of what changed.
            QElapsedTimer t;
            t.start();
            int frames = 0;
            std::vector<qint64> perFrame;
            for (;;) {
                QElapsedTimer f;
                f.start();
                const bool more = view.advanceFrame();
                {
                    QPainter p(&screen);
                    p.drawImage(0, 0, view.canvas()); // at worst the whole canvas changed
                }
                perFrame.push_back(f.nsecsElapsed());
                ++frames;
                if (!more)
                    break;
            }
            // The slowest tenth of the frames decides whether the player keeps up.
            std::sort(perFrame.begin(), perFrame.end());
            const qint64 p90 = perFrame[std::min(perFrame.size() - 1, perFrame.size() * 9 / 10)];
            const double fps = 1e9 / double(std::max<qint64>(p90, 1));
            if (fps < slowest) {
                slowest = fps;
                slowestEffect = effect;
            }
            std::printf("%-4d %-26s %8d %8d %10.1f %10.0f\n", effect, qPrintable(TransitionName(effect)),
                        view.steps().copyCount(), frames, orderMs, fps);
            if (view.canvas() != picture)
                std::printf("  the last frame differs from the picture!\n");
        }
    std::printf("slowest: %d \"%s\" at %.0f fps (90th percentile frame, block %d)\n", slowestEffect,
                qPrintable(TransitionName(slowestEffect)), slowest, speed);

    // A key press to the next picture's first frame.
    QTemporaryDir dir;
    for (const QSize photo : {QSize(1920, 1080), QSize(4000, 3000)}) {
        QList<TDbMedia *> items;
        QImage image(photo, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                image.setPixel(x, y, qRgb((x * 3 + y) % 256, (y * 2) % 256, (x ^ y) % 256));
        for (int i = 0; i < 6; ++i) {
            auto *m = new TDbMedia;
            m->Rec.OID = QStringLiteral("%1").arg(i + 1, 18, 10, QLatin1Char('0'));
            m->Rec.MediaType = TypeJpg;
            m->Rec.Title = QStringLiteral("photo %1").arg(i);
            m->Rec.MediaFile = dir.filePath(QStringLiteral("%1-%2.jpg").arg(photo.width()).arg(i));
            image.save(m->Rec.MediaFile, "JPG", 90);
            items << m;
        }
        SlideShowSettings settings;
        settings.ChangeOption = SlideShowSettings::UserClick;
        settings.RepeatPlay = true;
        settings.Effect = 18;
        VirtualClock clock;
        TSlideForm show([&items] { return items; }, settings, nullptr, &clock);
        show.setScreenSize(size);
        show.start();
        std::vector<qint64> times;
        for (int i = 0; i < 12; ++i) {
            QElapsedTimer t;
            t.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QCoreApplication::sendEvent(&show, &press);
            clock.fireNext(clock.now() + 1000); // the effect starts
            clock.fireNext(clock.now() + 1000); // its first frame
            times.push_back(t.nsecsElapsed());
            show.PaintBox->finishNow();
        }
        std::sort(times.begin(), times.end());
        std::printf("key press to the next picture's first frame, %dx%d JPEG: median %.1f ms, slowest %.1f ms "
                    "(+100 ms the show waits)\n",
                    photo.width(), photo.height(), times[times.size() / 2] / 1e6, times.back() / 1e6);
        qDeleteAll(items);
    }
    return 0;
}
