#include "tavrine/speech/NudgeVoiceMeter.h"

#include "tavrine/core/Observable.h"

namespace tavrine {

NudgeVoiceMeter::NudgeVoiceMeter(QObject* parent) : QObject(parent) {}

void NudgeVoiceMeter::reset() {
    ++m_token;
    setVoiced(false);
    setRevealsWords(false);
    setPlaying(false);
    m_isPending = false;
    m_source = nullptr;
    m_words = nullptr;
}

void NudgeVoiceMeter::attach(qint64 token, LevelSource source, WordSource words) {
    if (token != m_token || m_isVoiced)
        return;
    m_source = std::move(source);
    m_words = std::move(words);
    // Every flag is in its new state before the first observer hears of it.
    const bool wasPending = m_isPending;
    m_isPending = false;
    setRevealsWords(wasPending);
    setVoiced(true);
    setPlaying(true);
    if (!wasPending)
        return;
    if (auto callback = onSettled)
        callback();
}

void NudgeVoiceMeter::playbackEnded(qint64 token) {
    if (token != m_token)
        return;
    m_source = nullptr;
    m_words = nullptr;
    setPlaying(false);
}

void NudgeVoiceMeter::settle(qint64 token) {
    if (token != m_token || !m_isPending)
        return;
    m_isPending = false;
    // The callback may reset the meter or release the session's hold: call a copy.
    if (auto callback = onSettled)
        callback();
}

void NudgeVoiceMeter::setVoiced(bool voiced) {
    if (assignIfChanged(m_isVoiced, voiced))
        emit isVoicedChanged();
}

void NudgeVoiceMeter::setRevealsWords(bool reveals) {
    if (assignIfChanged(m_revealsWords, reveals))
        emit revealsWordsChanged();
}

void NudgeVoiceMeter::setPlaying(bool playing) {
    if (assignIfChanged(m_isPlaying, playing))
        emit isPlayingChanged();
}

} // namespace tavrine
