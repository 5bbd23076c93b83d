#include "tavrine/speech/RecordedSpeech.h"

namespace tavrine {

QCoro::Task<QString> RecordedSpeech::temporaryKey(QUrl url, QString token) {
    Q_UNUSED(url)
    co_return token;
}

std::unique_ptr<SpeechChunkStream> RecordedSpeech::stream(const QString& text, const QString& key) {
    Q_UNUSED(text)
    Q_UNUSED(key)
    auto stream = std::make_unique<SpeechChunkStream>();
    stream->yield(m_recording);
    stream->finish();
    return stream;
}

} // namespace tavrine
