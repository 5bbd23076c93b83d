#include "tavrine/shell/TavrineApp.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/nudge/NudgeHoverState.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingVoice.h"
#include "tavrine/onboarding/PlayerProcessPage.h"
#include "tavrine/onboarding/RehearsalPlayer.h"
#include "tavrine/platform/LinuxPrivacySettings.h"
#include "tavrine/platform/LinuxWorkspaceEvents.h"
#include "tavrine/platform/MotionPreference.h"
#include "tavrine/platform/X11Compositing.h"
#include "tavrine/platform/X11WindowGrabber.h"
#include "tavrine/platform/XdgLoginItem.h"
#include "tavrine/services/ApiTokenProvider.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/session/RunningSessionKeeper.h"
#include "tavrine/shell/DesktopSessionServices.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/MainWindowModel.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/NudgePresenting.h"
#include "tavrine/shell/SettingsModel.h"
#include "tavrine/shell/ShellStageSurroundings.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/UpdateGate.h"
#include "tavrine/shell/UpdaterController.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/speech/SoundClip.h"
#include "tavrine/speech/SoundModule.h"
#include "tavrine/speech/SpeechSetup.h"
#include "tavrine/ui/Frosted.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>

namespace tavrine::shell {

TavrineApp::TavrineApp(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment)) {
    // The card's hover flags, shared by the card and its close button.
    m_nudgeHover = std::make_unique<nudge::NudgeHoverState>();
    note("nudgePresenter");

    // The nudge sound is made once a first frame is on screen (prepareSound): bringing up the sound system can
    // take long.
    note("nudgeSound");

    m_defaults = m_environment.defaults ? m_environment.defaults : &UserDefaults::standard();
    note("hasCompletedOnboarding");

    note("appDelegate");

    m_tokens = ApiTokenProvider::fromEnvironment(m_environment.keyring);
    m_tokens->start();
    note("tokens");

    m_speaker = m_environment.speaker;
    if (!m_speaker && !m_environment.services)
        m_speaker = speechsetup::makeShellSpeaker(*m_defaults, m_tokens->bearerTokenClosure(),
                                                  m_tokens->refreshBearerTokenClosure());
    note("speaker");

    m_history = m_environment.history ? m_environment.history : std::make_shared<SessionHistory>();
    note("history");

    m_arguments = LaunchArguments::parse(m_environment.arguments);
    note("arguments");
    // A session that was running when an earlier process died is stored (or dropped) before a new one starts.
    if (!m_arguments.noHistory)
        m_history->recoverRunning(RunningSessionKeeper::minimumStoredSeconds);

    m_compositing = m_environment.compositing;
    if (!m_compositing) {
        m_desktopCompositing = std::make_unique<platform::X11Compositing>();
        m_compositing = m_desktopCompositing.get();
    }

    FocusSessionOptions options;
    options.speaker = m_speaker;
    options.history = m_arguments.noHistory ? nullptr : m_history;
    options.clock = m_environment.clock;
    options.defaults = m_defaults;
    options.services = m_environment.services;
    if (!options.services) {
        capture::CaptureServices capture = capture::CaptureServices::desktop();
        // Grabs read the compositor as the watcher last saw it, without asking the server each time.
        capture.grabber =
            std::make_shared<platform::X11WindowGrabber>(nullptr, m_compositing->compositorRunningSource());
        m_desktopServices = std::make_unique<DesktopSessionServices>(
            m_tokens->bearerTokenClosure(), m_tokens->refreshBearerTokenClosure(), std::move(capture));
        options.services = m_desktopServices.get();
    }
    options.workspaceEvents = m_environment.workspaceEvents;
    if (!options.workspaceEvents && m_desktopServices) {
        m_desktopEvents = std::make_unique<platform::LinuxWorkspaceEvents>(*m_desktopServices->capture().workspace);
        options.workspaceEvents = m_desktopEvents.get();
    }
    // The session asks for the desktop's privacy settings through the installed opener.
    PrivacySettingsOpening::install(std::make_shared<platform::LinuxPrivacySettings>());
    m_session = std::make_unique<FocusSession>(std::move(options));
    note("session");

    m_updateGate = UpdateGate::forSession(*m_session);
    note("updateGate");

    m_updaterController = std::make_unique<UpdaterController>(m_updateGate.get(), std::move(m_environment.updateSource),
                                                              [this] { quit(); });
    note("updaterController");

    m_loginItem = m_environment.loginItem;
    if (!m_loginItem) {
        auto desktopItem = std::make_unique<platform::XdgLoginItem>();
        desktopItem->refreshProgramPath();
        m_desktopLoginItem = std::move(desktopItem);
        m_loginItem = m_desktopLoginItem.get();
    }
    m_settings = std::make_unique<SettingsModel>(
        SettingsModel::Parts{m_session.get(), m_history.get(), m_updaterController.get(), m_loginItem,
                             [this] { quit(); }, QStringLiteral(TAVRINE_FEEDBACK_ADDRESS), m_defaults->problem()});

    ui::setUpQmlEngine(m_engine);
    ui::Frosted::useCompositing(m_engine, m_compositing);
    QVariantMap properties;
    properties.insert(QStringLiteral("session"), QVariant::fromValue<QObject*>(m_session.get()));
    properties.insert(QStringLiteral("history"), QVariant::fromValue<QObject*>(m_history.get()));
    m_historyBrowser =
        std::make_unique<HistoryBrowser>(m_history.get(), m_environment.clock ? *m_environment.clock : Clock::system());
    properties.insert(QStringLiteral("historyBrowser"), QVariant::fromValue<QObject*>(m_historyBrowser.get()));
    properties.insert(QStringLiteral("updater"), QVariant::fromValue<QObject*>(m_updaterController.get()));
    m_motion = std::make_unique<platform::PortalMotionPreference>();
    MainWindowModel::Hooks mainWindowHooks;
    mainWindowHooks.closeFocusWindow = [this] { m_opener->closeFocusWindow(); };
    mainWindowHooks.showOrOpenWindow = [this](const QString& title) { m_opener->showOrOpenWindow(title); };
    m_mainWindow = std::make_unique<MainWindowModel>(*m_session, *m_defaults, std::move(mainWindowHooks),
                                                     m_motion.get(), &m_engine);
    m_mainWindow->recap()->setHistory(m_arguments.noHistory ? nullptr : m_history.get());
    m_mainWindow->running()->setHistory(m_arguments.noHistory ? nullptr : m_history.get());
    properties.insert(QStringLiteral("mainWindow"), QVariant::fromValue<QObject*>(m_mainWindow.get()));
    properties.insert(QStringLiteral("settings"), QVariant::fromValue<QObject*>(m_settings.get()));
    m_onboardingFlow = makeOnboardingFlow();
    m_onboardingFlow->setMotionPreference(m_motion.get());
    properties.insert(QStringLiteral("onboardingFlow"), QVariant::fromValue<QObject*>(m_onboardingFlow.get()));
    m_windows = std::make_unique<WindowSet>(m_engine, properties);
    m_opener = std::make_unique<FocusWindowOpener>(*m_windows);
    // The tray label's first showing runs the launch set-up; its click toggles the main window; its menu opens
    // the main window as the hot key does, or quits as Settings' "Quit" does.
    m_tray = std::make_unique<TrayStatusLabel>(
        *m_session, TrayStatusLabel::Actions{[this] { runLaunchSetup(); }, [this] { m_opener->toggle(); },
                                             [this] { m_opener->open(); }, [this] { quit(); }});
    m_opener->setTray({[this] { return m_tray->isShown() && TrayStatusLabel::trayAvailable(); },
                       [this] { return m_tray->trayIconGeometry(); }});
    m_opener->install();
    if (!m_nudgePresenter)
        m_nudgePresenter = makeNudgePresenter();
    // The card is made once a session runs, not when it first nudges: that nudge would wait for it. Sessions that
    // never nudge pay for it in memory from then on, as every session after a first nudge does. The recap is built
    // by the main window, once its running screen has shown.
    connect(m_session.get(), &FocusSession::phaseChanged, this, [this] {
        if (!m_session->isActive())
            return;
        QTimer::singleShot(nudgePreparationDelayMs, this, [this] {
            if (m_quitting || !m_session->isActive())
                return;
            if (m_nudgePresenter)
                m_nudgePresenter->prepare();
            m_windows->releaseFreedMemorySoon();
        });
    });

    LaunchSetup::Hooks hooks;
    hooks.wire = [this] { wireNudgePresentation(); };
    hooks.wasLaunchedAsLoginItem = [this] { return m_arguments.atLogin; };
    hooks.shouldShowOnboarding = [this] { return shouldShowOnboarding(); };
    hooks.activate = [this] {
        QQuickWindow* onboarding = m_windows->existingWindow(QStringLiteral("onboarding"));
        if (onboarding && onboarding->isVisible()) {
            onboarding->raise();
            WindowSet::activate(onboarding);
        }
    };
    hooks.openFocusWindow = [this] { m_opener->open(); };
    m_launchSetup = std::make_unique<LaunchSetup>(*m_defaults, *m_loginItem, std::move(hooks));
}

