#include "globalshortcuts/qml/NamedKeyboardShortcut.h"

#include "globalshortcuts/Registry.h"

namespace globalshortcuts {

NamedKeyboardShortcut::NamedKeyboardShortcut(QObject* parent) : NamedKeyboardShortcut(Registry::instance(), parent) {}

NamedKeyboardShortcut::NamedKeyboardShortcut(Registry& registry, QObject* parent)
    : QObject(parent), m_registry(registry) {
    connect(&registry, &Registry::shortcutByNameDidChange, this, [this](const Name& changed) {
        if (changed.rawValue() == m_name.rawValue() && m_name.value)
            renew();
    });
    connect(&registry, &Registry::recorderActiveStatusDidChange, this, [this](bool active) {
        m_isRecorderActive = active;
        renew();
    });
}

void NamedKeyboardShortcut::setName(const ShortcutNameValue& name) {
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
    renew();
}

void NamedKeyboardShortcut::renew() {
    QString sequence;
    if (!m_isRecorderActive && m_name.value) {
        if (const auto shortcut = m_registry.getShortcut(*m_name.value))
            if (const auto keys = shortcut->keySequence(m_registry.keyboardLayout()))
                sequence = keys->toString(QKeySequence::PortableText);
    }
    if (sequence == m_sequence)
        return;
    m_sequence = sequence;
    emit sequenceChanged();
}

} // namespace globalshortcuts
