#pragma once

#include "tavrine/shell/LaunchArguments.h"
#include "tavrine/shell/LaunchSetup.h"
#include "tavrine/shell/TavrineAppDelegate.h"
#include "tavrine/shell/UpdateSource.h"

#include <QObject>
#include <QQmlEngine>
#include <QStringList>
#include <functional>
#include <memory>

class QQuickWindow;

namespace tavrine {
class ApiTokenProvider;
class SoundClip;
class Clock;
class DesktopCompositing;
class FocusSession;
class KeyringReading;
class NudgeSpeaking;
class SessionHistory;
class HistoryBrowser;
class SessionServicesFactory;
class UserDefaults;
class WorkspaceEventSource;
} // namespace tavrine
namespace tavrine::platform {
class LoginItem;
class MotionPreference;
} // namespace tavrine::platform
namespace tavrine::nudge {
class NudgeHoverState;
}
namespace tavrine::onboarding {
class OnboardingFlow;
}

namespace tavrine::shell {

class DesktopSessionServices;
class FocusWindowOpener;
class MainWindowModel;
class NudgePresenting;
class SettingsModel;
class ShellStageSurroundings;
class TrayStatusLabel;
class UpdateGate;
class UpdateSource;
class UpdaterController;
class WindowSet;

// The application: creates every long-lived service once, in a fixed order, hands them to the focus session,
// and owns the windows. Main thread only; one per process.
class TavrineApp final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* onboardingKey = "hasCompletedOnboarding";
    static constexpr const char* nudgeSoundUrl = "qrc:/sounds/negative-tap.wav";
    // When no window draws a frame at launch, the sound is made this long after the launch set-up.
    static constexpr int soundPreparationLimitMs = 2500;
    // How long the launch waits for the tray host to embed and show the icon before it goes on all the same; a host
    // answers in a few ms.
    static constexpr int trayIconDrawnLimitMs = 250;
    // How long after a session starts the nudge card is made: the main window has gone from the screen by then.
    static constexpr int nudgePreparationDelayMs = 250;
    // How long after the main window's first frame the running screen is built, hidden: past the launch's own work
    // and the window's settling.
    static constexpr int screensAheadDelayMs = 1000;

    // What the application is built from. Everything left empty is the desktop's own; tests fill in fakes.
    struct Environment {
        QStringList arguments;
        UserDefaults* defaults = nullptr;
        // The session clock; the system's when none.
        Clock* clock = nullptr;
        // The session's services; the desktop's (X11 capture, the maker's API) when none.
        SessionServicesFactory* services = nullptr;
        // Activations, desktop switches, sleep; the desktop's when none.
        WorkspaceEventSource* workspaceEvents = nullptr;
        // Whether a compositor runs and blurs; the X display's when none.
        DesktopCompositing* compositing = nullptr;
        // The history store; the one in the application-support folder when none.
        std::shared_ptr<SessionHistory> history;
        platform::LoginItem* loginItem = nullptr;
        // Where the API token is read when TAVRINE_API_TOKEN is not set; the desktop's keyring when none.
        std::shared_ptr<KeyringReading> keyring;
        std::unique_ptr<UpdateSource> updateSource;
        // The nudge voice; the maker's speech service when none and the session's services are the desktop's.
        std::shared_ptr<NudgeSpeaking> speaker;
        // Ends the event loop with a status; QCoreApplication::exit when none.
        std::function<void(int)> exit;
        // Told the name of each service as it is made, in order.
        std::function<void(const QString&)> constructed;
    };

    explicit TavrineApp(Environment environment, QObject* parent = nullptr);
    ~TavrineApp() override;

    // Shows the first-run window when it is due, puts the tray icon up, builds the main window, starts the
    // updater, and queues the launch set-up for the second event-loop turn; the sound follows the first frame.
    // Throws WindowLoadError when a window's component does not load.
    void start();

    // The first-run window shows at launch: "--onboarding", or the onboarding was never completed.
    bool shouldShowOnboarding() const;
    bool hasCompletedOnboarding() const;
    void setHasCompletedOnboarding(bool completed);
    // The next launch is a first one again, and its onboarding starts on the welcome page: the page it reached
    // is forgotten.
    void resetOnboarding();

    // The one-time launch work; asking again does nothing. The tray label calls it too once it is shown.
    void runLaunchSetup();
    // A later launch asked for the application.
    void reopen();
    // Every road out of the application ("Quit", SIGTERM, SIGINT, SIGHUP): a running session is stopped as
    // ended early and stored, a rehearsal ended, the history written, then the event loop ends with status 0.
    // Nothing opens on the way out.
    void quit();
    // The process is ending without a quit (its X display is gone): the running session is stored as ended
    // early, touching no window, since the display connection is dead.
    void endUnexpectedly();
    bool quitting() const { return m_quitting; }

