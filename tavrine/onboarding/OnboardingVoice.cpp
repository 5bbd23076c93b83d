#include "tavrine/onboarding/OnboardingVoice.h"

#include "tavrine/onboarding/SpeechResampler.h"
#include "tavrine/onboarding/WaveFile.h"
#include "tavrine/speech/RecordedSpeech.h"
#include "tavrine/speech/SonioxMessages.h"
#include "tavrine/speech/SonioxNudgeSpeaker.h"
#include "tavrine/services/TavrineAPI.h"
#include "tavrine/speech/SpeechSetup.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavrine::onboardingvoice {

namespace {

std::optional<QByteArray> readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

std::optional<QByteArray> decodePCM(const QString& wavPath) {
    const std::optional<QByteArray> bytes = readAll(wavPath);
    if (!bytes)
        return std::nullopt;
    const std::optional<WaveFile> wave = WaveFile::parse(*bytes);
    if (!wave)
        return std::nullopt;
    QByteArray pcm = speechresampler::toSpeechPCM(wave->samples, wave->sampleRate);
    if (pcm.isEmpty())
        return std::nullopt;
    return pcm;
}

std::optional<SpeechTimestamps> decodeTimings(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return parseSpeechTimestamps(document.object(), QStringLiteral("starts"));
}

std::optional<SpeechChunk> decode(const QString& wavPath, const std::optional<QString>& jsonPath) {
    std::optional<QByteArray> pcm = decodePCM(wavPath);
    if (!pcm)
        return std::nullopt;
    SpeechChunk chunk{std::move(*pcm), std::nullopt};
    if (jsonPath) {
        if (const std::optional<QByteArray> json = readAll(*jsonPath))
            chunk.timestamps = decodeTimings(*json);
    }
    return chunk;
}

std::optional<SpeechChunk> loadRecording(const QString& folder) {
    const QString wav = folder + QStringLiteral("/OnboardingNudge.wav");
    if (!QFile::exists(wav))
        return std::nullopt;
    const QString json = folder + QStringLiteral("/OnboardingNudge.json");
    return decode(wav, QFile::exists(json) ? std::optional<QString>(json) : std::nullopt);
}

std::shared_ptr<SonioxNudgeSpeaker> makeSpeaker(const QString& folder, const UserDefaults& defaults) {
    std::optional<SpeechChunk> chunk = loadRecording(folder);
    if (!chunk)
        return nullptr;
    const speechsetup::StandardClosures standard = speechsetup::standardClosures(defaults);
    SonioxNudgeSpeaker::Closures closures{
        standard.speechEnabled,
        standard.voiceOverEnabled,
        // The shell's standard address is empty while no speech vendor is configured; the recording needs no
        // vendor, so only the maker's API address (present unless the API is switched off) gates it.
        [] { return TavrineAPI::url(QStringLiteral("speech/temporary-key")); },
        [] { return std::optional<QString>(QString::fromLatin1(placeholderToken)); },
        []() -> QCoro::Task<void> { co_return; },
        [] { return QDateTime::currentDateTimeUtc(); },
    };
    return SonioxNudgeSpeaker::create(std::move(closures), std::make_shared<RecordedSpeech>(std::move(*chunk)),
                                      speechsetup::playerFactory());
}

} // namespace tavrine::onboardingvoice
