#pragma once

#include "tavrine/core/Error.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/model/HistoryIntentWriting.h"
#include "tavrine/model/RecapWriting.h"

#include <QList>
#include <QMap>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

namespace tavrine::test {

// A recap or history-intent writer with scripted lines: by default "<prefix><id>" for every fact. Held calls
// wait until released, one at a time in any order; a call still waiting when the fake is destroyed throws
// CancelledError and never touches the destroyed fake.
template <typename Interface, typename Fact> class FakeLinesWriter final : public Interface {
public:
    struct Call {
        QString intention;
        QList<Fact> facts;
    };

    explicit FakeLinesWriter(QString promptVersion, QString prefix) : m_state(std::make_shared<State>()) {
        m_state->promptVersion = std::move(promptVersion);
        m_state->prefix = std::move(prefix);
    }
    ~FakeLinesWriter() override {
        auto held = std::move(m_state->held);
        m_state->held.clear();
        for (auto& wakeup : held)
            wakeup.fire(true);
    }

    // Thrown instead of answering; none answers again.
    void setError(std::exception_ptr error) { m_state->error = std::move(error); }
    void setLines(std::function<QMap<QString, QString>(const Call&)> lines) { m_state->lines = std::move(lines); }
    void setHold(bool hold) { m_state->hold = hold; }
    // Lets the held call `index` (in the order the calls were made, counting only those still held) finish.
    void release(qsizetype index = 0) {
        if (index < 0 || index >= m_state->held.size())
            return;
        const Wakeup wakeup = m_state->held.takeAt(index);
        wakeup.fire();
    }
    qsizetype heldCount() const { return m_state->held.size(); }
    QList<Call> calls() const { return m_state->calls; }

    QString promptVersion() const override { return m_state->promptVersion; }
    QCoro::Task<QMap<QString, QString>> write(QString intention, QList<Fact> facts) override {
        m_state->calls.append(Call{std::move(intention), std::move(facts)});
        return answer(m_state, m_state->calls.last());
    }

private:
    struct State {
        QString promptVersion;
        QString prefix;
        std::exception_ptr error;
        std::function<QMap<QString, QString>(const Call&)> lines;
        bool hold = false;
        QList<Call> calls;
        QList<Wakeup> held;
    };

    static QCoro::Task<QMap<QString, QString>> answer(std::shared_ptr<State> state, Call call) {
        if (state->hold) {
            Wakeup release;
            state->held.append(release);
            if (!co_await release)
                throw CancelledError();
        }
        if (state->error)
            std::rethrow_exception(state->error);
        if (state->lines)
            co_return state->lines(call);
        QMap<QString, QString> lines;
        for (const Fact& fact : call.facts)
            lines.insert(fact.id, state->prefix + fact.id);
        co_return lines;
    }

    std::shared_ptr<State> m_state;
};

using FakeRecapWriter = FakeLinesWriter<RecapWriting, RecapDetourFacts>;
using FakeIntentWriter = FakeLinesWriter<HistoryIntentWriting, HistoryBlockFacts>;

} // namespace tavrine::test
