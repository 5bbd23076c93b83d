#pragma once

#include "tavrine/speech/SpeechChunkStream.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>
#include <memory>

namespace tavrine {

// A source of speech: the network vendor, or a recorded voice. Main thread only.
class NudgeSpeechStreaming {
public:
    virtual ~NudgeSpeechStreaming() = default;

    // A temporary speech key from the maker's API at `url`, authorised with the bearer `token`. Fails with
    // NudgeSpeechError, a JSON error of the answer, ApiTransportError or CancelledError.
    virtual QCoro::Task<QString> temporaryKey(QUrl url, QString token) = 0;
    // Speaks `text` with `key`; returns at once with the stream of its chunks.
    virtual std::unique_ptr<SpeechChunkStream> stream(const QString& text, const QString& key) = 0;
};

} // namespace tavrine
