#pragma once

namespace tavrine::shell {

// Shows and hides the session's nudge on screen: the session's onNudge and onDismissNudge end here.
class NudgePresenting {
public:
    virtual ~NudgePresenting() = default;
    virtual void presentNudge() = 0;
    virtual void dismissNudge() = 0;
};

} // namespace tavrine::shell
