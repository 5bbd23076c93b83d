#include "FullDisk.h"
#include "session/SessionHarness.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/RecapViewModel.h"
#include "tavrine/shell/MainWindowModel.h"
#include "tavrine/shell/MonitoringStatusModel.h"
#include "tavrine/shell/RunningSessionModel.h"
#include "tavrine/shell/SetupController.h"
#include "tavrine/ui/DurationModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tavrine::shell {
namespace {

using test::SessionHarness;

// One user-perceived character made of two code points: "e" and a combining acute accent.
QString graphemes(int count) {
    return QString(QStringLiteral("e\u0301")).repeated(count);
}

struct MainWindow {
    SessionHarness harness;
    QStringList opened;
    int closes = 0;
    MainWindowModel model{*harness.session, harness.defaults,
                          MainWindowModel::Hooks{[this] { ++closes; },
                                                 [this](const QString& title) { opened << title; }}};
    FocusSession& session() { return *harness.session; }
    SetupController& setup() { return *model.setup(); }
};

TEST(SetupController, LengthLimitCountsUserPerceivedCharactersUntrimmed) {
    struct Case {
        QString intention;
        bool tooLong;
        bool canStart;
    };
    const Case cases[] = {
        {graphemes(400), false, true},
        {graphemes(401), true, false},
        {QStringLiteral("a").repeated(399) + u' ', false, true},
        {QStringLiteral("a").repeated(400) + u' ', true, false},
    };
    for (const Case& c : cases) {
        MainWindow w;
        w.setup().setIntention(c.intention);
        EXPECT_EQ(w.setup().intentionTooLong(), c.tooLong) << c.intention.size();
        EXPECT_EQ(w.setup().canStart(), c.canStart) << c.intention.size();
        w.setup().startSession();
        EXPECT_EQ(w.session().isActive(), c.canStart);
        EXPECT_EQ(w.closes, c.canStart ? 1 : 0) << "the window closes only after a start that took";
    }
}

TEST(SetupController, HintNamesAccessibilityFirst) {
    struct Case {
        bool accessibility, screen;
        QString hint;
    };
    const Case cases[] = {
        {false, false, QStringLiteral("Enable Accessibility in Settings to start.")},
        {false, true, QStringLiteral("Enable Accessibility in Settings to start.")},
        {true, false, QStringLiteral("Enable Screen Recording in Settings to start.")},
        {true, true, QString()},
    };
    for (const Case& c : cases) {
        MainWindow w;
        w.harness.observer->setPermissions(c.accessibility, c.screen);
        w.model.refreshPermissions();
        EXPECT_EQ(w.setup().startHint(), c.hint);
        w.setup().setIntention(graphemes(401));
        EXPECT_EQ(w.setup().startHint(), c.hint) << "the length has its own warning";
    }
}

TEST(SetupController, ReturnStartsFocusModeWhileBlankAndTheSessionOnceWritten) {
    struct Case {
        QString typed;
        bool blank;
        bool focusMode;
        QString intention;
        QString title;
    };
    const Case cases[] = {
        {QStringLiteral("  \n\t "), true, true, QString(), QStringLiteral("Focus mode")},
        {QString(), true, true, QString(), QStringLiteral("Focus mode")},
        {QStringLiteral("Write the report"), false, false, QStringLiteral("Write the report"),
         QStringLiteral("Write the report")},
    };
    for (const Case& c : cases) {
        MainWindow w;
        w.setup().setIntention(c.typed);
        EXPECT_EQ(w.setup().intentionIsBlank(), c.blank) << c.typed.toStdString();
        EXPECT_EQ(w.setup().canStart(), !c.blank) << c.typed.toStdString();
        EXPECT_TRUE(w.setup().canStartFocusMode());
        w.setup().submitIntention();
        ASSERT_TRUE(w.session().isActive()) << c.typed.toStdString();
        EXPECT_EQ(w.session().isFocusSession(), c.focusMode);
        EXPECT_EQ(w.session().intention(), c.intention) << "Focus mode starts with the field emptied";
        EXPECT_EQ(w.model.running()->isFocusSession(), c.focusMode);
        EXPECT_EQ(w.model.running()->title(), c.title);
        EXPECT_EQ(w.closes, 1);
    }
}

TEST(SetupController, RefusedStartsChangeNothingAndKeepTheWindow) {
    // Accessibility missing: the permission is read again by the start itself.
    MainWindow missing;
    missing.setup().setIntention(QStringLiteral("Write"));
    missing.harness.observer->setPermissions(false, true);
    missing.setup().submitIntention();
    missing.setup().startFocusMode();
    EXPECT_FALSE(missing.session().isActive());
    EXPECT_EQ(missing.closes, 0);

    // A rehearsal uses the session: neither button starts anything.
    MainWindow rehearsing;
    ASSERT_TRUE(rehearsing.session().startRehearsal(QStringLiteral("Landing page"), 25, nullptr));
    rehearsing.setup().setIntention(QStringLiteral("Write"));
    rehearsing.setup().startSession();
    rehearsing.setup().setIntention(QString());
    rehearsing.setup().startFocusMode();
    EXPECT_FALSE(rehearsing.session().isActive());
    EXPECT_EQ(rehearsing.session().intention(), QString());
    EXPECT_EQ(rehearsing.closes, 0);
    rehearsing.session().endRehearsal();

    // Already running: a second start does nothing at all.
    MainWindow running;
    running.setup().setIntention(QStringLiteral("Write"));
    running.setup().startSession();
    running.setup().setIntention(QString());
    running.setup().startFocusMode();
    EXPECT_FALSE(running.session().isFocusSession());
    EXPECT_EQ(running.closes, 1);
}

TEST(MainWindowModel, ScreenFollowsActivityThenSummary) {
    MainWindow w;
    EXPECT_EQ(w.model.screen(), MainWindowModel::Screen::Setup);
    w.harness.start(30);
    EXPECT_EQ(w.model.screen(), MainWindowModel::Screen::Running);
    w.harness.advance(61); // a recap needs a minute of use
    // The recap drawn ahead shows the session so far, and is not its summary: no image, no recap screen.
    RecapViewModel& recap = *w.model.recap();
    recap.showRunningSessionAhead();
    EXPECT_EQ(recap.card()->summary(), w.session().summarySoFar());
    EXPECT_TRUE(recap.hasActivity());
    EXPECT_FALSE(recap.hasSummary());
    w.session().pause();
    EXPECT_EQ(w.model.screen(), MainWindowModel::Screen::Running) << "paused is still active";
    w.model.running()->endSession();
    EXPECT_EQ(w.model.screen(), MainWindowModel::Screen::Recap);
    EXPECT_EQ(recap.card()->summary(), *w.session().summary());
    w.model.recap()->again();
    EXPECT_EQ(w.model.screen(), MainWindowModel::Screen::Setup);
    EXPECT_EQ(MainWindowModel::screenFor(true, true), MainWindowModel::Screen::Running);
}

TEST(MainWindowModel, HeaderAndRecapRaiseTheirWindows) {
    MainWindow w;
    w.model.showHistory();
    w.model.showSettings();
    w.model.recap()->showHistory();
    EXPECT_EQ(w.opened, (QStringList{"History", "Settings", "History"}));
}

TEST(MainWindowModel, SelectorAndSessionShareThePlannedLength) {
    MainWindow w;
    w.model.duration()->increase();
    EXPECT_EQ(w.session().minutes(), 65);
    w.session().setMinutes(45);
    EXPECT_EQ(w.model.duration()->minutes(), 45);
    EXPECT_FALSE(w.model.duration()->isCustom());
}

TEST(RunningSessionModel, PauseDimsTheCountdownHidesDriftAndRenamesTheButton) {
    MainWindow w;
    w.harness.start(25, QStringLiteral("Draft the launch post"));
    RunningSessionModel& running = *w.model.running();
    EXPECT_EQ(running.title(), QStringLiteral("Draft the launch post"));
    EXPECT_EQ(running.countdown(), QStringLiteral("25:00"));
    EXPECT_DOUBLE_EQ(running.countdownOpacity(), 1.0);
    EXPECT_TRUE(running.showsDrift());
    EXPECT_EQ(running.pauseResumeTitle(), QStringLiteral("Take a break"));

    running.togglePause();
    EXPECT_EQ(w.session().phase(), SessionPhase::Paused);
    EXPECT_DOUBLE_EQ(running.countdownOpacity(), 0.45);
    EXPECT_FALSE(running.showsDrift());
    EXPECT_EQ(running.pauseResumeTitle(), QStringLiteral("Resume focus"));

    running.togglePause();
    EXPECT_EQ(w.session().phase(), SessionPhase::Running);
    EXPECT_DOUBLE_EQ(running.countdownOpacity(), 1.0);

    w.harness.advance(61);
    running.togglePause();
    running.endSession();
    EXPECT_FALSE(w.session().isActive()) << "ending while paused ends the session just the same";
    EXPECT_TRUE(w.session().summary().has_value());
}

// Where the user looks while a session runs: a store that stops taking the session says so there, however its
// disk fails, and the line goes once a write goes through again.
TEST(RunningSessionModel, ALineSaysWhatTheHistoryLacksOfTheSessionWhileItRuns) {
    using Fault = test::FullDisk::Fault;
    struct Case {
        Fault fault;
        double failsAfter; // seconds into the session
        QString line;
    };
    const QString retried = QStringLiteral("; Tavrine tries again while it runs.");
    const Case cases[] = {
        {Fault::ReadOnly, 20, QStringLiteral("The session that is running cannot be saved: disk I/O error") + retried},
        {Fault::IoError, 20, QStringLiteral("The session that is running cannot be saved: disk I/O error") + retried},
        {Fault::IoError, 130,
         QStringLiteral("The session that is running is saved only up to its first 2m: disk I/O error") + retried},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failsAfter);
        QTemporaryDir folder;
        SessionHistory::Options options;
        options.folder = folder.path();
        auto history = std::make_shared<SessionHistory>(options);
        history->open();
        test::SessionServices services;
        services.history = history;
        SessionHarness harness(services);
        RunningSessionModel running(*harness.session);
        running.setHistory(history.get());
        harness.start(25, QStringLiteral("Draft the launch post"));
        harness.advance(c.failsAfter);
        EXPECT_EQ(running.storeNotice(), QString());
        std::optional<test::FullDisk> disk(std::in_place, folder.path(), c.fault);
        // The next whole minute's write fails.
        harness.advance(60);
        EXPECT_EQ(running.storeNotice(), c.line);
        disk.reset();
        harness.advance(60);
        EXPECT_EQ(running.storeNotice(), QString());
        // The recap is told through its own line, not this one.
        disk.emplace(folder.path(), c.fault);
        harness.advance(60);
        harness.session->stop(false);
        EXPECT_EQ(running.storeNotice(), QString());
    }
}

