#pragma once

#include <QString>
#include <optional>

namespace globalshortcuts {

// The character a key types without modifiers on the current layout (in the layout's case), for texts and key
// equivalents. No character for a dead key, a key the layout lacks or one that types more than one grapheme.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    virtual std::optional<QString> character(qint64 carbonKeyCode) const = 0;
};

} // namespace globalshortcuts
