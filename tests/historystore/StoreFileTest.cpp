#include "HistoryTestSupport.h"

#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/historystore/SessionHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

SessionHistory::Options optionsIn(const QString& folder) {
    SessionHistory::Options options;
    options.folder = folder;
    return options;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool anyMessageStartsWith(const QStringList& messages, const QString& prefix) {
    return std::any_of(messages.cbegin(), messages.cend(), [&](const QString& m) { return m.startsWith(prefix); });
}

// Makes a SQLite file with the given user_version and, optionally, a table of someone else's.
void makeDatabase(const QString& path, int version, bool foreignTable) {
    RawConnection raw(path);
    ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TABLE %1 (x)").arg(foreignTable ? "notes" : "session")));
    ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)));
}

// Opening a file that cannot be used: left byte for byte as it was, history in memory, a flag for a notice.
void expectKeptAside(const QString& folder) {
    const QString path = folder + QStringLiteral("/History.store");
    const QByteArray before = contents(path);
    LogCapture log;
    {
        SessionHistory history(optionsIn(folder));
        QSignalSpy availability(&history, &SessionHistory::availabilityChanged);
        const auto id = history.record(sampleSummary(), sessionStart);
        EXPECT_TRUE(id) << "sessions are still recorded, in memory";
        EXPECT_EQ(history.availability(), SessionHistory::Availability::InMemory);
        EXPECT_TRUE(history.keptUnreadableStore());
        EXPECT_EQ(availability.count(), 1);
        EXPECT_EQ(history.sessionCount(), 1);
        // The kept file still holds its sessions: clearing only this run's would claim a clear history.
        const SessionHistory::DeleteAllResult cleared = history.deleteAll();
        EXPECT_FALSE(cleared.deleted);
        EXPECT_TRUE(cleared.failure.contains(QStringLiteral("could not be read"))) << cleared.failure.toStdString();
        EXPECT_EQ(history.sessionCount(), 1);
    }
    EXPECT_EQ(contents(path), before);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
    EXPECT_TRUE(
        anyMessageStartsWith(log.messages(QStringLiteral("History")), QStringLiteral("History store unavailable ")));
}

} // namespace

TEST(StoreFile, OpensLazilyWithOwnerOnlyPermissions) {
    const QString folder = temporaryFolder() + QStringLiteral("/support/com.dravolence.tavrine");
    SessionHistory history(optionsIn(folder));
    EXPECT_EQ(history.availability(), SessionHistory::Availability::Closed);
    EXPECT_FALSE(QFileInfo::exists(folder)) << "nothing is touched before the first use";

    history.record(sampleSummary(), sessionStart);
    const QFileDevice::Permissions ownerOnlyFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                                     QFileDevice::WriteUser | QFileDevice::ExeUser;
    const QFileDevice::Permissions ownerOnlyFile =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
    EXPECT_EQ(QFileInfo(folder).permissions(), ownerOnlyFolder);
    EXPECT_EQ(QFileInfo(history.storePath()).permissions(), ownerOnlyFile);
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString companion = history.storePath() + QLatin1String(suffix);
        if (QFile::exists(companion)) {
            EXPECT_EQ(QFileInfo(companion).permissions(), ownerOnlyFile) << suffix;
        }
    }
}

TEST(StoreFile, DefaultsToTheApplicationSupportFolder) {
    SessionHistory history;
    EXPECT_EQ(history.storePath(),
              qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/com.dravolence.tavrine/History.store"));
    history.record(sampleSummary(), sessionStart);
    EXPECT_TRUE(QFile::exists(history.storePath()));
    EXPECT_EQ(history.availability(), SessionHistory::Availability::OnDisk);
}

TEST(StoreFile, AnEmptyFileBecomesAStore) {
    const QString folder = temporaryFolder();
    writeFile(folder + QStringLiteral("/History.store"), {});
    SessionHistory history(optionsIn(folder));
    EXPECT_TRUE(history.record(sampleSummary(), sessionStart));
    EXPECT_EQ(history.availability(), SessionHistory::Availability::OnDisk);
    EXPECT_FALSE(history.keptUnreadableStore());
}

TEST(StoreFile, AFileThatIsNotSQLiteIsLeftAlone) {
    const QString folder = temporaryFolder();
    QByteArray garbage(8192, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131 + 7) % 251);
    writeFile(folder + QStringLiteral("/History.store"), garbage);
    expectKeptAside(folder);
}

