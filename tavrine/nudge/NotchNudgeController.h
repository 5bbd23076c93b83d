#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/nudge/NotchNudgeState.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <memory>

class QQmlEngine;
class QQuickItem;
class QQuickWindow;

namespace tavrine {
class Clock;
class FocusSession;
namespace platform {
class MotionPreference;
}
} // namespace tavrine

namespace tavrine::nudge {

// The nudge in a black panel that drops out of the screen's notch: one frameless, transparent window at the
// top centre of the screen, above everything, on every desktop and never taking the focus. Built on the first
// `show` and reused for every nudge.
class NotchNudgeController : public QObject {
    Q_OBJECT
public:
    struct Options {
        // Translucency; without a compositor the panel is cut to its open silhouette and does not animate.
        bool translucent = true;
        // The desktop's wish for less motion; none means motion on.
        platform::MotionPreference* motion = nullptr;
    };
    NotchNudgeController(FocusSession& session, QQmlEngine& engine, Clock& clock, Options options,
                         QObject* parent = nullptr);
    ~NotchNudgeController() override;

    // Shows the session's pending nudge on the screen whose frame is `screenFrame`, under a notch of `notch`.
    void show(const QRectF& screenFrame, const QSizeF& notch);
    // Closes the nudge; animated, the panel stays 0.45 s for the close animation.
    void hide(bool animated);

    // Whether a `show` happened since the last `hide`: the nudge is showing, or about to.
    bool wantsOpen() const { return m_wantsOpen; }
    NotchNudgeState& state() { return m_state; }
    // The panel, once built.
    QQuickWindow* window() const { return m_window.get(); }
    QQuickItem* rootItem() const { return m_root; }

private:
    void makePanel();
    void layoutPanel(const QRectF& screenFrame);
    void cancelClosing();

    FocusSession& m_session;
    QQmlEngine& m_engine;
    Clock& m_clock;
    Options m_options;
    NotchNudgeState m_state;
    std::unique_ptr<QQuickWindow> m_window;
    QPointer<QQuickItem> m_root;
    bool m_wantsOpen = false;
    std::unique_ptr<CancellationSource> m_closing;
};

} // namespace tavrine::nudge
