#include "tavrine/shell/MainWindowModel.h"

#include "tavrine/historyview/RecapViewModel.h"
#include "tavrine/platform/MotionPreference.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/MonitoringStatusModel.h"
#include "tavrine/shell/RunningSessionModel.h"
#include "tavrine/shell/SetupController.h"
#include "tavrine/ui/DurationModel.h"

#include <QGuiApplication>

namespace tavrine::shell {

MainWindowModel::MainWindowModel(FocusSession& session, UserDefaults& defaults, Hooks hooks,
                                 platform::MotionPreference* motion, QQmlEngine* engine, QObject* parent)
    : QObject(parent), m_session(&session), m_hooks(std::move(hooks)), m_motion(motion),
      m_setup(new SetupController(session, m_hooks.closeFocusWindow, this)),
      m_running(new RunningSessionModel(session, this)), m_monitoring(new MonitoringStatusModel(session, this)),
      m_duration(new ui::DurationModel(defaults, session.minutes(), this)),
      m_recap(new RecapViewModel(&session, engine, this)) {
    connect(&session, &FocusSession::phaseChanged, this, &MainWindowModel::updateScreen);
    connect(&session, &FocusSession::summaryChanged, this, &MainWindowModel::updateScreen);
    updateScreen();

    // The selector and the session share one planned length.
    connect(&session, &FocusSession::minutesChanged, m_duration,
            [this] { m_duration->setMinutes(m_session->minutes()); });
    connect(m_duration, &ui::DurationModel::minutesChanged, this, [this] {
        if (m_session)
            m_session->setMinutes(m_duration->minutes());
    });

    connect(m_recap, &RecapViewModel::historyRequested, this, &MainWindowModel::showHistory);
    if (m_motion)
        connect(m_motion, &platform::MotionPreference::reduceMotionChanged, this,
                &MainWindowModel::reduceMotionChanged);
    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                refreshPermissions();
        });
}

MainWindowModel::~MainWindowModel() = default;

MainWindowModel::Screen MainWindowModel::screenFor(bool isActive, bool hasSummary) {
    if (isActive)
        return Screen::Running;
    return hasSummary ? Screen::Recap : Screen::Setup;
}

bool MainWindowModel::reduceMotion() const {
    return m_motion && m_motion->reduceMotion();
}

void MainWindowModel::buildAhead(Screen screen) {
    bool& ahead = screen == Screen::Running ? m_runningAhead : m_recapAhead;
    if (screen == Screen::Setup || ahead)
        return;
    ahead = true;
    emit builtAheadChanged();
}

void MainWindowModel::refreshPermissions() {
    if (m_session)
        m_session->refreshPermissions();
}

void MainWindowModel::showHistory() {
    if (m_hooks.showOrOpenWindow)
        m_hooks.showOrOpenWindow(QStringLiteral("History"));
}

void MainWindowModel::showSettings() {
    if (m_hooks.showOrOpenWindow)
        m_hooks.showOrOpenWindow(QStringLiteral("Settings"));
}

void MainWindowModel::updateScreen() {
    if (!m_session)
        return;
    const Screen screen = screenFor(m_session->isActive(), m_session->summary().has_value());
    if (screen == m_screen)
        return;
    m_screen = screen;
    emit screenChanged();
}

} // namespace tavrine::shell
