#pragma once

#include "tavrine/session/MonitoringState.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace tavrine {
class FocusSession;
}

namespace tavrine::shell {

// One line of the monitoring strip: what it shows for a monitoring state.
struct MonitoringStatusRow {
    enum class Fix { None, Accessibility, ScreenRecording };
    // The symbol's icon name; empty where a spinner stands instead.
    QString symbol;
    bool spinner = false;
    QString text;
    // Orange for a problem the user should see, the secondary colour otherwise.
    bool warning = false;
    Fix fix = Fix::None;

    static MonitoringStatusRow forState(const MonitoringState& state);
    // What the strip stands for: a missing permission first, as only it has a fix; then a failed check, from the
    // failure until a check succeeds, whatever the observations since say; else the state itself.
    static MonitoringState shownState(const MonitoringState& state, const std::optional<QString>& checkFailure);
    // The running screen shows the strip only when a permission is missing or checks fail: a session must never
    // look watched while nothing is judged.
    static bool shownWhileRunning(const MonitoringState& state);
    // The session's state and failed check, for both of the above.
    static MonitoringState shownState(const FocusSession& session);

    friend bool operator==(const MonitoringStatusRow&, const MonitoringStatusRow&) = default;
};

// The strip that tells whether Tavrine can watch the screen, following the session's monitoring state, with
// "Fix" for a missing permission.
class MonitoringStatusModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the main window")
    Q_PROPERTY(QString symbol READ symbol NOTIFY rowChanged)
    Q_PROPERTY(bool spinner READ spinner NOTIFY rowChanged)
    Q_PROPERTY(QString text READ text NOTIFY rowChanged)
    Q_PROPERTY(bool warning READ warning NOTIFY rowChanged)
    Q_PROPERTY(bool hasFix READ hasFix NOTIFY rowChanged)

public:
    explicit MonitoringStatusModel(FocusSession& session, QObject* parent = nullptr);

    const MonitoringStatusRow& row() const { return m_row; }
    QString symbol() const { return m_row.symbol; }
    bool spinner() const { return m_row.spinner; }
    QString text() const { return m_row.text; }
    bool warning() const { return m_row.warning; }
    bool hasFix() const { return m_row.fix != MonitoringStatusRow::Fix::None; }

    // "Fix": takes the user where the missing permission is granted. The strip changes only when the session
    // next reads its permissions.
    Q_INVOKABLE void fix();

signals:
    void rowChanged();

private:
    void update();

    QPointer<FocusSession> m_session;
    MonitoringStatusRow m_row;
};

} // namespace tavrine::shell
