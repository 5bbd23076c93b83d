// The rehearsal's real web player under the X11 fixture: its process, the web view embedded in the video page's
// window, the page and its bridge, against a fake of the video site's embed API on 127.0.0.1.
#include "fakes/FakeVideoEmbed.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/PlayerProcess.h"
#include "tavrine/onboarding/PlayerProcessPage.h"
#include "tavrine/onboarding/RehearsalPlayer.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

const QString detourId = QStringLiteral("Detour_0001");
const QString tutorialId = QStringLiteral("Tutorial-02");

struct Event {
    QString name;
    std::optional<qint64> value;
};

// Our own processes below this one whose command line holds `marker` (the player, the web engine's helpers).
QStringList descendantsWith(const QByteArray& marker) {
    QHash<qint64, qint64> parents;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // "pid (comm) state ppid …": the command may hold spaces and parentheses.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        parents.insert(pid, fields.value(1).toLongLong());
    }
    QStringList found;
    for (auto it = parents.begin(); it != parents.end(); ++it) {
        qint64 up = it.value();
        while (up > 1 && up != ::getpid())
            up = parents.value(up, 0);
        if (up != ::getpid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(it.key()));
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QByteArray line = cmdline.readAll().replace('\0', ' ');
            if (line.contains(marker))
                found << QString::fromLocal8Bit(line);
        }
    }
    return found;
}

QString xwininfo(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xwininfo"), arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

// The viewable windows right inside `window`, as the X server places them.
QList<QRect> viewableChildren(WId window) {
    QList<QRect> found;
    const QString tree = xwininfo({QStringLiteral("-children"), QStringLiteral("-id"), QString::number(window)});
    static const QRegularExpression childLine(QStringLiteral(R"(^\s+(0x[0-9a-f]+) )"),
                                              QRegularExpression::MultilineOption);
    for (auto match = childLine.globalMatch(tree); match.hasNext();) {
        const QString info = xwininfo({QStringLiteral("-id"), match.next().captured(1)});
        const auto field = [&](const char* name) {
            const QRegularExpression line(QStringLiteral(R"(%1:\s+(-?\d+))").arg(QLatin1String(name)));
            return line.match(info).captured(1).toInt();
        };
        if (info.contains(QLatin1String("IsViewable")))
            found << QRect(field("Relative upper-left X"), field("Relative upper-left Y"), field("Width"),
                           field("Height"));
    }
    return found;
}

// Every complaint of the web channel about a message for an object it no longer knows, which means the page
// still called the bridge after it was taken away. Installed over the QML warnings' handler and passing all on.
class ChannelComplaints {
public:
    ChannelComplaints() {
        seen.clear();
        previous = qInstallMessageHandler(handle);
    }
    ~ChannelComplaints() { qInstallMessageHandler(previous); }
    QStringList lines() const {
        QMutexLocker lock(&mutex);
        return seen;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (message.contains(QLatin1String("Unknown object encountered"))) {
            QMutexLocker lock(&mutex);
            seen << message;
        }
        previous(type, context, message);
    }
    static inline QtMessageHandler previous = nullptr;
    static inline QMutex mutex;
    static inline QStringList seen;
};

struct KeyPresses : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::KeyPress;
        return false;
    }
};

// One real player on its video page, shown in a window, against the fake site.
class WebPlayerX11Test : public ::testing::Test {
protected:
    void start(FakeVideoEmbed::Clip detour, FakeVideoEmbed::Clip tutorial) {
        ASSERT_TRUE(embed.listen());
        embed.setClip(detourId, detour);
        embed.setClip(tutorialId, tutorial);
        auto page = std::make_unique<PlayerProcessPage>(embed.origin(), embed.apiUrl());
        ASSERT_NE(page->processId(), 0) << "the player's process did not start";
        player = std::make_unique<RehearsalPlayer>(std::move(page), clock, RehearsalClipIdentifiers{detourId, tutorialId});
        player->setOnEvent([this](const QString& name, std::optional<qint64> value) { events.append({name, value}); });
        root = h.create(ui::componentUrl("Tavrine.Onboarding", "VideoPage"),
                        {{"player", QVariant::fromValue<QObject*>(player.get())}, {"reduceMotion", true}});
        ASSERT_TRUE(root);
        window = showInWindow(qobject_cast<QQuickItem*>(root.get()), 1200, 760);
        qobject_cast<QQuickItem*>(root.get())->setSize(QSizeF(window->size()));
        ASSERT_TRUE(waitUntil([&] { return player->isReady(); }, 30)) << "the page never reported ready";
        // The player's window shows inside the page's window, exactly over the player's area.
        EXPECT_TRUE(waitUntil([&] { return viewableChildren(window->winId()) == QList<QRect>{playerArea()}; }, 15))
            << QDebug::toString(viewableChildren(window->winId())).toStdString() << " over "
            << QDebug::toString(playerArea()).toStdString();
    }

