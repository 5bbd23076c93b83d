#pragma once

#include "tavrine/platform/AccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <mutex>
#include <optional>

namespace tavrine::platform {

// The AT-SPI accessibility bus over Qt D-Bus: a private connection to the address that the session bus's
// org.a11y.Bus answers, every call blocking for at most 0.2 seconds. Never call it on the main thread.
class AtspiAccessibilityBus final : public AccessibilityBus {
public:
    // `address` empty: ask the session bus (org.a11y.Bus.GetAddress) on first use.
    explicit AtspiAccessibilityBus(QString address = {});
    ~AtspiAccessibilityBus() override;

    // The per-message time-out in milliseconds.
    static constexpr int timeoutMs = 200;

    // Whether the bus answers (connecting on first use).
    bool isConnected();

    std::optional<AccessibleRef> application(qint32 pid) override;
    QList<AccessibleRef> children(const AccessibleRef& object, int limit) override;
    std::optional<AccessibleRef> parent(const AccessibleRef& object) override;
    std::optional<quint32> role(const AccessibleRef& object) override;
    QString roleName(const AccessibleRef& object) override;
    std::optional<AccessibleStates> states(const AccessibleRef& object) override;
    std::optional<QString> name(const AccessibleRef& object) override;
    std::optional<QString> description(const AccessibleRef& object) override;
    std::optional<QString> text(const AccessibleRef& object, int limit) override;
    std::optional<QRect> extents(const AccessibleRef& object) override;
    std::optional<QHash<QString, QString>> attributes(const AccessibleRef& object) override;
    std::optional<QHash<QString, QString>> documentAttributes(const AccessibleRef& object) override;
    std::optional<QStringList> actionNames(const AccessibleRef& object) override;
    std::optional<bool> doAction(const AccessibleRef& object, int index) override;

    // The accessibility bus's address from the session bus; empty when nobody answers.
    static QString busAddress();

private:
    std::optional<QDBusConnection> connection();
    std::optional<QList<QVariant>> call(const AccessibleRef& object, const QString& interface, const QString& method,
                                        const QList<QVariant>& arguments = {});
    std::optional<QVariant> property(const AccessibleRef& object, const QString& interface, const QString& name);
    std::optional<qint32> servicePid(const QDBusConnection& bus, const QString& service);

    QString m_fixedAddress;
    std::mutex m_mutex;
    std::optional<QDBusConnection> m_connection;
    QString m_connectionName;
    qint64 m_lastAttemptMs = -1;
    QHash<qint32, QString> m_serviceOfPid;
};

} // namespace tavrine::platform
