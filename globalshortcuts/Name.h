#pragma once

#include "globalshortcuts/Shortcut.h"

#include <QMetaType>
#include <QString>
#include <optional>

namespace globalshortcuts {

// One user-configurable shortcut, stored under "GlobalShortcuts_" + rawValue. Equal and hashed by the text alone.
class Name {
public:
    Name() = default;
    // The application's initialiser: an initial shortcut fills the process registry's slot when nothing at all is
    // stored there (a user's choice and a user's removal both survive), then the hot-key center is made sure of
    // on a queued call.
    explicit Name(const QString& rawValue, std::optional<Shortcut> initialShortcut = std::nullopt);
    // Only the value: touches no storage and starts nothing (how stored keys turn back into names).
    static Name fromRawValue(const QString& rawValue);
    static Name withInitialShortcut(const QString& rawValue, std::optional<Shortcut> initialShortcut);

    const QString& rawValue() const { return m_rawValue; }
    const std::optional<Shortcut>& initialShortcut() const { return m_initialShortcut; }

    // The process registry's stored shortcut; writing none clears it (see Registry::setShortcut).
    std::optional<Shortcut> shortcut() const;
    void setShortcut(const std::optional<Shortcut>& shortcut) const;

    friend bool operator==(const Name& a, const Name& b) { return a.m_rawValue == b.m_rawValue; }

private:
    QString m_rawValue;
    std::optional<Shortcut> m_initialShortcut;
};

inline size_t qHash(const Name& name, size_t seed = 0) noexcept {
    return ::qHash(name.rawValue(), seed);
}

} // namespace globalshortcuts

Q_DECLARE_METATYPE(globalshortcuts::Name)
