#include "globalshortcuts/qml/ShortcutPolicy.h"

#include <QQmlEngine>
#include <QQuickItem>

namespace globalshortcuts {

namespace {
class PolicyNotifier final : public QObject {
    Q_OBJECT
signals:
    void changed();
};

ConflictBehavior behaviour(int value) {
    return value == int(ConflictBehavior::allow)  ? ConflictBehavior::allow
           : value == int(ConflictBehavior::warn) ? ConflictBehavior::warn
                                                  : ConflictBehavior::block;
}
} // namespace

QObject* ShortcutPolicy::notifier() {
    static PolicyNotifier* notifier = new PolicyNotifier;
    return notifier;
}

void ShortcutPolicy::setConflictPolicy(const ConflictPolicyValue& policy) {
    const bool changed = !m_isSet || !(policy == m_policy);
    m_isSet = true;
    if (!changed)
        return;
    m_policy = policy;
    emit conflictPolicyChanged();
    emit static_cast<PolicyNotifier*>(notifier())->changed();
}

ConflictPolicyValue ShortcutPolicy::policy(int menuItem, int systemShortcut, int disallowed) const {
    return ConflictPolicy{behaviour(menuItem), behaviour(systemShortcut), behaviour(disallowed)};
}

ConflictPolicy ShortcutPolicy::effective(QQuickItem* item) {
    for (; item; item = item->parentItem()) {
        auto* attached = qobject_cast<ShortcutPolicy*>(qmlAttachedPropertiesObject<ShortcutPolicy>(item, false));
        if (attached && attached->isSet())
            return attached->m_policy.value;
    }
    return ConflictPolicy::standard();
}

} // namespace globalshortcuts

#include "ShortcutPolicy.moc"
