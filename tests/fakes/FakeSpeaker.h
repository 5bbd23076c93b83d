#pragma once

#include "tavrine/model/NudgeSpeaking.h"

#include <QStringList>

namespace tavrine::test {

// A speaker that plays nothing but drives the voice meter like the real one: every speak stops what was
// playing and resets the meter, and a voice that is wanted leaves the meter pending until the test says how it
// ends (`failVoice`, or nothing: a late voice).
class FakeSpeaker final : public NudgeSpeaking {
public:
    // The user's switch for spoken nudges; a forced voice ignores it for one call.
    void setSpeechEnabled(bool enabled) { m_enabled = enabled; }
    bool speechEnabled() const { return m_enabled; }

    void speak(const QString& text) override;
    void speakWithForcedVoice(const QString& text) override;
    void prepareKey() override { ++m_prepareKeys; }
    void stop() override;
    NudgeVoiceMeter* meter() const override { return m_meter; }
    void setMeter(NudgeVoiceMeter* meter) override { m_meter = meter; }

    // The attempt to speak ended without a voice: the pending meter settles.
    void failVoice();

    // Texts that started a voice, in order.
    QStringList voiced() const { return m_voiced; }
    // Texts of every speak call (forced ones too), in order.
    QStringList requested() const { return m_requested; }
    int forcedCalls() const { return m_forced; }
    int prepareKeys() const { return m_prepareKeys; }
    int stops() const { return m_stops; }

private:
    bool m_enabled = true;
    NudgeVoiceMeter* m_meter = nullptr;
    QStringList m_voiced;
    QStringList m_requested;
    int m_forced = 0;
    int m_prepareKeys = 0;
    int m_stops = 0;
};

} // namespace tavrine::test
