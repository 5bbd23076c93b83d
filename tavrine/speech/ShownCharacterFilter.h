#pragma once

#include <QString>

namespace tavrine {

// Decides which characters of the vendor's timestamp list belong to the shown text: bracketed tags
// ("[laughs]") and whitespace are spoken or timed but never shown.
class ShownCharacterFilter {
public:
    // Whether one timestamp character is shown; follows the tags across calls. Tags do not nest, and a "]"
    // outside a tag is shown.
    bool shows(const QString& character);

    bool inTag() const { return m_inTag; }
    void clear() { m_inTag = false; }

private:
    bool m_inTag = false;
};

} // namespace tavrine
