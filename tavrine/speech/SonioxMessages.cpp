#include "tavrine/speech/SonioxMessages.h"

#include "tavrine/services/JsonParseError.h"
#include "tavrine/speech/NudgeSpeechError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavrine {

namespace {

QString compact(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

QString sonioxConfigMessage(const QString& key, const QString& streamID, const QString& voice) {
    return compact(QJsonObject{
        {QStringLiteral("api_key"), key},
        {QStringLiteral("model"), QStringLiteral("tts-rt-v2")},
        {QStringLiteral("language"), QStringLiteral("en")},
        {QStringLiteral("voice"), voice},
        {QStringLiteral("audio_format"), QStringLiteral("pcm_s16le")},
        {QStringLiteral("sample_rate"), SpeechChunk::sampleRate},
        {QStringLiteral("return_timestamps"), true},
        {QStringLiteral("stream_id"), streamID},
    });
}

QString sonioxTextMessage(const QString& text, const QString& streamID) {
    return compact(QJsonObject{
        {QStringLiteral("text"), text},
        {QStringLiteral("text_end"), true},
        {QStringLiteral("stream_id"), streamID},
    });
}

SonioxSpeechEvent parseSonioxMessage(const QString& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        throw JsonParseError(error);
    if (!document.isObject())
        throw NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::notSpeech);
    const QJsonObject object = document.object();
    // Presence alone marks a vendor error, whatever the value.
    if (object.contains(QStringLiteral("error_code")) || object.contains(QStringLiteral("error_type")))
        throw NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::vendorError);

    SonioxSpeechEvent event;
    const QJsonValue audio = object.value(QStringLiteral("audio"));
    if (audio.isString()) {
        auto decoded =
            QByteArray::fromBase64Encoding(audio.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        // Characters outside Latin-1 became "?" above, which the strict decoder refuses as well.
        if (decoded)
            event.audio = *decoded;
    }
    const QJsonValue terminated = object.value(QStringLiteral("terminated"));
    event.terminated = terminated.isBool() && terminated.toBool();
    event.timestamps = parseSpeechTimestamps(object.value(QStringLiteral("timestamps")));
    return event;
}

std::optional<SpeechTimestamps> parseSpeechTimestamps(const QJsonValue& value, const QString& startsKey) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue characters = object.value(QStringLiteral("characters"));
    const QJsonValue starts = object.value(startsKey);
    if (!characters.isArray() || !starts.isArray())
        return std::nullopt;
    SpeechTimestamps timestamps;
    for (const QJsonValue& character : characters.toArray()) {
        if (!character.isString())
            return std::nullopt;
        timestamps.characters.append(character.toString());
    }
    for (const QJsonValue& start : starts.toArray()) {
        if (!start.isDouble())
            return std::nullopt;
        timestamps.starts.append(start.toDouble());
    }
    if (timestamps.characters.isEmpty() || timestamps.characters.size() != timestamps.starts.size())
        return std::nullopt;
    return timestamps;
}

} // namespace tavrine
