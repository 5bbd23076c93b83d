#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/HistoryIntentWriter.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/services/NudgeWriterError.h"
#include "tavrine/services/RecapPhraseWriter.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QJsonArray>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

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
    return QJsonObject{{u"status"_s, u"ok"_s}, {u"lines"_s, lines}};
}

} // namespace

TEST(HistoryBlocks, OnlyOnTrackAndDetourBlocksAreSent) {
    EXPECT_TRUE(makeHistoryBlockFacts({segment(0, Kind::Pause, 0, 100), segment(1, Kind::Gap, 100, 200)}).isEmpty());

    SessionTimeline::Segment work = segment(4, Kind::Related, 0, 10, u"Editor"_s);
    work.clues.host = u"docs.example.com"_s;
    work.clues.titles = {u"Report"_s};
    work.clues.excerpts = {u"Quarterly"_s};
    work.clues.captions = {u"Writing"_s};
    const auto facts = makeHistoryBlockFacts({work, segment(5, Kind::Detour, 10, 100),
                                              segment(6, Kind::Pause, 100, 200), segment(7, Kind::Detour, 200, 290)});
    ASSERT_EQ(facts.size(), 3);
    EXPECT_EQ(facts[0], (HistoryBlockFacts{u"4"_s,
                                           u"on_track"_s,
                                           u"Editor"_s,
                                           u"docs.example.com"_s,
                                           1,
                                           {u"Report"_s},
                                           {u"Quarterly"_s},
                                           {u"Writing"_s}}));
    EXPECT_EQ(facts[1].kind, u"detour"_s);
    // 90 s is 1.5 minutes, rounded away from zero.
    EXPECT_EQ(facts[1].minutes, 2);
    EXPECT_EQ(ids(facts), (QStringList{u"4"_s, u"5"_s, u"7"_s}));
}

TEST(HistoryBlocks, TheThirtyLongestAreSentInTimelineOrder) {
    QList<SessionTimeline::Segment> equal;
    for (int i = 0; i < 31; ++i)
        equal.append(segment(i, i % 2 ? Kind::Detour : Kind::Related, i * 60.0, i * 60.0 + 60));
    const auto first30 = makeHistoryBlockFacts(equal);
    ASSERT_EQ(first30.size(), 30);
    EXPECT_EQ(first30.first().id, u"0"_s);
    EXPECT_EQ(first30.last().id, u"29"_s);

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
    EXPECT_EQ(writer.promptVersion(), u"history-v1"_s);
    QJsonObject answer = okLines(QJsonObject{
        {u"3"_s, u"Drafted the intro"_s}, {u"4"_s, 12}, {u"5"_s, u" \n "_s}, {u"9"_s, u"Not sent, kept anyway"_s}});
    answer.insert(u"prompt_version"_s, u"history-v2"_s);
    api.enqueue(u"history"_s, FakeReply::json(answer));
    const QList<HistoryBlockFacts> facts{
        HistoryBlockFacts{u"3"_s, u"on_track"_s, u"Editor"_s, QString(), 2, {u"t"_s}, {u"x"_s}, {}}};
    const auto outcome = run(writer.write(u"write"_s, facts));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    // Blank lines are dropped: they would wipe the logged line.
    EXPECT_EQ(*outcome.value,
              (QMap<QString, QString>{{u"3"_s, u"Drafted the intro"_s}, {u"9"_s, u"Not sent, kept anyway"_s}}));
    EXPECT_EQ(writer.promptVersion(), u"history-v2"_s);

    const QJsonObject body = api.requests().first().json();
    EXPECT_EQ(body.value(u"intention"_s).toString(), u"write"_s);
    const QJsonObject block = body.value(u"blocks"_s).toArray().first().toObject();
    EXPECT_EQ(block, (QJsonObject{{u"id"_s, u"3"_s},
                                  {u"kind"_s, u"on_track"_s},
                                  {u"app"_s, u"Editor"_s},
                                  {u"site"_s, QString()},
                                  {u"minutes"_s, 2},
                                  {u"titles"_s, QJsonArray{u"t"_s}},
                                  {u"text"_s, QJsonArray{u"x"_s}},
                                  {u"captions"_s, QJsonArray{}}}));
}

