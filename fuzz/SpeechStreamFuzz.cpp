// The speech vendor's messages, one per line of the input, as the network stream takes them: decoded as a binary
// message would be (strict UTF-8), parsed, their audio and timing queued on a chunk stream that a consumer drains
// between messages; a vendor error or an unreadable message fails the stream, or cuts it short after audio.
#include "FuzzSupport.h"

#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/SonioxMessages.h"
#include "tavrine/speech/SpeechChunkStream.h"

#include <QCoro/QCoroTask>
#include <QStringDecoder>

namespace {

struct Drained {
    int pending = 0;
    bool over = false;
};

// Takes one chunk. Called only when a chunk is queued or the stream has ended, so `next` never waits and this
// runs to its end inside the call.
QCoro::Task<void> takeOne(tavrine::SpeechChunkStream& stream, Drained& drained) {
    try {
        const std::optional<tavrine::SpeechChunk> chunk = co_await stream.next();
        if (!chunk) {
            drained.over = true;
            co_return;
        }
        --drained.pending;
        (void)chunk->audio.size();
        if (chunk->timestamps)
            (void)(chunk->timestamps->characters.size() + chunk->timestamps->starts.size());
    } catch (const std::exception& error) {
        tavrine::fuzz::touch(error);
        drained.over = true;
    }
}

void drain(tavrine::SpeechChunkStream& stream, Drained& drained, int most) {
    for (int taken = 0; taken < most && !drained.over && (drained.pending > 0 || stream.hasEnded()); ++taken)
        (void)takeOne(stream, drained);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = tavrine::fuzz::bytesOf(data, size);
    tavrine::SpeechChunkStream stream;
    Drained drained;
    bool audioSeen = false;
    for (const QByteArray& line : input.split('\n')) {
        if (stream.hasEnded())
            break;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString strict = decoder(line);
        // A text frame reaches the parser however Qt decoded it; the parse must hold for both.
        const QString lenient = QString::fromUtf8(line);
        try {
            (void)tavrine::parseSonioxMessage(lenient).terminated;
        } catch (const std::exception& error) {
            tavrine::fuzz::touch(error);
        }
        try {
            if (decoder.hasError())
                throw tavrine::NudgeSpeechError(tavrine::NudgeSpeechError::Kind::requestFailed,
                                                tavrine::NudgeSpeechError::Cause::notSpeech);
            const tavrine::SonioxSpeechEvent event = tavrine::parseSonioxMessage(strict);
            const bool hasAudio = event.audio && !event.audio->isEmpty();
            if (hasAudio || event.timestamps) {
                stream.yield(tavrine::SpeechChunk{hasAudio ? *event.audio : QByteArray(), event.timestamps});
                ++drained.pending;
            }
            audioSeen = audioSeen || hasAudio;
            if (event.terminated)
                stream.finish();
        } catch (const std::exception& error) {
            tavrine::fuzz::touch(error);
            if (audioSeen)
                stream.finish(true);
            else
                stream.fail(std::current_exception());
        }
        // The consumer keeps up with some messages and falls behind on others.
        drain(stream, drained, line.size() % 3);
    }
    stream.finish();
    drain(stream, drained, drained.pending + 1);
    return 0;
}
