#include "ServicesTestSupport.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/LocalNudgeWriter.h"
#include "tavrine/services/NudgeText.h"
#include "tavrine/services/NudgeWriterError.h"

#include <QJsonArray>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QJsonObject okNudge(const QJsonValue& nudge) {
    return QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}, {QStringLiteral("nudge"), nudge}};
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
    const NudgeFacts facts{QStringLiteral("write the report"),
                           QStringLiteral("Video"),
                           QString(),
                           QStringLiteral("Watching"),
                           QStringLiteral(" Cats "),
                           QString(),
                           QStringLiteral("Play")};
    QJsonObject answer = okNudge(QStringLiteral("Back to the report."));
    answer.insert(QStringLiteral("speech"), QStringLiteral("Back to it."));
    answer.insert(QStringLiteral("prompt_version"), QStringLiteral("nudge-3"));
    answer.insert(QStringLiteral("doorway"), QStringLiteral("door"));
    api.enqueue(QStringLiteral("nudge"), FakeReply::json(answer));
    LocalNudgeWriter writer(makeClient());
    const auto outcome = run(writer.write(facts));
    ASSERT_TRUE(outcome.value) << describeErrorForLog(outcome.error).toStdString();
    EXPECT_EQ(*outcome.value, (WrittenNudge{QStringLiteral("Back to the report."), QStringLiteral("Back to it."),
                                            QStringLiteral("nudge-3"), QString(), QStringLiteral("door")}));
    const QJsonObject body = api.requests().first().json();
    EXPECT_EQ(body, (QJsonObject{{QStringLiteral("intention"), QStringLiteral("write the report")},
                                 {QStringLiteral("app"), QStringLiteral("Video")},
                                 {QStringLiteral("url"), QString()},
                                 {QStringLiteral("work"), QStringLiteral("Watching")},
                                 {QStringLiteral("window"), QStringLiteral(" Cats ")},
                                 {QStringLiteral("subject"), QString()},
                                 {QStringLiteral("focused"), QStringLiteral("Play")}}));
}

TEST(NudgeAnswer, RejectionComesFirstAndMalformedAnswersAreInvalid) {
    QJsonObject rejected = okNudge(QStringLiteral("fine sentence"));
    rejected.insert(QStringLiteral("status"), QStringLiteral("rejected"));
    EXPECT_EQ(parseError(rejected)->description(), QStringLiteral("Nudge copy rejected: unknown"));
    rejected.insert(QStringLiteral("reason"), QString());
    EXPECT_EQ(parseError(rejected)->description(), QStringLiteral("Nudge copy rejected: "));
    rejected.insert(QStringLiteral("reason"), QStringLiteral("too long"));
    EXPECT_EQ(*parseError(rejected), NudgeWriterError::rejected(QStringLiteral("too long")));
    EXPECT_EQ(errorKindCode(*parseError(rejected)), QStringLiteral("nudgeRejected"));

    const NudgeWriterError invalid(NudgeWriterError::Kind::invalidResponse);
    EXPECT_EQ(parseError(QJsonObject{}), invalid);
    EXPECT_EQ(parseError(QJsonObject{{QStringLiteral("status"), QStringLiteral("OK")},
                                     {QStringLiteral("nudge"), QStringLiteral("x")}}),
              invalid);
    EXPECT_EQ(parseError(QJsonObject{{QStringLiteral("nudge"), QStringLiteral("x")}}), invalid);
    EXPECT_EQ(parseError(okNudge(QString())), invalid);
    EXPECT_EQ(parseError(okNudge(3)), invalid);
    EXPECT_EQ(invalid.description(), QStringLiteral("The API returned an invalid nudge response."));
    EXPECT_EQ(errorKindCode(invalid), QStringLiteral("openAIInvalidResponse"));
    EXPECT_EQ(describeErrorForLog(invalid),
              QStringLiteral("tavrine.NudgeWriterError code=3 The API returned an invalid nudge response."));

    // Blanks are a sentence; an empty speech is none; absent optional members are empty.
    QJsonObject blanks = okNudge(QStringLiteral("   "));
    blanks.insert(QStringLiteral("speech"), QString());
    blanks.insert(QStringLiteral("model"), 7);
    const WrittenNudge written = LocalNudgeWriter::parseAnswer(blanks);
    EXPECT_EQ(written.text, QStringLiteral("   "));
    EXPECT_EQ(written.speech, std::nullopt);
    EXPECT_EQ(written.model, QString());
    EXPECT_EQ(written.promptVersion, QString());
}

