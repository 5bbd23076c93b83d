#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <vector>

namespace tavrine::onboarding {

// Runs an action once, when every one of some windows is on screen: exposed, and no longer being drawn out of
// sight before it shows. A window that never gets there (a window manager that keeps it back) holds the action up
// for two seconds at most; a window destroyed meanwhile holds nothing up. The watch ends itself after the action;
// destroying it earlier drops the action. Main thread only.
class OnScreenWatch final : public QObject {
public:
    static constexpr int limitMs = 2000;

    OnScreenWatch(std::vector<QPointer<QWindow>> windows, std::function<void()> then, QObject* parent);

    static bool onScreen(const QWindow& window);
    // Runs `then` once, after `window`'s next frame (which it asks for), or after `limitMs` without one; nothing
    // once `context` is gone.
    static void afterNextFrame(QQuickWindow& window, int limitMs, QObject* context, std::function<void()> then);

private:
    void check();

    std::vector<QPointer<QWindow>> m_windows;
    std::function<void()> m_then;
    QTimer m_poll;
    QElapsedTimer m_waited;
};

} // namespace tavrine::onboarding
