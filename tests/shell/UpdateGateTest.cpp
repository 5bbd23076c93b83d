#include "tavrine/shell/UpdateGate.h"
#include "fakes/FakeLinesWriter.h"
#include "session/SessionHarness.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/shell/UpdaterController.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::shell;
using namespace tavrine::test;

namespace {

// Finds the versions it is given, one per check, then nothing.
class FakeUpdateSource final : public UpdateSource {
public:
    explicit FakeUpdateSource(QStringList versions) : m_versions(std::move(versions)) {}
    QCoro::Task<std::optional<UpdateItem>> findUpdate(QString) override {
        if (m_versions.isEmpty())
            co_return std::nullopt;
        co_return UpdateItem{m_versions.takeFirst(), QStringLiteral("/opt/tavrine/installer"), {}};
    }

private:
    QStringList m_versions;
};

// The real session in virtual time, the gate over it, and an updater whose relaunches are only counted.
struct Gated {
    explicit Gated(QStringList versions = {}, SessionServices services = {}) : h(std::move(services)) {
        gate = UpdateGate::forSession(*h.session);
        std::unique_ptr<UpdateSource> source;
        if (!versions.isEmpty())
            source = std::make_unique<FakeUpdateSource>(versions);
        updater = std::make_unique<UpdaterController>(
            gate.get(), std::move(source), [this] { ++quits; },
            [this](const UpdateItem& item) {
                launched << item.version;
                return true;
            });
    }
    // Lets queued reactions run.
    static void settle() { ManualClock::pump(); }

    SessionHarness h;
    std::unique_ptr<UpdateGate> gate;
    std::unique_ptr<UpdaterController> updater;
    QStringList launched;
    int quits = 0;
};

} // namespace

TEST(UpdateGate, ABackgroundCheckDuringASessionIsRefusedAndRunsOnceAfterIt) {
    Gated g;
    // Idle with nothing owed: the end of a session runs nothing.
    g.h.start();
    g.h.session->stop(false);
    Gated::settle();
    EXPECT_EQ(g.updater->checksRun(), 0);

    g.h.start();
    UpdaterError error;
    EXPECT_FALSE(g.gate->mayPerformUpdateCheck(*g.updater, UpdaterController::Background, &error));
    EXPECT_EQ(error.domain, QStringLiteral("UpdateGate"));
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.description, QStringLiteral("A focus session is in progress."));
    EXPECT_FALSE(g.gate->mayPerformUpdateCheck(*g.updater, UpdaterController::Background, nullptr));
    g.updater->checkForUpdatesInBackground();
    g.updater->checkForUpdatesInBackground();
    EXPECT_EQ(g.updater->checksRun(), 0);

    // Paused is still busy.
    g.h.session->pause();
    Gated::settle();
    EXPECT_EQ(g.updater->checksRun(), 0);
    EXPECT_TRUE(g.gate->deferredCheck());

    g.h.session->stop(false);
    Gated::settle();
    EXPECT_EQ(g.updater->checksRun(), 1);
    EXPECT_FALSE(g.gate->deferredCheck());
    // Later changes find nothing owed.
    g.h.start();
    g.h.session->stop(false);
    Gated::settle();
    EXPECT_EQ(g.updater->checksRun(), 1);

    // The user's own check is never held back.
    g.h.start();
    g.updater->checkForUpdates();
    EXPECT_EQ(g.updater->checksRun(), 2);
    EXPECT_FALSE(g.gate->deferredCheck());
    EXPECT_TRUE(g.launched.isEmpty());
}

// Of two relaunches held back, only the later one runs.
TEST(UpdateGate, ARelaunchWaitsForIdleAndTakesTheWholePass) {
    Gated g({QStringLiteral("2.0"), QStringLiteral("3.0")});
    g.h.start();
    g.updater->checkForUpdatesInBackground(); // refused: a check is owed
    g.updater->checkForUpdates();             // finds 2.0; its relaunch is held back
    g.updater->checkForUpdates();             // finds 3.0, held back in its place
    EXPECT_TRUE(g.launched.isEmpty());
    EXPECT_TRUE(g.gate->hasPendingRelaunch());
    g.h.session->stop(false);
    Gated::settle();
    EXPECT_EQ(g.launched, QStringList{QStringLiteral("3.0")});
    EXPECT_EQ(g.quits, 1);
    // No check in the same pass.
    EXPECT_EQ(g.updater->checksRun(), 2);
    EXPECT_TRUE(g.gate->deferredCheck());
}

