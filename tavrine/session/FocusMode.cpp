#include "tavrine/session/FocusMode.h"

#include "tavrine/model/CheckID.h"
#include "tavrine/session/NudgeCopy.h"

namespace tavrine {

namespace {
const QString listSource = QStringLiteral("Focus thief list");
} // namespace

ActivityEvidence FocusMode::listHitEvidence(const FrontmostPage& page) {
    ActivityEvidence evidence;
    evidence.app = page.app;
    evidence.bundle = page.bundle;
    evidence.pid = page.pid;
    evidence.title = page.title;
    evidence.url = page.url;
    evidence.source = listSource;
    evidence.capturePath = QStringLiteral("accessibility");
    return evidence;
}

QCoro::Task<std::optional<FrontmostPage>> FocusMode::readFrontmostPage(CancellationToken token) const {
    FocusModeHost& s = m_session;
    return s.readFrontmostPage(m_thieves.browsers, std::move(token));
}

void FocusMode::reset() {
    m_sessionPasses.clear();
    m_currentListHit.reset();
}

void FocusMode::grantPass(const QString& thiefID) {
    m_sessionPasses.insert(thiefID);
    m_currentListHit.reset();
}

QCoro::Task<bool> FocusMode::checkFocusThiefList() {
    FocusModeHost& s = m_session;
    const double t = s.now();
    if (!s.accessibilityReady())
        co_return false;
    const auto alive = s.alive();
    const qint64 generation = s.generation();
    const std::optional<FrontmostPage> page = co_await readFrontmostPage(s.lifetime());
    if (!*alive)
        co_return true;
    if (!page) {
        m_currentListHit.reset();
        co_return false;
    }
    if (!s.isRunning() || s.generation() != generation)
        co_return true;
    const std::optional<FocusThief> thief = m_thieves.match(page->bundle, page->url);
    if (!thief || m_sessionPasses.contains(thief->id)) {
        m_currentListHit.reset();
        co_return false;
    }

    const ActivityEvidence evidence = listHitEvidence(*page);
    if (m_currentListHit != thief->id) {
        m_currentListHit = thief->id;
        s.startNewActivity();
        s.logSession(QStringLiteral("Focus thief list hit id=") + thief->id);
    }
    s.recordListHit(t);
    // The first pass after the user leaves the distraction captures at once.
    s.captureAtOnce();

    s.setObservedApp(page->app);
    s.setSource(listSource);
    s.noteDefiniteVerdict(ActivityRelevance::Unrelated);
    s.setLabel(ActivityRelevance::Unrelated);
    s.refreshMenuBarBackground();
    s.noteDriftAt(t);
    s.refreshDriftText();
    s.recordActivity(t, ActivityRelevance::Unrelated, QString(), evidence);
    s.setStatus(thief->name + QStringLiteral(" steals focus \u00b7 giving you a moment"));
    s.setMonitoringState(MonitoringState::monitoring());
    s.checkNudgeDue();
    co_return true;
}

QCoro::Task<void> FocusMode::fastLaneNudgeCheck(CancellationToken token) {
    FocusModeHost& s = m_session;
    const auto alive = s.alive();
    const qint64 generation = s.generation();
    const QString intention = s.intention();
    const QString checkID = makeCheckID();

    const std::optional<FrontmostPage> page = co_await readFrontmostPage(token);
    if (!*alive)
        co_return;
    if (token.isCancelled() || !s.isRunning() || s.generation() != generation || s.pendingNudge())
        co_return;

    const std::optional<FocusThief> thief = page ? m_thieves.match(page->bundle, page->url) : std::nullopt;
    if (thief && !m_sessionPasses.contains(thief->id)) {
        s.logCheckEvent(checkID, QStringLiteral("Fast-lane nudge check list hit id=") + thief->id);
        const ActivityEvidence evidence = listHitEvidence(*page);
        NudgeFacts facts = makeNudgeFacts(intention, thief->name, evidence);
        co_await s.showNudge(std::move(facts), evidence, thief, checkID, generation, intention, token);
        co_return;
    }

    // The user left the distraction: no fast nudge. The drift goes on, under the normal rule from its start.
    s.endFastLane();
    m_currentListHit.reset();
    s.setLabel(std::nullopt);
    s.refreshMenuBarBackground();
    s.setStatus(QStringLiteral("Left the detour \u00b7 nudge cancelled"));
    s.logCheckEvent(checkID, QStringLiteral("Fast-lane nudge cancelled: frontmost is no longer a list hit"));
}

} // namespace tavrine
