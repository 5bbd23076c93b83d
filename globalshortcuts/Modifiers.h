#pragma once

#include <QString>
#include <Qt>
#include <optional>

namespace globalshortcuts {

// Modifier flags in one numbering for every edge of the library (the values of the desktop event flags the
// stored shortcuts were first defined against). Shortcuts themselves hold Carbon bits.
using ModifierFlags = quint64;
namespace Flag {
inline constexpr ModifierFlags capsLock = 0x10000;
inline constexpr ModifierFlags shift = 0x20000;
inline constexpr ModifierFlags control = 0x40000;
inline constexpr ModifierFlags option = 0x80000;   // Alt
inline constexpr ModifierFlags command = 0x100000; // Super
inline constexpr ModifierFlags numericPad = 0x200000;
inline constexpr ModifierFlags function = 0x800000; // no X modifier
} // namespace Flag

namespace Carbon {
inline constexpr qint64 command = 0x100;
inline constexpr qint64 shift = 0x200;
inline constexpr qint64 option = 0x800;
inline constexpr qint64 control = 0x1000;
inline constexpr qint64 function = 0x20000;
inline constexpr qint64 known = command | shift | option | control | function;
} // namespace Carbon

// Other bits (caps lock, numeric pad, device bits) are ignored in both directions.
qint64 carbonModifiersFromFlags(ModifierFlags flags);
ModifierFlags modifierFlagsFromCarbon(qint64 carbon);

// Qt's modifiers: Alt is option, Meta (Super on X11) is command, Keypad is the numeric pad. Function has none.
ModifierFlags flagsFromQtModifiers(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers qtModifiersFromFlags(ModifierFlags flags);

// A shortcut as this desktop writes it, the one form every view shows: the modifiers' names in one fixed order,
// Super, Ctrl, Alt, Shift, Fn, whatever the order of the bits, then the key's name, joined by "+"
// ("Super+Alt+P", "Ctrl+Alt+K").
QString shortcutText(ModifierFlags flags, const QString& key);

// F1 to F35: the keys that may form a shortcut without command, option or control.
bool isFunctionKey(Qt::Key key);

// The text of one Unicode scalar; none for negative values, surrogates and values past U+10FFFF.
std::optional<QString> stringFromScalarValue(qint64 value);

} // namespace globalshortcuts
