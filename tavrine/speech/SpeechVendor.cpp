#include "tavrine/speech/SpeechVendor.h"

#include "tavrine/services/TavrineAPI.h"

#include <QUuid>

namespace tavrine {

namespace {

SpeechVendor off(const QString& problem) {
    SpeechVendor vendor;
    vendor.problem = problem;
    return vendor;
}

} // namespace

SpeechVendor SpeechVendor::parse(const QString& origin, const QString& voice) {
    const TavrineAPI::BaseAddress base = TavrineAPI::parseBaseAddress(origin, TavrineAPI::webSocketSchemes);
    if (!base.isUsable())
        return off(QString::fromLatin1(baseVariable) + QLatin1Char(' ') + base.problem);
    const QString trimmedVoice = voice.trimmed();
    // The vendor names voices by the UUID's 36-character text (with hyphens, without braces).
    if (trimmedVoice.size() != 36 || QUuid::fromString(trimmedVoice).isNull())
        return off(QString::fromLatin1(voiceVariable) + QStringLiteral(" is not a 36-character UUID"));
    SpeechVendor vendor;
    vendor.socketURL = base.origin;
    vendor.socketURL.setPath(QString::fromLatin1(socketPath));
    vendor.voice = trimmedVoice;
    return vendor;
}

SpeechVendor SpeechVendor::fromEnvironment() {
    for (const char* variable : {baseVariable, voiceVariable}) {
        if (!qEnvironmentVariableIsSet(variable))
            return off(QString::fromLatin1(variable) + QStringLiteral(" is not set"));
    }
    return parse(qEnvironmentVariable(baseVariable), qEnvironmentVariable(voiceVariable));
}

} // namespace tavrine
