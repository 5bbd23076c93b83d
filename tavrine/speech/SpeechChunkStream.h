#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/speech/SpeechChunk.h"

#include <QCoro/QCoroTask>
#include <QQueue>
#include <exception>
#include <optional>

namespace tavrine {

// The chunks of one spoken text, buffered without bound: the producer never waits for the consumer. The
// consumer awaits `next` until it gives nothing (the end) or throws (the failure). Dropping the stream ends it:
// a network stream closes its socket. Main thread only.
class SpeechChunkStream {
public:
    virtual ~SpeechChunkStream() = default;

    // The next chunk, or nothing once the stream has finished; throws the stream's failure, or CancelledError at
    // once when `cancellation` fires.
    QCoro::Task<std::optional<SpeechChunk>> next(CancellationToken cancellation = {});

    // Producer side. Only the first end (finish or fail) counts; chunks after it are dropped.
    void yield(SpeechChunk chunk);
    // `cutShort`: the source broke off after some audio; what came is played, and the end is a normal one.
    void finish(bool cutShort = false);
    void fail(std::exception_ptr failure);
    bool hasEnded() const { return m_ended; }
    bool wasCutShort() const { return m_cutShort; }

private:
    void wake();

    QQueue<SpeechChunk> m_chunks;
    bool m_ended = false;
    bool m_cutShort = false;
    std::exception_ptr m_failure;
    std::optional<Wakeup> m_waiter;
};

} // namespace tavrine