TEST_F(NudgeWriterTest, ApiFailuresBecomeWriterErrorsWithStatusZero) {
    LocalNudgeWriter writer(makeClient());
    api.enqueue(QStringLiteral("nudge"),
                FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("daily_limit")}}, 429));
    auto outcome = run(writer.write(NudgeFacts{}));
    auto error = errorAs<NudgeWriterError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(), QStringLiteral("API HTTP 0: The daily limit for this call is used up."));
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("openAIHTTP0"));

    api.enqueue(QStringLiteral("nudge"), FakeReply::text(502, "gateway"));
    error = errorAs<NudgeWriterError>(run(writer.write(NudgeFacts{})));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, NudgeWriterError::httpStatus(0, QStringLiteral("API HTTP 502: gateway")));

    api.enqueue(QStringLiteral("nudge"), FakeReply::json(QJsonDocument(QJsonArray{})));
    error = errorAs<NudgeWriterError>(run(writer.write(NudgeFacts{})));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, NudgeWriterError::httpStatus(0, QStringLiteral("The API returned an invalid response.")));

    tokens->token.reset();
    outcome = run(writer.write(NudgeFacts{}));
    EXPECT_EQ(errorKindCode(outcome.error), QStringLiteral("missingToken"));
    EXPECT_EQ(api.requests().size(), 3);
}

TEST(NudgeText, ClipTextCutsAtASentenceOrAWord) {
    EXPECT_EQ(clipText(QStringLiteral("one two three"), 13), QStringLiteral("one two three"));
    EXPECT_EQ(clipText(QStringLiteral("one two three"), 12), QStringLiteral("one two"));
    EXPECT_EQ(clipText(QStringLiteral("one two three"), 9), QStringLiteral("one two"));
    EXPECT_EQ(clipText(letters(90), 50), letters(50));
    EXPECT_EQ(clipText(QStringLiteral("  a\u2028b  c\nd \t"), 100), QStringLiteral("a b c d"));
    EXPECT_EQ(clipText(QStringLiteral("anything"), 0), QString());

    // A "." at offset 39 is too early to end on; at offset 40 the cut ends just after it.
    const auto withDotAt = [](int offset) {
        QString text = letters(offset) + QStringLiteral(".");
        while (text.size() < 100)
            text += QStringLiteral(" word");
        return text.left(100);
    };
    const QString early = withDotAt(39);
    EXPECT_EQ(clipText(early, 80), early.left(80).left(early.left(80).lastIndexOf(QLatin1Char(' '))));
    EXPECT_EQ(clipText(withDotAt(40), 80), withDotAt(40).left(41));

    // Characters, not UTF-16 units: a flag is one character.
    const QString flags = QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7");
    EXPECT_EQ(clipText(flags, 1), QStringLiteral("\U0001F1E9\U0001F1EA"));
}

TEST(NudgeText, DistinctDetailAndActivityLabel) {
    EXPECT_EQ(distinctDetail(QStringLiteral("Inbox  Mail"), 120, {QStringLiteral("inbox\nmail")}), QString());
    EXPECT_EQ(distinctDetail(QStringLiteral("Inbox Mail"), 120, {QStringLiteral("Inbox")}),
              QStringLiteral("Inbox Mail"));
    EXPECT_EQ(distinctDetail(QStringLiteral("  "), 120, {}), QString());
    // The others are compared whole, not clipped.
    EXPECT_EQ(distinctDetail(QStringLiteral("alpha beta gamma"), 11, {QStringLiteral("Alpha  Beta")}), QString());

    ActivityEvidence evidence;
    evidence.app = QStringLiteral(" Web  Browser ");
    EXPECT_EQ(activityLabel(QString(), evidence), QStringLiteral("Used Web Browser"));
    evidence.title = QStringLiteral("News\n Today");
    EXPECT_EQ(activityLabel(QStringLiteral(" \n"), evidence), QStringLiteral("News Today"));
    EXPECT_EQ(activityLabel(QStringLiteral("Reading  news"), evidence), QStringLiteral("Reading news"));
    EXPECT_EQ(activityLabel(QString(), ActivityEvidence{}), QString());
}

TEST(NudgeText, SanitizedPageAddressKeepsSchemeHostAndPath) {
    EXPECT_EQ(sanitizedPageURL(QStringLiteral(" HTTPS://user:pw@WWW.Example.COM:8443/Path/To%20It?q=1#frag \n")),
              QStringLiteral("https://www.example.com/Path/To%20It"));
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("http://example.com")), QStringLiteral("http://example.com"));
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("http://example.com?x#y")), QStringLiteral("http://example.com"));
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("file:///etc/passwd")), QString());
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("ftp://example.com/a")), QString());
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("example.com/a")), QString());
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("https:///path-only")), QString());
    EXPECT_EQ(sanitizedPageURL(QStringLiteral("https://exa mple.com/")), QString());
    const QString longPath = QStringLiteral("https://example.com/") + letters(300);
    EXPECT_EQ(sanitizedPageURL(longPath), longPath.left(200));
}
