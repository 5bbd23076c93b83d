#pragma once

#include "tavrine/speech/SpeechWordProgress.h"

#include <QObject>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace tavrine {

// The state of the spoken nudge now being voiced: whether a voice is awaited, whether it began and whether it
// plays. The focus session creates one for its whole life and installs `onSettled`; the speaker drives it; the
// nudge views read it. Main thread only.
class NudgeVoiceMeter : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isVoiced READ isVoiced NOTIFY isVoicedChanged)
    Q_PROPERTY(bool revealsWords READ revealsWords NOTIFY revealsWordsChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
public:
    explicit NudgeVoiceMeter(QObject* parent = nullptr);

    // The current spoken nudge has started to sound.
    bool isVoiced() const { return m_isVoiced; }
    // The nudge text is revealed in step with the voice: the voice began while the nudge was waiting for it.
    bool revealsWords() const { return m_revealsWords; }
    // Audio of the current nudge is playing.
    bool isPlaying() const { return m_isPlaying; }

    // A spoken nudge was asked for and its voice has neither begun nor been given up. The speaker sets it right
    // after `reset`; the session clears it when it stops holding the nudge for the voice.
    bool isPending() const { return m_isPending; }
    void setPending(bool pending) { m_isPending = pending; }

    // Identifies the current spoken nudge; every `reset` raises it, so calls about an older nudge do nothing.
    qint64 token() const { return m_token; }

    // The live loudness (0 to 1) and word progress of the voice now playing; empty when nothing plays. Views
    // call them once per frame.
    using LevelSource = std::function<float()>;
    using WordSource = std::function<std::optional<SpeechWordProgress>()>;
    const LevelSource& source() const { return m_source; }
    const WordSource& words() const { return m_words; }

    // Run when a pending meter settles: its voice began, or the attempt to speak ended without one.
    std::function<void()> onSettled;

    // Starts a new spoken nudge: all flags false, the token raised. `onSettled` stays installed.
    void reset();
    // Nudge `token` produced audio. Only its first audio counts: the closures are kept, the meter becomes voiced
    // and playing, the words are revealed with the voice when the nudge was waiting for it, and a pending meter
    // settles.
    void attach(qint64 token, LevelSource source, WordSource words);
    // The audio of nudge `token` finished or was stopped; the text stays revealed.
    void playbackEnded(qint64 token);
    // The attempt to speak nudge `token` is over; a meter still pending for it settles without a voice.
    void settle(qint64 token);

signals:
    void isVoicedChanged();
    void revealsWordsChanged();
    void isPlayingChanged();

private:
    void setVoiced(bool voiced);
    void setRevealsWords(bool reveals);
    void setPlaying(bool playing);

    LevelSource m_source;
    WordSource m_words;
    bool m_isVoiced = false;
    bool m_revealsWords = false;
    bool m_isPlaying = false;
    bool m_isPending = false;
    qint64 m_token = 0;
};

} // namespace tavrine
