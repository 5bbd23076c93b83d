#pragma once

#include "globalshortcuts/Subscription.h"
#include "globalshortcuts/qml/QmlValues.h"

#include <QObject>
#include <QQmlParserStatus>
#include <QtQml/qqmlregistration.h>

namespace globalshortcuts {

class Registry;

// A name's hot-key events while this object lives: ShortcutEvents { name: ...; type: ShortcutEvents.KeyUp;
// onTriggered: ... }. Listening starts when the component is complete and ends with the object; the name's hot
// key is released when nothing else listens.
class ShortcutEvents : public QObject, public QQmlParserStatus {
    Q_OBJECT
    QML_ELEMENT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(globalshortcuts::ShortcutNameValue name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(Kind type READ type WRITE setType NOTIFY typeChanged)
public:
    enum Kind { Both, KeyDown, KeyUp };
    Q_ENUM(Kind)

    explicit ShortcutEvents(QObject* parent = nullptr);
    ShortcutEvents(Registry& registry, QObject* parent = nullptr);

    ShortcutNameValue name() const { return m_name; }
    void setName(const ShortcutNameValue& name);
    Kind type() const { return m_type; }
    void setType(Kind type);

    void classBegin() override {}
    void componentComplete() override;

signals:
    void nameChanged();
    void typeChanged();
    // type is KeyDown or KeyUp.
    void triggered(globalshortcuts::ShortcutEvents::Kind type);

private:
    void subscribe();

    Registry& m_registry;
    ShortcutNameValue m_name;
    Kind m_type = Both;
    bool m_complete = false;
    Subscription m_subscription;
};

} // namespace globalshortcuts
