// The desktop's notification service (org.freedesktop.Notifications on the
// session bus, which GNOME, KDE, Xfce, dunst and others serve).
#pragma once

#include <QDBusConnection>
#include <QString>

class DesktopNotifier {
public:
    // On the session bus, or another (a test's private one).
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus()) : bus(std::move(bus)) {}
    // Shows a notification; false when no service took it (no session bus,
    // no service on it, or an error answer), so that the caller tells the
    // user another way.
    bool notify(const QString& summary, const QString& body, bool critical);

private:
    QDBusConnection bus;
};
