#pragma once

#include <QString>
#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;

namespace globalshortcuts {

// Carbon key codes on an XKB keymap: a code names a key position (p is <AD10>), the keymap gives that position's
// keycode (33 under evdev) and its symbols.
class XkbKeymap {
public:
    // Takes ownership of the keymap.
    explicit XkbKeymap(xkb_keymap* keymap);
    ~XkbKeymap();
    XkbKeymap(const XkbKeymap&) = delete;
    XkbKeymap& operator=(const XkbKeymap&) = delete;

    // A keymap compiled from rule names (evdev rules, pc105), without a display; null when it does not compile.
    static std::unique_ptr<XkbKeymap> fromNames(const QString& layout, const QString& variant = QString());

    std::optional<quint32> keycode(qint64 carbonKeyCode) const;
    std::optional<qint64> carbonKeyCode(quint32 keycode) const;
    // Level one of the current group when that group types ASCII, else of the first group that does. None for a
    // special key, a dead key, a control character or a key without exactly one symbol.
    std::optional<QString> character(qint64 carbonKeyCode, quint32 currentGroup) const;
    // The keycodes whose first level holds one of these keysyms.
    bool keycodeHasKeysym(quint32 keycode, quint32 keysym) const;

    xkb_keymap* keymap() const { return m_keymap; }

private:
    bool groupTypesAscii(quint32 group) const;
    xkb_keymap* m_keymap;
};

} // namespace globalshortcuts
