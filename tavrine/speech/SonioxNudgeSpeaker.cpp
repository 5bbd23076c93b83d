#include "tavrine/speech/SonioxNudgeSpeaker.h"

#include "tavrine/core/Cancellation.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QList>
#include <cmath>

namespace tavrine {

namespace {

// Work started from an operation of the speaker begins on the next turn of the event loop, never inside the
// call: the caller reads the meter right after `speak` returns.
QCoro::Task<void> nextTurn() {
    const Wakeup turn;
    turn.fire();
    co_await turn;
}

std::optional<NudgeSpeechError::Kind> speechErrorKind(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const NudgeSpeechError& error) {
        return error.kind();
    } catch (...) {
    }
    return std::nullopt;
}

bool isCancellation(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ApiTransportError& error) {
        return error.kind() == ApiTransportError::Kind::network &&
               error.networkError() == QNetworkReply::OperationCanceledError;
    } catch (const Error& error) {
        return error.isCancellation();
    } catch (...) {
    }
    return false;
}

// Why speech failed, in words that tell a reset connection from garbage or an oversized message.
QString failureReason(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const NudgeSpeechError& error) {
        return error.reason();
    } catch (const ApiTransportError& error) {
        switch (error.kind()) {
        case ApiTransportError::Kind::timedOut:
            return QStringLiteral("the speech service did not answer in time");
        case ApiTransportError::Kind::bodyTooLarge:
            return QStringLiteral("the answer was over the size limit");
        case ApiTransportError::Kind::network:
            if (error.networkError() == QNetworkReply::RemoteHostClosedError)
                return QStringLiteral("the connection was reset");
            return QStringLiteral("the connection failed (%1)").arg(error.summaryCode());
        }
    } catch (const JsonParseError&) {
        return QStringLiteral("the speech service sent garbage (not JSON)");
    } catch (const Error& error) {
        return error.summaryCode();
    } catch (...) {
    }
    return QStringLiteral("an unexpected failure");
}

void logFailure(const std::exception_ptr& failure) {
    log::error(logNudgeSpeech(), QStringLiteral("Nudge speech failed: %1").arg(failureReason(failure)));
}

} // namespace

// A key request that runs on its own: a speaking task that is cancelled leaves it running, and a later speak may
// take its answer.
struct SonioxNudgeSpeaker::KeyTask {
    bool done = false;
    std::optional<QString> key;
    std::exception_ptr failure;
    QList<Wakeup> waiters;

    void complete() {
        done = true;
        for (const Wakeup& waiter : std::as_const(waiters))
            waiter.fire();
        waiters.clear();
    }
};

std::shared_ptr<SonioxNudgeSpeaker> SonioxNudgeSpeaker::create(Closures closures,
                                                               std::shared_ptr<NudgeSpeechStreaming> fetcher,
                                                               MakePlayer makePlayer) {
    return std::shared_ptr<SonioxNudgeSpeaker>(
        new SonioxNudgeSpeaker(std::move(closures), std::move(fetcher), std::move(makePlayer)));
}

SonioxNudgeSpeaker::SonioxNudgeSpeaker(Closures closures, std::shared_ptr<NudgeSpeechStreaming> fetcher,
                                       MakePlayer makePlayer)
    : m_closures(std::move(closures)), m_fetcher(std::move(fetcher)), m_makePlayer(std::move(makePlayer)) {}

// Releasing the speaker releases its fields only: a streaming task holds it until it ends.
SonioxNudgeSpeaker::~SonioxNudgeSpeaker() = default;

NudgeVoiceMeter* SonioxNudgeSpeaker::meter() const {
    return m_meter.data();
}

void SonioxNudgeSpeaker::setMeter(NudgeVoiceMeter* meter) {
    m_meter = meter;
}

qint64 SonioxNudgeSpeaker::dayNumber(const QDateTime& date) {
    return static_cast<qint64>(std::floor(static_cast<double>(date.toMSecsSinceEpoch()) / 86400000.0));
}

