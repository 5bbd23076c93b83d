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

QString NudgeSpeechError::reason() const {
    switch (m_cause) {
    case Cause::keyAnswer:
        return QStringLiteral("the temporary key request got an answer without a key");
    case Cause::vendorError:
        return QStringLiteral("the speech service reported an error");
    case Cause::notSpeech:
        return QStringLiteral("the speech service sent a message that is not speech");
    case Cause::oversize:
        return QStringLiteral("the speech service sent a message over the size limit");
    case Cause::unspecified:
        break;
    }
    switch (m_kind) {
    case Kind::unplayable:
        return QStringLiteral("the audio could not be played");
    case Kind::unauthorized:
        return QStringLiteral("the API token was refused");
    case Kind::dailyLimitReached:
        return QStringLiteral("the daily speech limit is reached");
    case Kind::requestFailed:
        break;
    }
    return QStringLiteral("the speech request failed");
}

} // namespace tavrine
