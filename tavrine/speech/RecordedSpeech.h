#pragma once

#include "tavrine/speech/NudgeSpeechStreaming.h"

namespace tavrine {

// A recorded voice behind the speech seam (the onboarding's rehearsal): every key request answers the token
// itself, and every stream yields the one recorded chunk and ends, whatever the text.
class RecordedSpeech final : public NudgeSpeechStreaming {
public:
    explicit RecordedSpeech(SpeechChunk recording) : m_recording(std::move(recording)) {}

    QCoro::Task<QString> temporaryKey(QUrl url, QString token) override;
    std::unique_ptr<SpeechChunkStream> stream(const QString& text, const QString& key) override;

private:
    SpeechChunk m_recording;
};

} // namespace tavrine
