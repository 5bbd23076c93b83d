#pragma once

#include "globalshortcuts/qml/QmlValues.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQuickItem;

namespace globalshortcuts {

// ShortcutPolicy.conflictPolicy on an item governs every recorder inside it, unless an item nearer to the
// recorder sets its own. Where nobody sets one, the standard policy holds.
class ShortcutPolicy : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("ShortcutPolicy is only an attached property")
    QML_ATTACHED(ShortcutPolicy)
    Q_PROPERTY(globalshortcuts::ConflictPolicyValue conflictPolicy READ conflictPolicy WRITE setConflictPolicy NOTIFY
                   conflictPolicyChanged)
    Q_PROPERTY(globalshortcuts::ConflictPolicyValue standard READ standard CONSTANT)
    Q_PROPERTY(globalshortcuts::ConflictPolicyValue allowAll READ allowAll CONSTANT)
public:
    enum Behavior {
        Block = int(ConflictBehavior::block),
        Warn = int(ConflictBehavior::warn),
        Allow = int(ConflictBehavior::allow)
    };
    Q_ENUM(Behavior)

    explicit ShortcutPolicy(QObject* parent = nullptr) : QObject(parent) {}
    static ShortcutPolicy* qmlAttachedProperties(QObject* object) { return new ShortcutPolicy(object); }

    ConflictPolicyValue conflictPolicy() const { return m_policy; }
    void setConflictPolicy(const ConflictPolicyValue& policy);
    bool isSet() const { return m_isSet; }
    ConflictPolicyValue standard() const { return ConflictPolicy::standard(); }
    ConflictPolicyValue allowAll() const { return ConflictPolicy::allowAll(); }
    // A policy of three behaviours: ShortcutPolicy.policy(ShortcutPolicy.Allow, ShortcutPolicy.Warn, ...).
    Q_INVOKABLE globalshortcuts::ConflictPolicyValue policy(int menuItem, int systemShortcut, int disallowed) const;

    // The policy of the nearest item from `item` up that sets one; the standard one when none does.
    static ConflictPolicy effective(QQuickItem* item);
    // Tells every recorder that some item's policy changed.
    static QObject* notifier();

signals:
    void conflictPolicyChanged();

private:
    ConflictPolicyValue m_policy;
    bool m_isSet = false;
};

} // namespace globalshortcuts
