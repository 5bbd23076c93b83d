#include "tavrine/onboarding/RehearsalPlayer.h"

#include "tavrine/core/Clock.h"

#include <QJsonObject>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace tavrine {

namespace {

// Whole numbers a double holds exactly.
constexpr double largestExact = 9007199254740992.0;

double continuousNow(const Clock& clock) { return clock.now() + clock.asleep(); }

std::optional<qint64> wholeNumber(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (!std::isfinite(number) || std::trunc(number) != number || std::abs(number) > largestExact)
            return std::nullopt;
        return qint64(number);
    }
    default:
        return std::nullopt;
    }
}

// The watchdog sleeps on `now` in short steps and measures continuous time, so a suspended computer's sleep
// counts towards the six seconds. Only its own cancellation or the player's end stop it without effect.
QCoro::Task<void> watchdogTask(QPointer<RehearsalPlayer> player, Clock* clock, CancellationToken token,
                               std::function<void()> expired) {
    const double deadline = continuousNow(*clock) + RehearsalPlayer::watchdogSeconds;
    while (true) {
        const double left = deadline - continuousNow(*clock);
        if (left <= 1e-9)
            break;
        try {
            co_await clock->sleep(std::min(left, 1.0), token);
        } catch (...) {
        }
        if (!player || token.isCancelled())
            co_return;
    }
    expired();
}

} // namespace

RehearsalPlayer::RehearsalPlayer(std::unique_ptr<RehearsalPlayerPage> page, Clock& clock,
                                 RehearsalClipIdentifiers identifiers, QObject* parent)
    : QObject(parent), m_page(std::move(page)), m_clock(clock), m_identifiers(std::move(identifiers)) {
    m_page->setParent(nullptr);
    connect(m_page.get(), &RehearsalPlayerPage::message, this, &RehearsalPlayer::handleMessage);
    connect(m_page.get(), &RehearsalPlayerPage::crashed, this, [this] {
        if (!m_tornDown)
            setUnavailable(true);
    });
    m_page->load();
}

RehearsalPlayer::~RehearsalPlayer() { teardown(); }

QQuickItem* RehearsalPlayer::view() const { return m_page ? m_page->view() : nullptr; }

QString RehearsalPlayer::showScript(const QString& identifier, int start, bool playing, int volume) {
    return QStringLiteral("show('%1', %2, %3, %4)")
        .arg(identifier)
        .arg(start)
        .arg(playing ? QStringLiteral("true") : QStringLiteral("false"))
        .arg(volume);
}

QString RehearsalPlayer::playScript(int volume) { return QStringLiteral("play(%1)").arg(volume); }

QString RehearsalPlayer::pauseScript() { return QStringLiteral("pause()"); }

void RehearsalPlayer::setCurrent(RehearsalVideo video, bool playing) {
    if (m_tornDown)
        return;
    if (m_current != video) {
        m_current = video;
        emit currentChanged();
    }
    setUnavailable(false);
    setIsPlaying(false);
    m_wanted = Wanted{video, playing};
    show();
    if (playing)
        armWatchdog();
}

void RehearsalPlayer::play() {
    if (m_tornDown)
        return;
    if (m_wanted)
        m_wanted->playing = true;
    if (m_ready)
        m_page->runScript(playScript(m_volume));
    armWatchdog();
}

void RehearsalPlayer::pause() {
    if (m_tornDown)
        return;
    if (m_wanted)
        m_wanted->playing = false;
    cancelWatchdog();
    if (m_ready)
        m_page->runScript(pauseScript());
}

void RehearsalPlayer::teardown() {
    if (m_tornDown)
        return;
    m_tornDown = true;
    cancelWatchdog();
    m_wanted.reset();
    disconnect(m_page.get(), nullptr, this, nullptr);
    m_page->detach();
}

void RehearsalPlayer::show() {
    if (!m_wanted)
        return;
    const RehearsalClip wantedClip = clip(m_wanted->video);
    // Without a configured clip there is nothing the site could play: the poster stands in at once, without
    // waiting for a page that, with no player script configured either, never gets ready.
    if (wantedClip.identifier.isEmpty()) {
        setUnavailable(true);
        return;
    }
    if (!m_ready)
        return;
    m_page->runScript(showScript(wantedClip.identifier, wantedClip.startSecond, m_wanted->playing, m_volume));
}

void RehearsalPlayer::handleMessage(const QVariant& body) {
    if (m_tornDown)
        return;
    QVariantMap map;
    if (body.metaType().id() == QMetaType::QVariantMap)
        map = body.toMap();
    else if (body.metaType().id() == QMetaType::QJsonObject)
        map = body.toJsonObject().toVariantMap();
    else
        return;
    const QVariant event = map.value(QStringLiteral("event"));
    if (event.metaType().id() != QMetaType::QString)
        return;
    const QString name = event.toString();
    const auto found = map.constFind(QStringLiteral("value"));
    const std::optional<qint64> value = found == map.constEnd() ? std::nullopt : wholeNumber(*found);
    if (m_onEvent) {
        const QPointer<RehearsalPlayer> self(this);
        m_onEvent(name, value);
        if (!self || m_tornDown)
            return;
    }
    if (name == QLatin1String("ready")) {
        m_ready = true;
        show();
    } else if (name == QLatin1String("state")) {
        setIsPlaying(value == 1);
        if (m_isPlaying) {
            cancelWatchdog();
            setUnavailable(false);
        }
    } else if (name == QLatin1String("error")) {
        setUnavailable(true);
    }
}

void RehearsalPlayer::armWatchdog() {
    cancelWatchdog();
    m_watchdog = std::make_shared<CancellationSource>();
    watchdogTask(QPointer<RehearsalPlayer>(this), &m_clock, m_watchdog->token(), [this] { watchdogExpired(); });
}

void RehearsalPlayer::cancelWatchdog() {
    if (!m_watchdog)
        return;
    m_watchdog->cancel();
    m_watchdog.reset();
}

void RehearsalPlayer::watchdogExpired() {
    m_watchdog.reset();
    if (!m_isPlaying && m_wanted && m_wanted->playing)
        setUnavailable(true);
}

void RehearsalPlayer::setUnavailable(bool value) {
    if (m_unavailable == value)
        return;
    m_unavailable = value;
    emit unavailableChanged();
}

void RehearsalPlayer::setIsPlaying(bool value) {
    if (m_isPlaying == value)
        return;
    m_isPlaying = value;
    emit isPlayingChanged();
}

} // namespace tavrine
