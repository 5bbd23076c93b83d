#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace tavrine {
class FocusSession;
class SessionHistory;
} // namespace tavrine

namespace tavrine::shell {

// The running screen: the session's title, the countdown (dimmed while paused), the drift line, whether the
// monitoring strip shows, the two controls, and a line when the history would not keep the session as it stands.
class RunningSessionModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the main window")
    Q_PROPERTY(bool isFocusSession READ isFocusSession NOTIFY stateChanged)
    Q_PROPERTY(QString title READ title NOTIFY stateChanged)
    Q_PROPERTY(QString countdown READ countdown NOTIFY stateChanged)
    Q_PROPERTY(double countdownOpacity READ countdownOpacity NOTIFY stateChanged)
    Q_PROPERTY(bool paused READ paused NOTIFY stateChanged)
    Q_PROPERTY(bool showsDrift READ showsDrift NOTIFY stateChanged)
    Q_PROPERTY(QString driftText READ driftText NOTIFY stateChanged)
    Q_PROPERTY(bool showsMonitoringStatus READ showsMonitoringStatus NOTIFY stateChanged)
    Q_PROPERTY(QString pauseResumeTitle READ pauseResumeTitle NOTIFY stateChanged)
    Q_PROPERTY(QString storeNotice READ storeNotice NOTIFY stateChanged)

public:
    struct State {
        bool isFocusSession = false;
        // The intention as written; "Focus mode" in a Focus-mode session.
        QString title;
        QString countdown;
        bool paused = false;
        QString driftText;
        bool showsMonitoringStatus = false;
        // What the history's record of the session lacks; empty when it keeps it.
        QString storeNotice;
        friend bool operator==(const State&, const State&) = default;
    };

    explicit RunningSessionModel(FocusSession& session, QObject* parent = nullptr);

    const State& state() const { return m_state; }
    bool isFocusSession() const { return m_state.isFocusSession; }
    QString title() const { return m_state.title; }
    QString countdown() const { return m_state.countdown; }
    double countdownOpacity() const { return m_state.paused ? 0.45 : 1.0; }
    bool paused() const { return m_state.paused; }
    bool showsDrift() const { return !m_state.paused; }
    QString driftText() const { return m_state.driftText; }
    bool showsMonitoringStatus() const { return m_state.showsMonitoringStatus; }
    QString pauseResumeTitle() const;
    QString storeNotice() const { return m_state.storeNotice; }
    // The store that keeps the running session; none keeps nothing and says nothing.
    void setHistory(SessionHistory* history);

    // "Take a break" / "Resume focus".
    Q_INVOKABLE void togglePause();
    // "End session": ends early, also while paused; the window turns to the recap.
    Q_INVOKABLE void endSession();

signals:
    void stateChanged();

private:
    void update();

    QPointer<FocusSession> m_session;
    QPointer<SessionHistory> m_history;
    State m_state;
};

} // namespace tavrine::shell
