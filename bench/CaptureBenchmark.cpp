// One capture of an 1800 x 1100 window whose accessibility tree holds a web document (a fake tree and a fake
// screenshot, so that the figures are the capture's own work): the first capture, the same window again, the
// window scrolled by three and by twenty lines, and the window with one line edited. CPU time is the process's
// (worker and OCR threads included); wall time is the capture's as the session awaits it. The text reader's
// counters are reported per capture. Beside them, the recognition alone of an edited page; and a spreadsheet's
// first capture beside the recognition alone of the same crop.
// With an X display (run it under the test fixture) it also measures the window-identity read that the session
// makes every second, against a real window; and the capture of whatever window is frontmost (start the
// application before, with accessibility on): with the reader's caches emptied before each one (argument 1; the
// first repetition is the process's first capture) or kept (argument 0: the same window again, as the session
// captures it while it stays), the process's resident memory after it, and per capture the accessibility messages
// sent and the times the capture waited for their answers (a single read, or a batch); and, counted the same way, the
// frontmost page as focus mode reads it. A browser's capture reads its
// address bar off the screen too when TAVRINE_BENCH_BROWSERS names it; with TAVRINE_OCR_PRINT=1 the address and text
// of its last capture (and how many accessibility walks it took) are printed, and with TAVRINE_BENCH_CROP naming a
// PNG file its crop is written there as the text reader sees it (8-bit grey, dark pages inverted): a real window's
// picture for the recognition tests.
#include "ReaderCounters.h"
#include "TextImages.h"
#include "fakes/FakeAccessibilityBus.h"
#include "fakes/FakePermissions.h"
#include "fakes/FakeWindowGrabber.h"
#include "fakes/FakeWorkspace.h"
#include "tavrine/capture/ActivityObserver.h"
#include "tavrine/capture/WindowResolution.h"
#include "tavrine/model/ImageData.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"
#include "tavrine/ocr/TextRecognition.h"
#include "tavrine/platform/AtspiAccessibilityBus.h"
#include "tavrine/platform/X11Workspace.h"
#include "tavrine/platform/x11/X11Connection.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace tavrine;

namespace {

const QSize windowSize(1800, 1100);
constexpr qint32 appPid = 100;
constexpr platform::XWindowId windowId = 0x500001;

// A browser-like window: a tool bar, then a web document over the rest.
struct Desk {
    std::shared_ptr<test::FakeWorkspace> workspace = std::make_shared<test::FakeWorkspace>();
    std::shared_ptr<test::FakeAccessibilityBus> bus = std::make_shared<test::FakeAccessibilityBus>();
    std::shared_ptr<test::FakeWindowGrabber> grabber = std::make_shared<test::FakeWindowGrabber>();
    std::shared_ptr<test::FakePermissions> permissions = std::make_shared<test::FakePermissions>();

    Desk() {
        workspace->addApplication({appPid, QStringLiteral("org.example.Browser"), QStringLiteral("Browser")});
        workspace->addWindow(
            {windowId, appPid, QStringLiteral("Release notes - Browser"), QRect(QPoint(), windowSize), true});
        workspace->setActive(windowId);
        const auto app = bus->addApplication(appPid, QStringLiteral("Browser"));
        test::FakeAccessibilityBus::Node frame;
        frame.role = platform::role::frame;
        frame.name = QStringLiteral("Release notes - Browser");
        frame.extents = QRect(QPoint(), windowSize);
        frame.states->set(platform::state::active);
        const auto window = bus->add(app, frame);
        bus->add(window, platform::role::toolBar);
        test::FakeAccessibilityBus::Node page;
        page.role = platform::role::documentWeb;
        page.name = QStringLiteral("Release notes");
        page.extents = QRect(0, 60, windowSize.width(), windowSize.height() - 60);
        page.documentAttributes =
            QHash<QString, QString>{{QStringLiteral("DocURL"), QStringLiteral("https://docs.example/release")}};
        const auto document = bus->add(window, page);
        for (int i = 0; i < 30; ++i) {
            test::FakeAccessibilityBus::Node paragraph;
            paragraph.role = platform::role::paragraph;
            paragraph.extents = QRect(40, 80 + 30 * i, 1000, 24);
            bus->add(document, paragraph);
        }
    }