TavrineApp::~TavrineApp() {
    // The windows' bindings read the session: they go first.
    m_nudgePresenter.reset();
    m_tray.reset();
    m_opener.reset();
    m_windows.reset();
    m_onboardingFlow.reset();
    m_historyBrowser.reset();
}

std::unique_ptr<onboarding::OnboardingFlow> TavrineApp::makeOnboardingFlow() {
    Clock& clock = m_environment.clock ? *m_environment.clock : Clock::system();
    m_stageSurroundings = std::make_unique<ShellStageSurroundings>([this] { return m_tray.get(); },
                                                                   [this] { return m_nudgePresenter.get(); });
    onboarding::OnboardingStage::Parts parts = onboarding::OnboardingStage::defaultParts();
    parts.surroundings = m_stageSurroundings.get();
    parts.motion = m_motion.get();
    parts.compositing = m_compositing;
    parts.makePlayer = [this, clock = &clock]() -> std::unique_ptr<RehearsalPlaying> {
        return std::make_unique<RehearsalPlayer>(std::make_unique<PlayerProcessPage>(), *clock);
    };
    auto speakers = [defaults = m_defaults]() -> std::shared_ptr<NudgeSpeaking> {
        return onboardingvoice::makeSpeaker(QStringLiteral(":/onboarding"), *defaults);
    };
    onboarding::OnboardingFlow::Hooks hooks;
    hooks.onComplete = [this] { setHasCompletedOnboarding(true); };
    hooks.hideWindow = [this] {
        if (QQuickWindow* window = m_windows->existingWindow(QStringLiteral("onboarding")))
            window->hide();
    };
    hooks.openFocusWindow = [this] { m_opener->open(); };
    hooks.hostWindow = [this]() -> QWindow* {
        if (QWindow* focused = QGuiApplication::focusWindow())
            return focused;
        return m_windows->existingWindow(QStringLiteral("onboarding"));
    };
    platform::Permissions* permissions = m_desktopServices ? m_desktopServices->capture().permissions.get() : nullptr;
    return std::make_unique<onboarding::OnboardingFlow>(
        *m_session, std::make_unique<onboarding::OnboardingRehearsal>(clock, std::move(speakers)),
        std::make_unique<onboarding::OnboardingStage>(m_engine, clock, parts), *m_defaults, permissions,
        m_environment.arguments, std::move(hooks));
}

