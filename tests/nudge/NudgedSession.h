#pragma once

#include "fakes/FakeNudgeWriter.h"
#include "session/SessionHarness.h"
#include "tavrine/nudge/FrameTime.h"

#include <gtest/gtest.h>
#include <memory>

namespace tavrine::test {

// A session on virtual time whose every judgment says the user drifted to watching videos.
struct NudgedSession {
    explicit NudgedSession(SessionServices services = {}) {
        services.nudgeWriter = writer;
        h = std::make_unique<SessionHarness>(std::move(services));
        h->judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching videos"));
    }
    // The session (started unless it runs) drifts until its nudge, written as `reason`, is pending.
    void nudge(const QString& reason) {
        writer->setAnswer(WrittenNudge{reason, reason, QStringLiteral("v"), QStringLiteral("m"), QStringLiteral("d")});
        if (h->session->phase() != SessionPhase::Running)
            h->start();
        for (int i = 0; i < 480 && !h->session->pendingNudge(); ++i)
            h->advance(0.25);
        ASSERT_EQ(h->session->pendingNudgeReason(), reason);
    }
    FocusSession& session() { return *h->session; }

    std::shared_ptr<FakeNudgeWriter> writer = std::make_shared<FakeNudgeWriter>();
    std::unique_ptr<SessionHarness> h;
};

// The nudge's animations draw on `clock` while this lives, also when a test stops at a failed assertion.
struct FrameTimeOn {
    explicit FrameTimeOn(const Clock& clock) { nudge::FrameTime::use(&clock); }
    ~FrameTimeOn() { nudge::FrameTime::use(nullptr); }
    FrameTimeOn(const FrameTimeOn&) = delete;
    FrameTimeOn& operator=(const FrameTimeOn&) = delete;
};

} // namespace tavrine::test
