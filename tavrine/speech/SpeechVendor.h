#pragma once

#include <QString>
#include <QUrl>

namespace tavrine {

// Where the speech vendor's real-time socket is and which voice speaks. Both come from the environment; a build
// that nobody configured speaks nothing and contacts no one.
struct SpeechVendor {
    static constexpr const char* baseVariable = "TAVRINE_SPEECH_BASE_URL";
    static constexpr const char* voiceVariable = "TAVRINE_SPEECH_VOICE";
    static constexpr const char* socketPath = "/tts-websocket";

    // The socket address (origin and socketPath); empty when speech is off.
    QUrl socketURL;
    QString voice;
    // Why speech is off; empty when it is on.
    QString problem;

    bool isUsable() const { return !socketURL.isEmpty(); }

    // From a configured origin (wss, or ws on a loopback address) and voice (a 36-character UUID text).
    static SpeechVendor parse(const QString& origin, const QString& voice);
    // From the environment; an unset variable turns speech off as a refused value does.
    static SpeechVendor fromEnvironment();
};

} // namespace tavrine