    bool waitForCall(const QString& name, qsizetype count = 1) {
        return waitUntil([&] { return embed.callNames().count(name) >= count; }, 15);
    }
    QList<EmbedCall> callsNamed(const QString& name) const {
        QList<EmbedCall> out;
        for (const EmbedCall& call : embed.calls())
            if (call.name == name)
                out << call;
        return out;
    }
    std::optional<Event> lastEvent(const QString& name) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->name == name)
                return *it;
        return std::nullopt;
    }
    qsizetype stateEvents() const {
        return std::count_if(events.begin(), events.end(), [](const Event& e) { return e.name == "state"; });
    }
    QQuickItem* poster() const { return findItem(root.get(), "rehearsalVideoPoster"); }
    // The player's area in the window, where its embedded window must be.
    QRect playerArea() const {
        QQuickItem* area = findItem(root.get(), "rehearsalPlayerArea");
        return area ? area->mapRectToScene(area->boundingRect()).toAlignedRect() : QRect();
    }

    void TearDown() override {
        window.reset();
        root.reset();
        player.reset();
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join("\n").toStdString();
        EXPECT_TRUE(complaints.lines().isEmpty()) << complaints.lines().join("\n").toStdString();
    }

    QmlHarness h;
    ChannelComplaints complaints;
    FakeVideoEmbed embed;
    ManualClock clock;
    std::unique_ptr<RehearsalPlayer> player;
    std::unique_ptr<QObject> root;
    std::unique_ptr<QQuickWindow> window;
    QList<Event> events;
};

