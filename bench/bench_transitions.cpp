// The transition player at 1920×1080 (offscreen): for every effect, the frames per second the
// player's per-frame work allows — one frame's share of the copies onto the canvas and the
// repaint of what changed (the canvas onto a screen-sized picture, as the window's paint does).
// Beside it, in the same run, the reference: one full-screen copy of the picture per frame.
// The player shows a frame every 16 ms, so an effect keeps up while its figure stays at 60 or
// more. Also the time the order takes to work out (once per picture, before its first frame).
//
//   QT_QPA_PLATFORM=offscreen build/ci/bench/bench_transitions [BLOCK]   (default 5)
#include "TransitionView.h"
#include "Transitions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

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
    return 0;
}
