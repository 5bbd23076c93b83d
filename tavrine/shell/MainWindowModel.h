#pragma once

#include "tavrine/historyview/RecapViewModel.h"
#include "tavrine/shell/MonitoringStatusModel.h"
#include "tavrine/shell/RunningSessionModel.h"
#include "tavrine/shell/SetupController.h"
#include "tavrine/ui/DurationModel.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <functional>

class QQmlEngine;

namespace tavrine {
class FocusSession;
class UserDefaults;
namespace platform {
class MotionPreference;
}
} // namespace tavrine

namespace tavrine::shell {

// The main window's content: which screen shows (running, else the recap, else the setup), the models of the
// three screens, and the header's History and Settings buttons. Permissions are read again whenever the window
// appears and whenever the application becomes active, so a permission granted meanwhile counts at once.
class MainWindowModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(Screen screen READ screen NOTIFY screenChanged)
    Q_PROPERTY(tavrine::shell::SetupController* setup READ setup CONSTANT)
    Q_PROPERTY(tavrine::shell::RunningSessionModel* running READ running CONSTANT)
    Q_PROPERTY(tavrine::shell::MonitoringStatusModel* monitoring READ monitoring CONSTANT)
    Q_PROPERTY(tavrine::ui::DurationModel* duration READ duration CONSTANT)
    Q_PROPERTY(tavrine::RecapViewModel* recap READ recap CONSTANT)
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY reduceMotionChanged)
    // The running screen and the recap built, hidden, before they first show (once the application is idle after
    // its launch; once the running screen has been on screen): their first showing then only shows them, as every
    // later one does.
    Q_PROPERTY(bool runningBuiltAhead READ runningBuiltAhead NOTIFY builtAheadChanged)
    Q_PROPERTY(bool recapBuiltAhead READ recapBuiltAhead NOTIFY builtAheadChanged)

public:
    enum class Screen { Setup, Running, Recap };
    Q_ENUM(Screen)

    struct Hooks {
        // Hides the main window (after a start that took).
        std::function<void()> closeFocusWindow;
        // Hides the main window and brings the window of that title ("History", "Settings") forward.
        std::function<void(const QString& title)> showOrOpenWindow;
    };

    // `defaults` keeps the custom length; `motion` may be absent (motion on); `engine` draws the recap's share
    // image and may be absent (no image).
    MainWindowModel(FocusSession& session, UserDefaults& defaults, Hooks hooks,
                    platform::MotionPreference* motion = nullptr, QQmlEngine* engine = nullptr,
                    QObject* parent = nullptr);
    ~MainWindowModel() override;

    static Screen screenFor(bool isActive, bool hasSummary);

    Screen screen() const { return m_screen; }
    SetupController* setup() const { return m_setup; }
    RunningSessionModel* running() const { return m_running; }
    MonitoringStatusModel* monitoring() const { return m_monitoring; }
    ui::DurationModel* duration() const { return m_duration; }
    RecapViewModel* recap() const { return m_recap; }
    bool reduceMotion() const;
    bool runningBuiltAhead() const { return m_runningAhead; }
    bool recapBuiltAhead() const { return m_recapAhead; }
    // Has `screen` built from now on (the setup always is); once built, a screen stays.
    Q_INVOKABLE void buildAhead(tavrine::shell::MainWindowModel::Screen screen);

    // The window appeared.
    Q_INVOKABLE void refreshPermissions();
    Q_INVOKABLE void showHistory();
    Q_INVOKABLE void showSettings();

signals:
    void screenChanged();
    void reduceMotionChanged();
    void builtAheadChanged();

private:
    void updateScreen();

    QPointer<FocusSession> m_session;
    Hooks m_hooks;
    QPointer<platform::MotionPreference> m_motion;
    SetupController* m_setup;
    RunningSessionModel* m_running;
    MonitoringStatusModel* m_monitoring;
    ui::DurationModel* m_duration;
    RecapViewModel* m_recap;
    Screen m_screen = Screen::Setup;
    bool m_runningAhead = false;
    bool m_recapAhead = false;
};

} // namespace tavrine::shell
