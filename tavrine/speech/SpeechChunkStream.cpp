#include "tavrine/speech/SpeechChunkStream.h"

#include "tavrine/core/Error.h"

namespace tavrine {

QCoro::Task<std::optional<SpeechChunk>> SpeechChunkStream::next(CancellationToken cancellation) {
    for (;;) {
        cancellation.throwIfCancelled();
        if (!m_chunks.isEmpty())
            co_return m_chunks.dequeue();
        if (m_failure)
            std::rethrow_exception(m_failure);
        if (m_ended)
            co_return std::nullopt;
        const Wakeup waiter;
        m_waiter = waiter;
        CancellationSubscription subscription = cancellation.onCancel([waiter] { waiter.fire(true); });
        co_await waiter;
    }
}

void SpeechChunkStream::yield(SpeechChunk chunk) {
    if (m_ended)
        return;
    m_chunks.enqueue(std::move(chunk));
    wake();
}

void SpeechChunkStream::finish(bool cutShort) {
    if (m_ended)
        return;
    m_ended = true;
    m_cutShort = cutShort;
    wake();
}

void SpeechChunkStream::fail(std::exception_ptr failure) {
    if (m_ended)
        return;
    m_ended = true;
    m_failure = std::move(failure);
    wake();
}

void SpeechChunkStream::wake() {
    if (m_waiter) {
        m_waiter->fire();
        m_waiter.reset();
    }
}

} // namespace tavrine
