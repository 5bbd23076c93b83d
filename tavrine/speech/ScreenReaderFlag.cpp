#include "tavrine/speech/ScreenReaderFlag.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace tavrine {

namespace {
const QString service = QStringLiteral("org.a11y.Bus");
const QString path = QStringLiteral("/org/a11y/bus");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString screenReaderProperty = QStringLiteral("ScreenReaderEnabled");
} // namespace

ScreenReaderFlag::ScreenReaderFlag(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                this, SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    read();
}

void ScreenReaderFlag::read() {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << statusInterface << screenReaderProperty;
    // Asked once at start and then followed; a bus that does not answer quickly means no screen reader.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 500);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        m_enabled = reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void ScreenReaderFlag::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                           const QStringList& invalidated) {
    if (interface != statusInterface)
        return;
    if (changed.contains(screenReaderProperty))
        m_enabled = changed.value(screenReaderProperty).toBool();
    else if (invalidated.contains(screenReaderProperty))
        read();
}

} // namespace tavrine
