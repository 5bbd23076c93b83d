#include "tavrine/speech/NudgeSpeechError.h"

namespace tavrine {

QString NudgeSpeechError::caseName() const {
    switch (m_kind) {
    case Kind::requestFailed:
        return QStringLiteral("requestFailed");
    case Kind::unauthorized:
        return QStringLiteral("unauthorized");
    case Kind::dailyLimitReached:
        return QStringLiteral("dailyLimitReached");
    case Kind::unplayable:
        return QStringLiteral("unplayable");
    }
    return QString();
}

} // namespace tavrine
