#pragma once

#include "tavrine/speech/SpeechChunk.h"

#include <QJsonValue>
#include <QString>
#include <optional>

namespace tavrine {

// The speech vendor's real-time messages. Outgoing: the configuration (with the temporary key) and the whole
// text in one message, both carrying the stream's identifier. Incoming: audio, timing, the end, or an error.

// One parsed vendor message.
struct SonioxSpeechEvent {
    std::optional<QByteArray> audio;
    std::optional<SpeechTimestamps> timestamps;
    bool terminated = false;
};

// The configuration message. `voice` is the vendor's voice identifier (a 36-character UUID text).
QString sonioxConfigMessage(const QString& key, const QString& streamID, const QString& voice);
QString sonioxTextMessage(const QString& text, const QString& streamID);
// Fails with JsonParseError for text that is not JSON, NudgeSpeechError::requestFailed for JSON that is not an
// object or that reports a vendor error. Audio that is not valid Base64 counts as no audio.
SonioxSpeechEvent parseSonioxMessage(const QString& text);
// The "timestamps" member: "characters" and the start seconds under `startsKey`, of equal non-zero length, or
// nothing. Never fails.
std::optional<SpeechTimestamps> parseSpeechTimestamps(
    const QJsonValue& value, const QString& startsKey = QStringLiteral("character_start_times_seconds"));

} // namespace tavrine
