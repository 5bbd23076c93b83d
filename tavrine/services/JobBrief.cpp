#include "tavrine/services/JobBrief.h"

#include "tavrine/core/Text.h"

namespace tavrine {

JobBrief JobBrief::fallback(const QString& intention) {
    return JobBrief{text::collapseWhitespace(intention), std::nullopt, QString::fromLatin1(defaultVersion)};
}

} // namespace tavrine
