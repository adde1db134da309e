#include "ui/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

QDBusMessage notificationsCall(const char* method)
{
    return QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                          "org.freedesktop.Notifications", method);
}

} // namespace

bool DesktopNotifier::notify(const QString& summary, const QString& body, bool critical)
{
    if (!bus.isConnected())
        return false;
    // A server that reads the body as markup would take a connection's
    // "<" or "&" for a tag.
    const QDBusMessage capabilities = bus.call(notificationsCall("GetCapabilities"), QDBus::Block, 5000);
    if (capabilities.type() != QDBusMessage::ReplyMessage || capabilities.arguments().isEmpty())
        return false;
    const bool markup = capabilities.arguments().first().toStringList().contains("body-markup");
    QDBusMessage call = notificationsCall("Notify");
    // The urgency hint is a byte: 1 normal, 2 critical (stays until closed).
    const QVariantMap hints{{"urgency", QVariant::fromValue(static_cast<uchar>(critical ? 2 : 1))}};
    call << QString("Linktally") << 0u << QString("linktally") << summary << (markup ? body.toHtmlEscaped() : body)
         << QStringList() << hints << -1;
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    return answer.type() == QDBusMessage::ReplyMessage;
}