TEST(StoreFile, ANewerSchemaIsLeftAlone) {
    const QString folder = temporaryFolder();
    makeDatabase(folder + QStringLiteral("/History.store"), 2, false);
    expectKeptAside(folder);
}

TEST(StoreFile, SomeoneElsesDatabaseIsLeftAlone) {
    const QString folder = temporaryFolder();
    makeDatabase(folder + QStringLiteral("/History.store"), 0, true);
    expectKeptAside(folder);
}

TEST(StoreFile, AFailedSaveIsRolledBackKeptAndWrittenLater) {
    const QString folder = temporaryFolder();
    LogCapture log;
    SessionHistory history(optionsIn(folder));
    history.open();
    RawConnection raw(history.storePath());
    // Refuses the third segment of a recording: the session row and two segments are already written when
    // the save fails.
    ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON segment WHEN NEW.ordinal = 2 "
                                        "BEGIN SELECT RAISE(ABORT, 'refused for the test'); END")));

    QSignalSpy changed(&history, &SessionHistory::changed);
    const SessionSummary summary = sampleSummary();
    const auto id = history.record(summary, sessionStart);
    ASSERT_TRUE(id) << "the session is kept and will be written";
    EXPECT_EQ(history.pendingCount(), 1);
    EXPECT_EQ(history.sessionCount(), 0) << "nothing unsaved is shown as saved";
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM session")), 0);
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM segment")), 0) << "no half-written session";
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(anyMessageStartsWith(log.messages(QStringLiteral("History")), QStringLiteral("History save failed ")));

    // The writers' answers reach the waiting session.
    SessionSummary written = summary;
    written.timeline.segments[0].phrase = QStringLiteral("Outlined the report");
    written.timeline.segments[2].intent = QStringLiteral("Reddit");
    history.updatePhrases(*id, written);
    history.updateIntents(*id, written);
    EXPECT_EQ(history.pendingCount(), 1);

    ASSERT_TRUE(raw.exec(QStringLiteral("DROP TRIGGER refuse")));
    log.clear();
    const auto next = history.record(sampleSummary(sessionStart.addSecs(3600)), sessionStart);
    EXPECT_EQ(history.pendingCount(), 0);
    EXPECT_EQ(history.sessionCount(), 2);
    const auto stored = history.find(*id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->segments.size(), 3);
    EXPECT_EQ(stored->segments[0].phrase, QStringLiteral("Outlined the report"));
    EXPECT_EQ(stored->segments[1].intent, QStringLiteral("Reddit"));
    EXPECT_TRUE(history.find(*next));
    EXPECT_TRUE(
        anyMessageStartsWith(log.messages(QStringLiteral("History")), QStringLiteral("History wrote kept session ")));
}

TEST(StoreFile, ASessionThatCannotBeWrittenByQuitIsReported) {
    const QString folder = temporaryFolder();
    LogCapture log;
    std::optional<QUuid> id;
    {
        SessionHistory history(optionsIn(folder));
        history.open();
        RawConnection raw(history.storePath());
        ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON session "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        id = history.record(sampleSummary(), sessionStart);
        // Deleting a waiting session drops it: it must never reappear.
        history.deleteSession(*id);
        EXPECT_EQ(history.pendingCount(), 0);
        id = history.record(sampleSummary(), sessionStart);
        EXPECT_EQ(history.pendingCount(), 1);
    }
    const QString idText = id->toString(QUuid::WithoutBraces).toUpper();
    EXPECT_TRUE(log.messages(QStringLiteral("History"))
                    .contains(QStringLiteral("History lost session %1: it could not be written").arg(idText)));
}

