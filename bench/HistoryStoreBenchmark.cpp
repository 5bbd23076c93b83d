// Recording one session, keeping a running one, and reading the newest page and one far down (whole, and as the
// History window's list reads them), on a history of 100,000 sessions.
//
// The store is built once (through the store itself, one recording at a time) in
// $TAVRINE_BENCH_HISTORY_DIR, or a folder under the temporary folder, and reused by later runs.
#include "BenchmarkMain.h"
#include "tavrine/historystore/HistoryDatabase.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historystore/StoreFileCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

#include <cstdio>

using namespace tavrine;

namespace {

constexpr qint64 storedSessions = 100'000;
const QDateTime firstStart = QDateTime::fromSecsSinceEpoch(1'600'000'000, Qt::UTC);

SessionSummary summaryWith(int segments, const QDateTime& startedAt) {
    SessionSummary summary;
    summary.intention = QStringLiteral("Finish the quarterly report and send it to the team");
    summary.startedAt = startedAt;
    summary.focusedSeconds = 45 * 60;
    summary.completed = true;
    QList<SessionTimeline::Segment> parts;
    for (int i = 0; i < segments; ++i) {
        SessionTimeline::Segment segment;
        segment.kind = i % 2 == 0 ? SessionTimeline::Kind::Related : SessionTimeline::Kind::Detour;
        segment.start = i * 60.0;
        segment.end = i * 60.0 + 55.0;
        segment.phrase = i % 2 == 0 ? QStringLiteral("Drafted the report") : QStringLiteral("Browsed Reddit");
        segment.clues.app = i % 2 == 0 ? QStringLiteral("Writer") : QStringLiteral("Browser");
        segment.clues.host = i % 2 == 0 ? QString() : QStringLiteral("reddit.com");
        segment.clues.titles = {QStringLiteral("Quarterly report %1.odt").arg(i), QStringLiteral("Notes")};
        parts.append(segment);
    }
    summary.timeline = normaliseTimeline(parts, segments * 60.0);
    return summary;
}

QString benchFolder() {
    const QString given = qEnvironmentVariable("TAVRINE_BENCH_HISTORY_DIR");
    return given.isEmpty() ? QDir::tempPath() + QStringLiteral("/tavrine-history-bench") : given;
}

SessionHistory& history() {
    static SessionHistory* store = [] {
        SessionHistory::Options options;
        options.folder = benchFolder();
        auto* created = new SessionHistory(options);
        qint64 count = created->sessionCount();
        if (count < storedSessions)
            std::fprintf(stderr, "building a history of %lld sessions in %s\n", static_cast<long long>(storedSessions),
                         qPrintable(options.folder));
        for (; count < storedSessions; ++count) {
            // Sessions of 4 to 16 segments, two hours apart.
            const int segments = 4 + int(count % 13);
            created->record(summaryWith(segments, firstStart.addSecs(count * 7200)), firstStart);
        }
        return created;
    }();
    return *store;
}

void recordSession(benchmark::State& state) {
    SessionHistory& store = history();
    const SessionSummary summary = summaryWith(40, firstStart.addSecs(-3600));
    QList<QUuid> recorded;
    for (auto _ : state)
        recorded.append(*store.record(summary, firstStart));
    // After the timed loop: the history goes back to its 100,000 sessions.
    for (const QUuid& id : recorded)
        store.deleteSession(id);
}

// One write of a running session (a two-hour session's 40 stretches): what each look that finds a change costs.
void keepRunningSession(benchmark::State& state) {
    SessionHistory& store = history();
    SessionSummary snapshot = summaryWith(40, firstStart.addSecs(-3600));
    snapshot.completed = false;
    const QUuid id = QUuid::createUuid();
    for (auto _ : state)
        store.keepRunning(id, snapshot);
    store.dropRunning(id);
}

// A page of the History window's 200 sessions, whole (as the store hands a page over) or as the window's list
// reads it, without the segments.
void readPage(benchmark::State& state, qint64 offset, bool whole) {
    SessionHistory& store = history();
    for (auto _ : state) {
        const QList<StoredSession> page =
            whole ? store.sessions(offset, 200) : store.sessionsWithoutSegments(offset, 200);
        benchmark::DoNotOptimize(page.size());
    }
}

// The deep page is the last but one.
void readNewestSessions(benchmark::State& state) {
    readPage(state, 0, true);
}
void readDeepSessions(benchmark::State& state) {
    readPage(state, storedSessions - 400, true);
}
void readNewestListPage(benchmark::State& state) {
    readPage(state, 0, false);
}
void readDeepListPage(benchmark::State& state) {
    readPage(state, storedSessions - 400, false);
}

void rebuildNewestTimelines(benchmark::State& state) {
    SessionHistory& store = history();
    const QList<StoredSession> page = store.sessions(0, 200);
    for (auto _ : state) {
        for (const StoredSession& session : page)
            benchmark::DoNotOptimize(session.timeline().segments.size());
    }
}

// The read-through of the whole file that opening an existing store begins with.
void checkStoreFile(benchmark::State& state) {
    history();
    const QString path = benchFolder() + QLatin1Char('/') + SessionHistory::fileName();
    for (auto _ : state) {
        const StoreFileCheck::Result result =
            StoreFileCheck::check(path, QStringLiteral("QSQLITE"), HistoryDatabase::schemaVersion);
        benchmark::DoNotOptimize(result.verdict);
    }
}

// What opening the application's store costs the main thread: the check runs on a worker.
void openInBackground(benchmark::State& state) {
    history();
    for (auto _ : state) {
        SessionHistory::Options options;
        options.folder = benchFolder();
        options.checkInBackground = true;
        SessionHistory store(options);
        store.open();
        state.PauseTiming();
        store.waitUntilOpen();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(checkStoreFile)->Unit(benchmark::kMillisecond);
BENCHMARK(openInBackground)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(recordSession)->Unit(benchmark::kMillisecond);
BENCHMARK(keepRunningSession)->Unit(benchmark::kMillisecond);
BENCHMARK(readNewestSessions)->Unit(benchmark::kMillisecond);
BENCHMARK(readDeepSessions)->Unit(benchmark::kMillisecond);
BENCHMARK(readNewestListPage)->Unit(benchmark::kMillisecond);
BENCHMARK(readDeepListPage)->Unit(benchmark::kMillisecond);
BENCHMARK(rebuildNewestTimelines)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.dravolence.tavrine.History.info=false"));
    return runBenchmarks<QCoreApplication>(argc, argv, [] { history(); });
}
