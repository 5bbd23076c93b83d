#pragma once

namespace tavrine {

// Lowers the other applications' playback on the default output while Tavrine speaks, and brings back exactly
// what it lowered. Ducks are counted: the others stay lowered until every duck has been restored. Main thread.
// The process's one ducker is the sound module's (SoundModule::sharedDucking).
class AudioDucking {
public:
    virtual ~AudioDucking() = default;

    // Lowers the others to a quarter of their volume over 0.15 s (or keeps them lowered). Answers whether a
    // `restore` is owed: false when the sound server cannot be reached.
    virtual bool duck() = 0;
    // Gives back one duck; the last one brings the lowered streams back over 0.35 s, except those whose volume
    // someone else changed meanwhile.
    virtual void restore() = 0;
    // Brings everything back at once and forgets every duck (the application quits).
    virtual void restoreAll() = 0;
};

} // namespace tavrine
