#include "tavrine/onboarding/OnScreenWatch.h"

#include "tavrine/ui/FirstFrameBackground.h"

#include <algorithm>

namespace tavrine::onboarding {

OnScreenWatch::OnScreenWatch(std::vector<QPointer<QWindow>> windows, std::function<void()> then, QObject* parent)
    : QObject(parent), m_windows(std::move(windows)), m_then(std::move(then)) {
    // Nothing says when a window drawn out of sight has been handed on: its state is looked at a frame apart.
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, &OnScreenWatch::check);
    m_waited.start();
    m_poll.start();
}

bool OnScreenWatch::onScreen(const QWindow& window) {
    return window.isExposed() && !ui::FirstFrameBackground::isOutOfSight(window);
}

void OnScreenWatch::afterNextFrame(QQuickWindow& window, int limitMs, QObject* context, std::function<void()> then) {
    auto once = std::make_shared<std::function<void()>>(std::move(then));
    const auto run = [once] {
        if (auto action = std::exchange(*once, nullptr))
            action();
    };
    auto connection = std::make_shared<QMetaObject::Connection>();
    // Swapped on the render thread: the queued call comes once the main thread is free again.
    *connection = QObject::connect(
        &window, &QQuickWindow::frameSwapped, context,
        [connection, run] {
            QObject::disconnect(*connection);
            run();
        },
        Qt::QueuedConnection);
    QTimer::singleShot(limitMs, context, run);
    window.update();
}

void OnScreenWatch::check() {
    const bool shown = std::all_of(m_windows.begin(), m_windows.end(),
                                   [](const QPointer<QWindow>& window) { return !window || onScreen(*window); });
    if (!shown && m_waited.elapsed() < limitMs)
        return;
    m_poll.stop();
    deleteLater();
    if (auto then = std::exchange(m_then, nullptr))
        then();
}

} // namespace tavrine::onboarding
