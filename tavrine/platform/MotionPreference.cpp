#include "tavrine/platform/MotionPreference.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLoggingCategory>

namespace tavrine::platform {

namespace {

Q_LOGGING_CATEGORY(lcMotion, "com.dravolence.tavrine.Motion")

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.gnome.desktop.interface");
const QString kKey = QStringLiteral("enable-animations");

// The portal wraps its answer in one or two variants depending on its version.
QVariant unwrap(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

PortalMotionPreference::PortalMotionPreference(QObject* parent) : MotionPreference(parent) {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcMotion) << "No session bus; motion stays on";
        return;
    }
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    auto message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    message << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isError()) {
            qCDebug(lcMotion) << "No animation setting from the portal; motion stays on:" << reply.error().message();
            return;
        }
        apply(reply.value().variant());
    });
}

void PortalMotionPreference::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group == kGroup && key == kKey)
        apply(value.variant());
}

void PortalMotionPreference::apply(const QVariant& value) {
    const QVariant plain = unwrap(value);
    if (plain.typeId() != QMetaType::Bool) // a setting we cannot read changes nothing
        return;
    setReduceMotion(!plain.toBool());
}

} // namespace tavrine::platform
