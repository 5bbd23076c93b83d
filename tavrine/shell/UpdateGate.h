#pragma once

#include "tavrine/shell/UpdaterController.h"
#include "tavrine/shell/UpdaterDelegate.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

namespace tavrine {
class FocusSession;
}

namespace tavrine::shell {

// Keeps updates from breaking into focus: while the application is busy it refuses the updater's scheduled
// background checks and holds back the relaunch that installs an update. Once idle again it relaunches, or,
// when no relaunch waits, runs the refused check once. Main thread only.
class UpdateGate final : public QObject, public UpdaterDelegate {
    Q_OBJECT
public:
    explicit UpdateGate(std::function<bool()> isBusy, QObject* parent = nullptr);

    // The application is busy while a session runs or is paused, a rehearsal is on stage, or a finished
    // session's writers still wait for their phrases (a relaunch would lose them). Observes exactly the
    // signals of those values.
    static std::unique_ptr<UpdateGate> forSession(FocusSession& session, QObject* parent = nullptr);

    // Looks again, on the next event-loop turn, whenever `signal` of `sender` fires.
    template <typename Sender, typename Signal> void observe(Sender* sender, Signal signal) {
        connect(sender, signal, this, &UpdateGate::scheduleResume);
    }

    bool mayPerformUpdateCheck(UpdaterController& updater, int kind, UpdaterError* error) override;
    bool shouldPostponeRelaunch(UpdaterController& updater, const UpdateItem& item,
                                std::function<void()> relaunch) override;
    void resumeIfIdle();

    bool deferredCheck() const { return m_deferredCheck; }
    bool hasPendingRelaunch() const { return static_cast<bool>(m_pendingRelaunch); }

private:
    // Changes within one turn of the event loop make one pass, run on the next turn with the values after them.
    void scheduleResume();

    std::function<bool()> m_isBusy;
    bool m_resumeQueued = false;
    QPointer<UpdaterController> m_updater;
    bool m_deferredCheck = false;
    std::function<void()> m_pendingRelaunch;
};

} // namespace tavrine::shell
