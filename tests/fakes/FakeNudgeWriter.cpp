#include "fakes/FakeNudgeWriter.h"

#include "tavrine/core/Error.h"
#include "tavrine/core/Wakeup.h"

#include <vector>

namespace tavrine::test {

struct FakeNudgeWriter::State {
    WrittenNudge answer{QStringLiteral("Back to it."), std::nullopt, QStringLiteral("nudge-test"), {}, {}};
    std::exception_ptr error;
    bool hold = false;
    int running = 0;
    QList<NudgeFacts> calls;
    std::vector<Wakeup> held;
};

namespace {
QCoro::Task<WrittenNudge> answer(std::shared_ptr<FakeNudgeWriter::State> state) {
    ++state->running;
    struct Running {
        std::shared_ptr<FakeNudgeWriter::State> state;
        ~Running() { --state->running; }
    } running{state};
    if (state->hold) {
        Wakeup release;
        state->held.push_back(release);
        if (!co_await release)
            throw CancelledError();
    }
    if (state->error)
        std::rethrow_exception(state->error);
    // A copy: QCoro moves out of an lvalue given to co_return.
    WrittenNudge answer = state->answer;
    co_return answer;
}
} // namespace

FakeNudgeWriter::FakeNudgeWriter() : m_state(std::make_shared<State>()) {}

FakeNudgeWriter::~FakeNudgeWriter() {
    auto held = std::move(m_state->held);
    m_state->held.clear();
    for (auto& wakeup : held)
        wakeup.fire(true);
}

void FakeNudgeWriter::setAnswer(WrittenNudge answer) {
    m_state->answer = std::move(answer);
}
void FakeNudgeWriter::setError(std::exception_ptr error) {
    m_state->error = std::move(error);
}
void FakeNudgeWriter::setHold(bool hold) {
    m_state->hold = hold;
}
void FakeNudgeWriter::release() {
    auto held = std::move(m_state->held);
    m_state->held.clear();
    for (auto& wakeup : held)
        wakeup.fire();
}
QList<NudgeFacts> FakeNudgeWriter::calls() const {
    return m_state->calls;
}
int FakeNudgeWriter::running() const {
    return m_state->running;
}

QCoro::Task<WrittenNudge> FakeNudgeWriter::write(NudgeFacts facts) {
    m_state->calls.append(std::move(facts));
    return answer(m_state);
}

} // namespace tavrine::test
