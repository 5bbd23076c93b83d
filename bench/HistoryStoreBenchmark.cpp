// Recording one session and reading the newest page and one far down, on a history of 100,000 sessions.
//
// The store is built once (through the store itself, one recording at a time) in
// $TAVRINE_BENCH_HISTORY_DIR, or a folder under the temporary folder, and reused by later runs.
#include "BenchmarkMain.h"
#include "tavrine/historystore/SessionHistory.h"

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

void readNewestSessions(benchmark::State& state) {
    SessionHistory& store = history();
    for (auto _ : state) {
        const QList<StoredSession> page = store.sessions(0, 200);
        benchmark::DoNotOptimize(page.size());
    }
}

// The History window's pages are 200 sessions long; this one is the last but one.
void readDeepSessions(benchmark::State& state) {
    SessionHistory& store = history();
    for (auto _ : state) {
        const QList<StoredSession> page = store.sessions(storedSessions - 400, 200);
        benchmark::DoNotOptimize(page.size());
    }
}

void rebuildNewestTimelines(benchmark::State& state) {
    SessionHistory& store = history();
    const QList<StoredSession> page = store.sessions(0, 200);
    for (auto _ : state) {
        for (const StoredSession& session : page)
            benchmark::DoNotOptimize(session.timeline().segments.size());
    }
}

} // namespace

BENCHMARK(recordSession)->Unit(benchmark::kMillisecond);
BENCHMARK(readNewestSessions)->Unit(benchmark::kMillisecond);
BENCHMARK(readDeepSessions)->Unit(benchmark::kMillisecond);
BENCHMARK(rebuildNewestTimelines)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.dravolence.tavrine.History.info=false"));
    return runBenchmarks<QCoreApplication>(argc, argv, [] { history(); });
}
