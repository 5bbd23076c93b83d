#pragma once

#include "tavrine/model/NudgeWriting.h"

#include <QList>
#include <exception>
#include <memory>

namespace tavrine::test {

// A nudge writer with a scripted answer or failure. While calls are held they wait for `release`; a call still
// waiting when the fake is destroyed throws CancelledError and never touches the destroyed fake.
class FakeNudgeWriter final : public NudgeWriting {
public:
    FakeNudgeWriter();
    ~FakeNudgeWriter() override;

    void setAnswer(WrittenNudge answer);
    // Thrown instead of answering; none answers again.
    void setError(std::exception_ptr error);
    void setHold(bool hold);
    // Lets the held calls finish (with the answer or error set now).
    void release();

    // The facts of every call, in order.
    QList<NudgeFacts> calls() const;
    int running() const;

    QCoro::Task<WrittenNudge> write(NudgeFacts facts) override;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace tavrine::test
