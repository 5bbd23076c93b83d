#include "tavrine/onboarding/WindowMove.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"

#include <QQuickItem>
#include <algorithm>
#include <cmath>

namespace tavrine::onboarding {

QCoro::Task<void> WindowMove::run(QPointer<QWindow> window, QRect from, QRect to, double seconds, double step,
                                  QEasingCurve easing, Clock& clock, CancellationToken token) {
    const auto between = [](int a, int b, double t) { return int(std::lround(a + (b - a) * t)); };
    try {
        const double start = clock.now();
        for (;;) {
            if (!window || token.isCancelled())
                co_return;
            const double progress = seconds > 0 ? std::clamp((clock.now() - start) / seconds, 0.0, 1.0) : 1.0;
            const double t = easing.valueForProgress(progress);
            window->setGeometry(QRect(between(from.x(), to.x(), t), between(from.y(), to.y(), t),
                                      between(from.width(), to.width(), t), between(from.height(), to.height(), t)));
            if (progress >= 1.0)
                co_return;
            co_await clock.sleep(step, token);
        }
    } catch (const CancelledError&) {
    } catch (const std::exception& error) {
        qWarning("Window move failed: %s", error.what());
    }
}

void WindowMove::settleLayouts(QQuickItem& content) {
    for (QQuickItem* child : content.childItems())
        settleLayouts(*child);
    if (content.inherits("QQuickLayout"))
        content.ensurePolished();
}

} // namespace tavrine::onboarding
