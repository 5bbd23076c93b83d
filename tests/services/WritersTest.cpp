#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/HistoryIntentWriter.h"
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

TEST(HistoryBlocks, OnlyOnTrackAndDetourBlocksAreSentTheThirtyLongestInTimelineOrder) {
    SessionTimeline::Segment work = segment(4, Kind::Related, 0, 10, u"Editor"_s);
    work.clues.host = u"docs.example.com"_s;
    work.clues.titles = {u"Report"_s};
    work.clues.excerpts = {u"Quarterly"_s};
    work.clues.captions = {u"Writing"_s};
    const auto facts = makeHistoryBlockFacts(
        {work, segment(5, Kind::Detour, 10, 100), segment(6, Kind::Pause, 100, 200), segment(7, Kind::Gap, 200, 290)});
    ASSERT_EQ(ids(facts), (QStringList{u"4"_s, u"5"_s}));
    const HistoryBlockFacts expected{u"4"_s, u"on_track"_s, u"Editor"_s,      u"docs.example.com"_s,
                                     1,      {u"Report"_s}, {u"Quarterly"_s}, {u"Writing"_s}};
    EXPECT_EQ(facts[0], expected);
    EXPECT_EQ(facts[1].kind, u"detour"_s);
    EXPECT_EQ(facts[1].minutes, 2) << "90 s is 1.5 minutes, rounded away from zero";

    // Forty blocks; the ten shortest are spread out and must be the ones left out.
    QList<SessionTimeline::Segment> forty;
    QStringList longest;
    double at = 0;
    for (int i = 0; i < 40; ++i) {
        const double length = i % 4 == 1 ? 10 : 100 + i;
        forty.append(segment(i, Kind::Related, at, at + length));
        at += length;
        if (i % 4 != 1)
            longest.append(QString::number(i));
    }
    EXPECT_EQ(ids(makeHistoryBlockFacts(forty)), longest);
}

class WritersTest : public FakeApiTest {};

TEST_F(WritersTest, RequestShapesAnswersWithoutBlankLinesAndPromptVersions) {
    HistoryIntentWriter history(makeClient());
    EXPECT_EQ(history.promptVersion(), u"history-v1"_s);
    QJsonObject answer = okLines(QJsonObject{
        {u"3"_s, u"Drafted the intro"_s}, {u"4"_s, 12}, {u"5"_s, u" \n "_s}, {u"9"_s, u"Not sent, kept anyway"_s}});
    answer.insert(u"prompt_version"_s, u"history-v2"_s);
    api.enqueue(u"history"_s, FakeReply::json(answer));
    const auto lines = run(history.write(
        u"write"_s, {HistoryBlockFacts{u"3"_s, u"on_track"_s, u"Editor"_s, QString(), 2, {u"t"_s}, {u"x"_s}, {}}}));
    ASSERT_TRUE(lines.value) << describeErrorForLog(lines.error).toStdString();
    // Blank lines are dropped: they would wipe the logged line.
    EXPECT_EQ(*lines.value,
              (QMap<QString, QString>{{u"3"_s, u"Drafted the intro"_s}, {u"9"_s, u"Not sent, kept anyway"_s}}));
    EXPECT_EQ(history.promptVersion(), u"history-v2"_s);
    EXPECT_EQ(compact(api.requests(u"history"_s).first().json()),
              R"({"blocks":[{"app":"Editor","captions":[],"id":"3","kind":"on_track","minutes":2,"site":"",)"
              R"("text":["x"],"titles":["t"]}],"intention":"write"})");

    RecapPhraseWriter recap(makeClient());
    EXPECT_EQ(recap.promptVersion(), u"recap-v2"_s);
    api.enqueue(u"recap"_s, FakeReply::json(okLines(QJsonObject{})));
    const auto phrases = run(recap.write(u"write"_s, {RecapDetourFacts{u"detour|host|video.example"_s,
                                                                       u"Browser"_s,
                                                                       u"video.example"_s,
                                                                       3,
                                                                       {u"Cats"_s},
                                                                       {u"Watching"_s},
                                                                       u"Browsed video.example"_s}}));
    ASSERT_TRUE(phrases.value);
    EXPECT_TRUE(phrases.value->isEmpty());
    EXPECT_EQ(recap.promptVersion(), u"recap-v2"_s);
    EXPECT_EQ(compact(api.requests(u"recap"_s).first().json()),
              R"({"detours":[{"app":"Browser","captions":["Watching"],"fallback":"Browsed video.example",)"
              R"("id":"detour|host|video.example","minutes":3,"site":"video.example","titles":["Cats"]}],)"
              R"("intention":"write"})");
}

TEST_F(WritersTest, MalformedAnswersAreInvalidButStillNameTheirVersion) {
    RecapPhraseWriter recap(makeClient());
    HistoryIntentWriter history(makeClient());
    for (const QJsonObject& answer :
         {QJsonObject{{u"status"_s, u"error"_s}, {u"prompt_version"_s, u"v9"_s}},
          QJsonObject{{u"status"_s, u"ok"_s}, {u"lines"_s, QJsonArray{QJsonObject{}}}}, QJsonObject{}}) {
        api.enqueue(u"recap"_s, FakeReply::json(answer));
        api.enqueue(u"history"_s, FakeReply::json(answer));
        const auto recapOutcome = run(recap.write(u"w"_s, {}));
        const auto historyOutcome = run(history.write(u"w"_s, {}));
        for (const std::exception_ptr& error : {recapOutcome.error, historyOutcome.error})
            EXPECT_EQ(errorKindCode(error), u"openAIInvalidResponse"_s);
    }
    EXPECT_EQ(recap.promptVersion(), u"v9"_s);
    EXPECT_EQ(history.promptVersion(), u"v9"_s);

    // The API client's own failures pass through unchanged.
    api.enqueue(u"recap"_s, FakeReply::text(503, "busy"));
    const auto error = errorAs<TavrineAPIError>(run(recap.write(u"w"_s, {})));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, TavrineAPIError::httpStatus(503, u"busy"_s));
    api.enqueue(u"history"_s, FakeReply::text(200, "not json"));
    EXPECT_EQ(errorKindCode(run(history.write(u"w"_s, {})).error), u"QJsonParseError code=5"_s);
    // No token stays the client's error; the writers have no case of their own for it.
    tokens->token.reset();
    for (const auto& missing : {errorAs<TavrineAPIError>(run(recap.write(u"w"_s, {}))),
                                errorAs<TavrineAPIError>(run(history.write(u"w"_s, {})))}) {
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->kind(), TavrineAPIError::Kind::missingToken);
    }
}
