// Text recognition of an 1800 x 1100 document window as the capture sees it: the first capture, the same
// window again, the window scrolled by three and by twenty lines, and the window with one line edited; and the
// first capture of a 1200 x 750 spreadsheet (grid lines, the cell cursor, no blank row between its rows; also with
// low rows and a column of numbers). CPU time
// is the process's (the OCR thread's work included); the merge budget is the capture's. The reader's counters
// are reported per capture: layout analyses run and pages found again, lines recognised and reused.
// With TAVRINE_OCR_PAGES naming PNG files or folders of them (separated by ':'), each picture is also read whole
// as a first capture (BM_FirstCapturePage/<file>), such as screenshots of real windows; with TAVRINE_OCR_PRINT=1
// the lines each one reads are printed once, to compare two builds row by row.
// The line readers' cost of ending when idle: a sheet's first capture by readers made afresh for it, against
// readers waiting for work (each with a reader of its own, not the OCR thread's), and the handing back of the
// memory a sheet's read freed. With TAVRINE_OCR_IDLE_MEMORY=<seconds>, BM_IdleAfterSheet reads a full-screen sheet
// through the OCR thread as a session would, then idles that long and prints the process's private dirty memory
// every five seconds (run it alone, with --benchmark_filter=BM_IdleAfterSheet).
#include "ReaderCounters.h"
#include "TextImages.h"
#include "tavrine/ocr/OcrEngine.h"
#include "tavrine/ocr/PageReader.h"
#include "tavrine/ocr/TextRecognition.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>
#include <thread>

using namespace tavrine;

namespace {

const QSize windowSize(1800, 1100);
const QString header = QStringLiteral("Editor · notes.txt");
constexpr double band = 0.1;
constexpr qsizetype budget = 2400;

template <typename T> T await(QCoro::Task<T> task) {
    std::optional<T> result;
    QEventLoop loop;
    auto body = [&]() -> QCoro::Task<void> {
        result.emplace(co_await std::move(task));
        loop.quit();
    };
    auto running = body();
    if (!result)
        loop.exec();
    return *result;
}

void awaitVoid(QCoro::Task<void> task) {
    bool done = false;
    QEventLoop loop;
    auto body = [&]() -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
        loop.quit();
    };
    auto running = body();
    if (!done)
        loop.exec();
}

void clearCaches() {
    awaitVoid(OcrEngine::perform([](PageReader& reader) { reader.clearCaches(); }));
}

MergedText read(const QImage& image) {
    return await(recognizeAndMerge(image, band, header, budget));
}

void report(benchmark::State& state, const MergedText& merged) {
    state.counters["characters"] = double(merged.added);
}

PageReader::Counters readerCounters() {
    PageReader::Counters seen;
    awaitVoid(OcrEngine::perform([&seen](PageReader& reader) { seen = reader.counters(); }));
    return seen;
}

// Every measured capture reads an image that no earlier capture saw; the counters outlive the repetitions.
int g_firstCaptures = 0;
int g_scrollLine = 100;
int g_revision = 0;

void firstCapture(benchmark::State& state, bool dark) {
    const PageReader::Counters before = readerCounters();
    for (auto _ : state) {
        state.PauseTiming();
        clearCaches();
        const QImage image = test::renderDocument(windowSize, 40 * g_firstCaptures++, -1, dark);
        state.ResumeTiming();
        report(state, read(image));
    }
    reportReaderCounters(state, before, readerCounters());
}

void BM_FirstCapture(benchmark::State& state) {
    firstCapture(state, false);
}

void BM_FirstCaptureDark(benchmark::State& state) {
    firstCapture(state, true);
}

// Characters recognised count the rows read: fewer means rows were lost. The sheet as it was first drawn, and
// with low rows and a column of numbers (descenders on the grid lines, numbers the layout leaves out).
void firstCaptureSheet(benchmark::State& state, const test::SheetLook& look) {
    const PageReader::Counters before = readerCounters();
    for (auto _ : state) {
        state.PauseTiming();
        clearCaches();
        const int firstRow = 40 * g_firstCaptures++;
        const QImage image = test::renderSheet(QSize(1200, 750), firstRow, firstRow + 2, look);
        state.ResumeTiming();
        report(state, read(image));
    }
    reportReaderCounters(state, before, readerCounters());
}