void TavrineApp::note(const char* name) {
    if (m_environment.constructed)
        m_environment.constructed(QString::fromLatin1(name));
}

void TavrineApp::start() {
    m_delegate.applicationDidFinishLaunching(m_environment.arguments);
    // The first-run window is built only when it shows.
    const bool onboarding = shouldShowOnboarding();
    if (onboarding)
        prepareSoundAfterFirstFrame(m_windows->window(QStringLiteral("onboarding")));
    QQuickWindow* focus = m_windows->window(QStringLiteral("focus"));
    prepareSoundAfterFirstFrame(focus);
    buildScreensAheadAfterFirstFrame(focus);
    // The icon goes up once the windows are built and before any of them shows: the tray host makes room for it at
    // once, and while this thread built them, or waited for a shown window's first frame, that room would show as
    // an empty square. Waiting until it is drawn (the host's few ms) also has it placed by the time the launch
    // set-up opens the main window under it.
    m_tray->showIconDrawn(trayIconDrawnLimitMs);
    m_updaterController->startUpdater();
    // The tray label runs the launch set-up when it is first shown; a desktop without a tray never shows it, so
    // the same turn of the loop runs it too (once either way). Qt docks the icon when a tray host appears later.
    // That is the loop's second turn: the first handles the window system's events of the icon's placing. The
    // first-run window waits for that turn as well: a host that sizes the icon again just after it was drawn
    // (trayer gives it its panel's height) clears it, and building that window would hold the redraw back.
    QTimer::singleShot(0, this, [this, onboarding] {
        QTimer::singleShot(0, this, [this, onboarding] {
            if (onboarding && !m_quitting)
                m_windows->openWindow(QStringLiteral("onboarding"));
            showTrayLabel();
        });
    });
}

void TavrineApp::showTrayLabel() {
    if (m_quitting)
        return;
    m_tray->show();
    runLaunchSetup();
    // A launch that shows no window (at login) draws no frame: the sound waits no longer than the tray host may
    // take to place the icon.
    QTimer::singleShot(soundPreparationLimitMs, this, [this] {
        if (!m_quitting)
            prepareSound();
    });
}

void TavrineApp::prepareSoundAfterFirstFrame(QQuickWindow* window) {
    // Emitted on the render thread; the queued call runs here once the main thread is free again.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(
        window, &QQuickWindow::frameSwapped, this,
        [this, connection] {
            QObject::disconnect(*connection);
            // After what else waits for that frame: the window's going on screen comes first.
            QTimer::singleShot(0, this, [this] {
                if (!m_quitting)
                    prepareSound();
            });
        },
        Qt::QueuedConnection);
}

