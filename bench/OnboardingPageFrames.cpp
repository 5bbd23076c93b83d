// Frame times of the onboarding window's page change (a 0.28 s push with the backdrop blending under it), in the
// application as tavrine/main.cpp builds it. Steps forward through the four pages and back again, `--rounds`
// times, and after each step collects the window's frame swaps for the push and a little after it.
// Prints, per step and over all steps: frames within the push, the intervals between swaps (median, 95th
// percentile, largest) and how many were longer than 1.5 frames of 60 Hz.
// Usage: onboarding_page_frames [--rounds N]   (on an X display with a window manager, fresh XDG folders)
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/WebEngineSanitizerOptions.h"
#include "tavrine/shell/AppStartup.h"
#include "tavrine/shell/TavrineApp.h"
#include "tavrine/shell/WindowSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

constexpr qint64 pushNs = 280'000'000;
constexpr qint64 collectNs = 400'000'000;
constexpr double frameMs = 1000.0 / 60.0;

struct Step {
    QString name;
    qint64 start = 0;
    std::vector<qint64> swaps;
};

double quantile(std::vector<double> values, double q) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(q * double(values.size() - 1) + 0.5))];
}

struct Summary {
    int framesInPush = 0;
    std::vector<double> intervals;
};

Summary summarise(const Step& step) {
    Summary summary;
    qint64 previous = step.start;
    for (qint64 swap : step.swaps) {
        if (swap - step.start <= pushNs)
            ++summary.framesInPush;
        summary.intervals.push_back(double(swap - previous) / 1e6);
        previous = swap;
    }
    return summary;
}

void print(const QString& name, int steps, int frames, const std::vector<double>& intervals) {
    const auto slow = std::count_if(intervals.begin(), intervals.end(), [](double ms) { return ms > 1.5 * frameMs; });
    std::printf("%-22s steps %3d  frames in push %5.1f  interval median %6.2f ms  p95 %6.2f ms  max %6.2f ms  "
                ">25 ms %3ld of %4zu\n",
                qPrintable(name), steps, steps ? double(frames) / steps : 0.0, quantile(intervals, 0.5),
                quantile(intervals, 0.95), intervals.empty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end()),
                long(slow), intervals.size());
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int rounds = 5;
    if (const qsizetype i = arguments.indexOf(QStringLiteral("--rounds")); i >= 0 && i + 1 < arguments.size()) {
        rounds = std::max(1, arguments.at(i + 1).toInt());
        arguments.remove(i, 2);
    }
    arguments << QStringLiteral("--onboarding");

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    tavrine::shell::prepareApplication();
    QApplication app(argc, argv);
    tavrine::shell::setUpApplication();

    tavrine::shell::TavrineApp::Environment environment;
    environment.arguments = arguments;
    tavrine::shell::TavrineApp tavrine(std::move(environment));
    tavrine.start();

    QElapsedTimer clock;
    clock.start();
    std::mutex mutex;
    std::vector<Step> steps;
    int exitCode = 0;

    QTimer::singleShot(2000, &tavrine, [&] {
        QQuickWindow* window = tavrine.windows().existingWindow(QStringLiteral("onboarding"));
        if (!window || !window->isVisible()) {
            std::fputs("onboarding_page_frames: the onboarding window is not on screen\n", stderr);
            QCoreApplication::exit(1);
            return;
        }
        const char* api = "other";
        switch (window->rendererInterface()->graphicsApi()) {
        case QSGRendererInterface::Software:
            api = "software";
            break;
        case QSGRendererInterface::OpenGL:
            api = "OpenGL";
            break;
        default:
            break;
        }
        std::printf("window %dx%d, renderer %s, screen refresh %.1f Hz\n", window->width(), window->height(), api,
                    window->screen() ? window->screen()->refreshRate() : 0.0);
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [&] {
                std::lock_guard lock(mutex);
                if (!steps.empty() && clock.nsecsElapsed() - steps.back().start <= collectNs)
                    steps.back().swaps.push_back(clock.nsecsElapsed());
            },
            Qt::DirectConnection);

        tavrine::onboarding::OnboardingFlow& flow = tavrine.onboardingFlow();
        auto* timer = new QTimer(window);
        timer->setInterval(int(collectNs / 1'000'000) + 200);
        const int total = rounds * 6;
        QObject::connect(timer, &QTimer::timeout, window, [&, timer, total] {
            std::lock_guard lock(mutex);
            if (int(steps.size()) == total) {
                timer->stop();
                QCoreApplication::exit(0);
                return;
            }
            const bool forward = steps.size() % 6 < 3;
            const int from = flow.pageIndex();
            steps.push_back({});
            steps.back().start = clock.nsecsElapsed();
            if (forward)
                flow.advance();
            else
                flow.goBack();
            steps.back().name = QStringLiteral("page %1 -> %2").arg(from).arg(flow.pageIndex());
        });
        timer->start();
    });
    exitCode = QApplication::exec();
    if (exitCode != 0)
        return exitCode;

    std::vector<QString> names;
    for (const Step& step : steps)
        if (std::find(names.begin(), names.end(), step.name) == names.end())
            names.push_back(step.name);
    int allFrames = 0;
    std::vector<double> all;
    for (const QString& name : names) {
        int count = 0;
        int frames = 0;
        std::vector<double> intervals;
        for (const Step& step : steps) {
            if (step.name != name)
                continue;
            const Summary summary = summarise(step);
            ++count;
            frames += summary.framesInPush;
            intervals.insert(intervals.end(), summary.intervals.begin(), summary.intervals.end());
        }
        print(name, count, frames, intervals);
        allFrames += frames;
        all.insert(all.end(), intervals.begin(), intervals.end());
    }
    print(QStringLiteral("all steps"), int(steps.size()), allFrames, all);
    std::printf("(a steady 60 Hz would give %.1f frames in the push, 16.67 ms apart)\n", pushNs / 1e6 / frameMs);
    return 0;
}
