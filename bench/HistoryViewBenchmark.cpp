// The History window's models and the recap's share image, on a history of 100,000 sessions: opening the
// window (count, first page, newest selected with its timeline laid out), a page far down the list, the list
// current again after a recording, and the share image of a card with three detours.
//
// The store lives in $TAVRINE_BENCH_HISTORY_DIR, or the folder that history_bench uses, and is filled up to
// 100,000 sessions on the first run (a few minutes), then reused.
#include "BenchmarkMain.h"
#include "tavrine/core/Clock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"
#include "tavrine/historyview/HistoryListModel.h"
#include "tavrine/historyview/RecapShareImage.h"
#include "tavrine/historyview/TimelineModel.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QDir>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQmlEngine>

#include <cstdio>

using namespace tavrine;
using Kind = SessionTimeline::Kind;

namespace {

constexpr qint64 storedSessions = 100'000;
const QDateTime oldest = QDateTime::fromSecsSinceEpoch(1'600'000'000, Qt::UTC);

// A session of `segments` minutes, every other one a detour, with three top detours.
SessionSummary benchSummary(int segments, const QDateTime& startedAt, const QString& phrase) {
    SessionSummary summary;
    summary.intention = QStringLiteral("Finish the quarterly report and send it to the team");
    summary.startedAt = startedAt;
    summary.focusedSeconds = segments * 40;
    summary.completed = true;
    summary.longestStreak = 55;
    QList<SessionTimeline::Segment> parts;
    for (int i = 0; i < segments; ++i) {
        SessionTimeline::Segment part;
        part.kind = i % 2 == 0 ? Kind::Related : Kind::Detour;
        part.start = i * 60.0;
        part.end = part.start + 55.0;
        part.phrase = i % 2 == 0 ? QStringLiteral("Drafted the report") : phrase;
        part.clues.app = QStringLiteral("Browser");
        part.clues.host = i % 2 == 0 ? QString() : QStringLiteral("news.example");
        part.clues.titles = {QStringLiteral("Quarterly report %1").arg(i)};
        parts.append(part);
    }
    summary.timeline = normaliseTimeline(parts, segments * 60.0);
    for (int i = 0; i < 3; ++i) {
        summary.topDetours.append({QStringLiteral("detour|news.example|%1").arg(i),
                                   i == 0 ? phrase : QStringLiteral("Read the news %1").arg(i),
                                   300.0 - i * 60,
                                   startedAt.addSecs(60 + i * 120),
                                   {}});
    }
    summary.detours = 3;
    summary.detourSeconds = 720;
    return summary;
}

SessionHistory& store() {
    static SessionHistory* history = [] {
        SessionHistory::Options options;
        const QString given = qEnvironmentVariable("TAVRINE_BENCH_HISTORY_DIR");
        options.folder = given.isEmpty() ? QDir::tempPath() + QStringLiteral("/tavrine-history-bench") : given;
        auto* made = new SessionHistory(options);
        qint64 count = made->sessionCount();
        if (count < storedSessions)
            std::fprintf(stderr, "filling the history in %s up to %lld sessions\n", qPrintable(options.folder),
                         static_cast<long long>(storedSessions));
        for (; count < storedSessions; ++count)
            made->record(
                benchSummary(4 + int(count % 13), oldest.addSecs(count * 7200), QStringLiteral("Read the news")),
                oldest);
        return made;
    }();
    return *history;
}

// What the window shows first: the list counted, the first row read, the newest session selected and its
// timeline laid out at the detail's height.
void openHistoryWindowModels(benchmark::State& state) {
    SessionHistory& history = store();
    for (auto _ : state) {
        HistoryBrowser browser(&history, Clock::system());
        browser.timeline()->setHeight(300);
        benchmark::DoNotOptimize(browser.listModel()->data(browser.listModel()->index(0), HistoryListModel::TitleRole));
        benchmark::DoNotOptimize(browser.detailTitle());
        benchmark::DoNotOptimize(browser.timeline()->rowCount());
    }
}

// Scrolled far down: a page the list does not hold yet.
void readPageFarDown(benchmark::State& state) {
    SessionHistory& history = store();
    HistoryListModel list(&history, Clock::system());
    int page = 0;
    for (auto _ : state) {
        // Rows 99,800 and on, then ever higher pages further up, so that each read misses the five kept pages.
        const int row = 99'800 - (page++ % 400) * int(HistoryListModel::pageSize);
        benchmark::DoNotOptimize(list.data(list.index(row), HistoryListModel::SubtitleRole));
    }
}

// From a recording to the list current again: counted anew, the new session on the first row, the browser's
// selection checked against the store.
void currentAfterRecording(benchmark::State& state) {
    SessionHistory& history = store();
    HistoryBrowser browser(&history, Clock::system());
    HistoryListModel* list = browser.listModel();
    const SessionSummary summary = benchSummary(40, oldest.addSecs(storedSessions * 7200), QStringLiteral("Read mail"));
    for (auto _ : state) {
        const std::optional<QUuid> id = history.record(summary, oldest);
        const QString first = list->data(list->index(0), HistoryListModel::SessionIdRole).toString();
        benchmark::DoNotOptimize(list->data(list->index(0), HistoryListModel::TitleRole));
        benchmark::DoNotOptimize(browser.detailTitle());
        state.PauseTiming();
        const bool shown = id && first == id->toString(QUuid::WithoutBraces);
        if (id)
            history.deleteSession(*id);
        if (!shown) {
            state.SkipWithError("the new session is not on the first row");
            break;
        }
        state.ResumeTiming();
    }
}

// On the main thread when the recap appears; a different phrase each time, so nothing is reused.
void makeShareImageWithThreeDetours(benchmark::State& state) {
    QQmlEngine engine;
    ui::setUpQmlEngine(engine);
    int run = 0;
    for (auto _ : state) {
        const SessionSummary summary = benchSummary(30, oldest, QStringLiteral("Read the news %1").arg(run++));
        const std::optional<RecapShareImage> image = makeShareImage(summary, engine);
        if (!image)
            state.SkipWithError("no share image");
        benchmark::DoNotOptimize(image);
    }
}

} // namespace

BENCHMARK(openHistoryWindowModels)->Unit(benchmark::kMillisecond);
BENCHMARK(readPageFarDown)->Unit(benchmark::kMillisecond);
BENCHMARK(currentAfterRecording)->Unit(benchmark::kMillisecond);
BENCHMARK(makeShareImageWithThreeDetours)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("com.dravolence.tavrine.History.info=false"));
    return runBenchmarks<QGuiApplication>(argc, argv, [] { store(); });
}
