#include "FullDisk.h"
#include "HistoryTestSupport.h"

#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/historystore/SessionHistory.h"

#include "tavrine/historyview/HistoryText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A store of `sessions` sessions, closed (so its -wal is merged and gone).
void makeStore(const QString& folder, int sessions) {
    SessionHistory history(optionsIn(folder));
    for (int i = 0; i < sessions; ++i)
        history.record(sampleSummary(sessionStart.addSecs(-3600 * (i + 1))), sessionStart);
}

// The folder refuses new files: by its mode, or for root (whom modes do not stop) by the immutable flag.
// Answers false where neither can be had; undoReadOnly gives the folder back.
bool makeFolderReadOnly(const QString& folder) {
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    auto refuses = [&] {
        QFile probe(folder + QStringLiteral("/probe"));
        const bool made = probe.open(QIODevice::WriteOnly);
        if (made)
            probe.remove();
        return !made;
    };
    if (refuses())
        return true;
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);
    return refuses();
}

void undoReadOnly(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The files whose path in the folder starts with `prefix` (a folder in the store's place included), by the rest
// of their path, with their bytes.
QMap<QString, QByteArray> storeFiles(const QString& folder, const QString& prefix) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        if (relative.startsWith(prefix))
            files.insert(relative.mid(prefix.size()), contents(path));
    }
    return files;
}

QString storeNoticeOf(const SessionHistory& history) {
    return storeNotice(history);
}

} // namespace

