// The sound module's entry: Tavrine's sound system on Qt Multimedia and libpulse.
#include "tavrine/speech/SoundClip.h"
#include "tavrine/speech/SoundModule.h"
#include "tavrine/speech/sound/PulseAudioDucking.h"
#include "tavrine/speech/sound/QtSpeechAudioOutput.h"
#include "tavrine/speech/sound/SoundStreamNames.h"

#include <QSoundEffect>

namespace tavrine {

namespace {

class QtSoundClip final : public SoundClip {
public:
    explicit QtSoundClip(const QUrl& source) { m_effect.setSource(source); }
    QUrl source() const override { return m_effect.source(); }
    void playFromStart() override {
        m_effect.stop();
        m_effect.play();
    }

private:
    QSoundEffect m_effect;
};

class QtSoundModule final : public SoundModule {
public:
    void nameSoundStreams() override { tavrine::nameSoundStreams(); }
    std::unique_ptr<SpeechAudioOutput> createSpeechOutput() override { return std::make_unique<QtSpeechAudioOutput>(); }
    std::shared_ptr<AudioDucking> ducking() override {
        // One for the process while anyone holds it.
        std::shared_ptr<AudioDucking> existing = m_ducking.lock();
        if (!existing) {
            existing = makePulseAudioDucking();
            m_ducking = existing;
        }
        return existing;
    }
    std::unique_ptr<SoundClip> createClip(const QUrl& source) override { return std::make_unique<QtSoundClip>(source); }

private:
    std::weak_ptr<AudioDucking> m_ducking;
};

} // namespace

} // namespace tavrine

extern "C" __attribute__((visibility("default"))) void* tavrine_sound_module() {
    static tavrine::QtSoundModule module;
    return static_cast<tavrine::SoundModule*>(&module);
}
