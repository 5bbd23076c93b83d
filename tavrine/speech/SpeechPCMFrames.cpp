#include "tavrine/speech/SpeechPCMFrames.h"

namespace tavrine {

QByteArray SpeechPCMFrames::take(const QByteArray& chunk) {
    if (chunk.isEmpty())
        return QByteArray();
    QByteArray joined = m_remainder + chunk;
    const qsizetype whole = joined.size() - joined.size() % 2;
    m_remainder = joined.mid(whole);
    joined.truncate(whole);
    return joined;
}

} // namespace tavrine
