#include "tavrine/services/JsonParseError.h"

namespace tavrine {

QString JsonParseError::description() const {
    return QStringLiteral("The answer is not a JSON object: ") + m_text + QStringLiteral(" at offset ") +
           QString::number(m_offset) + QLatin1Char('.');
}

} // namespace tavrine
