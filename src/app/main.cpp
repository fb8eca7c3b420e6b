// The workspace's entry: one copy per user, the splash window, the frame's load
// sequence, then the message loop.
#include "ImageCodec.h"
#include "Main.h"
#include "Paths.h"
#include "SingleInstance.h"
#include "Splash.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vk {

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int)
{
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], "q", 1);
}
} // namespace

// A termination request (the session ending, `kill`) closes the workspace the ordinary
// way, so that settings and options are saved and the database is disconnected.
void quitOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char c;
        [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
        QApplication::closeAllWindows();
        QApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

} // namespace vk

int main(int argc, char *argv[])
{
    vk::initImageLibrary(argv[0]);
    QApplication app(argc, argv);
    vk::setApplicationIdentity();
    vk::quitOnTerminationSignals();

    vk::SingleInstance instance(vk::SingleInstance::defaultLockPath(),
                                vk::SingleInstance::defaultServerName());
    if (!instance.claim())
        return 0;

    auto *splash = new vk::TSplashForm;
    splash->show();
    splash->raise();
    splash->repaint();
    QApplication::processEvents();

    vk::TMainForm frame;
    QObject::connect(&instance, &vk::SingleInstance::activationRequested, &frame,
                     &vk::TMainForm::comeForward);
    const bool loaded = frame.FormCreate();

    splash->hide();
    delete splash;

    if (!loaded)
        return 1;
    frame.show();
    return QApplication::exec();
}