TEST(MonitoringStatus, TableOfStates) {
    using Fix = MonitoringStatusRow::Fix;
    struct Case {
        MonitoringState state;
        QString symbol;
        bool spinner;
        QString text;
        bool warning;
        Fix fix;
        bool whileRunning;
    };
    const Case cases[] = {
        {MonitoringState::unreadable(QStringLiteral("No text")), "eye.slash", false, "No text", false, Fix::None,
         false},
        {MonitoringState::checkFailed(QStringLiteral("Judge down")), "eye.slash", false, "Judge down", true, Fix::None,
         true},
        {MonitoringState::waiting(), "eye", false, "Waiting for another app", false, Fix::None, false},
        {MonitoringState::monitoring(), "eye.fill", false, "Monitoring on this computer", false, Fix::None, false},
        {MonitoringState::checking(), "", true, QStringLiteral("Checking\u2026"), false, Fix::None, false},
        {MonitoringState::paused(), "pause.circle", false, "Monitoring paused", false, Fix::None, false},
        {MonitoringState::accessibilityRequired(), "exclamationmark.triangle.fill", false,
         QStringLiteral("Can\u2019t monitor without Accessibility"), true, Fix::Accessibility, true},
        {MonitoringState::screenRecordingRecommended(), "eye.slash", false,
         QStringLiteral("Can\u2019t monitor without Screen Recording"), true, Fix::ScreenRecording, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state.caseName().toStdString());
        const MonitoringStatusRow row = MonitoringStatusRow::forState(c.state);
        EXPECT_EQ(row.symbol, c.symbol);
        EXPECT_EQ(row.spinner, c.spinner);
        EXPECT_EQ(row.text, c.text);
        EXPECT_EQ(row.warning, c.warning);
        EXPECT_EQ(row.fix, c.fix);
        EXPECT_EQ(MonitoringStatusRow::shownWhileRunning(c.state), c.whileRunning);
        // After a failed check only a missing permission, which has a fix, is told instead of the failure.
        const MonitoringState failed = MonitoringState::checkFailed(QStringLiteral("Earlier"));
        EXPECT_EQ(MonitoringStatusRow::shownState(c.state, std::nullopt), c.state);
        EXPECT_EQ(MonitoringStatusRow::shownState(c.state, QStringLiteral("Earlier")),
                  c.fix != Fix::None ? c.state : failed);
    }
}

TEST(MonitoringStatus, RunningSessionWithoutAccessibilityShowsTheStrip) {
    MainWindow w;
    w.harness.start(30);
    EXPECT_FALSE(w.model.running()->showsMonitoringStatus());
    w.harness.observer->setPermissions(false, true);
    w.model.refreshPermissions();
    EXPECT_TRUE(w.model.running()->showsMonitoringStatus());
    EXPECT_TRUE(w.model.monitoring()->hasFix());
    EXPECT_EQ(w.model.monitoring()->symbol(), QStringLiteral("exclamationmark.triangle.fill"));
}

} // namespace
} // namespace tavrine::shell
