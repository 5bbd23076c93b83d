#include "globalshortcuts/qml/ShortcutEvents.h"

#include "globalshortcuts/Registry.h"

namespace globalshortcuts {

ShortcutEvents::ShortcutEvents(QObject* parent) : ShortcutEvents(Registry::instance(), parent) {}

ShortcutEvents::ShortcutEvents(Registry& registry, QObject* parent) : QObject(parent), m_registry(registry) {}

void ShortcutEvents::setName(const ShortcutNameValue& name) {
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
    if (m_complete)
        subscribe();
}

void ShortcutEvents::setType(Kind type) {
    if (type == m_type)
        return;
    m_type = type;
    emit typeChanged();
    if (m_complete)
        subscribe();
}

void ShortcutEvents::componentComplete() {
    m_complete = true;
    subscribe();
}

void ShortcutEvents::subscribe() {
    m_subscription.reset();
    if (!m_name.value)
        return;
    if (m_type == Both) {
        m_subscription = m_registry.events(
            *m_name.value, [this](EventType type) { emit triggered(type == EventType::keyDown ? KeyDown : KeyUp); });
    } else {
        const Kind kind = m_type;
        m_subscription = m_registry.events(kind == KeyDown ? EventType::keyDown : EventType::keyUp, *m_name.value,
                                           [this, kind] { emit triggered(kind); });
    }
}

} // namespace globalshortcuts
