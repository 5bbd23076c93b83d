#include "tavrine/shell/SingleInstanceGuard.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
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

TEST(SingleInstanceGuard, DropsAClientThatSendsNoShortLine) {
    struct Case {
        const char* name;
        QByteArray sent;
    };
    const QList<Case> cases{
        {"silent", {}},
        {"a line without its end", QByteArray(1 << 20, 'x')},
        {"the command after a long prefix", QByteArray(100, 'x') + "open\n"},
        {"the command without its end", "open"},
    };
    QTemporaryDir folder;
    SingleInstanceGuard primary(folder.path());
    ASSERT_TRUE(primary.tryBecomePrimary());
    ASSERT_TRUE(primary.listen());
    QSignalSpy opens(&primary, &SingleInstanceGuard::openRequested);
    for (const Case& c : cases) {
        QLocalSocket client;
        client.connectToServer(primary.socketPath());
        ASSERT_TRUE(client.waitForConnected(5000)) << c.name;
        client.write(c.sent);
        QDeadlineTimer patience(10000);
        while (client.state() != QLocalSocket::UnconnectedState && !patience.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(client.state(), QLocalSocket::UnconnectedState) << c.name;
        EXPECT_FALSE(client.canReadLine()) << c.name;
    }
    EXPECT_EQ(opens.count(), 0);
}
