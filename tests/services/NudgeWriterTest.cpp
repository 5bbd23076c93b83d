#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/model/NudgeText.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/services/LocalNudgeWriter.h"
#include "tavrine/services/NudgeWriterError.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QJsonArray>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

QJsonObject okNudge(const QJsonValue& nudge) {
    return QJsonObject{{u"status"_s, u"ok"_s}, {u"nudge"_s, nudge}};
}

std::optional<NudgeWriterError> parseError(const QJsonObject& answer) {
    try {
        LocalNudgeWriter::parseAnswer(answer);
    } catch (const NudgeWriterError& error) {
        return error;
    }
    return std::nullopt;
}

QString letters(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QChar(u'a' + i % 26);
    return text;
}

} // namespace

class NudgeWriterTest : public FakeApiTest {};

TEST_F(NudgeWriterTest, SendsTheSevenFactsAndReadsTheSentence) {
    const NudgeFacts facts{u"write the report"_s, u"Video"_s, QString(), u"Watching"_s,
                           u" Cats "_s,           QString(),  u"Play"_s};
    QJsonObject answer = okNudge(u"Back to the report."_s);
    answer.insert(u"speech"_s, u"Back to it."_s);
    answer.insert(u"prompt_version"_s, u"nudge-3"_s);
    answer.insert(u"doorway"_s, u"door"_s);
    api.enqueue(u"nudge"_s, FakeReply::json(answer));
    LocalNudgeWriter writer(makeClient());
    const auto outcome = run(writer.write(facts));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(*outcome.value,
              (WrittenNudge{u"Back to the report."_s, u"Back to it."_s, u"nudge-3"_s, QString(), u"door"_s}));
    EXPECT_EQ(compact(api.requests().first().json()),
              R"({"app":"Video","focused":"Play","intention":"write the report","subject":"","url":"",)"
              R"("window":" Cats ","work":"Watching"})");
}

TEST(NudgeAnswer, RejectionComesFirstAndMalformedAnswersAreInvalid) {
    QJsonObject rejected = okNudge(u"fine sentence"_s);
    rejected.insert(u"status"_s, u"rejected"_s);
    EXPECT_EQ(parseError(rejected)->description(), u"Nudge copy rejected: unknown"_s);
    rejected.insert(u"reason"_s, u"too long"_s);
    EXPECT_EQ(*parseError(rejected), NudgeWriterError::rejected(u"too long"_s));
    EXPECT_EQ(errorKindCode(*parseError(rejected)), u"nudgeRejected"_s);

    const NudgeWriterError invalid(NudgeWriterError::Kind::invalidResponse);
    for (const QJsonObject& answer :
         {QJsonObject{}, QJsonObject{{u"status"_s, u"OK"_s}, {u"nudge"_s, u"x"_s}}, okNudge(QString()), okNudge(3)})
        EXPECT_EQ(parseError(answer), invalid);
    EXPECT_EQ(errorKindCode(invalid), u"openAIInvalidResponse"_s);

    // Blanks are a sentence; an empty speech is none; optional members of another type are empty.
    QJsonObject blanks = okNudge(u"   "_s);
    blanks.insert(u"speech"_s, QString());
    blanks.insert(u"model"_s, 7);
    EXPECT_EQ(LocalNudgeWriter::parseAnswer(blanks), (WrittenNudge{u"   "_s, std::nullopt, QString(), QString(), {}}));
}

