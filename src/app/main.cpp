// The workspace's entry: one copy per user, the splash window, the frame's load
// sequence, then the message loop.
#include "Main.h"
#include "Paths.h"
#include "SingleInstance.h"
#include "Splash.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    vk::setApplicationIdentity();
    QApplication::setApplicationDisplayName(QStringLiteral("Vellumark"));

    vk::SingleInstance instance(vk::SingleInstance::defaultLockPath(), vk::SingleInstance::defaultServerName());
    if (!instance.claim())
        return 0;

    auto *splash = new vk::TSplashForm;
    splash->show();
    splash->raise();
    splash->repaint();
    QApplication::processEvents();

    vk::TMainForm frame;
    QObject::connect(&instance, &vk::SingleInstance::activationRequested, &frame, &vk::TMainForm::comeForward);
    const bool loaded = frame.FormCreate();

    splash->hide();
    delete splash;

    if (!loaded)
        return 1;
    frame.show();
    return QApplication::exec();
}