TEST_F(WritersTest, RecapRequestAndAnswer) {
    RecapPhraseWriter writer(makeClient());
    EXPECT_EQ(writer.promptVersion(), u"recap-v2"_s);
    api.enqueue(u"recap"_s, FakeReply::json(okLines(QJsonObject{})));
    const QList<RecapDetourFacts> facts{RecapDetourFacts{u"detour|host|video.example"_s,
                                                         u"Browser"_s,
                                                         u"video.example"_s,
                                                         3,
                                                         {u"Cats"_s},
                                                         {u"Watching"_s},
                                                         u"Browsed video.example"_s}};
    const auto outcome = run(writer.write(u"write"_s, facts));
    ASSERT_TRUE(outcome.value);
    EXPECT_TRUE(outcome.value->isEmpty());
    EXPECT_EQ(writer.promptVersion(), u"recap-v2"_s);
    const QJsonObject detour = api.requests().first().json().value(u"detours"_s).toArray().first().toObject();
    EXPECT_EQ(detour, (QJsonObject{{u"id"_s, u"detour|host|video.example"_s},
                                   {u"app"_s, u"Browser"_s},
                                   {u"site"_s, u"video.example"_s},
                                   {u"minutes"_s, 3},
                                   {u"titles"_s, QJsonArray{u"Cats"_s}},
                                   {u"captions"_s, QJsonArray{u"Watching"_s}},
                                   {u"fallback"_s, u"Browsed video.example"_s}}));
}

TEST_F(WritersTest, RefusedOrMalformedAnswersAreInvalidButStillNameTheirVersion) {
    RecapPhraseWriter recap(makeClient());
    HistoryIntentWriter history(makeClient());
    const QList<QJsonObject> answers = {
        QJsonObject{{u"status"_s, u"error"_s}, {u"prompt_version"_s, u"v9"_s}},
        QJsonObject{{u"status"_s, u"ok"_s}, {u"lines"_s, QJsonArray{QJsonObject{}}}},
        QJsonObject{{u"status"_s, u"ok"_s}},
        QJsonObject{},
    };
    for (const QJsonObject& answer : answers) {
        api.enqueue(u"recap"_s, FakeReply::json(answer));
        api.enqueue(u"history"_s, FakeReply::json(answer));
        const auto recapOutcome = run(recap.write(u"w"_s, {}));
        const auto historyOutcome = run(history.write(u"w"_s, {}));
        for (const std::exception_ptr& error : {recapOutcome.error, historyOutcome.error}) {
            EXPECT_EQ(errorKindCode(error), u"openAIInvalidResponse"_s);
            EXPECT_TRUE(describeErrorForLog(error).endsWith(u"The API returned an invalid nudge response."_s));
        }
    }
    EXPECT_EQ(recap.promptVersion(), u"v9"_s);
    EXPECT_EQ(history.promptVersion(), u"v9"_s);

    // The API client's own failures pass through unchanged.
    api.enqueue(u"recap"_s, FakeReply::text(503, "busy"));
    const auto error = errorAs<TavrineAPIError>(run(recap.write(u"w"_s, {})));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, TavrineAPIError::httpStatus(503, u"busy"_s));
    api.enqueue(u"history"_s, FakeReply::text(200, "not json"));
    const auto unreadable = run(history.write(u"w"_s, {}));
    EXPECT_TRUE(errorAs<JsonParseError>(unreadable));
    EXPECT_EQ(errorKindCode(unreadable.error), u"QJsonParseError code=5"_s);
    // No token stays the client's error; the writers have no case of their own for it.
    tokens->token.reset();
    for (const auto& missing : {errorAs<TavrineAPIError>(run(recap.write(u"w"_s, {}))),
                                errorAs<TavrineAPIError>(run(history.write(u"w"_s, {})))}) {
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->kind(), TavrineAPIError::Kind::missingToken);
    }
}
