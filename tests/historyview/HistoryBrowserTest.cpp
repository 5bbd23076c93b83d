#include "tavrine/historyview/HistoryBrowser.h"
#include "FullDisk.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryListModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavrine;

namespace {

// 2026-01-05 09:00 UTC is 10:00 in Berlin (the tests run with TZ=Europe/Berlin).
const QDateTime firstStart(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC);

SessionSummary summaryAt(const QDateTime& startedAt, QString intention = QStringLiteral("Write the report")) {
    SessionSummary summary;
    summary.intention = std::move(intention);
    summary.startedAt = startedAt;
    summary.focusedSeconds = 600;
    summary.completed = true;
    SessionTimeline::Segment work;
    work.kind = SessionTimeline::Kind::Related;
    work.end = 600;
    work.phrase = QStringLiteral("Drafted");
    summary.timeline = normaliseTimeline({work}, 600);
    return summary;
}

struct Store {
    explicit Store(int sessions = 0) {
        SessionHistory::Options options;
        options.folder = folder.path();
        history = std::make_unique<SessionHistory>(options);
        for (int i = 0; i < sessions; ++i)
            record(i);
    }
    // Session i starts i minutes after the first; the newest is the highest i.
    QUuid record(int i) {
        return *history->record(summaryAt(firstStart.addSecs(i * 60), QStringLiteral("Session %1").arg(i)), firstStart);
    }
    QTemporaryDir folder;
    std::unique_ptr<SessionHistory> history;
    ManualClock clock{1000.0, firstStart.addSecs(3600)};
};

QString title(const HistoryListModel& model, int row) {
    return model.data(model.index(row), HistoryListModel::TitleRole).toString();
}

// The models' midnight watch ends through a queued wake-up once they are gone: run it before the test ends.
class Pumped : public ::testing::Test {
protected:
    void TearDown() override { ManualClock::pump(); }
};
class HistoryList : public Pumped {};
class HistoryBrowserTest : public Pumped {};

} // namespace

TEST_F(HistoryList, ReadsPagesOnDemandAndKeepsAtMostFive) {
    Store store;
    for (int i = 0; i < 1250; ++i) // six full pages and a bit
        store.record(i);
    HistoryListModel model(store.history.get(), store.clock);
    EXPECT_EQ(model.count(), 1250);
    EXPECT_EQ(model.keptPageCount(), 0); // counting reads no page
    EXPECT_EQ(title(model, 0), QStringLiteral("Session 1249"));
    EXPECT_EQ(title(model, 200), QStringLiteral("Session 1049"));
    EXPECT_EQ(title(model, 1249), QStringLiteral("Session 0"));
    for (int row = 0; row < 1250; row += 200)
        model.data(model.index(row), HistoryListModel::TitleRole);
    EXPECT_EQ(model.keptPageCount(), HistoryListModel::keptPages);
    EXPECT_EQ(title(model, 0), QStringLiteral("Session 1249")); // an evicted page comes back
    EXPECT_FALSE(model.data(model.index(1250), HistoryListModel::TitleRole).isValid());
}

TEST_F(HistoryList, DayKeysAndTitlesFollowMidnight) {
    // Whatever zone the machine is in: whole and half-hour offsets on both sides of UTC, the two ends of the
    // calendar, and a Saturday whose midnight a clock change skips (that Sunday starts at 01:00).
    struct Row {
        const char* zone;
        QDate day;
    };
    for (const Row& row :
         {Row{"Europe/Berlin", {2026, 1, 5}}, Row{"UTC", {2026, 1, 5}}, Row{"Pacific/Kiritimati", {2026, 1, 5}},
          Row{"Pacific/Pago_Pago", {2026, 1, 5}}, Row{"Asia/Kolkata", {2026, 1, 5}},
          Row{"America/St_Johns", {2026, 7, 5}}, Row{"America/Santiago", {2026, 9, 5}}}) {
        SCOPED_TRACE(row.zone);
        const QTimeZone zone(row.zone);
        ASSERT_TRUE(zone.isValid());
        Store store;
        store.history->record(summaryAt(QDateTime(row.day, QTime(12, 0), zone)), firstStart);
        ManualClock clock(1000.0, QDateTime(row.day, QTime(23, 59), zone));
        HistoryListModel model(store.history.get(), clock, nullptr, zone);
        const QString key = model.data(model.index(0), HistoryListModel::DayKeyRole).toString();
        EXPECT_EQ(key, row.day.toString(Qt::ISODate));
        EXPECT_EQ(model.dayTitle(key, model.today()), QStringLiteral("Today"));
        QSignalSpy today(&model, &HistoryListModel::todayChanged);
        clock.advance(50);
        EXPECT_EQ(today.size(), 0);
        clock.advance(30);
        EXPECT_EQ(today.size(), 1);
        EXPECT_EQ(model.today(), row.day.addDays(1));
        EXPECT_EQ(model.dayTitle(key, model.today()), QStringLiteral("Yesterday"));
        clock.advance(24 * 3600.0);
        EXPECT_EQ(today.size(), 2);
        EXPECT_NE(model.dayTitle(key, model.today()), QStringLiteral("Yesterday"));
    }
}