TEST_F(WebPlayerX11Test, CuesMutedPlaysTheTutorialAndFallsSilentAfterTeardown) {
    start(FakeVideoEmbed::Clip::textState, FakeVideoEmbed::Clip::plays);
    // The page's calls travel apart from its events: each check waits for the calls it reads.
    ASSERT_TRUE(waitForCall("Player"));
    const QList<EmbedCall> made = callsNamed("Player");
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(made[0].args[1].toObject()["playerVars"].toObject()["origin"].toString(), embed.origin().toString());
    EXPECT_EQ(embed.scriptsServed(), 1);

    // A key pressed with the pointer over the player reaches the page's window, not the player's.
    KeyPresses keys;
    window->installEventFilter(&keys);
    window->requestActivate();
    ASSERT_TRUE(waitUntil([&] { return window->isActive(); }));
    const QPoint over = window->mapToGlobal(playerArea().center());
    QProcess::execute("xdotool", {"mousemove", QString::number(over.x()), QString::number(over.y()), "key", "x"});
    EXPECT_TRUE(waitUntil([&] { return keys.count > 0; }));

    // The detour is cued at 40, muted, not played.
    player->setCurrent(RehearsalVideo::Detour, false);
    ASSERT_TRUE(waitUntil([&] { return embed.calls().size() >= 4; }, 15));
    EXPECT_EQ(embed.callNames().mid(1), (QStringList{"setVolume", "mute", "cueVideoById"}));
    EXPECT_EQ(callsNamed("setVolume")[0].args, QJsonArray{0});
    EXPECT_EQ(callsNamed("cueVideoById")[0].args[0].toObject(),
              (QJsonObject{{"videoId", detourId}, {"startSeconds", 40}}));
    ASSERT_TRUE(waitUntil([&] { return lastEvent("state").has_value(); }));
    EXPECT_EQ(lastEvent("state")->value, 5);

    // A state of "1" as text arrives without a value: not playing.
    player->play();
    ASSERT_TRUE(waitUntil([&] { return stateEvents() == 2; }, 15));
    EXPECT_EQ(lastEvent("state")->value, std::nullopt);
    EXPECT_FALSE(player->isPlaying());
    ASSERT_TRUE(waitUntil([&] { return embed.calls().size() >= 7; }));
    EXPECT_EQ(embed.callNames().mid(4), (QStringList{"setVolume", "mute", "playVideo"}));
    EXPECT_TRUE(callsNamed("unMute").isEmpty());

    // The tutorial loads at 20 and reaches state 1, which arrives as a whole number and stops the watchdog.
    player->setCurrent(RehearsalVideo::Tutorial, true);
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }, 15));
    ASSERT_TRUE(waitForCall("loadVideoById"));
    EXPECT_EQ(callsNamed("loadVideoById").value(0).args.at(0).toObject(),
              (QJsonObject{{"videoId", tutorialId}, {"startSeconds", 20}}));
    EXPECT_EQ(lastEvent("state")->value, 1);
    EXPECT_FALSE(player->watchdogArmed());
    EXPECT_FALSE(player->unavailable());

    player->pause();
    ASSERT_TRUE(waitUntil([&] { return !player->isPlaying(); }));
    ASSERT_TRUE(waitForCall("pauseVideo"));
    EXPECT_EQ(lastEvent("state")->value, 2);

    // Playing again, then teardown at once: the page's answers to that play never arrive, and nothing is called.
    // The player's process ends after the teardown, without holding the interface, and every helper of the web
    // engine follows it.
    ASSERT_FALSE(descendantsWith("--type=renderer").isEmpty()) << "the check would see a renderer";
    player->play();
    player->teardown();
    EXPECT_TRUE(waitUntil([] { return descendantsWith(PlayerProcess::argument).isEmpty(); }, 10));
    const qsizetype eventsAtTeardown = events.size();
    const qsizetype callsAtTeardown = embed.calls().size();
    player->setCurrent(RehearsalVideo::Detour, true);
    player->play();
    player->pause();
    QTest::qWait(800);
    EXPECT_EQ(events.size(), eventsAtTeardown);
    // At most the play asked for before teardown reached the page.
    const QStringList play{"setVolume", "mute", "playVideo"};
    EXPECT_EQ(embed.callNames().mid(callsAtTeardown), play.mid(0, embed.calls().size() - callsAtTeardown));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_TRUE(player->isReady());
    EXPECT_TRUE(waitUntil([] { return descendantsWith("--type=").isEmpty(); }, 20))
        << descendantsWith("--type=").join("\n").toStdString();
}

TEST_F(WebPlayerX11Test, ARefusedClipShowsThePosterAtOnceAndAStalledOneAfterSixClockSeconds) {
    start(FakeVideoEmbed::Clip::refused, FakeVideoEmbed::Clip::stalls);
    EXPECT_FALSE(poster());

    player->setCurrent(RehearsalVideo::Detour, true);
    ASSERT_TRUE(waitUntil([&] { return player->unavailable(); }, 15));
    EXPECT_EQ(lastEvent("error")->value, 150);
    EXPECT_TRUE(waitUntil([&] { return poster() != nullptr; }));
    // Nothing of the page shows over the poster once it covers the player.
    EXPECT_TRUE(waitUntil([&] { return viewableChildren(window->winId()).isEmpty(); }, 15));

    player->setCurrent(RehearsalVideo::Tutorial, true);
    EXPECT_FALSE(player->unavailable());
    ASSERT_TRUE(waitForCall("loadVideoById", 2));
    ASSERT_TRUE(waitUntil([&] { return lastEvent("state").has_value(); }));
    EXPECT_EQ(lastEvent("state")->value, -1);
    clock.advance(5.9);
    EXPECT_FALSE(player->unavailable());
    clock.advance(0.1);
    EXPECT_TRUE(player->unavailable());
    EXPECT_TRUE(waitUntil([&] { return poster() != nullptr && poster()->property("video").toInt() == 1; }));
    player->teardown();
}

// The player's process prepares the web engine: as root it logs why the sandbox is off, and only then. Its input
// closed at once, it ends on its own.
TEST(WebEngineStartup, RootRunsWithoutTheSandboxAndSaysSo) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(PlayerProcess::argument)});
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError() + child.readAllStandardOutput());
    const bool logged = errors.contains("Running as root: the web video player runs without its sandbox");
    EXPECT_EQ(logged, ::geteuid() == 0) << errors.toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
}

} // namespace