void BM_FirstCaptureSheet(benchmark::State& state) {
    firstCaptureSheet(state, {});
}

void BM_FirstCaptureSheetNumbers(benchmark::State& state) {
    firstCaptureSheet(state, test::SheetLook{18, 4, true});
}

void BM_Unchanged(benchmark::State& state) {
    const QImage image = test::renderDocument(windowSize, 0);
    read(image);
    const PageReader::Counters before = readerCounters();
    for (auto _ : state)
        report(state, read(image));
    reportReaderCounters(state, before, readerCounters());
}

// Scrolls on down the document, `lines` lines per capture, from the position the last capture saw.
void scrolled(benchmark::State& state, int lines) {
    read(test::renderDocument(windowSize, g_scrollLine));
    const PageReader::Counters before = readerCounters();
    for (auto _ : state) {
        state.PauseTiming();
        g_scrollLine += lines;
        const QImage image = test::renderDocument(windowSize, g_scrollLine);
        state.ResumeTiming();
        report(state, read(image));
    }
    reportReaderCounters(state, before, readerCounters());
}

void BM_ScrolledThreeLines(benchmark::State& state) {
    scrolled(state, 3);
}

void BM_ScrolledTwentyLines(benchmark::State& state) {
    scrolled(state, 20);
}

void BM_OneLineEdited(benchmark::State& state) {
    readEditedPages(
        state, windowSize, 400, g_revision, [&state](const QImage& image) { report(state, read(image)); },
        readerCounters);
}

// The process's private dirty memory in MB, as /proc/self/smaps_rollup counts it.
double privateDirtyMb() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string field; rollup >> field;) {
        long kb = 0;
        if (field == "Private_Dirty:" && rollup >> kb)
            return double(kb) / 1024;
    }
    return 0;
}

// A sheet's first capture by a reader of its own, with its line readers waiting for work or made afresh for it
// (they ended after the last capture, as after a quiet spell in a session).
void sheetLineReaders(benchmark::State& state, bool ended) {
    const std::atomic<bool> never{false};
    qsizetype characters = 0;
    const auto take = [&characters](const QString& line) {
        characters += line.size();
        return true;
    };
    PageReader reader(-1, ended ? std::chrono::milliseconds(50) : std::chrono::hours(1));
    reader.read(test::renderSheet(QSize(1200, 750), 0, 2), 0, never, take);
    for (auto _ : state) {
        state.PauseTiming();
        reader.clearCaches();
        const int firstRow = 40 * g_firstCaptures++;
        const QImage image = test::renderSheet(QSize(1200, 750), firstRow, firstRow + 2);
        if (ended && reader.lineReaders())
            reader.lineReaders()->waitUntilEnded();
        characters = 0;
        state.ResumeTiming();
        reader.read(image, 0, never, take);
    }
    state.counters["characters"] = double(characters);
}

void BM_FirstCaptureSheetReadersWaiting(benchmark::State& state) {
    sheetLineReaders(state, false);
}

void BM_FirstCaptureSheetReadersMadeAgain(benchmark::State& state) {
    sheetLineReaders(state, true);
}

// What handing the memory back costs once the readers of a sheet's first capture have ended, and how much it gives.
void BM_GiveMemoryBack(benchmark::State& state) {
    const std::atomic<bool> never{false};
    double given = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            // Ended by the reader's end, which leaves the memory where it is.
            PageReader reader(-1, std::chrono::hours(1));
            const int firstRow = 40 * g_firstCaptures++;
            reader.read(test::renderSheet(QSize(1200, 750), firstRow, firstRow + 2), 0, never,
                        [](const QString&) { return true; });
        }
        const double before = privateDirtyMb();
        state.ResumeTiming();
        malloc_trim(0);
        state.PauseTiming();
        given = before - privateDirtyMb();
        state.ResumeTiming();
    }
    state.counters["givenBackMB"] = given;
}