TEST_F(HistoryBrowserTest, AnEmptyHistoryThenTheFirstRecording) {
    Store store;
    HistoryBrowser browser(store.history.get(), store.clock);
    EXPECT_TRUE(browser.isEmpty());
    EXPECT_FALSE(browser.hasSelection());
    EXPECT_EQ(browser.placeholderTitle(), QStringLiteral("No sessions yet"));
    EXPECT_EQ(browser.placeholderText(), QStringLiteral("A session you finish shows up here with its timeline."));

    const QUuid first = store.record(0);
    EXPECT_FALSE(browser.isEmpty());
    EXPECT_EQ(browser.selectedID(), first);
    EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 0"));
    EXPECT_EQ(browser.focusedValue(), QStringLiteral("10 min"));
    EXPECT_EQ(browser.detoursValue(), QStringLiteral("0\u00D7"));
    EXPECT_TRUE(browser.hasActivity());
    EXPECT_EQ(browser.timeline()->rowCount(), 1);
}

TEST_F(HistoryBrowserTest, SelectionSurvivesRecordingsAndFollowsDeletions) {
    Store store(3);
    HistoryBrowser browser(store.history.get(), store.clock);
    EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 2")); // the newest
    EXPECT_EQ(browser.selectedRow(), 0);

    const QString oldest =
        browser.listModel()->data(browser.listModel()->index(2), HistoryListModel::SessionIdRole).toString();
    browser.select(oldest);
    browser.setSegmentSelection(0);
    EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 0"));

    store.record(3); // recorded while open: the selection stays, its row moves down
    EXPECT_EQ(browser.selection(), oldest);
    EXPECT_EQ(browser.selectedRow(), 3);
    EXPECT_EQ(browser.segmentSelection(), 0);

    const QString newest =
        browser.listModel()->data(browser.listModel()->index(0), HistoryListModel::SessionIdRole).toString();
    browser.deleteSession(newest); // another session: the selection stays
    EXPECT_EQ(browser.selection(), oldest);
    EXPECT_EQ(browser.listModel()->count(), 3);

    {
        // A delete the store refuses (its disk is full) leaves the session listed and selected, and says why.
        test::FullDisk full(store.folder.path());
        browser.deleteSelected();
        EXPECT_EQ(browser.selection(), oldest);
        EXPECT_EQ(browser.listModel()->count(), 3);
        EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 0"));
        EXPECT_TRUE(browser.storeNotice().startsWith(QStringLiteral("The session could not be deleted: ")))
            << browser.storeNotice().toStdString();
    }
    browser.deleteSelected(); // the selected one: the newest remaining is selected, its timeline unselected
    EXPECT_TRUE(browser.storeNotice().isEmpty()) << browser.storeNotice().toStdString();
    EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 2"));
    EXPECT_EQ(browser.segmentSelection(), -1);
    browser.deleteSelected();
    browser.deleteSelected();
    EXPECT_TRUE(browser.isEmpty());
    EXPECT_FALSE(browser.hasSelection());
    EXPECT_EQ(browser.placeholderTitle(), QStringLiteral("No sessions yet"));
    browser.deleteSelected(); // nothing selected: nothing happens
    browser.deleteSession(QStringLiteral("not an id"));
}

