#pragma once

namespace tavrine::shell {

// Shows and hides the session's nudge on screen: the session's onNudge and onDismissNudge end here.
class NudgePresenting {
public:
    virtual ~NudgePresenting() = default;
    virtual void presentNudge() = 0;
    virtual void dismissNudge() = 0;
    // A session runs and may nudge: what the nudge shows in is made now, out of sight, and the first nudge then
    // shows as fast as every later one.
    virtual void prepare() {}
};

} // namespace tavrine::shell
