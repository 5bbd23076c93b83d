#pragma once

#include "tavrine/platform/AccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace tavrine::platform {

// The AT-SPI accessibility bus over Qt D-Bus: a private connection to the address that the session bus's
// org.a11y.Bus answers, every call blocking for at most 0.2 seconds. Never call it on the main thread. Batched reads
// keep a few dozen messages on their way at once, each with its own time-out from the moment it is sent.
class AtspiAccessibilityBus final : public AccessibilityBus {
public:
    // `address` empty: ask the session bus (org.a11y.Bus.GetAddress) on first use.
    explicit AtspiAccessibilityBus(QString address = {});
    ~AtspiAccessibilityBus() override;

    // The per-message time-out in milliseconds.
    static constexpr int timeoutMs = 200;
    // How many messages of a batch are on their way at once: enough to keep the application answering without a
    // pause, few enough that none waits long behind the others of its batch before the application reads it.
    static constexpr int messagesInFlight = 32;

    // The messages sent so far, and the times the caller waited for answers (a single read, or a batch).
    struct Traffic {
        quint64 messages = 0;
        quint64 waits = 0;
    };
    Traffic traffic() const;

    // Whether the bus answers (connecting on first use).
    bool isConnected();

    std::optional<AccessibleRef> application(qint32 pid) override;
    QList<AccessibleRef> children(const AccessibleRef& object, int limit) override;
    std::optional<int> childCount(const AccessibleRef& object) override;
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
    QList<AccessibleFacts> facts(const QList<FactsRead>& reads) override;
    QList<QList<AccessibleRef>> children(const QList<ChildrenRead>& reads) override;

    // The accessibility bus's address from the session bus; empty when nobody answers.
    static QString busAddress();

private:
    std::optional<QDBusConnection> connection();
    std::optional<QList<QVariant>> call(const AccessibleRef& object, const QString& interface, const QString& method,
                                        const QList<QVariant>& arguments = {});
    // One message, awaited: its answer's arguments, absent when it failed or timed out.
    std::optional<QList<QVariant>> send(const QDBusMessage& message);
    // Sends every message (a null one is not sent) with at most `messagesInFlight` on their way at once, and none
    // after one that timed out; the answers' arguments in order, absent where a message failed, timed out or was
    // not sent.
    std::vector<std::optional<QList<QVariant>>> callAll(const QList<QDBusMessage>& messages);
    std::optional<QVariant> property(const AccessibleRef& object, const QString& interface, const QString& name);
    std::optional<qint32> servicePid(const QDBusConnection& bus, const QString& service);

    QString m_fixedAddress;
    std::mutex m_mutex;
    std::optional<QDBusConnection> m_connection;
    QString m_connectionName;
    qint64 m_lastAttemptMs = -1;
    QHash<qint32, QString> m_serviceOfPid;
    std::atomic<quint64> m_messages{0};
    std::atomic<quint64> m_waits{0};
};

} // namespace tavrine::platform
