#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/HistoryIntentWriter.h"
#include "tavrine/services/NudgeWriterError.h"
#include "tavrine/services/RecapPhraseWriter.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QJsonArray>

using namespace tavrine;
using namespace tavrine::test;

namespace {

using Kind = SessionTimeline::Kind;

SessionTimeline::Segment segment(qint64 id, Kind kind, double start, double end, const QString& app = QString()) {
    SessionTimeline::Segment result;
    result.id = id;
    result.kind = kind;
    result.start = start;
    result.end = end;
    result.clues.app = app;
    return result;
}

QStringList ids(const QList<HistoryBlockFacts>& facts) {
    QStringList result;
    for (const HistoryBlockFacts& fact : facts)
        result.append(fact.id);
    return result;
}

QJsonObject okLines(const QJsonObject& lines) {
    return QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}, {QStringLiteral("lines"), lines}};
}

} // namespace

TEST(HistoryBlocks, OnlyOnTrackAndDetourBlocksAreSent) {
    EXPECT_TRUE(makeHistoryBlockFacts({segment(0, Kind::Pause, 0, 100), segment(1, Kind::Gap, 100, 200)}).isEmpty());

    SessionTimeline::Segment work = segment(4, Kind::Related, 0, 10, QStringLiteral("Editor"));
    work.clues.host = QStringLiteral("docs.example.com");
    work.clues.titles = {QStringLiteral("Report")};
    work.clues.excerpts = {QStringLiteral("Quarterly")};
    work.clues.captions = {QStringLiteral("Writing")};
    const auto facts = makeHistoryBlockFacts({work, segment(5, Kind::Detour, 10, 100),
                                              segment(6, Kind::Pause, 100, 200), segment(7, Kind::Detour, 200, 290)});
    ASSERT_EQ(facts.size(), 3);
    EXPECT_EQ(facts[0], (HistoryBlockFacts{QStringLiteral("4"),
                                           QStringLiteral("on_track"),
                                           QStringLiteral("Editor"),
                                           QStringLiteral("docs.example.com"),
                                           1,
                                           {QStringLiteral("Report")},
                                           {QStringLiteral("Quarterly")},
                                           {QStringLiteral("Writing")}}));
    EXPECT_EQ(facts[1].kind, QStringLiteral("detour"));
    // 90 s is 1.5 minutes, rounded away from zero.
    EXPECT_EQ(facts[1].minutes, 2);
    EXPECT_EQ(ids(facts), (QStringList{QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("7")}));
}

TEST(HistoryBlocks, TheThirtyLongestAreSentInTimelineOrder) {
    QList<SessionTimeline::Segment> equal;
    for (int i = 0; i < 31; ++i)
        equal.append(segment(i, i % 2 ? Kind::Detour : Kind::Related, i * 60.0, i * 60.0 + 60));
    const auto first30 = makeHistoryBlockFacts(equal);
    ASSERT_EQ(first30.size(), 30);
    EXPECT_EQ(first30.first().id, QStringLiteral("0"));
    EXPECT_EQ(first30.last().id, QStringLiteral("29"));

    // Forty blocks; the ten shortest are spread out and must be the ones left out.
    QList<SessionTimeline::Segment> forty;
    QStringList expected;
    double at = 0;
    for (int i = 0; i < 40; ++i) {
        const double length = i % 4 == 1 ? 10 : 100 + i;
        forty.append(segment(i, Kind::Related, at, at + length));
        at += length;
        if (i % 4 != 1)
            expected.append(QString::number(i));
    }
    EXPECT_EQ(ids(makeHistoryBlockFacts(forty)), expected);
}

class WritersTest : public FakeApiTest {};

