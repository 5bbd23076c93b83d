#pragma once

#include <QUrl>

namespace tavrine {

// A short sound loaded once and played on demand (the nudge's tap). Main thread.
class SoundClip {
public:
    virtual ~SoundClip() = default;

    virtual QUrl source() const = 0;
    // Plays from its start, even while the previous play still sounds.
    virtual void playFromStart() = 0;
};

} // namespace tavrine
