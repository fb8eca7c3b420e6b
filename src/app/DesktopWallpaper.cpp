#include "DesktopWallpaper.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QUrl>
#include <QVariantMap>

namespace vk {

DesktopWallpaper::DesktopWallpaper()
    : m_caller([](const QDBusMessage &call) {
          QDBusConnection bus = QDBusConnection::sessionBus();
          if (!bus.isConnected())
              return call.createErrorReply(QDBusError::Disconnected, bus.lastError().message());
          // A portal that is slow to start must not freeze the workspace for long.
          return bus.call(call, QDBus::Block, 10000);
      })
{
}

DesktopWallpaper::DesktopWallpaper(Caller caller) : m_caller(std::move(caller)) {}

QDBusMessage DesktopWallpaper::request(const QString &file)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface),
                                       QStringLiteral("SetWallpaperURI"));
    QVariantMap options;
    options.insert(QStringLiteral("show-preview"), false);
    options.insert(QStringLiteral("set-on"), QStringLiteral("background"));
    // No parent window: the workspace is not known to the portal by a handle.
    call << QString() << QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded) << options;
    return call;
}

DesktopWallpaper::Result DesktopWallpaper::setWallpaper(const QString &file, QString *error) const
{
    const QDBusMessage reply = m_caller(request(file));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return Result::Done;
    const QString name = reply.errorName();
    if (error)
        *error = reply.errorMessage().isEmpty() ? name : reply.errorMessage();
    // No bus, no portal, or a portal without this interface: nothing on this desktop can do it.
    static const QStringList missing = {
        QDBusError::errorString(QDBusError::Disconnected),
        QDBusError::errorString(QDBusError::ServiceUnknown),
        QDBusError::errorString(QDBusError::UnknownMethod),
        QDBusError::errorString(QDBusError::UnknownInterface),
        QDBusError::errorString(QDBusError::UnknownObject),
        QDBusError::errorString(QDBusError::NoServer),
        QDBusError::errorString(QDBusError::TimedOut),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.Spawn.ServiceNotFound"),
    };
    if (reply.type() != QDBusMessage::ErrorMessage || missing.contains(name))
        return Result::Unavailable;
    return Result::Failed;
}

} // namespace vk
