#pragma once

#include <QCoro/QCoroTask>
#include <QString>

namespace tavrine {

// Single steps of a running session that otherwise only its timers or a later answer reach: benchmarks and
// engine tests drive them one at a time.
class EngineSteps {
public:
    virtual ~EngineSteps() = default;

    // The ticker's countdown step.
    virtual void tick() = 0;
    // One pass of the monitoring loop.
    virtual QCoro::Task<void> periodicPass() = 0;
    // Allows the window and page with this verdict key for the rest of the session, as the user's answer
    // "this is relevant" would.
    virtual void grantWindowPass(const QString& key) = 0;
};

} // namespace tavrine