// A full-screen sheet read as a session's first capture of it, then the process left idle.
void BM_IdleAfterSheet(benchmark::State& state, int seconds) {
    for (auto _ : state) {
        std::fprintf(stderr, "private dirty before: %.1f MB\n", privateDirtyMb());
        const QString lines = await(recognizeText(test::renderSheet(QSize(1920, 1080), 0, 2), 0));
        std::fprintf(stderr, "read %lld characters; private dirty: %.1f MB\n", (long long)lines.size(),
                     privateDirtyMb());
        for (int idle = 5; idle <= seconds; idle += 5) {
            std::this_thread::sleep_for(std::chrono::seconds(5));
            std::fprintf(stderr, "idle %3d s: %.1f MB\n", idle, privateDirtyMb());
        }
        state.counters["privateDirtyMB"] = privateDirtyMb();
    }
}

const bool g_idleRegistered = [] {
    const int seconds = qEnvironmentVariableIntValue("TAVRINE_OCR_IDLE_MEMORY");
    if (seconds > 0)
        benchmark::RegisterBenchmark("BM_IdleAfterSheet",
                                     [seconds](benchmark::State& state) { BM_IdleAfterSheet(state, seconds); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    return true;
}();

// The picture in `path` read whole, as a first capture, with the reader's caches emptied before each read.
void firstCapturePage(benchmark::State& state, const QString& path) {
    const QImage image(path);
    if (image.isNull()) {
        state.SkipWithError("the picture could not be read");
        return;
    }
    const PageReader::Counters before = readerCounters();
    QString lines;
    for (auto _ : state) {
        state.PauseTiming();
        clearCaches();
        state.ResumeTiming();
        lines = await(recognizeText(image, 0));
    }
    reportReaderCounters(state, before, readerCounters());
    state.counters["characters"] = double(lines.size());
    static QSet<QString> printed;
    if (qEnvironmentVariable("TAVRINE_OCR_PRINT") == QLatin1String("1") && !printed.contains(path)) {
        printed.insert(path);
        std::fprintf(stderr, "== %s\n%s\n", qPrintable(QFileInfo(path).fileName()), qPrintable(lines));
    }
}

// The pictures TAVRINE_OCR_PAGES names, each a benchmark of its own.
const bool g_pagesRegistered = [] {
    const QString paths = qEnvironmentVariable("TAVRINE_OCR_PAGES");
    for (const QString& path : paths.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        QStringList files;
        if (QFileInfo(path).isDir()) {
            for (const QFileInfo& file : QDir(path).entryInfoList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
                files.append(file.filePath());
        } else {
            files.append(path);
        }
        for (const QString& file : files) {
            const std::string name = "BM_FirstCapturePage/" + QFileInfo(file).completeBaseName().toStdString();
            benchmark::RegisterBenchmark(name.c_str(),
                                         [file](benchmark::State& state) { firstCapturePage(state, file); })
                ->Unit(benchmark::kMillisecond)
                ->MeasureProcessCPUTime()
                ->Iterations(1)
                ->Repetitions(5);
        }
    }
    return true;
}();

} // namespace

BENCHMARK(BM_FirstCapture)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1)->Repetitions(7);
BENCHMARK(BM_FirstCaptureDark)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_FirstCaptureSheet)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1)->Repetitions(7);
BENCHMARK(BM_FirstCaptureSheetNumbers)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(7);
BENCHMARK(BM_Unchanged)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(5)->Repetitions(7);
BENCHMARK(BM_ScrolledThreeLines)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3)->Repetitions(7);
BENCHMARK(BM_ScrolledTwentyLines)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3)
    ->Repetitions(7);
BENCHMARK(BM_OneLineEdited)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3)->Repetitions(7);
BENCHMARK(BM_FirstCaptureSheetReadersWaiting)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(7);
BENCHMARK(BM_FirstCaptureSheetReadersMadeAgain)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(7);
BENCHMARK(BM_GiveMemoryBack)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1)->Repetitions(5);
