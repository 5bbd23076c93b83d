#include "tavrine/model/ActivityWindowIdentity.h"

namespace tavrine {

QString ActivityWindowIdentity::cacheKey() const {
    const QChar bar = QLatin1Char('|');
    return bundle + bar + QString::number(windowID.value_or(0)) + bar + title + bar;
}

} // namespace tavrine
