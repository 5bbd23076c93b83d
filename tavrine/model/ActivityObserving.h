#pragma once

#include "tavrine/model/AccessibilityCaptureDebug.h"
#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/model/FrontmostPage.h"

#include <QCoro/QCoroTask>
#include <QSet>
#include <QString>
#include <optional>

namespace tavrine {

// The session's eye on the screen. Everything runs on the main thread; the session has at most one capture
// running at a time.
class ActivityObserving {
public:
    virtual ~ActivityObserving() = default;

    // Observes the frontmost application's focused window once. No result when no other application is in front
    // or when the capture was cancelled (never a half-filled record); capture problems travel in the evidence's
    // `issue` and `capturePath`, nothing is thrown.
    virtual QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmostActivity(bool includeScreenshot) = 0;

    // Which window of which application is in front, read synchronously; none when it cannot be told.
    virtual std::optional<ActivityWindowIdentity> currentWindowIdentity() = 0;

    // The frontmost application's page; the address is read only for applications whose bundle is in `browsers`.
    virtual QCoro::Task<std::optional<FrontmostPage>> frontmostPage(QSet<QString> browsers) = 0;

    // Brings the remembered window (or its browser tab) back to the front; returns at once.
    virtual void returnToWindow(const ActivityWindowIdentity& identity) = 0;

    // Cancels the running capture, if any; its caller then gets no result.
    virtual void cancelCapture() = 0;

    // Whether other applications' windows can be read (accessibility); asks nothing of the user.
    virtual bool accessibilityTrusted() = 0;
    // Whether window screenshots may be taken; asks nothing of the user.
    virtual bool screenCaptureAllowed() = 0;
};

} // namespace tavrine
