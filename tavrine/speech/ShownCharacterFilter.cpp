#include "tavrine/speech/ShownCharacterFilter.h"

#include "tavrine/core/Text.h"

namespace tavrine {

bool ShownCharacterFilter::shows(const QString& character) {
    if (character == QLatin1String("[")) {
        m_inTag = true;
        return false;
    }
    if (m_inTag) {
        if (character == QLatin1String("]"))
            m_inTag = false;
        return false;
    }
    for (QChar c : character) {
        if (!text::isWhitespace(c))
            return true;
    }
    return false; // empty, or whitespace only
}

} // namespace tavrine
