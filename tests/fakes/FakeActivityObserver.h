#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/core/Clock.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/model/ActivityObserving.h"

#include <QList>
#include <memory>
#include <optional>
#include <vector>

namespace tavrine::test {

// An observer whose screen is whatever the test says. Each capture takes `captureSeconds` on the given clock
// and, while captures are held, waits for `releaseCaptures`; the evidence it returns is the one set when it
// finishes. `cancelCapture` ends running captures without a result. Captures still running when the fake is
// destroyed end without a result too, and never touch the destroyed fake.
class FakeActivityObserver final : public ActivityObserving {
public:
    explicit FakeActivityObserver(Clock& clock);
    ~FakeActivityObserver() override;

    // What captures return; none means nothing readable (the session's own window is in front).
    void setEvidence(std::optional<ActivityEvidence> evidence);
    const std::optional<ActivityEvidence>& evidence() const;
    // What the window-identity read answers; by default the identity of the current evidence.
    void setIdentity(std::optional<ActivityWindowIdentity> identity);
    void setCaptureSeconds(double seconds);
    void setHoldCaptures(bool hold);
    // Finishes the held captures (with the evidence set now).
    void releaseCaptures();
    void setPermissions(bool accessibility, bool screen);
    void setPage(std::optional<FrontmostPage> page);

    int captureCount() const;
    int runningCaptures() const;
    int cancelCount() const;
    int identityReads() const;
    QList<ActivityWindowIdentity> returnedTo() const;

    QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmostActivity(bool includeScreenshot) override;
    std::optional<ActivityWindowIdentity> currentWindowIdentity() override;
    QCoro::Task<std::optional<FrontmostPage>> frontmostPage(QSet<QString> browsers) override;
    void returnToWindow(const ActivityWindowIdentity& identity) override;
    void cancelCapture() override;
    bool accessibilityTrusted() override;
    bool screenCaptureAllowed() override;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace tavrine::test
