#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QEasingCurve>
#include <QPointer>
#include <QRect>
#include <QWindow>

class QQuickItem;

namespace tavrine {
class Clock;
}

namespace tavrine::onboarding {

// A window's eased move to a new frame, on an injected clock (virtual time in tests), and what a content laid out
// by Qt Quick's layouts needs before its size is read. Main thread only.
class WindowMove final {
public:
    // Moves `window` from `from` to `to` over `seconds`, a step every `step` seconds; ends early, where it is, when
    // the window goes or the token is cancelled.
    static QCoro::Task<void> run(QPointer<QWindow> window, QRect from, QRect to, double seconds, double step,
                                 QEasingCurve easing, Clock& clock, CancellationToken token);
    // A layout reports the size of a new content only once polished, which is when its window draws: polished now,
    // innermost first, `content`'s implicit size is the one it will have.
    static void settleLayouts(QQuickItem& content);
};

} // namespace tavrine::onboarding
