#pragma once

#include <QUrl>
#include <memory>
#include <string>

namespace tavrine {

class AudioDucking;
class SoundClip;
class SpeechAudioOutput;

// Everything done with the sound system (Qt Multimedia and libpulse), held by a module of its own (tavrine-sound)
// that the process loads once the first window has drawn, or when a nudge or speech needs it first. Linked into the
// program, Qt Multimedia, libpulse and their codecs would be loaded and bound before the first window.
class SoundModule {
public:
    // The process's sound: the module is loaded by the first call, on the main thread, once. Null when it could not
    // be loaded; that is logged once, naming what is missing.
    static SoundModule* instance();
    // Loads the module at `path`. Null with `error` naming the path and what is missing.
    static SoundModule* load(const std::string& path, std::string& error);
    // Where this program's module lies (as OcrBackend::modulePath).
    static std::string modulePath();

    // The default output for a spoken nudge; without the module, one that cannot be opened.
    static std::unique_ptr<SpeechAudioOutput> speechOutput();
    // The process's ducker; without the module, null (nothing is lowered, no restore is owed).
    static std::shared_ptr<AudioDucking> sharedDucking();

    // Names Tavrine's streams for the sound server (a mixer lists them under "Tavrine" as event sounds). Call once,
    // before anything else opens the sound system.
    virtual void nameSoundStreams() = 0;
    // An output on the default device, 16-bit mono at 24 000 Hz.
    virtual std::unique_ptr<SpeechAudioOutput> createSpeechOutput() = 0;
    // The ducker on the PulseAudio API (PipeWire serves it too). It restores everything when the application quits.
    virtual std::shared_ptr<AudioDucking> ducking() = 0;
    // The sound at `source` (a WAV file or resource), loading in the background.
    virtual std::unique_ptr<SoundClip> createClip(const QUrl& source) = 0;

protected:
    ~SoundModule() = default;
};

} // namespace tavrine

// The module's one entry point: its SoundModule*, which lives as long as the process.
extern "C" void* tavrine_sound_module();
