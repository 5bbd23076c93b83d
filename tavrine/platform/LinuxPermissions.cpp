#include "tavrine/platform/LinuxPermissions.h"

#include "tavrine/platform/AtspiAccessibilityBus.h"
#include "tavrine/platform/x11/X11Connection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <atomic>

namespace tavrine::platform {

namespace {

// The settings' "Enable" asks through an instance of its own, right after a page read the grant: the answers kept
// elsewhere must not outlive the switch.
std::atomic<quint64> requestsMade{0};

QDBusMessage statusMessage(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                          QStringLiteral("org.freedesktop.DBus.Properties"), method);
}

} // namespace

bool LinuxPermissions::accessibilityGranted() {
    std::lock_guard lock(m_mutex);
    const quint64 requests = requestsMade.load();
    if (m_grantAge.isValid() && m_grantAge.elapsed() < grantLifetimeMs && m_requestsSeen == requests)
        return m_grant;
    m_requestsSeen = requests;
    m_grant = readAccessibilityGrant();
    m_grantAge.start();
    return m_grant;
}

bool LinuxPermissions::readAccessibilityGrant() {
    if (AtspiAccessibilityBus::busAddress().isEmpty())
        return false;
    QDBusMessage message = statusMessage(QStringLiteral("Get"));
    message.setArguments({QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled")});
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(message, QDBus::Block, AtspiAccessibilityBus::timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    return value.userType() == QMetaType::Bool && value.toBool();
}

bool LinuxPermissions::screenCaptureGranted() {
    return X11Connection::shared() != nullptr;
}

bool LinuxPermissions::requestAccessibility() {
    QDBusMessage message = statusMessage(QStringLiteral("Set"));
    message.setArguments(
        {QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled"), QVariant::fromValue(QDBusVariant(true))});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    ++requestsMade;
    std::lock_guard lock(m_mutex);
    m_requestsSeen = requestsMade.load();
    m_grant = readAccessibilityGrant();
    m_grantAge.start();
    return m_grant;
}

} // namespace tavrine::platform
