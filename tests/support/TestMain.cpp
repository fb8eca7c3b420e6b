// The main() of every test binary: an offscreen platform (test discovery runs the
// binary without ctest's environment), a private XDG home, and Magick++ ready.
#include "Paths.h"

#include <Magick++.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <sys/stat.h>

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Every run gets its own configuration, data and cache directories.
    QTemporaryDir home;
    const QByteArray base = home.path().toUtf8();
    setenv("XDG_CONFIG_HOME", (base + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (base + "/cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (base + "/run").constData(), 1);
    mkdir((base + "/run").constData(), 0700);
    Magick::InitializeMagick(argv[0]);
    QApplication app(argc, argv);
    vk::setApplicationIdentity();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
