#include "fakes/FakeSpeaker.h"

#include "tavrine/speech/NudgeVoiceMeter.h"

namespace tavrine::test {

void FakeSpeaker::speak(const QString& text) {
    m_requested.append(text);
    if (m_meter)
        m_meter->reset();
    if (text.trimmed().isEmpty() || !m_enabled)
        return;
    m_voiced.append(text);
    if (m_meter)
        m_meter->setPending(true);
}

void FakeSpeaker::speakWithForcedVoice(const QString& text) {
    ++m_forced;
    const bool enabled = m_enabled;
    m_enabled = true;
    speak(text);
    m_enabled = enabled;
}

void FakeSpeaker::stop() {
    ++m_stops;
    if (m_meter)
        m_meter->reset();
}

void FakeSpeaker::failVoice() {
    if (m_meter)
        m_meter->settle(m_meter->token());
}

} // namespace tavrine::test