void SonioxNudgeSpeaker::stop() {
    ++m_playbackID;
    if (m_meter)
        m_meter->reset();
    if (m_task) {
        m_task->cancel();
        m_task.reset();
    }
    if (auto playback = std::exchange(m_playback, nullptr))
        playback->stop();
}

void SonioxNudgeSpeaker::speakWithForcedVoice(const QString& text) {
    Flag previous = m_closures.speechEnabled;
    m_closures.speechEnabled = [] { return true; };
    speak(text);
    m_closures.speechEnabled = std::move(previous);
}

void SonioxNudgeSpeaker::speak(const QString& text) {
    stop();
    const QString trimmed = text::trimmed(text);
    if (trimmed.isEmpty())
        return;
    KeyTaskPtr key = freshPreparedKey();
    m_prepared.reset();
    // A fresh prepared key speaks without asking the gates again.
    if (!key)
        key = makeKeyTask();
    if (!key)
        return;
    qint64 token = 0;
    if (m_meter) {
        m_meter->reset();
        m_meter->setPending(true);
        token = m_meter->token();
    }
    m_task = std::make_shared<CancellationSource>();
    runSpeech(weak_from_this(), token, key, m_fetcher, trimmed, m_task);
}

void SonioxNudgeSpeaker::prepareKey() {
    if (freshPreparedKey())
        return;
    if (KeyTaskPtr key = makeKeyTask())
        m_prepared = Prepared{key, m_closures.now()};
}

SonioxNudgeSpeaker::KeyTaskPtr SonioxNudgeSpeaker::freshPreparedKey() const {
    if (!m_prepared || m_prepared->at.msecsTo(m_closures.now()) >= preparedKeyMilliseconds)
        return nullptr;
    return m_prepared->key;
}

SonioxNudgeSpeaker::KeyTaskPtr SonioxNudgeSpeaker::makeKeyTask() {
    if (!m_closures.speechEnabled || !m_closures.speechEnabled())
        return nullptr;
    if (m_closures.voiceOverEnabled && m_closures.voiceOverEnabled())
        return nullptr;
    const QUrl url = m_closures.temporaryKeyURL ? m_closures.temporaryKeyURL() : QUrl();
    if (url.isEmpty())
        return nullptr;
    if (m_dailyLimitDay && *m_dailyLimitDay == dayNumber(m_closures.now()))
        return nullptr;
    const std::optional<QString> token = m_closures.bearerToken ? m_closures.bearerToken() : std::nullopt;
    if (!token)
        return nullptr;
    auto task = std::make_shared<KeyTask>();
    runKeyTask(task, m_fetcher, url, *token, weak_from_this());
    return task;
}

QCoro::Task<void> SonioxNudgeSpeaker::runKeyTask(KeyTaskPtr task, std::shared_ptr<NudgeSpeechStreaming> fetcher,
                                                 QUrl url, QString token, std::weak_ptr<SonioxNudgeSpeaker> speaker) {
    try {
        co_await nextTurn();
        bool refused = false;
        try {
            task->key = co_await fetcher->temporaryKey(url, token);
        } catch (const NudgeSpeechError& error) {
            if (error.kind() != NudgeSpeechError::Kind::unauthorized)
                throw;
            refused = true;
        }
        if (refused) {
            // A refused token is refreshed and tried once more, and only when the refresh changed it.
            std::shared_ptr<SonioxNudgeSpeaker> self = speaker.lock();
            if (self) {
                RefreshBearerToken refresh = self->m_closures.refreshBearerToken;
                self.reset();
                if (refresh)
                    co_await refresh();
                self = speaker.lock();
            }
            const std::optional<QString> fresh =
                self && self->m_closures.bearerToken ? self->m_closures.bearerToken() : std::nullopt;
            self.reset();
            if (fresh && *fresh != token)
                task->key = co_await fetcher->temporaryKey(url, *fresh);
        }
    } catch (...) {
        task->failure = std::current_exception();
    }
    task->complete();
}

