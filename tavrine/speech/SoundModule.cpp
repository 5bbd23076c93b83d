#include "tavrine/speech/SoundModule.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/PrivateModule.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/SpeechAudioOutput.h"

namespace tavrine {

namespace {

PrivateModule& soundModule() {
    static PrivateModule module("sound", TAVRINE_SOUND_MODULE_BUILT, TAVRINE_SOUND_MODULE_FROM_PROGRAM,
                                "tavrine_sound_module");
    return module;
}

// Speech without the sound module: it fails as an output without a device does.
class UnplayableOutput final : public SpeechAudioOutput {
public:
    void open() override {
        log::error(logNudgeSpeech(), QStringLiteral("Nudge speech is silent: the sound module is missing"));
        throw NudgeSpeechError(NudgeSpeechError::Kind::unplayable);
    }
    void close() override {}
    void write(const QByteArray&) override {}
    qint64 handedSamples() const override { return 0; }
    qint64 heardSamples() const override { return 0; }
};

} // namespace

SoundModule* SoundModule::instance() {
    return static_cast<SoundModule*>(soundModule().instance(
        logNudgeSpeech(), QStringLiteral("Sound unavailable, nudges are silent and not spoken: ")));
}

SoundModule* SoundModule::load(const std::string& path, std::string& error) {
    return static_cast<SoundModule*>(soundModule().open(path, error));
}

std::string SoundModule::modulePath() {
    return soundModule().path();
}

std::unique_ptr<SpeechAudioOutput> SoundModule::speechOutput() {
    if (SoundModule* sound = instance())
        return sound->createSpeechOutput();
    return std::make_unique<UnplayableOutput>();
}

std::shared_ptr<AudioDucking> SoundModule::sharedDucking() {
    SoundModule* sound = instance();
    return sound ? sound->ducking() : nullptr;
}

} // namespace tavrine
