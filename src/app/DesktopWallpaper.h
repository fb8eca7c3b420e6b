// The desktop wallpaper through the desktop portal (org.freedesktop.portal.Wallpaper), the one
// way a program may ask any Linux desktop to change its picture. The D-Bus call goes through a
// caller given at construction, so that the request can be checked without a session bus.
#pragma once

#include <QDBusMessage>
#include <QString>

#include <functional>

namespace vk {

class DesktopWallpaper
{
public:
    // Sends a method call and answers the reply (an error message when there is none).
    using Caller = std::function<QDBusMessage(const QDBusMessage &call)>;

    static constexpr const char *Service = "org.freedesktop.portal.Desktop";
    static constexpr const char *Path = "/org/freedesktop/portal/desktop";
    static constexpr const char *Interface = "org.freedesktop.portal.Wallpaper";

    // The session bus.
    DesktopWallpaper();
    explicit DesktopWallpaper(Caller caller);

    enum class Result
    {
        Done,        // the portal took the request (the desktop may still ask the person)
        Unavailable, // no portal, or none with the Wallpaper interface
        Failed       // the portal answered with an error
    };
    // Asks the desktop to show the picture file as its background. *error gets the portal's
    // own words when it failed.
    Result setWallpaper(const QString &file, QString *error = nullptr) const;

    // The call that setWallpaper sends.
    static QDBusMessage request(const QString &file);

private:
    Caller m_caller;
};

} // namespace vk