QCoro::Task<void> SonioxNudgeSpeaker::runSpeech(std::weak_ptr<SonioxNudgeSpeaker> speaker, qint64 token,
                                                KeyTaskPtr key, std::shared_ptr<NudgeSpeechStreaming> fetcher,
                                                QString text, std::shared_ptr<CancellationSource> cancellation) {
    try {
        co_await nextTurn();
        co_await speakAfterKey(speaker, token, key, fetcher, text, cancellation);
    } catch (...) {
        // speakAfterKey handles every failure; nothing may escape a task nobody awaits.
    }
    if (auto self = speaker.lock())
        self->settleMeter(token);
}

QCoro::Task<void> SonioxNudgeSpeaker::speakAfterKey(std::weak_ptr<SonioxNudgeSpeaker> speaker, qint64 token,
                                                    KeyTaskPtr key, std::shared_ptr<NudgeSpeechStreaming> fetcher,
                                                    QString text,
                                                    std::shared_ptr<CancellationSource> cancellation) {
    const CancellationToken cancelled = cancellation->token();
    // Key phase: the speaker is held weakly.
    std::exception_ptr failure;
    try {
        if (!key->done) {
            const Wakeup ready;
            key->waiters.append(ready);
            CancellationSubscription subscription = cancelled.onCancel([ready] { ready.fire(true); });
            co_await ready;
        }
        if (key->done && key->failure)
            std::rethrow_exception(key->failure);
        if (key->done && !key->key)
            co_return;
        cancelled.throwIfCancelled();
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        std::shared_ptr<SonioxNudgeSpeaker> self = speaker.lock();
        if (self && !self->handledQuietly(failure) && !self->m_playback)
            logFailure(failure);
        co_return;
    }

    // Stream phase: the speaker is held strongly until the stream ends.
    std::shared_ptr<SonioxNudgeSpeaker> self = speaker.lock();
    if (!self)
        co_return;
    const qint64 id = self->m_playbackID;
    std::shared_ptr<NudgeStreamPlaying> player = self->m_makePlayer();
    player->onPlaybackEnded = [speaker, token] {
        if (auto owner = speaker.lock(); owner && owner->m_meter)
            owner->m_meter->playbackEnded(token);
    };
    self->m_playback = player;
    try {
        std::unique_ptr<SpeechChunkStream> stream = fetcher->stream(text, *key->key);
        for (;;) {
            std::optional<SpeechChunk> chunk = co_await stream->next(cancelled);
            if (!chunk)
                break;
            cancelled.throwIfCancelled();
            if (self->m_playbackID != id)
                co_return;
            player->enqueue(chunk->audio, chunk->timestamps);
            if (chunk->audio.size() > 1 && self->m_meter) {
                const std::weak_ptr<NudgeStreamPlaying> weakPlayer = player;
                self->m_meter->attach(
                    token,
                    [weakPlayer] {
                        const auto playing = weakPlayer.lock();
                        return playing ? playing->level() : 0.0f;
                    },
                    [weakPlayer] {
                        const auto playing = weakPlayer.lock();
                        return playing ? playing->wordProgress() : std::nullopt;
                    });
            }
        }
        if (stream->wasCutShort())
            log::info(logNudgeSpeech(), QStringLiteral("Nudge speech was cut short; playing what arrived"));
        if (self->m_playbackID == id)
            player->finish();
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (self->handledQuietly(failure) || self->m_playbackID != id)
        co_return;
    if (self->m_playback)
        self->m_playback->stop();
    logFailure(failure);
}

bool SonioxNudgeSpeaker::handledQuietly(const std::exception_ptr& failure) {
    if (isCancellation(failure))
        return true;
    switch (speechErrorKind(failure).value_or(NudgeSpeechError::Kind::requestFailed)) {
    case NudgeSpeechError::Kind::unauthorized:
        log::info(logNudgeSpeech(), QStringLiteral("Nudge speech key was refused: the API token is not accepted"));
        return true;
    case NudgeSpeechError::Kind::dailyLimitReached:
        m_dailyLimitDay = dayNumber(m_closures.now());
        log::info(logNudgeSpeech(), QStringLiteral("Nudge speech reached its daily limit"));
        return true;
    default:
        return false;
    }
}

void SonioxNudgeSpeaker::settleMeter(qint64 token) {
    if (m_meter)
        m_meter->settle(token);
}

} // namespace tavrine