    // The nudge panels' presenter; none until one is installed. The session's nudge callbacks reach it.
    void setNudgePresenter(std::unique_ptr<NudgePresenting> presenter);
    NudgePresenting* nudgePresenter() const { return m_nudgePresenter.get(); }

    FocusSession& session() const { return *m_session; }
    SessionHistory& history() const { return *m_history; }
    UpdateGate& updateGate() const { return *m_updateGate; }
    UpdaterController& updaterController() const { return *m_updaterController; }
    WindowSet& windows() const { return *m_windows; }
    TrayStatusLabel& tray() const { return *m_tray; }
    FocusWindowOpener& opener() const { return *m_opener; }
    onboarding::OnboardingFlow& onboardingFlow() const { return *m_onboardingFlow; }
    TavrineAppDelegate& delegate() { return m_delegate; }
    QQmlEngine& engine() { return m_engine; }
    platform::LoginItem& loginItem() const { return *m_loginItem; }
    SettingsModel& settings() const { return *m_settings; }
    // None when the sound or the sound module is missing: nudges are then silent. Made on first ask when no frame
    // has been drawn yet.
    SoundClip* nudgeSound();
    // Whether the process has loaded the sound module, come up on the sound server and made the nudge sound.
    bool soundPrepared() const { return m_soundPrepared; }
    // None until a speaker is built.
    const std::shared_ptr<NudgeSpeaking>& speaker() const { return m_speaker; }
    bool launchSetupDone() const { return m_launchSetup && m_launchSetup->done(); }

private:
    void note(const char* name);
    // Loads the sound module, names the process for the sound server and makes the nudge sound, once; nothing
    // before a first frame needs the sound system.
    void prepareSound();
    void prepareSoundAfterFirstFrame(QQuickWindow* window);
    // Has the main window build its running screen a while after its first frame.
    void buildScreensAheadAfterFirstFrame(QQuickWindow* window);
    // Shows the tray label, which runs the launch set-up.
    void showTrayLabel();
    void wireNudgePresentation();
    // The first-run flow with its rehearsal and stage; made before the windows that bind to it.
    std::unique_ptr<onboarding::OnboardingFlow> makeOnboardingFlow();
    // The floating nudge card, when the card's module is built in.
    std::unique_ptr<NudgePresenting> makeNudgePresenter();

    Environment m_environment;

    // In the order they are made.
    std::unique_ptr<nudge::NudgeHoverState> m_nudgeHover;
    std::unique_ptr<NudgePresenting> m_nudgePresenter;
    bool m_soundPrepared = false;
    std::unique_ptr<SoundClip> m_nudgeSound;
    UserDefaults* m_defaults = nullptr;
    TavrineAppDelegate m_delegate;
    std::unique_ptr<ApiTokenProvider> m_tokens;
    std::shared_ptr<NudgeSpeaking> m_speaker;
    std::shared_ptr<SessionHistory> m_history;
    // The History window's selection and list; made before the windows that bind to it.
    std::unique_ptr<HistoryBrowser> m_historyBrowser;
    LaunchArguments m_arguments;
    // One watcher of the desktop's compositing for every window and for the grabs; it outlives the windows.
    std::unique_ptr<DesktopCompositing> m_desktopCompositing;
    DesktopCompositing* m_compositing = nullptr;
    std::unique_ptr<DesktopSessionServices> m_desktopServices;
    std::unique_ptr<WorkspaceEventSource> m_desktopEvents;
    std::unique_ptr<FocusSession> m_session;
    std::unique_ptr<UpdateGate> m_updateGate;
    std::unique_ptr<UpdaterController> m_updaterController;
    std::unique_ptr<platform::LoginItem> m_desktopLoginItem;
    platform::LoginItem* m_loginItem = nullptr;
    // What the settings window shows and does.
    std::unique_ptr<SettingsModel> m_settings;

    // The scenes.
    QQmlEngine m_engine;
    // The desktop's reduce-motion setting and the main window's content, made before the windows.
    std::unique_ptr<platform::MotionPreference> m_motion;
    std::unique_ptr<MainWindowModel> m_mainWindow;
    std::unique_ptr<ShellStageSurroundings> m_stageSurroundings;
    std::unique_ptr<onboarding::OnboardingFlow> m_onboardingFlow;
    std::unique_ptr<WindowSet> m_windows;
    std::unique_ptr<FocusWindowOpener> m_opener;
    std::unique_ptr<TrayStatusLabel> m_tray;
    std::unique_ptr<LaunchSetup> m_launchSetup;
    bool m_quitting = false;
};

} // namespace tavrine::shell
