#pragma once

#include "globalshortcuts/Key.h"
#include "globalshortcuts/MenuNode.h"
#include "globalshortcuts/Modifiers.h"

#include <QByteArray>
#include <QKeySequence>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace globalshortcuts {

class KeyboardLayout;

// One key combination: a Carbon key code and Carbon modifier bits. Stored as the JSON text
// {"carbonKeyCode":35,"carbonModifiers":2304}.
struct Shortcut {
    qint64 carbonKeyCode = 0;
    qint64 carbonModifiers = 0;

    constexpr Shortcut() = default;
    // Flags outside control, option, shift, command and function are dropped.
    Shortcut(Key key, ModifierFlags modifiers)
        : carbonKeyCode(key.rawValue), carbonModifiers(carbonModifiersFromFlags(modifiers)) {}
    // Keeps the key code, reduces the modifiers to the five known bits.
    static Shortcut fromCarbon(qint64 carbonKeyCode, qint64 carbonModifiers);
    // Both values exactly as given (what a decoder reads back).
    static constexpr Shortcut raw(qint64 carbonKeyCode, qint64 carbonModifiers) {
        Shortcut s;
        s.carbonKeyCode = carbonKeyCode;
        s.carbonModifiers = carbonModifiers;
        return s;
    }

    Key key() const { return Key(carbonKeyCode); }
    ModifierFlags modifiers() const { return modifierFlagsFromCarbon(carbonModifiers); }

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

    QByteArray toJson() const;
    // None for text that is not a JSON object with two integer members "carbonKeyCode" and "carbonModifiers".
    static std::optional<Shortcut> fromJson(const QString& text);

    // The shortcut as every view shows it (shortcutText): the modifiers' names, then the key: a special key's
    // name, else the layout's character capitalised, U+FFFD without one. Option-Command-P reads "Super+Alt+P".
    QString description(const KeyboardLayout& layout) const;
    // The key equivalent a menu shows (the layout's case); none for keypad keys and keys without a character.
    std::optional<QString> menuKeyEquivalent(const KeyboardLayout& layout) const;
    // Special keys by their Qt key, others by the upper-cased character; none for keypad keys.
    std::optional<QKeySequence> keySequence(const KeyboardLayout& layout) const;

    // The items of the menu and its submenus, depth first, whose key equivalent is this shortcut.
    QList<const MenuNode*> findMenuItems(const QList<MenuNode>& menu, const KeyboardLayout& layout) const;

    // The special keys (return, arrows, F1-F20, the keypad...) have fixed texts and no layout character.
    static bool isSpecialKey(Key key);
};

inline size_t qHash(const Shortcut& s, size_t seed = 0) noexcept {
    return ::qHashMulti(seed, s.carbonKeyCode, s.carbonModifiers);
}

} // namespace globalshortcuts

Q_DECLARE_METATYPE(globalshortcuts::Shortcut)