TEST_F(WritersTest, HistoryRequestAndAnswer) {
    HistoryIntentWriter writer(makeClient());
    EXPECT_EQ(writer.promptVersion(), QStringLiteral("history-v1"));
    QJsonObject answer = okLines(QJsonObject{{QStringLiteral("3"), QStringLiteral("Drafted the intro")},
                                             {QStringLiteral("4"), 12},
                                             {QStringLiteral("5"), QStringLiteral(" \n ")},
                                             {QStringLiteral("9"), QStringLiteral("Not sent, kept anyway")}});
    answer.insert(QStringLiteral("prompt_version"), QStringLiteral("history-v2"));
    api.enqueue(QStringLiteral("history"), FakeReply::json(answer));
    const QList<HistoryBlockFacts> facts{HistoryBlockFacts{QStringLiteral("3"),
                                                           QStringLiteral("on_track"),
                                                           QStringLiteral("Editor"),
                                                           QString(),
                                                           2,
                                                           {QStringLiteral("t")},
                                                           {QStringLiteral("x")},
                                                           {}}};
    const auto outcome = run(writer.write(QStringLiteral("write"), facts));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    // Blank lines are dropped: they would wipe the logged line.
    EXPECT_EQ(*outcome.value, (QMap<QString, QString>{{QStringLiteral("3"), QStringLiteral("Drafted the intro")},
                                                      {QStringLiteral("9"), QStringLiteral("Not sent, kept anyway")}}));
    EXPECT_EQ(writer.promptVersion(), QStringLiteral("history-v2"));

    const QJsonObject body = api.requests().first().json();
    EXPECT_EQ(body.value(QStringLiteral("intention")).toString(), QStringLiteral("write"));
    const QJsonObject block = body.value(QStringLiteral("blocks")).toArray().first().toObject();
    EXPECT_EQ(block, (QJsonObject{{QStringLiteral("id"), QStringLiteral("3")},
                                  {QStringLiteral("kind"), QStringLiteral("on_track")},
                                  {QStringLiteral("app"), QStringLiteral("Editor")},
                                  {QStringLiteral("site"), QString()},
                                  {QStringLiteral("minutes"), 2},
                                  {QStringLiteral("titles"), QJsonArray{QStringLiteral("t")}},
                                  {QStringLiteral("text"), QJsonArray{QStringLiteral("x")}},
                                  {QStringLiteral("captions"), QJsonArray{}}}));
}

TEST_F(WritersTest, RecapRequestAndAnswer) {
    RecapPhraseWriter writer(makeClient());
    EXPECT_EQ(writer.promptVersion(), QStringLiteral("recap-v2"));
    api.enqueue(QStringLiteral("recap"), FakeReply::json(okLines(QJsonObject{})));
    const QList<RecapDetourFacts> facts{RecapDetourFacts{QStringLiteral("detour|host|video.example"),
                                                         QStringLiteral("Browser"),
                                                         QStringLiteral("video.example"),
                                                         3,
                                                         {QStringLiteral("Cats")},
                                                         {QStringLiteral("Watching")},
                                                         QStringLiteral("Browsed video.example")}};
    const auto outcome = run(writer.write(QStringLiteral("write"), facts));
    ASSERT_TRUE(outcome.value);
    EXPECT_TRUE(outcome.value->isEmpty());
    EXPECT_EQ(writer.promptVersion(), QStringLiteral("recap-v2"));
    const QJsonObject detour =
        api.requests().first().json().value(QStringLiteral("detours")).toArray().first().toObject();
    EXPECT_EQ(detour, (QJsonObject{{QStringLiteral("id"), QStringLiteral("detour|host|video.example")},
                                   {QStringLiteral("app"), QStringLiteral("Browser")},
                                   {QStringLiteral("site"), QStringLiteral("video.example")},
                                   {QStringLiteral("minutes"), 3},
                                   {QStringLiteral("titles"), QJsonArray{QStringLiteral("Cats")}},
                                   {QStringLiteral("captions"), QJsonArray{QStringLiteral("Watching")}},
                                   {QStringLiteral("fallback"), QStringLiteral("Browsed video.example")}}));
}

TEST_F(WritersTest, RefusedOrMalformedAnswersAreInvalidButStillNameTheirVersion) {
    RecapPhraseWriter recap(makeClient());
    HistoryIntentWriter history(makeClient());
    const QList<QJsonObject> answers = {
        QJsonObject{{QStringLiteral("status"), QStringLiteral("error")},
                    {QStringLiteral("prompt_version"), QStringLiteral("v9")}},
        QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")},
                    {QStringLiteral("lines"), QJsonArray{QJsonObject{}}}},
        QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}},
        QJsonObject{},
    };
    for (const QJsonObject& answer : answers) {
        api.enqueue(QStringLiteral("recap"), FakeReply::json(answer));
        api.enqueue(QStringLiteral("history"), FakeReply::json(answer));
        const auto recapOutcome = run(recap.write(QStringLiteral("w"), {}));
        const auto historyOutcome = run(history.write(QStringLiteral("w"), {}));
        for (const std::exception_ptr& error : {recapOutcome.error, historyOutcome.error}) {
            EXPECT_EQ(errorKindCode(error), QStringLiteral("openAIInvalidResponse"));
            EXPECT_TRUE(
                describeErrorForLog(error).endsWith(QStringLiteral("The API returned an invalid nudge response.")));
        }
    }
    EXPECT_EQ(recap.promptVersion(), QStringLiteral("v9"));
    EXPECT_EQ(history.promptVersion(), QStringLiteral("v9"));

    // The API client's own failures pass through unchanged.
    api.enqueue(QStringLiteral("recap"), FakeReply::text(503, "busy"));
    const auto error = errorAs<TavrineAPIError>(run(recap.write(QStringLiteral("w"), {})));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, TavrineAPIError::httpStatus(503, QStringLiteral("busy")));
}
