#include "tavrine/services/JevVerdict.h"

namespace tavrine {

QString JevVerdict::summary() const {
    return QStringLiteral("enough_evidence: ") + QString::number(enoughEvidence, 'f', 4) + QLatin1Char('\n') +
           question + QStringLiteral(": ") + QString::number(supportsJob, 'f', 4);
}

} // namespace tavrine
