#include "tavrine/session/FocusMode.h"

#include "tavrine/model/ActivityObserving.h"
#include "tavrine/session/Cancellable.h"
#include "tavrine/session/FinalNudgeCheck.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/session/NudgeCopy.h"
#include "tavrine/session/NudgeFlow.h"
#include "tavrine/session/ObservationQueue.h"

#include <limits>

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

QCoro::Task<std::optional<FrontmostPage>> FocusMode::readFrontmostPage(CancellationToken token) {
    FocusSession& s = m_session;
    if (!s.m_observer)
        co_return std::nullopt;
    // The observer answers on its own time; the token lets a halted or destroyed session stop waiting.
    const auto observer = s.m_observer;
    try {
        co_return co_await cancellable(observer->frontmostPage(s.m_focusThieves.browsers), token);
    } catch (...) {
        // A failed read counts as no page.
        co_return std::nullopt;
    }
}

QCoro::Task<bool> FocusMode::checkFocusThiefList() {
    FocusSession& s = m_session;
    const double t = s.now();
    if (!s.m_accessibilityReady)
        co_return false;
    const auto alive = s.m_alive;
    const qint64 generation = s.m_sessionGeneration;
    const std::optional<FrontmostPage> page = co_await readFrontmostPage(s.m_lifetime.token());
    if (!*alive)
        co_return true;
    if (!page) {
        s.m_currentListHit.reset();
        co_return false;
    }
    if (!s.isRunning() || s.m_sessionGeneration != generation)
        co_return true;
    const std::optional<FocusThief> thief = s.m_focusThieves.match(page->bundle, page->url);
    if (!thief || s.m_sessionPasses.contains(thief->id)) {
        s.m_currentListHit.reset();
        co_return false;
    }

    const ActivityEvidence evidence = listHitEvidence(*page);
    if (s.m_currentListHit != thief->id) {
        s.m_currentListHit = thief->id;
        ++s.m_activityRevision;
        s.m_latestEvaluation.reset();
        s.logSession(QStringLiteral("Focus thief list hit id=") + thief->id);
    }
    s.m_policy.recordListHit(t);
    // The first pass after the user leaves the distraction captures at once.
    s.m_lastCheck = -std::numeric_limits<double>::infinity();
    s.m_lastWindowIdentity.reset();

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
    s.m_finalCheck->checkNudgeDue();
    co_return true;
}

QCoro::Task<void> FocusMode::fastLaneNudgeCheck(CancellationToken token) {
    FocusSession& s = m_session;
    const auto alive = s.m_alive;
    s.m_queue->dropPendingSnapshotIfDue();
    s.m_isPreparingNudge = true;
    const qint64 generation = s.m_sessionGeneration;
    const QString intention = s.m_intention;
    const QString checkID = FocusSession::makeCheckID();

    const std::optional<FrontmostPage> page = co_await readFrontmostPage(token);
    if (!*alive)
        co_return;
    if (token.isCancelled() || !s.isRunning() || s.m_sessionGeneration != generation || s.m_pendingNudge) {
        s.m_isPreparingNudge = false;
        co_return;
    }

    const std::optional<FocusThief> thief = page ? s.m_focusThieves.match(page->bundle, page->url) : std::nullopt;
    if (thief && !s.m_sessionPasses.contains(thief->id)) {
        s.logCheckEvent(checkID, QStringLiteral("Fast-lane nudge check list hit id=") + thief->id);
        const ActivityEvidence evidence = listHitEvidence(*page);
        NudgeFacts facts = makeNudgeFacts(intention, thief->name, evidence);
        co_await s.m_nudgeFlow->showNudge(std::move(facts), evidence, thief, checkID, generation, intention, token);
        if (!*alive)
            co_return;
        s.m_isPreparingNudge = false;
        co_return;
    }

    // The user left the distraction: no fast nudge. The drift goes on, under the normal rule from its start.
    s.m_policy.listHitAt.reset();
    s.m_currentListHit.reset();
    s.setLabel(std::nullopt);
    s.refreshMenuBarBackground();
    s.setStatus(QStringLiteral("Left the detour \u00b7 nudge cancelled"));
    s.logCheckEvent(checkID, QStringLiteral("Fast-lane nudge cancelled: frontmost is no longer a list hit"));
    s.m_isPreparingNudge = false;
}

} // namespace tavrine