    capture::CaptureServices services() {
        capture::CaptureServices s = capture::CaptureServices::desktop();
        s.workspace = workspace;
        s.accessibility = bus;
        s.grabber = grabber;
        s.permissions = permissions;
        return s;
    }
};

Desk& desk() {
    static Desk instance;
    return instance;
}

ActivityObserver& observer() {
    static ActivityObserver instance(desk().services());
    return instance;
}

QCoro::Task<void> captureInto(std::optional<AccessibilityCaptureDebug>* result, bool* done, QEventLoop* loop) {
    *result = co_await observer().captureFrontmostActivity(true);
    *done = true;
    loop->quit();
}

// One capture of `image`, awaited on the event loop as the session awaits it.
void capture(benchmark::State& state, const QImage& image) {
    desk().grabber->setImage(windowId, image);
    std::optional<AccessibilityCaptureDebug> result;
    bool done = false;
    QEventLoop loop;
    auto task = captureInto(&result, &done, &loop);
    if (!done)
        loop.exec();
    if (!result || result->evidence.capturePath != QLatin1String("window+ocr")) {
        state.SkipWithError("the capture recognised no text");
        return;
    }
    state.counters["ocrCharacters"] = double(result->evidence.ocrCharacters);
}

QCoro::Task<void> countersInto(PageReader::Counters* seen, bool* done, QEventLoop* loop) {
    co_await OcrEngine::perform([seen](PageReader& reader) { *seen = reader.counters(); });
    *done = true;
    loop->quit();
}

PageReader::Counters readerCounters() {
    PageReader::Counters seen;
    bool done = false;
    QEventLoop loop;
    auto task = countersInto(&seen, &done, &loop);
    if (!done)
        loop.exec();
    return seen;
}

// Every measured capture sees an image no earlier capture saw; the counters outlive the repetitions.
int g_firstLine = 0;
int g_scrollLine = 5000;
int g_revision = 0;

void BM_CaptureFirst(benchmark::State& state) {
    const PageReader::Counters before = readerCounters();
    for (auto _ : state) {
        state.PauseTiming();
        const QImage image = test::renderDocument(windowSize, 60 * g_firstLine++);
        state.ResumeTiming();
        capture(state, image);
    }
    reportReaderCounters(state, before, readerCounters());
}

void BM_CaptureUnchanged(benchmark::State& state) {
    const QImage image = test::renderDocument(windowSize, 9000);
    capture(state, image);
    const PageReader::Counters before = readerCounters();
    for (auto _ : state)
        capture(state, image);
    reportReaderCounters(state, before, readerCounters());
}

// Scrolls on down the document, `lines` lines per capture.
void captureScrolled(benchmark::State& state, int lines) {
    capture(state, test::renderDocument(windowSize, g_scrollLine));
    const PageReader::Counters before = readerCounters();
    for (auto _ : state) {
        state.PauseTiming();
        g_scrollLine += lines;
        const QImage image = test::renderDocument(windowSize, g_scrollLine);
        state.ResumeTiming();
        capture(state, image);
    }
    reportReaderCounters(state, before, readerCounters());
}

void BM_CaptureScrolledThreeLines(benchmark::State& state) {
    captureScrolled(state, 3);
}

void BM_CaptureScrolledTwentyLines(benchmark::State& state) {
    captureScrolled(state, 20);
}

void BM_CaptureOneLineEdited(benchmark::State& state) {
    readEditedPages(
        state, windowSize, 12000, g_revision, [&state](const QImage& image) { capture(state, image); }, readerCounters);
}

// The text recognition alone of a capture's page crop (below a 60-pixel tool bar), merged below a header as the
// capture does.
void recognisePage(benchmark::State& state, const QImage& image) {
    const QRect page(0, 60, windowSize.width(), windowSize.height() - 60);
    const QString header = QStringLiteral("App: Browser. Window: \"Release notes - Browser\".");
    std::optional<MergedText> merged;
    QEventLoop loop;
    auto body = [&]() -> QCoro::Task<void> {
        merged = co_await recognizeAndMerge(imageRegion(image, page), 0, header, 2400);
        loop.quit();
    };
    auto task = body();
    if (!merged)
        loop.exec();
    state.counters["ocrCharacters"] = double(merged->added);
}

// The text recognition alone of the same kind of capture as BM_CaptureOneLineEdited: its page crop, one line
// rewritten in a wording no capture saw, merged below a header as the capture does. What a capture adds to the
// recognition is the difference of the two.
void BM_RecognitionOneLineEdited(benchmark::State& state) {
    readEditedPages(
        state, windowSize, 15000, g_revision, [&state](const QImage& image) { recognisePage(state, image); },
        readerCounters);
}

// A spreadsheet's first capture (grid lines, the cell cursor, a column of numbers), and the recognition alone of
// the same page crop: what the capture adds to the recognition is the difference of the two. Every capture shows
// rows no capture saw before, with the reader's caches emptied.
int g_firstSheetRow = 0;

QImage nextSheet() {
    const int firstRow = 40 * g_firstSheetRow++;
    return test::renderSheet(windowSize, firstRow, firstRow + 2, test::SheetLook{18, 4, true});
}

void clearReaderCaches() {
    bool done = false;
    QEventLoop loop;
    auto body = [&]() -> QCoro::Task<void> {
        co_await OcrEngine::perform([](PageReader& reader) { reader.clearCaches(); });
        done = true;
        loop.quit();
    };
    auto task = body();
    if (!done)
        loop.exec();
}

// Reads a new sheet each round with the reader's caches emptied, through `read`.
void readSheets(benchmark::State& state, void (*read)(benchmark::State&, const QImage&)) {
    const PageReader::Counters before = readerCounters();
    for (auto _ : state) {
        state.PauseTiming();
        clearReaderCaches();
        const QImage image = nextSheet();
        state.ResumeTiming();
        read(state, image);
    }
    reportReaderCounters(state, before, readerCounters());
}

void BM_CaptureSheet(benchmark::State& state) {
    readSheets(state, capture);
}

void BM_RecognitionSheet(benchmark::State& state) {
    readSheets(state, recognisePage);
}

// The identity read of the session's every second, on X11 against a real window (xmessage).
void BM_WindowIdentityRead(benchmark::State& state) {
    platform::X11Connection* x11 = platform::X11Connection::shared();
    if (!x11) {
        state.SkipWithError("no X display");
        return;
    }
    QProcess window;
    window.start(QStringLiteral("xmessage"),
                 {QStringLiteral("-geometry"), QStringLiteral("+200+200"), QStringLiteral("Identity read")});
    if (!window.waitForStarted()) {
        state.SkipWithError("xmessage did not start");
        return;
    }
    QElapsedTimer timer;
    timer.start();
    bool active = false;
    while (!active && timer.elapsed() < 10000) {
        const auto id = x11->activeWindow();
        active = id && x11->windowPid(*id) == qint32(window.processId());
        if (!active)
            QThread::msleep(20);
    }
    if (!active) {
        state.SkipWithError("the window never became active");
        return;
    }
    ActivityObserver real;
    platform::X11Workspace workspace;
    const bool withPermission = state.range(0) == 1;
    for (auto _ : state) {
        if (withPermission) {
            benchmark::DoNotOptimize(real.currentWindowIdentity());
        } else {
            // The X11 reads alone: the frontmost application (identity cached per process) and its window.
            const auto app = workspace.frontmostApplication();
            if (app)
                benchmark::DoNotOptimize(capture::resolveWindowIdentity(workspace, app->pid));
        }
    }
    window.kill();
    window.waitForFinished();
}

// The process's resident memory (VmRSS) in megabytes; 0 when /proc cannot tell.
double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The accessibility bus of the frontmost window's captures, whose traffic is counted.
std::shared_ptr<platform::AtspiAccessibilityBus> g_frontmostBus = std::make_shared<platform::AtspiAccessibilityBus>();

// The desktop's own services, with the applications named in TAVRINE_BENCH_BROWSERS (comma-separated bundles,
// "chromium") taken for browsers, as the session takes those of its list: their tool bar is read for the address.
capture::CaptureServices frontmostServices() {
    capture::CaptureServices services = capture::CaptureServices::desktop();
    services.accessibility = g_frontmostBus;
    for (const QString& bundle :
         qEnvironmentVariable("TAVRINE_BENCH_BROWSERS").split(QLatin1Char(','), Qt::SkipEmptyParts))
        services.browsers.insert(bundle);
    return services;
}

// A capture of the frontmost window of the display, through the desktop's own services.
void BM_CaptureFrontmostWindow(benchmark::State& state) {
    if (!platform::X11Connection::shared()) {
        state.SkipWithError("no X display");
        return;
    }
    static ActivityObserver real(frontmostServices());
    std::optional<AccessibilityCaptureDebug> result;
    const platform::AtspiAccessibilityBus::Traffic before = g_frontmostBus->traffic();
    for (auto _ : state) {
        if (state.range(0) == 1) {
            state.PauseTiming();
            clearReaderCaches();
            state.ResumeTiming();
        }
        bool done = false;
        QEventLoop loop;
        auto body = [&]() -> QCoro::Task<void> {
            result = co_await real.captureFrontmostActivity(true);
            done = true;
            loop.quit();
        };
        auto task = body();
        if (!done)
            loop.exec();
        if (!result) {
            state.SkipWithError("no frontmost window of another application");
            return;
        }
    }
    state.counters["ocrCharacters"] = double(result->evidence.ocrCharacters);
    state.counters["residentMB"] = residentMegabytes();
    const platform::AtspiAccessibilityBus::Traffic after = g_frontmostBus->traffic();
    state.counters["atspiMessages"] =
        benchmark::Counter(double(after.messages - before.messages), benchmark::Counter::kAvgIterations);
    state.counters["atspiWaits"] =
        benchmark::Counter(double(after.waits - before.waits), benchmark::Counter::kAvgIterations);
    if (qEnvironmentVariable("TAVRINE_OCR_PRINT") == QLatin1String("1"))
        std::fprintf(stderr, "== %s (%s, %d walks) %s\n%s\n", qPrintable(result->evidence.app),
                     qPrintable(result->evidence.capturePath), result->accessibilityAttempts,
                     qPrintable(result->evidence.url), qPrintable(result->evidence.text));
    const QString cropFile = qEnvironmentVariable("TAVRINE_BENCH_CROP");
    if (!cropFile.isEmpty() && result->evidence.imagePNG &&
        !PageReader::preparePage(QImage::fromData(*result->evidence.imagePNG)).save(cropFile))
        state.SkipWithError("the crop could not be written");
}

// The frontmost application's page as focus mode reads it (its address searched in the tree, for a browser named in
// TAVRINE_BENCH_BROWSERS): the accessibility messages sent and the waits for their answers per read, and the length
// of the address read.
void BM_FrontmostPage(benchmark::State& state) {
    if (!platform::X11Connection::shared()) {
        state.SkipWithError("no X display");
        return;
    }
    static ActivityObserver real(frontmostServices());
    const QSet<QString> browsers = frontmostServices().browsers;
    std::optional<FrontmostPage> page;
    const platform::AtspiAccessibilityBus::Traffic before = g_frontmostBus->traffic();
    for (auto _ : state) {
        bool done = false;
        QEventLoop loop;
        auto body = [&]() -> QCoro::Task<void> {
            page = co_await real.frontmostPage(browsers);
            done = true;
            loop.quit();
        };
        auto task = body();
        if (!done)
            loop.exec();
        if (!page) {
            state.SkipWithError("no frontmost window of another application");
            return;
        }
    }
    const platform::AtspiAccessibilityBus::Traffic after = g_frontmostBus->traffic();
    state.counters["urlLength"] = double(page->url.size());
    state.counters["atspiMessages"] =
        benchmark::Counter(double(after.messages - before.messages), benchmark::Counter::kAvgIterations);
    state.counters["atspiWaits"] =
        benchmark::Counter(double(after.waits - before.waits), benchmark::Counter::kAvgIterations);
    if (qEnvironmentVariable("TAVRINE_OCR_PRINT") == QLatin1String("1"))
        std::fprintf(stderr, "== page of %s: %s\n", qPrintable(page->app), qPrintable(page->url));
}

} // namespace

BENCHMARK(BM_CaptureFirst)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_CaptureUnchanged)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(5);
BENCHMARK(BM_CaptureScrolledThreeLines)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5);
BENCHMARK(BM_CaptureScrolledTwentyLines)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5);
BENCHMARK(BM_CaptureOneLineEdited)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5);
BENCHMARK(BM_RecognitionOneLineEdited)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5);
BENCHMARK(BM_CaptureSheet)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_RecognitionSheet)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_CaptureFrontmostWindow)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_FrontmostPage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(5);
BENCHMARK(BM_WindowIdentityRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();
