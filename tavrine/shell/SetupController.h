#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace tavrine {
class FocusSession;
}

namespace tavrine::shell {

// The setup screen: the intention and its length warning, the start hint, which start buttons can start and
// which one Return presses, and the two starts. A start checks everything again itself, and the window closes
// only after a start that took.
class SetupController final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the main window")
    Q_PROPERTY(QString intention READ intention WRITE setIntention NOTIFY stateChanged)
    Q_PROPERTY(bool intentionIsBlank READ intentionIsBlank NOTIFY stateChanged)
    Q_PROPERTY(bool intentionTooLong READ intentionTooLong NOTIFY stateChanged)
    Q_PROPERTY(QString lengthWarning READ lengthWarning CONSTANT)
    Q_PROPERTY(QString startHint READ startHint NOTIFY stateChanged)
    Q_PROPERTY(bool canStart READ canStart NOTIFY stateChanged)
    Q_PROPERTY(bool canStartFocusMode READ canStartFocusMode NOTIFY stateChanged)

public:
    static constexpr int intentionLimit = 400;

    struct State {
        QString intention;
        bool blank = true;
        bool tooLong = false;
        QString startHint;
        bool canStart = false;
        bool canStartFocusMode = false;
        friend bool operator==(const State&, const State&) = default;
    };

    // `closeFocusWindow` hides the main window after a start that took.
    SetupController(FocusSession& session, std::function<void()> closeFocusWindow, QObject* parent = nullptr);

    const State& state() const { return m_state; }
    QString intention() const { return m_state.intention; }
    void setIntention(const QString& intention);
    bool intentionIsBlank() const { return m_state.blank; }
    // 401 user-perceived characters or more, counted untrimmed.
    bool intentionTooLong() const { return m_state.tooLong; }
    static QString lengthWarning() { return QStringLiteral("Keep your intention under 400 characters."); }
    // Why no start is possible yet; empty when nothing is missing. The length has its own warning.
    QString startHint() const { return m_state.startHint; }
    bool canStart() const { return m_state.canStart; }
    bool canStartFocusMode() const { return m_state.canStartFocusMode; }

    Q_INVOKABLE void startSession();
    Q_INVOKABLE void startFocusMode();
    // Return in the intention field: Focus mode while the intention is blank, else the session.
    Q_INVOKABLE void submitIntention();

    static QString hintFor(bool accessibilityReady, bool screenReady);

signals:
    void stateChanged();

private:
    void start(bool focusMode);
    void update();

    QPointer<FocusSession> m_session;
    std::function<void()> m_closeFocusWindow;
    State m_state;
};

} // namespace tavrine::shell
