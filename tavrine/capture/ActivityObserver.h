#pragma once

#include "tavrine/capture/CaptureRoutine.h"
#include "tavrine/capture/CaptureServices.h"
#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityObserving.h"

#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>

namespace tavrine {

// The session's eye on the screen: observes the frontmost application's focused window (X11 identity, the
// accessibility walk, a cropped screenshot and its recognised text) into one evidence record, tells which
// window is in front, reads the frontmost browser page, and brings a remembered window back. Lives on the main
// thread; accessibility reads, screenshots and encoding run on its own worker threads, text recognition on the
// OCR thread.
class ActivityObserver final : public QObject, public ActivityObserving {
    Q_OBJECT
public:
    explicit ActivityObserver(capture::CaptureServices services = capture::CaptureServices::desktop(),
                              QObject* parent = nullptr);
    ~ActivityObserver() override;

    QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmostActivity(bool includeScreenshot) override;
    std::optional<ActivityWindowIdentity> currentWindowIdentity() override;
    QCoro::Task<std::optional<FrontmostPage>> frontmostPage(QSet<QString> browsers) override;
    void returnToWindow(const ActivityWindowIdentity& identity) override;
    void cancelCapture() override;
    bool accessibilityTrusted() override;
    bool screenCaptureAllowed() override;

    // The processes a capture or a page read has seen (each would have been asked once to expose its tree).
    const QSet<qint32>& webAccessibilityRequestedPIDs() const { return m_webAccessibilityRequestedPIDs; }
    bool isCapturing() const { return m_activeCapture != nullptr; }

    // The work of returnToWindow, awaitable: activation, then the window raised or its tab pressed, one log
    // line on the category Focus.
    QCoro::Task<void> bringToFront(qint32 pid, QString bundle, QString title);

private:
    struct ActiveCapture {
        std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
        CancellationSource source;
    };
    struct Frontmost {
        qint32 pid = 0;
        QString name;
        QString bundle;
    };
    // The frontmost application unless it is Tavrine itself.
    std::optional<Frontmost> frontmostOther();
    QCoro::Task<AccessibilityCaptureDebug> captureWindowEvidence(capture::CaptureRequest request,
                                                                 std::shared_ptr<ActiveCapture> control);
    // The window an activation goes to: the process's window titled `title`, else its frontmost one.
    std::optional<platform::XWindowId> activationTarget(qint32 pid, const QString& title);
    // Whether the active window belongs to `pid` within half a second.
    QCoro::Task<bool> waitForActivation(qint32 pid);

    // The page address the last capture read off a browser's tool bar, with the window it showed in.
    struct ScreenAddress {
        qint32 pid = 0;
        QString title;
        QString url;
    };
    std::optional<ScreenAddress> m_screenAddress;
    capture::CaptureServices m_services;
    std::shared_ptr<ActiveCapture> m_activeCapture;
    QSet<qint32> m_webAccessibilityRequestedPIDs;
    QThreadPool m_pool;
    // Set when the observer goes: its waits and page reads stop.
    std::shared_ptr<std::atomic<bool>> m_closed = std::make_shared<std::atomic<bool>>(false);
};

} // namespace tavrine
