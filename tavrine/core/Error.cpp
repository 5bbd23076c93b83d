#include "tavrine/core/Error.h"

namespace tavrine {

const char* Error::what() const noexcept {
    try {
        m_what = description().toStdString();
    } catch (...) {
        return "tavrine::Error";
    }
    return m_what.c_str();
}

QString Error::summaryCode() const {
    return domain() + QStringLiteral(" code=") + QString::number(code());
}

QString Error::summaryText() const {
    return summaryCode() + QLatin1Char(' ') + description();
}

} // namespace tavrine
