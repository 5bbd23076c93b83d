#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/FrontmostPage.h"
#include "tavrine/session/FocusModeHost.h"
#include "tavrine/session/FocusThiefList.h"

#include <QSet>
#include <QString>

#include <QCoro/QCoroTask>
#include <optional>

namespace tavrine {

// Focus mode: the frontmost application and page are matched against the list of known distractions before
// anything is captured. A hit needs no judge: it counts as a detour at once and starts the drift clock's fast
// lane, and when that runs out the page is read once more and, still a hit, nudged about at once.
//
// Owns the list of known distractions, the session passes granted for them and the current list hit. Reaches the
// session only through `FocusModeHost`.
class FocusMode {
public:
    FocusMode(FocusModeHost& session, FocusThiefList thieves) : m_session(session), m_thieves(std::move(thieves)) {}

    const FocusThiefList& thieves() const { return m_thieves; }
    // A new session: no pass and no hit carries over.
    void reset();
    // The user allowed this distraction for the rest of the session.
    void grantPass(const QString& thiefID);

    // The list check of one periodic pass; true when it finished the pass (a hit, or the session went stale
    // while the page was read).
    QCoro::Task<bool> checkFocusThiefList();
    // The fast lane of a due drift clock: a nudge about the distraction still in front, or, when the user left
    // it, the fast-lane nudge cancelled (the drift itself goes on under the normal rule). The final check marks
    // the nudge as being prepared around it.
    QCoro::Task<void> fastLaneNudgeCheck(CancellationToken token);

    // The record standing for a list hit wherever it is logged, recorded or nudged about.
    static ActivityEvidence listHitEvidence(const FrontmostPage& page);

private:
    // The frontmost page, or none when there is no observer, the read failed or the session went away.
    QCoro::Task<std::optional<FrontmostPage>> readFrontmostPage(CancellationToken token) const;

    FocusModeHost& m_session;
    FocusThiefList m_thieves;
    QSet<QString> m_sessionPasses;
    std::optional<QString> m_currentListHit;
};

} // namespace tavrine
