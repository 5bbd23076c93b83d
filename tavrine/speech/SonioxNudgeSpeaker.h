#pragma once

#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/speech/NudgeSpeechStreaming.h"
#include "tavrine/speech/NudgeStreamPlaying.h"

#include <QDateTime>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {

class CancellationSource;
class NudgeVoiceMeter;

// Reads nudges aloud: a temporary key from the maker's API (or one fetched a moment earlier), the text streamed
// through the speech source, the chunks played by a fresh player, the voice meter kept informed. It never fails
// towards its caller: what goes wrong is logged in "NudgeSpeech" and swallowed. A new nudge interrupts the one
// being spoken. Main thread only; created shared (its tasks hold it weakly while they wait for a key, strongly
// while they stream).
class SonioxNudgeSpeaker final : public NudgeSpeaking, public std::enable_shared_from_this<SonioxNudgeSpeaker> {
public:
    using Flag = std::function<bool()>;
    // Where to ask for a temporary key; an empty URL counts as none.
    using KeyURL = std::function<QUrl()>;
    using BearerToken = std::function<std::optional<QString>()>;
    using RefreshBearerToken = std::function<QCoro::Task<void>()>;
    using Now = std::function<QDateTime()>;
    using MakePlayer = std::function<std::shared_ptr<NudgeStreamPlaying>()>;

    struct Closures {
        Flag speechEnabled;
        Flag voiceOverEnabled;
        KeyURL temporaryKeyURL;
        BearerToken bearerToken;
        RefreshBearerToken refreshBearerToken;
        Now now;
    };

    // A prepared key serves a speak within this many seconds.
    static constexpr qint64 preparedKeyMilliseconds = 40000;

    static std::shared_ptr<SonioxNudgeSpeaker> create(Closures closures, std::shared_ptr<NudgeSpeechStreaming> fetcher,
                                                      MakePlayer makePlayer);
    ~SonioxNudgeSpeaker() override;

    void speak(const QString& text) override;
    void prepareKey() override;
    void stop() override;
    void speakWithForcedVoice(const QString& text) override;
    NudgeVoiceMeter* meter() const override;
    void setMeter(NudgeVoiceMeter* meter) override;

    // Whether speech is on; the session swaps it for one forced call.
    Flag speechEnabled() const { return m_closures.speechEnabled; }
    void setSpeechEnabled(Flag flag) { m_closures.speechEnabled = std::move(flag); }
    // The UTC day on which the vendor's daily limit was last reported.
    std::optional<qint64> dailyLimitDay() const { return m_dailyLimitDay; }
    // The day number of a date: whole days since 1970-01-01 00:00 UTC.
    static qint64 dayNumber(const QDateTime& date);

private:
    struct KeyTask;
    using KeyTaskPtr = std::shared_ptr<KeyTask>;
    SonioxNudgeSpeaker(Closures closures, std::shared_ptr<NudgeSpeechStreaming> fetcher, MakePlayer makePlayer);

    KeyTaskPtr makeKeyTask();
    KeyTaskPtr freshPreparedKey() const;
    static QCoro::Task<void> runKeyTask(KeyTaskPtr task, std::shared_ptr<NudgeSpeechStreaming> fetcher, QUrl url,
                                        QString token, std::weak_ptr<SonioxNudgeSpeaker> speaker);
    static QCoro::Task<void> runSpeech(std::weak_ptr<SonioxNudgeSpeaker> speaker, qint64 token, KeyTaskPtr key,
                                       std::shared_ptr<NudgeSpeechStreaming> fetcher, QString text,
                                       std::shared_ptr<CancellationSource> cancellation);
    static QCoro::Task<void> speakAfterKey(std::weak_ptr<SonioxNudgeSpeaker> speaker, qint64 token, KeyTaskPtr key,
                                           std::shared_ptr<NudgeSpeechStreaming> fetcher, QString text,
                                           std::shared_ptr<CancellationSource> cancellation);
    // Whether the failure is one the speaker passes over in silence or handles itself; false for the rest.
    bool handledQuietly(const std::exception_ptr& failure);
    void settleMeter(qint64 token);

    Closures m_closures;
    std::optional<qint64> m_dailyLimitDay;
    std::shared_ptr<NudgeSpeechStreaming> m_fetcher;
    MakePlayer m_makePlayer;
    QPointer<NudgeVoiceMeter> m_meter;
    std::shared_ptr<CancellationSource> m_task;
    std::shared_ptr<NudgeStreamPlaying> m_playback;
    qint64 m_playbackID = 0;
    struct Prepared {
        KeyTaskPtr key;
        QDateTime at;
    };
    std::optional<Prepared> m_prepared;
};

} // namespace tavrine
