// A timed run of the rehearsal's video page with its poster animating, in a window on the X display, as the
// stage shows it when no clip can play. After a warm-up it measures for a while and prints the CPU seconds per
// wall second and the resident memory of this process and of the processes below it (the web engine's).
// With --web the real web player is made too (its page loaded without the site's script, so the poster comes
// after the six-second watchdog); the difference between the two runs is what the web engine adds.
// --still runs it as under reduce motion: no zoom, the scrubber paused. Then the page and the player are let go,
// as when the rehearsal ends, and 5 s later the processes still below this one are counted.
// Usage: video_page_load [--web] [--still] [seconds]   (default 20 s, after 10 s of warm-up)
#include "ProcessTree.h"
#include "tavrine/core/Clock.h"
#include "tavrine/onboarding/RehearsalPlayer.h"
#include "tavrine/onboarding/WebPlayerPage.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// A page that is ready at once: with no clip configured the poster stands in without waiting.
class ReadyPage final : public tavrine::RehearsalPlayerPage {
public:
    void load() override { emit message(QVariantMap{{QStringLiteral("event"), QStringLiteral("ready")}}); }
    void runScript(const QString&) override {}
    void detach() override {}
};

struct Usage {
    double cpuSeconds = 0;
    qint64 rssKiB = 0;
    qint64 pssKiB = 0;
    qint64 privateDirtyKiB = 0;
};

using processtree::descendants;
using processtree::field;

Usage usageOf(qint64 pid) {
    Usage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // utime and stime are the 14th and 15th fields; the list starts at the 3rd.
        usage.cpuSeconds = double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
    }
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (rollup.open(QIODevice::ReadOnly)) {
        const QByteArray text = rollup.readAll();
        usage.rssKiB = field(text, "Rss:");
        usage.pssKiB = field(text, "Pss:");
        usage.privateDirtyKiB = field(text, "Private_Dirty:");
    }
    return usage;
}

Usage childrenUsage() {
    Usage total;
    for (qint64 pid : descendants()) {
        const Usage one = usageOf(pid);
        total.cpuSeconds += one.cpuSeconds;
        total.rssKiB += one.rssKiB;
        total.pssKiB += one.pssKiB;
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    bool web = false;
    bool still = false;
    int seconds = 20;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--web")
            web = true;
        else if (argument == "--still")
            still = true;
        else if (argument.toInt() > 0)
            seconds = argument.toInt();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // As the application starts: the web engine prepared before the application object, player or not.
    tavrine::prepareWebEngine();
    QGuiApplication app(argc, argv);
    QQmlEngine engine;
    tavrine::ui::setUpQmlEngine(engine);

    tavrine::SystemClock clock;
    std::unique_ptr<tavrine::RehearsalPlayerPage> page;
    if (web)
        page = std::make_unique<tavrine::WebPlayerPage>(engine, tavrine::WebPlayerPage::configuredOrigin(), QString());
    else
        page = std::make_unique<ReadyPage>();
    auto player =
        std::make_unique<tavrine::RehearsalPlayer>(std::move(page), clock, tavrine::RehearsalClipIdentifiers{});
    player->setCurrent(tavrine::RehearsalVideo::Detour, true);

    QQmlComponent component(&engine, tavrine::ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("VideoPage")));
    std::unique_ptr<QObject> root(
        component.createWithInitialProperties({{QStringLiteral("player"), QVariant::fromValue<QObject*>(player.get())},
                                               {QStringLiteral("reduceMotion"), still}}));
    auto* item = qobject_cast<QQuickItem*>(root.get());
    if (!item) {
        std::fprintf(stderr, "video_page_load: %s\n", qPrintable(component.errorString()));
        return 1;
    }
    QQuickWindow window;
    window.resize(1200, 760);
    item->setParentItem(window.contentItem());
    item->setSize({1200, 760});
    window.show();

    Usage start;
    Usage startChildren;
    QElapsedTimer wall;
    QTimer::singleShot(10000, Qt::PreciseTimer, &app, [&] {
        start = usageOf(::getpid());
        startChildren = childrenUsage();
        wall.start();
    });
    QTimer::singleShot(10000 + seconds * 1000, Qt::PreciseTimer, &app, [&] {
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        const Usage end = usageOf(::getpid());
        const Usage endChildren = childrenUsage();
        std::printf("%s%s: poster %s; over %.1f s: process %.3f CPU s/s, children %.3f CPU s/s; RSS %lld KiB "
                    "(PSS %lld), children RSS %lld KiB (PSS %lld) in %lld processes\n",
                    web ? "with the web player" : "without the web player", still ? ", still" : "",
                    player->unavailable() ? "shown" : "not shown", elapsed,
                    (end.cpuSeconds - start.cpuSeconds) / elapsed,
                    (endChildren.cpuSeconds - startChildren.cpuSeconds) / elapsed, static_cast<long long>(end.rssKiB),
                    static_cast<long long>(end.pssKiB), static_cast<long long>(endChildren.rssKiB),
                    static_cast<long long>(endChildren.pssKiB), static_cast<long long>(descendants().size()));
        std::fflush(stdout);
        player->teardown();
        root.reset();
        player.reset();
        QTimer::singleShot(5000, &app, [] {
            const Usage self = usageOf(::getpid());
            const Usage children = childrenUsage();
            std::printf("5 s after the player went: private dirty %lld KiB; children RSS %lld KiB in %lld processes\n",
                        static_cast<long long>(self.privateDirtyKiB), static_cast<long long>(children.rssKiB),
                        static_cast<long long>(descendants().size()));
            std::fflush(stdout);
            QGuiApplication::quit();
        });
    });
    return QGuiApplication::exec();
}