TEST(StoreFile, APageThatCannotBeReadComesBackEmpty) {
    const QString folder = temporaryFolder();
    SessionHistory history(optionsIn(folder));
    const auto id = history.record(sampleSummary(), sessionStart);
    ASSERT_TRUE(id);
    RawConnection raw(folder + QStringLiteral("/History.store"));
    ASSERT_TRUE(raw.exec(QStringLiteral("ALTER TABLE segment RENAME TO damaged")));
    EXPECT_EQ(history.sessionCount(), 1);
    EXPECT_TRUE(history.sessions(0, 10).isEmpty());
    EXPECT_FALSE(history.find(*id));
}

TEST(StoreFile, HistoryIsOffWhenNothingCanBeOpened) {
    LogCapture log;
    SessionHistory::Options options = optionsIn(temporaryFolder());
    options.driver = QStringLiteral("QNOSUCHDRIVER");
    SessionHistory history(options);
    EXPECT_FALSE(history.record(sampleSummary(), sessionStart));
    EXPECT_EQ(history.availability(), SessionHistory::Availability::Off);
    EXPECT_FALSE(history.keptUnreadableStore()) << "no file was found unreadable";
    history.updatePhrases(QUuid::createUuid(), sampleSummary());
    EXPECT_FALSE(history.deleteAll().deleted);
    EXPECT_EQ(history.sessionCount(), 0);
    EXPECT_TRUE(history.allSessions().isEmpty());
    const QStringList messages = log.messages(QStringLiteral("History"));
    EXPECT_TRUE(anyMessageStartsWith(messages, QStringLiteral("History store unavailable ")));
    EXPECT_TRUE(anyMessageStartsWith(messages, QStringLiteral("An in-memory history store could not be made: ")));
}

TEST(StoreFile, AFolderThatCannotBeMadeFallsBackToMemory) {
    const QString blocker = temporaryFolder() + QStringLiteral("/file");
    writeFile(blocker, "not a folder");
    SessionHistory history(optionsIn(blocker + QStringLiteral("/inside")));
    EXPECT_TRUE(history.record(sampleSummary(), sessionStart));
    EXPECT_EQ(history.availability(), SessionHistory::Availability::InMemory);
    EXPECT_FALSE(history.keptUnreadableStore());
}

TEST(StoreFile, AClearThatTheStoreRefusesKeepsEverySessionAndSaysWhy) {
    const QString folder = temporaryFolder();
    LogCapture log;
    SessionHistory history(optionsIn(folder));
    history.record(sampleSummary(), sessionStart);
    RawConnection raw(history.storePath());
    ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON session "
                                        "BEGIN SELECT RAISE(ABORT, 'refused for the test'); END")));
    // A session waiting to be written stays waiting.
    ASSERT_TRUE(raw.exec(QStringLiteral("CREATE TRIGGER refuseInsert BEFORE INSERT ON session "
                                        "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    history.record(sampleSummary(sessionStart.addSecs(60)), sessionStart);
    ASSERT_EQ(history.pendingCount(), 1);
    QSignalSpy changed(&history, &SessionHistory::changed);

    const SessionHistory::DeleteAllResult cleared = history.deleteAll();
    EXPECT_FALSE(cleared.deleted);
    EXPECT_TRUE(cleared.failure.contains(QStringLiteral("refused for the test"))) << cleared.failure.toStdString();
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM session")), 1);
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM segment")), 3) << "the delete was rolled back whole";
    EXPECT_EQ(history.pendingCount(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(anyMessageStartsWith(log.messages(QStringLiteral("History")), QStringLiteral("History clear failed ")));

    ASSERT_TRUE(raw.exec(QStringLiteral("DROP TRIGGER refuse")));
    EXPECT_TRUE(history.deleteAll().deleted);
    EXPECT_EQ(history.pendingCount(), 0);
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM session")), 0);
}
