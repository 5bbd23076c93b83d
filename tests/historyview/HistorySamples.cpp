#include "historyview/HistorySamples.h"

namespace tavrine::test {

namespace {

using Kind = SessionTimeline::Kind;

SessionTimeline::Segment segment(Kind kind, double start, double end, const QString& phrase, const QString& app,
                                 const QString& host = {}, const QStringList& titles = {}) {
    SessionTimeline::Segment made;
    made.kind = kind;
    made.start = start;
    made.end = end;
    made.phrase = phrase;
    made.clues.app = app;
    made.clues.host = host;
    made.clues.titles = titles;
    return made;
}

SessionSummary::Detour detour(const QString& phrase, double seconds, const QDateTime& firstAt) {
    return {QStringLiteral("detour|") + phrase, phrase, seconds, firstAt, {}};
}

} // namespace

SessionSummary sampleRecapSummary(const QDate& day) {
    SessionSummary summary;
    summary.intention = QStringLiteral("Write the quarterly report");
    summary.startedAt = QDateTime(day, QTime(9, 41));
    summary.focusedSeconds = 1260;
    summary.completed = true;
    summary.detours = 3;
    summary.detourSeconds = 240;
    summary.longestStreak = 480;
    summary.topDetours = {detour(QStringLiteral("Scrolled the feed"), 140, summary.startedAt.addSecs(420)),
                          detour(QStringLiteral("TV listings"), 60, summary.startedAt.addSecs(1080)),
                          detour(QStringLiteral("Read mail"), 40, summary.startedAt.addSecs(1240))};
    const QString writer = QStringLiteral("Writer");
    const QStringList report{QStringLiteral("Q3 report.odt"), QStringLiteral("Figures.ods")};
    summary.timeline =
        normaliseTimeline({segment(Kind::Related, 0, 420, QStringLiteral("Outlined the report"), writer, {}, report),
                           segment(Kind::Detour, 420, 560, QStringLiteral("Scrolled the feed"),
                                   QStringLiteral("Browser"), QStringLiteral("social.example"),
                                   {QStringLiteral("Home / Social"), QStringLiteral("Trending now"),
                                    QStringLiteral("Photos"), QStringLiteral("Messages")}),
                           segment(Kind::Related, 600, 1080, QStringLiteral("Wrote the summary"), writer, {}, report),
                           segment(Kind::Detour, 1080, 1140, QStringLiteral("TV listings"), QStringLiteral("Browser"),
                                   QStringLiteral("tv.example"), {QStringLiteral("Tonight on TV")}),
                           segment(Kind::Pause, 1140, 1200, QStringLiteral("Paused"), {}),
                           segment(Kind::Related, 1200, 1500, QStringLiteral("Checked the figures"),
                                   QStringLiteral("Spreadsheet"), {}, {QStringLiteral("Figures.ods")})},
                          1500);
    return summary;
}

QList<SessionSummary> sampleHistory(const QDateTime& now) {
    const QDate today = now.date();
    auto plain = [](const QString& intention, const QDateTime& startedAt, double minutes, bool completed, int detours) {
        SessionSummary summary;
        summary.intention = intention;
        summary.startedAt = startedAt;
        summary.focusedSeconds = minutes * 60 - detours * 90;
        summary.completed = completed;
        summary.detours = detours;
        summary.detourSeconds = detours * 90;
        summary.longestStreak = minutes * 60 / (detours + 1);
        QList<SessionTimeline::Segment> parts;
        double at = 0;
        for (int i = 0; i <= detours; ++i) {
            const double related = (minutes * 60 - detours * 90) / (detours + 1);
            parts.append(segment(Kind::Related, at, at + related,
                                 intention.isEmpty() ? QStringLiteral("Reading") : intention,
                                 QStringLiteral("Editor")));
            at += related;
            if (i < detours) {
                parts.append(segment(Kind::Detour, at, at + 90, QStringLiteral("Checked the news"),
                                     QStringLiteral("Browser"), QStringLiteral("news.example")));
                at += 90;
            }
        }
        summary.timeline = normaliseTimeline(parts, minutes * 60);
        return summary;
    };
    return {plain(QStringLiteral("Read the paper on cache eviction"), QDateTime(today.addDays(-4), QTime(20, 15)), 45,
                  true, 0),
            plain(QStringLiteral("Answer the support queue"), QDateTime(today.addDays(-1), QTime(10, 0)), 30, true, 0),
            plain(QStringLiteral("Plan the sprint"), QDateTime(today.addDays(-1), QTime(16, 30)), 50, false, 2),
            sampleRecapSummary(today), plain(QString(), QDateTime(today, QTime(14, 5)), 15, false, 1)};
}

} // namespace tavrine::test