void TavrineApp::buildScreensAheadAfterFirstFrame(QQuickWindow* window) {
    // A launch that shows no window (at login) builds each when it first shows.
    connect(
        window, &QQuickWindow::frameSwapped, this,
        [this] {
            QTimer::singleShot(screensAheadDelayMs, this, [this] {
                if (m_quitting)
                    return;
                m_mainWindow->buildAhead(MainWindowModel::Screen::Running);
                // Built, History and Settings hold some 3 MB through every session; only built, their first
                // showing would still make the pages and driver code a later one finds. Each is drawn on a turn
                // of its own, so that the main thread waits for one frame at a time.
                m_windows->drawAhead(QStringLiteral("history"));
                QTimer::singleShot(screensAheadDelayMs, this, [this] {
                    if (m_quitting)
                        return;
                    m_windows->drawAhead(QStringLiteral("settings"));
                    // And the running session's room in the store, which a launch's first session took on its start.
                    m_history->keepRoomAhead();
                });
                m_windows->releaseFreedMemorySoon();
            });
        },
        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
}

void TavrineApp::prepareSound() {
    if (m_soundPrepared)
        return;
    m_soundPrepared = true;
    // Without the module (logged once) nudges are silent and nothing else changes.
    SoundModule* sound = SoundModule::instance();
    if (!sound)
        return;
    // Before anything opens the sound system: the server learns a client's names only when it connects.
    if (!m_environment.services)
        sound->nameSoundStreams();
    // Our own synthesised tap; without it nudges are silent and nothing else changes.
    if (QFile::exists(QStringLiteral(":/sounds/negative-tap.wav")))
        m_nudgeSound = sound->createClip(QUrl(QString::fromLatin1(nudgeSoundUrl)));
}

SoundClip* TavrineApp::nudgeSound() {
    prepareSound();
    return m_nudgeSound.get();
}

bool TavrineApp::hasCompletedOnboarding() const {
    return m_defaults->boolValue(QString::fromLatin1(onboardingKey)).value_or(false);
}

void TavrineApp::setHasCompletedOnboarding(bool completed) {
    m_defaults->setBool(QString::fromLatin1(onboardingKey), completed);
}

void TavrineApp::resetOnboarding() {
    setHasCompletedOnboarding(false);
    m_defaults->remove(QString::fromLatin1(onboarding::OnboardingFlow::pageKey));
}

bool TavrineApp::shouldShowOnboarding() const {
    return m_arguments.onboarding || !hasCompletedOnboarding();
}

void TavrineApp::runLaunchSetup() {
    if (m_quitting)
        return;
    m_launchSetup->run(m_delegate.openedAtLogin);
}

void TavrineApp::reopen() {
    if (m_quitting)
        return;
    m_delegate.applicationShouldHandleReopen(*m_opener);
}

std::unique_ptr<NudgePresenting> TavrineApp::makeNudgePresenter() {
    const QUrl card = ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NudgeView"));
    if (!QFile::exists(QLatin1Char(':') + card.path())) {
        log::notice(logSession(), QStringLiteral("Nudge card not built in: nudges are spoken only"));
        return nullptr;
    }
    NudgePresenter::Parts parts;
    parts.card = card;
    parts.closeButton = ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NudgeCloseButton"));
    parts.properties.insert(QStringLiteral("session"), QVariant::fromValue<QObject*>(m_session.get()));
    parts.properties.insert(QStringLiteral("hover"), QVariant::fromValue<QObject*>(m_nudgeHover.get()));
    parts.hover = m_nudgeHover.get();
    parts.compositing = m_compositing;
    parts.playSound = [this] {
        // From its start, even when the previous nudge's tap still plays.
        if (SoundClip* sound = nudgeSound())
            sound->playFromStart();
    };
    return std::make_unique<NudgePresenter>(m_engine, std::move(parts));
}

void TavrineApp::setNudgePresenter(std::unique_ptr<NudgePresenting> presenter) {
    m_nudgePresenter = std::move(presenter);
}

void TavrineApp::wireNudgePresentation() {
    m_session->setOnNudge([this] {
        if (m_nudgePresenter)
            m_nudgePresenter->presentNudge();
    });
    m_session->setOnDismissNudge([this] {
        if (m_nudgePresenter)
            m_nudgePresenter->dismissNudge();
    });
    m_session->setOnFinish([this] {
        // A session stopped by quitting must not bring a window up on the way out.
        if (!m_quitting)
            m_opener->open();
    });
}

void TavrineApp::endUnexpectedly() {
    if (m_quitting)
        return;
    m_quitting = true;
    log::error(logSession(), QStringLiteral("Tavrine is ending without a quit (the X display may be gone)"));
    m_session->endUnexpectedly();
}

void TavrineApp::quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_session->rehearsalIntention())
        m_session->endRehearsal();
    if (m_session->isActive())
        m_session->stop(false);
    m_history->flush();
    if (m_environment.exit)
        m_environment.exit(0);
    else
        QCoreApplication::exit(0);
}

} // namespace tavrine::shell
