#pragma once

#include "tavrine/speech/NudgeSpeechStreaming.h"

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;

namespace tavrine {

// The session's limits in seconds: the key request's longest idle time and whole length; the socket's opening,
// longest silence and whole length. Each runs on our own timer, and running out is a transport failure, never a
// cancellation. A frame or message over `messageBytes` fails the stream as a failed request.
struct SpeechNetworkLimits {
    double keyIdle = 20;
    double keyTotal = 20;
    double socketOpen = 20;
    double silence = 20;
    double total = 20;
    qint64 messageBytes = 4 * 1024 * 1024;
};

// The network speech source: the temporary key from the maker's API, then the vendor's real-time socket. It
// keeps its own network manager: the key request must not go through the API client (no JSON body, no
// model-call log, no token refresh of its own). Main thread only.
class LiveNudgeSpeechFetcher : public QObject, public NudgeSpeechStreaming {
    Q_OBJECT
public:
    using Limits = SpeechNetworkLimits;

    // `socketURL`: the vendor's socket ("wss://…/tts-websocket"); `voice`: the vendor's voice identifier.
    LiveNudgeSpeechFetcher(QUrl socketURL, QString voice, Limits limits = {}, QObject* parent = nullptr);
    ~LiveNudgeSpeechFetcher() override;

    QCoro::Task<QString> temporaryKey(QUrl url, QString token) override;
    std::unique_ptr<SpeechChunkStream> stream(const QString& text, const QString& key) override;

private:
    QUrl m_socketURL;
    QString m_voice;
    Limits m_limits;
    QNetworkAccessManager* m_manager;
};

} // namespace tavrine
