#pragma once

#include "tavrine/platform/AudioDucking.h"
#include "tavrine/speech/SpeechAudioOutput.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tavrine::test {

// An audio output whose clock the test moves: `play` hands samples to the "sound system" and hears them after
// the given latency.
class FakeSpeechAudioOutput final : public SpeechAudioOutput {
public:
    // When set, `open` fails as with no device.
    bool refusesToOpen = false;
    bool isOpen = false;
    int opens = 0;
    QList<QByteArray> written;
    qint64 handed = 0;
    qint64 heard = 0;

    void open() override;
    void close() override;
    void write(const QByteArray& pcm) override { written.append(pcm); }
    qint64 handedSamples() const override { return handed; }
    qint64 heardSamples() const override { return heard; }

    // Sets both positions and reports progress.
    void advance(qint64 handedTo, qint64 heardTo);
    void breakDown() {
        if (onFailure)
            onFailure();
    }
};

// Counts ducks; `events` reads "duck" and "restore" in order.
class FakeAudioDucking final : public AudioDucking {
public:
    bool reachable = true;
    QStringList events;
    int outstanding = 0;

    bool duck() override;
    void restore() override;
    void restoreAll() override;
};

} // namespace tavrine::test
