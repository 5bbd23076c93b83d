#pragma once

#include <QObject>

#include <atomic>
#include <memory>

class QWindow;

namespace tavrine {

// What the desktop's compositing manager does for the application's windows, as it changes while Tavrine runs:
// whether one runs at all (without one a transparent pixel shows black, and fading a window does nothing), and
// whether it announces a blur of what lies behind a window. One object of the desktop says it for every window;
// the signals come on the main thread, and only on a real change.
class DesktopCompositing : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool compositorRunning READ compositorRunning NOTIFY compositorRunningChanged)
    Q_PROPERTY(bool blurAnnounced READ blurAnnounced NOTIFY blurAnnouncedChanged)
public:
    ~DesktopCompositing() override = default;

    bool compositorRunning() const { return m_compositorRunning->load(std::memory_order_relaxed); }
    bool blurAnnounced() const { return m_blurAnnounced; }
    // Whether the compositor runs, for readers on other threads that may outlive this object (a capture's
    // grab): it keeps the last state seen.
    std::shared_ptr<const std::atomic<bool>> compositorRunningSource() const { return m_compositorRunning; }

    // Asks the compositor to blur what lies behind the whole of `window`, now or as soon as its native window
    // exists. A compositor that cannot blur ignores the request; so does this base.
    virtual void requestBlurBehind(QWindow* window) { Q_UNUSED(window) }

signals:
    void compositorRunningChanged();
    void blurAnnouncedChanged();

protected:
    explicit DesktopCompositing(QObject* parent = nullptr) : QObject(parent) {}

    void setCompositorRunning(bool running) {
        if (m_compositorRunning->exchange(running, std::memory_order_relaxed) != running)
            emit compositorRunningChanged();
    }
    void setBlurAnnounced(bool announced) {
        if (m_blurAnnounced == announced)
            return;
        m_blurAnnounced = announced;
        emit blurAnnouncedChanged();
    }

private:
    std::shared_ptr<std::atomic<bool>> m_compositorRunning = std::make_shared<std::atomic<bool>>(false);
    bool m_blurAnnounced = false;
};

} // namespace tavrine