TEST(UpdateGate, ARehearsalIsBusyUntilItsIntentionClears) {
    Gated g;
    ASSERT_TRUE(g.h.session->startRehearsal(QStringLiteral("Design the landing page"), 25, nullptr));
    g.updater->checkForUpdatesInBackground();
    EXPECT_EQ(g.updater->checksRun(), 0);
    g.h.session->endRehearsal();
    Gated::settle();
    EXPECT_EQ(g.updater->checksRun(), 1);
}

TEST(UpdateGate, AnOwedCheckIsDroppedWhenTheUpdaterIsGone) {
    Gated g;
    g.h.start();
    g.updater->checkForUpdatesInBackground();
    g.updater.reset();
    g.h.session->stop(false);
    Gated::settle();
    EXPECT_FALSE(g.gate->deferredCheck());
}

TEST(UpdateGate, ARelaunchWaitsForTheWritersOfTheSessionJustEnded) {
    SessionHistory::Options options;
    options.folder = temporaryFolder();
    auto history = std::make_shared<SessionHistory>(options);
    auto recap = std::make_shared<FakeRecapWriter>(QStringLiteral("recap-v2"), QStringLiteral("recap "));
    auto intents = std::make_shared<FakeIntentWriter>(QStringLiteral("history-v1"), QStringLiteral("intent "));
    recap->setHold(true);
    SessionServices services;
    services.history = history;
    services.recapWriter = recap;
    services.intentWriter = intents;
    Gated g({QStringLiteral("2.0")}, services);

    g.h.observer->setEvidence(usableEvidence());
    g.h.judge(ActivityRelevance::Relevant);
    g.h.start(30, QStringLiteral("Write the report"));
    g.h.advance(120);
    g.h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Videos"), QStringLiteral("Cat videos")));
    g.h.judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching cat videos"));
    emit g.h.events.applicationActivated(9, QStringLiteral("org.example.Videos"));
    g.h.advance(120);

    g.updater->checkForUpdates();
    g.h.session->stop(false);
    Gated::settle();
    // The recap writer still waits for its answer: relaunching now would lose its phrases.
    EXPECT_TRUE(g.h.session->backgroundWritersRunning());
    EXPECT_TRUE(g.launched.isEmpty());

    recap->release(0);
    Gated::settle();
    EXPECT_EQ(g.launched, QStringList{QStringLiteral("2.0")});
    const QList<StoredSession> stored = history->allSessions();
    ASSERT_EQ(stored.size(), 1);
    QStringList phrases;
    for (const StoredSegment& segment : stored[0].segments)
        if (segment.kind == QStringLiteral("detour"))
            phrases << segment.phrase;
    ASSERT_FALSE(phrases.isEmpty());
    for (const QString& phrase : phrases)
        EXPECT_TRUE(phrase.startsWith(QStringLiteral("recap "))) << phrase.toStdString();
}

TEST(UpdaterController, WithoutASourceEveryCheckSaysSo) {
    LogCapture logs;
    UpdaterController updater(nullptr, nullptr, [] {});
    EXPECT_FALSE(updater.hasSource());
    updater.checkForUpdates();
    EXPECT_EQ(updater.lastCheckOutcome(), QStringLiteral("no update source"));
    updater.checkForUpdatesInBackground();
    EXPECT_EQ(updater.checksRun(), 2);
    EXPECT_EQ(logs.messages(QStringLiteral("Updater")).count(QStringLiteral("Update check ended: no update source")),
              2);
}

TEST(UpdaterController, ARelaunchStartsTheNewVersionDetachedAndQuits) {
    QTemporaryDir folder;
    const QString marker = folder.filePath(QStringLiteral("relaunched"));
    struct Source final : UpdateSource {
        QString marker;
        QCoro::Task<std::optional<UpdateItem>> findUpdate(QString current) override {
            co_return UpdateItem{QStringLiteral("9.0"),
                                 QStringLiteral("/bin/sh"),
                                 {QStringLiteral("-c"), QStringLiteral("echo \"$0\" > \"$1\""), current, marker}};
        }
    };
    auto source = std::make_unique<Source>();
    source->marker = marker;
    int quits = 0;
    UpdaterController updater(nullptr, std::move(source), [&quits] { ++quits; });
    updater.checkForUpdates();
    EXPECT_EQ(updater.lastCheckOutcome(), QStringLiteral("update 9.0 is ready"));
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker) && QFile(marker).size() > 0; }, 10000));
}
