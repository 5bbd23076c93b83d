#pragma once

#include <memory>

namespace tavrine {

// What every role that runs tasks in a live session asks of it. Each role reaches the session through its own
// interface, which extends this one; the session implements them all, keeps its invariants in each operation
// and routes the operations that reach another role, so no role holds another.
class SessionTaskHost {
public:
    // Every task holds a copy and stops at its next step once the session is gone.
    virtual std::shared_ptr<bool> alive() const = 0;
    // Session-clock seconds.
    virtual double now() const = 0;
    virtual bool isRunning() const = 0;

protected:
    ~SessionTaskHost() = default;
};

} // namespace tavrine
