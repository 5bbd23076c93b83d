#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/onboarding/RehearsalClips.h"
#include "tavrine/onboarding/RehearsalPlaying.h"
#include "tavrine/onboarding/RehearsalPlayerPage.h"

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {

class Clock;

// The rehearsal's video: the page with the video site's player, driven by three calls ("show", "play", "pause")
// and following the page's events. Calls made before the page is ready take effect when it reports "ready"; a
// six-second watchdog marks the clip unavailable when playing was asked for and never began, so the video page
// shows its poster instead. Main thread only.
class RehearsalPlayer final : public QObject, public RehearsalPlaying {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the rehearsal stage")
    Q_PROPERTY(int current READ currentIndex NOTIFY currentChanged)
    Q_PROPERTY(bool unavailable READ unavailable NOTIFY unavailableChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(QQuickItem* view READ view CONSTANT)
public:
    static constexpr double watchdogSeconds = 6.0;

    using OnEvent = std::function<void(const QString& event, std::optional<qint64> value)>;
    struct Wanted {
        RehearsalVideo video;
        bool playing;
    };

    // Loads the page at once. The clock must outlive the player.
    RehearsalPlayer(std::unique_ptr<RehearsalPlayerPage> page, Clock& clock,
                    RehearsalClipIdentifiers identifiers = RehearsalClipIdentifiers::configured(),
                    QObject* parent = nullptr);
    // Tears down when the owner did not.
    ~RehearsalPlayer() override;

    RehearsalVideo current() const { return m_current; }
    int currentIndex() const { return int(m_current); }
    bool unavailable() const { return m_unavailable; }
    bool isPlaying() const { return m_isPlaying; }
    int volume() const { return m_volume; }
    void setVolume(int volume) { m_volume = volume; }
    void setOnEvent(OnEvent onEvent) { m_onEvent = std::move(onEvent); }
    bool isReady() const { return m_ready; }
    std::optional<Wanted> wanted() const { return m_wanted; }
    bool watchdogArmed() const { return m_watchdog != nullptr; }
    QQuickItem* view() const;
    RehearsalPlayerPage* page() const { return m_page.get(); }

    // The clip table: identifier, title, channel and start second of each clip.
    RehearsalClip clip(RehearsalVideo video) const { return rehearsalClip(video, m_identifiers); }

    void setCurrent(RehearsalVideo video, bool playing) override;
    void play() override;
    void pause() override;
    void teardown() override;

    // A message from the page: counted only as a map with a text "event"; its "value" only as a finite whole
    // number. Public so the page's bridge and tests can deliver one.
    void handleMessage(const QVariant& body);

    // The three calls, exactly as the page receives them.
    static QString showScript(const QString& identifier, int start, bool playing, int volume);
    static QString playScript(int volume);
    static QString pauseScript();

signals:
    void currentChanged();
    void unavailableChanged();
    void isPlayingChanged();

private:
    void show();
    void armWatchdog();
    void cancelWatchdog();
    void watchdogExpired();
    void setUnavailable(bool value);
    void setIsPlaying(bool value);

    std::unique_ptr<RehearsalPlayerPage> m_page;
    Clock& m_clock;
    RehearsalClipIdentifiers m_identifiers;
    RehearsalVideo m_current = RehearsalVideo::Detour;
    bool m_unavailable = false;
    bool m_isPlaying = false;
    int m_volume = 0;
    OnEvent m_onEvent;
    bool m_ready = false;
    bool m_tornDown = false;
    std::optional<Wanted> m_wanted;
    std::shared_ptr<CancellationSource> m_watchdog;
};

} // namespace tavrine