// Each kind of history file Tavrine may find: what it does with it, what the user is told, and that nothing of
// the old file is changed or lost while this run's session is saved wherever it can be.
TEST(StoreFile, EveryKindOfFileKeepsItsSessionsAndSaysWhatHappened) {
    using Availability = SessionHistory::Availability;
    using Problem = SessionHistory::Status::Problem;
    struct Case {
        const char* name;
        std::function<void(const QString& folder, const QString& path)> make;
        Availability availability;
        Problem problem;
        qint64 shownSessions; // after recording one session of this run
        bool savesThisRun;    // that session reached a file
        const char* notice;   // part of the History window's line
        bool comparesBytes = true;
    };
    // Full for as long as the case runs, once its file is made.
    std::optional<FullDisk> disk;
    const QList<Case> cases = {
        {"garbage header",
         [](const QString&, const QString& path) {
             QByteArray garbage(8192, '\0');
             for (int i = 0; i < garbage.size(); ++i)
                 garbage[i] = char((i * 131 + 7) % 251);
             writeFile(path, garbage);
         },
         Availability::OnDisk, Problem::SetAside, 1, true, "could not be read because it is damaged, so it was moved"},
        {"truncated",
         [](const QString& folder, const QString& path) {
             makeStore(folder, 60);
             QFile file(path);
             ASSERT_TRUE(file.resize(file.size() / 2));
         },
         Availability::OnDisk, Problem::SetAside, 1, true, "could not be read because it is damaged"},
        {"another program's database", [](const QString&, const QString& path) { makeDatabase(path, 0, true); },
         Availability::OnDisk, Problem::SetAside, 1, true,
         "could not be read because it is another program's database"},
        {"damaged pages in the middle",
         [](const QString& folder, const QString& path) {
             makeStore(folder, 60);
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             const qint64 pages = file.size() / 4096;
             ASSERT_GT(pages, 6);
             file.seek(4096 * (pages / 2));
             file.write(QByteArray(4096 * 2, char(0xA5)));
         },
         Availability::OnDisk, Problem::SetAside, 1, true, "could not be read because it is damaged"},
        {"a folder in its place",
         [](const QString&, const QString& path) {
             ASSERT_TRUE(QDir().mkpath(path));
             writeFile(path + QStringLiteral("/inside"), "kept");
         },
         Availability::OnDisk, Problem::SetAside, 1, true, "could not be read because it is a folder, not a file"},
        {"newer schema version",
         [](const QString& folder, const QString& path) {
             makeStore(folder, 2);
             RawConnection raw(path);
             ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA user_version = 2")));
         },
         Availability::ReadOnly, Problem::NewerSchema, 2, false, "newer version of Tavrine, so it is only read"},
        {"read-only folder",
         [](const QString& folder, const QString&) {
             makeStore(folder, 2);
             if (!makeFolderReadOnly(folder))
                 GTEST_SKIP() << "this system lets the test write everywhere";
         },
         Availability::ReadOnly, Problem::ReadOnly, 2, false, "cannot be written (unable to open database file)"},
        {"full disk",
         [&disk](const QString& folder, const QString&) {
             makeStore(folder, 2);
             disk.emplace(folder);
         },
         Availability::OnDisk, Problem::None, 2, false,
         "A session of this run could not be saved yet: database or disk is full.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = temporaryFolder();
        const QString path = folder + QStringLiteral("/History.store");
        c.make(folder, path);
        if (::testing::Test::IsSkipped()) {
            undoReadOnly(folder);
            continue;
        }
        const QMap<QString, QByteArray> before = storeFiles(folder, QStringLiteral("History.store"));
        LogCapture log;
        SessionHistory::Status status;
        bool deleted = false;
        {
            SessionHistory history(optionsIn(folder));
            const SessionSummary summary = sampleSummary(sessionStart.addSecs(600));
            ASSERT_TRUE(history.record(summary, sessionStart)) << "this run's session always gets its identity";
            status = history.status();
            EXPECT_EQ(history.availability(), c.availability);
            EXPECT_EQ(status.problem, c.problem);
            EXPECT_EQ(history.sessionCount(), c.shownSessions);
            EXPECT_EQ(history.pendingCount(), c.savesThisRun ? 0 : 1);
            const QString notice = storeNoticeOf(history);
            EXPECT_TRUE(notice.contains(QString::fromUtf8(c.notice))) << notice.toStdString();
            // SQLite's words (its integrity report runs to many lines) are for the log, never for the window.
            EXPECT_FALSE(notice.contains(QLatin1Char('\n')) || notice.contains(QStringLiteral("integrity")) ||
                         notice.contains(QStringLiteral("malformed")) ||
                         notice.contains(QStringLiteral("database disk")))
                << notice.toStdString();
            EXPECT_EQ(history.unsavedReason(summary.startedAt).isEmpty(), c.savesThisRun);
            if (c.availability != Availability::OnDisk) {
                EXPECT_FALSE(history.deleteAll().deleted) << "a history that cannot be written is not cleared";
            }
            // A session of the file goes where this run's could be saved, and is otherwise said not to.
            const QUuid shown = history.sessionsWithoutSegments(0, 1).value(0).sessionID;
            deleted = history.deleteSession(shown);
            EXPECT_EQ(deleted, c.savesThisRun);
            EXPECT_EQ(history.find(shown).has_value(), !deleted);
            EXPECT_EQ(storeNotice(history).contains(QStringLiteral("The session could not be deleted: ")), !deleted)
                << storeNotice(history).toStdString();
        }
        disk.reset();
        undoReadOnly(folder);
        const QStringList messages = log.messages(QStringLiteral("History"));
        EXPECT_EQ(std::count_if(messages.cbegin(), messages.cend(),
                                [](const QString& m) { return m.startsWith(QStringLiteral("History lost session ")); }),
                  c.savesThisRun ? 0 : 1);

        if (c.problem == Problem::SetAside) {
            ASSERT_TRUE(status.movedTo.startsWith(path + QStringLiteral(".unreadable-")))
                << status.movedTo.toStdString();
            EXPECT_EQ(storeFiles(folder, QFileInfo(status.movedTo).fileName()), before)
                << "set aside whole and unchanged";
            RawConnection fresh(path);
            EXPECT_EQ(fresh.number(QStringLiteral("SELECT count(*) FROM session")), deleted ? 0 : 1);
        } else if (c.comparesBytes) {
            // Reading may leave SQLite's index of an empty -wal beside the file; what was there stays as it was.
            const QMap<QString, QByteArray> after = storeFiles(folder, QStringLiteral("History.store"));
            for (auto file = before.cbegin(); file != before.cend(); ++file)
                EXPECT_EQ(after.value(file.key()), file.value())
                    << "changed in place: History.store" << file.key().toStdString();
        } else {
            RawConnection raw(path);
            EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM session")), c.shownSessions);
        }
    }
}

TEST(StoreFile, AFileCheckedInTheBackgroundLetsSessionsWaitForIt) {
    const QString folder = temporaryFolder();
    writeFile(folder + QStringLiteral("/History.store"), QByteArray(8192, 'x'));
    SessionHistory::Options options = optionsIn(folder);
    options.checkInBackground = true;
    SessionHistory history(options);
    QSignalSpy changed(&history, &SessionHistory::changed);
    history.open();
    ASSERT_EQ(history.availability(), SessionHistory::Availability::Checking);
    EXPECT_EQ(history.sessionCount(), 0);
    const SessionSummary summary = sampleSummary();
    const auto id = history.record(summary, sessionStart);
    EXPECT_EQ(history.pendingCount(), 1);
    EXPECT_TRUE(history.unsavedReason(summary.startedAt).isEmpty()) << "waiting for the check is no failure";
    EXPECT_TRUE(history.savesSessions());

    ASSERT_TRUE(waitUntil([&] { return history.availability() != SessionHistory::Availability::Checking; }));
    EXPECT_EQ(history.status().problem, SessionHistory::Status::Problem::SetAside);
    EXPECT_EQ(history.pendingCount(), 0);
    EXPECT_TRUE(history.find(*id));
    EXPECT_GE(changed.count(), 1) << "the list reads again once the file is open";
}

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

// Whether another process finds a lock on some byte of the file: a reader elsewhere that finds none takes the
// -shm for unused and clears it.
bool lockedForAnotherProcess(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const bool found = fd >= 0 && ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::_exit(found ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(StoreFile, AnotherProcessFindsTheOpenStoreInUse) {
    const QString folder = temporaryFolder();
    std::optional<SessionHistory> history(std::in_place, optionsIn(folder));
    const QString shm = history->storePath() + QStringLiteral("-shm");
    history->record(sampleSummary(), sessionStart);
    EXPECT_TRUE(lockedForAnotherProcess(shm)) << "after opening and the first write";
    EXPECT_EQ(history->sessions(0, 10).size(), 1);
    history->record(sampleSummary(sessionStart.addDays(1)), sessionStart.addDays(1));
    EXPECT_TRUE(lockedForAnotherProcess(shm)) << "after a read and a later write";
    history.reset();
    EXPECT_FALSE(QFile::exists(shm) && lockedForAnotherProcess(shm)) << "let go once closed";
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
    EXPECT_EQ(history.status().problem, SessionHistory::Status::Problem::None);
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
                    .contains(QStringLiteral("History lost session %1: refused").arg(idText)));
}

// Nothing to read or write: the session waits in memory for a later attempt, and the user is told.
TEST(StoreFile, AStoreThatCannotBeOpenedLeavesSessionsWaiting) {
    struct Case {
        const char* name;
        bool blockedFolder; // else no database driver
        const char* reason;
    };
    const QList<Case> cases = {
        {"no database driver", false, "database driver QNOSUCHDRIVER not available"},
        {"a folder that cannot be made", true, "cannot be made"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        SessionHistory::Options options = optionsIn(temporaryFolder());
        if (c.blockedFolder) {
            writeFile(options.folder + QStringLiteral("/file"), "not a folder");
            options.folder += QStringLiteral("/file/inside");
        } else {
            options.driver = QStringLiteral("QNOSUCHDRIVER");
        }
        SessionHistory history(options);
        const SessionSummary summary = sampleSummary();
        EXPECT_TRUE(history.record(summary, sessionStart));
        EXPECT_EQ(history.availability(), SessionHistory::Availability::Unavailable);
        EXPECT_EQ(history.pendingCount(), 1);
        EXPECT_TRUE(history.unsavedReason(summary.startedAt).contains(QString::fromUtf8(c.reason)))
            << history.unsavedReason(summary.startedAt).toStdString();
        EXPECT_TRUE(storeNoticeOf(history).contains(QStringLiteral("this run's sessions are not saved")));
        history.updatePhrases(QUuid::createUuid(), summary);
        EXPECT_FALSE(history.deleteAll().deleted);
        EXPECT_EQ(history.sessionCount(), 0);
        EXPECT_TRUE(anyMessageStartsWith(log.messages(QStringLiteral("History")),
                                         QStringLiteral("History store unavailable ")));
    }
}

TEST(StoreFile, APageThatCannotBeReadComesBackEmpty) {
    const QString folder = temporaryFolder();
    SessionHistory history(optionsIn(folder));
    const auto id = history.record(sampleSummary(), sessionStart);
    ASSERT_TRUE(id);
    EXPECT_EQ(history.sessions(0, 10).size(), 1);
    RawConnection raw(folder + QStringLiteral("/History.store"));
    ASSERT_TRUE(raw.exec(QStringLiteral("ALTER TABLE segment RENAME TO damaged")));
    EXPECT_EQ(history.sessionCount(), 1);
    EXPECT_TRUE(history.sessions(0, 10).isEmpty());
    EXPECT_FALSE(history.find(*id));
    // Statements prepared before the damage read again once it is mended.
    ASSERT_TRUE(raw.exec(QStringLiteral("ALTER TABLE damaged RENAME TO segment")));
    EXPECT_EQ(history.sessions(0, 10).size(), 1);
    EXPECT_TRUE(history.find(*id));
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

TEST(StoreFile, ALockedFileIsLeftInPlaceAndTheSessionSavedOnceItIsFree) {
    const QString folder = temporaryFolder();
    makeStore(folder, 1);
    LogCapture log;
    const QString path = folder + QStringLiteral("/History.store");
    {
        SessionHistory history(optionsIn(folder));
        {
            // Another program holds the file; SQLite waits its few seconds for it, then gives up.
            RawConnection holder(path);
            ASSERT_TRUE(holder.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")));
            ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            history.record(sampleSummary(), sessionStart);
            EXPECT_EQ(history.availability(), SessionHistory::Availability::Unavailable);
            EXPECT_EQ(history.status().reason, QStringLiteral("database is locked"));
            EXPECT_EQ(history.pendingCount(), 1);
            holder.exec(QStringLiteral("ROLLBACK"));
        }
        EXPECT_TRUE(QFile::exists(path)) << "a busy file is never moved";
    }
    RawConnection raw(path);
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM session")), 2) << "written at quit";
    EXPECT_FALSE(anyMessageStartsWith(log.messages(QStringLiteral("History")), QStringLiteral("History lost ")));
}
