#include "fakes/FakeSpeechPlayback.h"

#include "tavrine/speech/NudgeSpeechError.h"

namespace tavrine::test {

void FakeSpeechAudioOutput::open() {
    if (refusesToOpen)
        throw NudgeSpeechError(NudgeSpeechError::Kind::unplayable);
    isOpen = true;
    ++opens;
    handed = 0;
    heard = 0;
}

void FakeSpeechAudioOutput::close() {
    isOpen = false;
}

void FakeSpeechAudioOutput::advance(qint64 handedTo, qint64 heardTo) {
    handed = handedTo;
    heard = heardTo;
    if (onProgress)
        onProgress();
}

bool FakeAudioDucking::duck() {
    if (!reachable)
        return false;
    events.append(QStringLiteral("duck"));
    ++outstanding;
    return true;
}

void FakeAudioDucking::restore() {
    events.append(QStringLiteral("restore"));
    --outstanding;
}

void FakeAudioDucking::restoreAll() {
    events.append(QStringLiteral("restoreAll"));
    outstanding = 0;
}

} // namespace tavrine::test
