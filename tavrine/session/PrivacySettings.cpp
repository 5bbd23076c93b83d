#include "tavrine/session/PrivacySettings.h"

#include "tavrine/core/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace tavrine {

void PrivacySettings::open(const QString& anchor) {
    if (anchor == screenCaptureAnchor) {
        log::notice(logFocus(), QStringLiteral("Screen capture needs no permission on X11; nothing to open"));
        return;
    }
    if (anchor != accessibilityAnchor)
        return;
    auto message =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    message << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
            << QVariant::fromValue(QDBusVariant(true));
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (call->isError()) {
            log::error(logFocus(), QStringLiteral("Couldn\u2019t switch accessibility on: %1 %2")
                                       .arg(call->error().name(), call->error().message()));
            return;
        }
        // Toolkits read the switch when they start: applications already running keep their trees hidden.
        log::notice(logFocus(), QStringLiteral("Accessibility switched on; applications already running may need a "
                                               "restart to expose their windows"));
    });
}

} // namespace tavrine
