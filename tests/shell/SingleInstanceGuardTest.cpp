#include "tavrine/shell/SingleInstanceGuard.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <gtest/gtest.h>

using namespace tavrine::shell;

TEST(SingleInstanceGuard, OnlyOneHolderAtATimeAndNoAnswerWhenItDoesNotListen) {
    QTemporaryDir folder;
    SingleInstanceGuard first(folder.path());
    SingleInstanceGuard second(folder.path());
    EXPECT_TRUE(first.tryBecomePrimary());
    EXPECT_FALSE(second.tryBecomePrimary());
    EXPECT_EQ(second.requestOpen(300), SingleInstanceGuard::Answer::NoAnswer);
}

TEST(SingleInstanceGuard, TheLockOfAProcessThatIsGoneIsTakenOver) {
    QTemporaryDir folder;
    SingleInstanceGuard guard(folder.path());
    // A lock file as a crashed Tavrine leaves it: a process id nobody has any more.
    QProcess gone;
    gone.start(QStringLiteral("/bin/sleep"), {QStringLiteral("0.05")});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    QByteArray contents;
    {
        QLockFile own(guard.lockPath());
        ASSERT_TRUE(own.tryLock(0));
        QFile written(guard.lockPath());
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        contents = written.readAll();
    }
    contents = QByteArray::number(pid) + contents.mid(contents.indexOf('\n'));
    QFile lock(guard.lockPath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(contents);
    lock.close();
    EXPECT_TRUE(guard.tryBecomePrimary());
}

TEST(SingleInstanceGuard, ASecondLaunchAsksThePrimaryToOpen) {
    QTemporaryDir folder;
    SingleInstanceGuard primary(folder.path());
    ASSERT_TRUE(primary.tryBecomePrimary());
    ASSERT_TRUE(primary.listen());
    QSignalSpy opens(&primary, &SingleInstanceGuard::openRequested);

    // The secondary blocks while it waits, as it does in a launch: it runs beside the primary's event loop.
    SingleInstanceGuard secondary(folder.path());
    ASSERT_FALSE(secondary.tryBecomePrimary());
    auto answer = QtConcurrent::run([&secondary] { return secondary.requestOpen(5000); });
    while (!answer.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(answer.result(), SingleInstanceGuard::Answer::Opened);
    EXPECT_EQ(opens.count(), 1);
}