TEST_F(NudgeWriterTest, ApiFailuresBecomeWriterErrorsWithStatusZeroOthersPassThrough) {
    LocalNudgeWriter writer(makeClient());
    const auto write = [&](const FakeReply& reply) {
        api.enqueue(u"nudge"_s, reply);
        return run(writer.write(NudgeFacts{}));
    };
    auto outcome = write(FakeReply::json(QJsonObject{{u"error"_s, u"daily_limit"_s}}, 429));
    EXPECT_EQ(errorKindCode(outcome.error), u"openAIHTTP0"_s);
    EXPECT_EQ(describeErrorForLog(outcome.error),
              u"tavrine.NudgeWriterError code=1 API HTTP 0: The daily limit for this call is used up."_s);
    // The server's own status lives on only inside the client's text.
    outcome = write(FakeReply::text(500, "exploded"));
    EXPECT_EQ(errorAs<NudgeWriterError>(outcome), NudgeWriterError::httpStatus(0, u"API HTTP 500: exploded"_s));
    EXPECT_EQ(errorKindCode(outcome.error), u"openAIHTTP0"_s);
    outcome = write(FakeReply::text(401, "who"));
    EXPECT_EQ(errorAs<NudgeWriterError>(outcome),
              NudgeWriterError::httpStatus(0, TavrineAPIError(TavrineAPIError::Kind::unauthorized).description()));

    outcome = write(FakeReply::text(200, "not json"));
    EXPECT_EQ(errorKindCode(outcome.error), u"QJsonParseError code=5"_s);
    FakeReply dropped = FakeReply::json(okNudge(u"Never seen."_s));
    dropped.drop = FakeReply::Drop::beforeStatus;
    EXPECT_TRUE(errorAs<ApiTransportError>(write(dropped)));
    tokens->token.reset();
    EXPECT_EQ(errorKindCode(run(writer.write(NudgeFacts{})).error), u"missingToken"_s);
}

TEST(NudgeText, ClipTextCutsAtASentenceOrAWord) {
    EXPECT_EQ(clipText(u"one two three"_s, 13), u"one two three"_s);
    EXPECT_EQ(clipText(u"one two three"_s, 12), u"one two"_s);
    EXPECT_EQ(clipText(letters(90), 50), letters(50));
    EXPECT_EQ(clipText(u"  a\u2028b  c\nd \t"_s, 100), u"a b c d"_s);
    EXPECT_EQ(clipText(u"anything"_s, 0), QString());

    // A "." at offset 39 is too early to end on; at offset 40 the cut ends just after it.
    const auto withDotAt = [](int offset) {
        QString text = letters(offset) + u"."_s;
        while (text.size() < 100)
            text += u" word"_s;
        return text.left(100);
    };
    const QString early = withDotAt(39).left(80);
    EXPECT_EQ(clipText(withDotAt(39), 80), early.left(early.lastIndexOf(QLatin1Char(' '))));
    EXPECT_EQ(clipText(withDotAt(40), 80), withDotAt(40).left(41));

    // Characters, not UTF-16 units: a flag is one character.
    EXPECT_EQ(clipText(u"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"_s, 1), u"\U0001F1E9\U0001F1EA"_s);
}

TEST(NudgeText, DistinctDetailActivityLabelAndSanitizedPageAddress) {
    EXPECT_EQ(distinctDetail(u"Inbox  Mail"_s, 120, {u"inbox\nmail"_s}), QString());
    EXPECT_EQ(distinctDetail(u"Inbox Mail"_s, 120, {u"Inbox"_s}), u"Inbox Mail"_s);
    // The others are compared whole, not clipped.
    EXPECT_EQ(distinctDetail(u"alpha beta gamma"_s, 11, {u"Alpha  Beta"_s}), QString());

    ActivityEvidence evidence;
    evidence.app = u" Web  Browser "_s;
    EXPECT_EQ(activityLabel(QString(), evidence), u"Used Web Browser"_s);
    evidence.title = u"News\n Today"_s;
    EXPECT_EQ(activityLabel(u" \n"_s, evidence), u"News Today"_s);
    EXPECT_EQ(activityLabel(u"Reading  news"_s, evidence), u"Reading news"_s);
    EXPECT_EQ(activityLabel(QString(), ActivityEvidence{}), QString());

    EXPECT_EQ(sanitizedPageURL(u" HTTPS://user:pw@WWW.Example.COM:8443/Path/To%20It?q=1#frag \n"_s),
              u"https://www.example.com/Path/To%20It"_s);
    EXPECT_EQ(sanitizedPageURL(u"http://example.com?x#y"_s), u"http://example.com"_s);
    for (const QString& refused :
         {u"file:///etc/passwd"_s, u"example.com/a"_s, u"https:///path-only"_s, u"https://exa mple.com/"_s})
        EXPECT_EQ(sanitizedPageURL(refused), QString()) << refused.toStdString();
    const QString longPath = u"https://example.com/"_s + letters(300);
    EXPECT_EQ(sanitizedPageURL(longPath), longPath.left(200));
}
