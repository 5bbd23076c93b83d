#pragma once

#include "tavrine/shell/UpdateSource.h"
#include "tavrine/shell/UpdaterDelegate.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace tavrine::shell {

// The application's updater. Scheduled checks run every hour, each offered to the delegate first as a
// background check. A found update relaunches the application into the new version (a detached process, then
// the application quits) unless the delegate holds the relaunch back.
//
// This build has no update source: no feed exists, and installing unverified code, or writing over files a
// package manager owns, is unsafe. Every check then ends as "no update source", never as "up to date".
class UpdaterController final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString lastCheckOutcome READ lastCheckOutcome NOTIFY lastCheckOutcomeChanged)
    Q_PROPERTY(bool checking READ checking NOTIFY checkingChanged)

public:
    enum CheckKind { UserInitiated = 0, Background = 1 };

    // Starts the detached installer program of an item; false when it could not be started.
    using Launch = std::function<bool(const UpdateItem&)>;
    // Ends this process once the new version is on its way.
    using Quit = std::function<void()>;

    static constexpr int checkIntervalSeconds = 3600;
    static inline const QString noUpdateSource = QStringLiteral("no update source");
    static inline const QString upToDate = QStringLiteral("up to date");

    UpdaterController(UpdaterDelegate* delegate, std::unique_ptr<UpdateSource> source, Quit quit, Launch launch = {},
                      QObject* parent = nullptr);
    ~UpdaterController() override;

    // Starts the hourly schedule.
    void startUpdater();
    // A check the user asked for (the settings window).
    void checkForUpdates();
    // A background check now, offered to the delegate like a scheduled one.
    void checkForUpdatesInBackground();

    bool hasSource() const { return m_source != nullptr; }
    // How the last check ended ("no update source", "up to date", "update 1.2 is ready", "check failed: …",
    // "refused: …"); empty before the first.
    QString lastCheckOutcome() const { return m_lastCheckOutcome; }
    bool checking() const { return m_checking; }
    // Checks that actually ran (not refused).
    int checksRun() const { return m_checksRun; }

    static bool launchDetached(const UpdateItem& item);

signals:
    void lastCheckOutcomeChanged();
    void checkingChanged();

private:
    void offerCheck(int kind);
    QCoro::Task<void> runCheck();
    void relaunch(const UpdateItem& item);
    void setOutcome(const QString& outcome);
    void setChecking(bool checking);

    UpdaterDelegate* m_delegate;
    std::unique_ptr<UpdateSource> m_source;
    Quit m_quit;
    Launch m_launch;
    QTimer m_schedule;
    QString m_lastCheckOutcome;
    bool m_checking = false;
    int m_checksRun = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine::shell