TEST_F(HistoryBrowserTest, EachOpeningSelectsTheNewestSession) {
    // Every way the list changes before an opening, with or without a selection kept from an earlier one. The
    // browser lives as long as the application; the window only hides when closed.
    struct Row {
        const char* name;
        int sessions;                                        // stored when the browser is made, at launch
        std::function<void(Store&, HistoryBrowser&)> before; // between launch and the opening checked
        const char* newest;                                  // the session that opening must show; none for empty
    };
    const auto idAt = [](HistoryBrowser& b, int row) {
        return b.listModel()->data(b.listModel()->index(row), HistoryListModel::SessionIdRole).toString();
    };
    const Row rows[] = {
        {"the first opening, after sessions stored since launch", 0,
         [](Store& s, HistoryBrowser&) {
             s.record(0); // selected by ensureSelection while nobody looks
             s.record(1);
             s.record(2);
         },
         "Session 2"},
        {"a later opening, after a session stored since the last", 1,
         [](Store& s, HistoryBrowser& b) {
             b.open();
             s.record(1);
         },
         "Session 1"},
        {"a later opening, an older session clicked at the last", 3,
         [&](Store&, HistoryBrowser& b) {
             b.open();
             b.select(idAt(b, 2));
             b.setSegmentSelection(0);
         },
         "Session 2"},
        {"a later opening, the newest deleted at the last with an older one selected", 3,
         [&](Store&, HistoryBrowser& b) {
             b.open();
             b.select(idAt(b, 2));
             b.deleteSession(idAt(b, 0));
         },
         "Session 1"},
        {"a later opening, the history cleared and a session stored since", 2,
         [](Store& s, HistoryBrowser& b) {
             b.open();
             s.history->deleteAll();
             s.record(5);
         },
         "Session 5"},
        {"a later opening, every session deleted since", 2,
         [](Store& s, HistoryBrowser& b) {
             b.open();
             s.history->deleteAll();
         },
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Store store(row.sessions);
        HistoryBrowser browser(store.history.get(), store.clock);
        row.before(store, browser);
        browser.open();
        if (row.newest) {
            EXPECT_EQ(browser.selectedRow(), 0);
            EXPECT_EQ(browser.detailTitle(), QString::fromLatin1(row.newest));
        } else {
            EXPECT_FALSE(browser.hasSelection());
        }
        EXPECT_EQ(browser.segmentSelection(), -1);
    }

    // A file still being read when the window opens: its sessions arrive, the newest selected.
    Store read(3);
    SessionHistory::Options options;
    options.folder = read.folder.path();
    options.checkInBackground = true;
    read.history = std::make_unique<SessionHistory>(options);
    HistoryBrowser browser(read.history.get(), read.clock);
    browser.open();
    EXPECT_FALSE(browser.hasSelection());
    read.history->waitUntilOpen();
    EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 2"));
}

TEST_F(HistoryBrowserTest, AHistoryThatIsOffShowsNoSessions) {
    HistoryBrowser browser(nullptr, Clock::system());
    EXPECT_TRUE(browser.isEmpty());
    browser.ensureSelection();
    browser.deleteSelected();
    EXPECT_FALSE(browser.hasSelection());
}

TEST_F(HistoryBrowserTest, AFileStillBeingReadIsNotAnEmptyHistory) {
    Store store(2);
    SessionHistory::Options options;
    options.folder = store.folder.path();
    options.checkInBackground = true;
    store.history = std::make_unique<SessionHistory>(options);
    HistoryBrowser browser(store.history.get(), store.clock);
    ASSERT_EQ(store.history->availability(), SessionHistory::Availability::Checking);
    EXPECT_TRUE(browser.isEmpty());
    EXPECT_EQ(browser.placeholderTitle(), QStringLiteral("Reading your history…"));
    EXPECT_TRUE(browser.placeholderText().isEmpty());

    QSignalSpy placeholder(&browser, &HistoryBrowser::isEmptyChanged);
    store.history->waitUntilOpen();
    EXPECT_GE(placeholder.count(), 1);
    EXPECT_EQ(browser.listModel()->count(), 2);
    EXPECT_EQ(browser.detailTitle(), QStringLiteral("Session 1"));
    EXPECT_TRUE(browser.storeNotice().isEmpty());
}
