#include "tavrine/eval/EvalCase.h"
#include "tavrine/eval/EvalFileError.h"
#include "tavrine/eval/NudgeEvalCase.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::eval;

namespace {

// The decoding failure's text, or "<decoded>".
template <typename Decode> QString failure(Decode decode, const char* json) {
    try {
        decode(QByteArray(json));
    } catch (const EvalFileError& e) {
        EXPECT_EQ(e.kind(), EvalFileError::Kind::Decode);
        return e.description();
    }
    return QStringLiteral("<decoded>");
}

EvalCase withImage(const QString& image) {
    EvalCase c;
    c.id = QStringLiteral("c");
    c.image = image;
    return c;
}

} // namespace

TEST(EvalCaseFile, DecodesFieldsAbsentNullAndEmpty) {
    const auto cases = decodeEvalCases(R"([
        {"id": "only"},
        {"id": "all", "image": "shots/Mail.png", "intention": "Write the report", "text": "Inbox",
         "expected": "unrelated", "notes": "n", "app": "", "title": "T", "url": "https://x/y", "subject": "S",
         "focused": "F", "unknown": 3},
        {"id": "nulls", "image": null, "expected": null, "app": null, "title": null},
        {"id": "blank label", "expected": ""}
    ])");
    ASSERT_EQ(cases.size(), 4);

    EvalCase only;
    only.id = QStringLiteral("only");
    EXPECT_EQ(cases[0], only);

    const EvalCase& all = cases[1];
    EXPECT_EQ(all.image, QStringLiteral("shots/Mail.png"));
    EXPECT_EQ(all.expected, ActivityRelevance::Unrelated);
    EXPECT_EQ(all.app, QString()); // present and empty is not absent
    EXPECT_EQ(all.url, QStringLiteral("https://x/y"));
    EXPECT_EQ(all.focused, QStringLiteral("F"));

    EXPECT_FALSE(cases[2].app.has_value());
    EXPECT_FALSE(cases[2].expected.has_value());
    EXPECT_TRUE(cases[2].image.isEmpty());
    EXPECT_FALSE(cases[3].expected.has_value());

    EXPECT_TRUE(decodeEvalCases("[]").isEmpty());
}

TEST(EvalCaseFile, RefusesTheWholeFileAtTheFirstBadMember) {
    const auto decode = [](const QByteArray& b) { return decodeEvalCases(b); };
    EXPECT_TRUE(failure(decode, R"([{"id": "a", "expected": "Relevant"}])")
                    .endsWith(QStringLiteral("case 1, key \"expected\": Unknown expected label Relevant")));
    EXPECT_TRUE(failure(decode, R"([{"id": "a"}, {"intention": "x"}])").contains(QStringLiteral("case 2, key \"id\"")));
    EXPECT_TRUE(failure(decode, R"([{"id": 7}])").contains(QStringLiteral("key \"id\"")));
    EXPECT_TRUE(failure(decode, R"([{"id": "a", "app": 1}])").contains(QStringLiteral("key \"app\"")));
    // Members are read in a fixed order: the label is read before the app.
    EXPECT_TRUE(failure(decode, R"([{"id": "a", "app": 1, "expected": "maybe"}])")
                    .contains(QStringLiteral("Unknown expected label maybe")));
    EXPECT_TRUE(failure(decode, R"({"id": "a"})").contains(QStringLiteral("array")));
    EXPECT_TRUE(failure(decode, R"([{"id": "a"}, "b"])").contains(QStringLiteral("case 2 is not a JSON object")));
    EXPECT_TRUE(failure(decode, R"([{"id": "a"})").contains(QStringLiteral("invalid JSON")));
}

TEST(EvalCaseFile, NudgeCasesReadEveryFactAsText) {
    const auto cases = decodeNudgeEvalCases(R"([
        {"id": "n1", "intention": "I", "app": "A", "url": "U", "work": "W", "window": "Wi", "subject": "S",
         "focused": "F", "notes": "N", "expected": "whatever"},
        {"id": "n2", "work": null}
    ])");
    ASSERT_EQ(cases.size(), 2);
    EXPECT_EQ(cases[0], (NudgeEvalCase{QStringLiteral("n1"), QStringLiteral("I"), QStringLiteral("A"),
                                       QStringLiteral("U"), QStringLiteral("W"), QStringLiteral("Wi"),
                                       QStringLiteral("S"), QStringLiteral("F"), QStringLiteral("N")}));
    NudgeEvalCase bare;
    bare.id = QStringLiteral("n2");
    EXPECT_EQ(cases[1], bare);

    const auto decode = [](const QByteArray& b) { return decodeNudgeEvalCases(b); };
    EXPECT_TRUE(failure(decode, R"([{"intention": "x"}])").contains(QStringLiteral("key \"id\"")));
    EXPECT_TRUE(failure(decode, R"([{"id": "x", "work": ["a"]}])").contains(QStringLiteral("key \"work\"")));
}

TEST(EvalCaseMetadata, CaseValuesOverTheTableOverTheFileName) {
    // A known screenshot in a subfolder takes its row.
    const EvalCase::Metadata safari = resolveCaseMetadata(withImage(QStringLiteral("shots/old/Safari.png")));
    EXPECT_EQ(safari.app, QStringLiteral("Safari"));
    EXPECT_EQ(safari.bundle, QStringLiteral("com.apple.Safari"));
    EXPECT_EQ(safari.subject, QStringLiteral("Accessibility"));
    EXPECT_TRUE(safari.url.startsWith(QStringLiteral("https://")));

    // The case's own values win, an empty text included; the bundle always comes from the row.
    EvalCase own = withImage(QStringLiteral("Safari.png"));
    own.app = QStringLiteral("Firefox");
    own.title = QString();
    own.focused = QStringLiteral("search field");
    const EvalCase::Metadata mixed = resolveCaseMetadata(own);
    EXPECT_EQ(mixed.app, QStringLiteral("Firefox"));
    EXPECT_EQ(mixed.bundle, QStringLiteral("com.apple.Safari"));
    EXPECT_EQ(mixed.title, QString());
    EXPECT_EQ(mixed.subject, QStringLiteral("Accessibility"));
    EXPECT_EQ(mixed.focused, QStringLiteral("search field"));

    // No row: the file name (extension included) is the app; nothing else is known.
    const EvalCase::Metadata unknown = resolveCaseMetadata(withImage(QStringLiteral("a/b/Photo.jpeg")));
    EXPECT_EQ(unknown, (EvalCase::Metadata{QStringLiteral("Photo.jpeg"), {}, {}, {}, {}, {}}));
    EvalCase named = withImage(QStringLiteral("Photo.jpeg"));
    named.app = QStringLiteral("Preview");
    EXPECT_EQ(resolveCaseMetadata(named).app, QStringLiteral("Preview"));
    EXPECT_EQ(resolveCaseMetadata(named).bundle, QString());

    // No image names no app (not the current folder's name), nor does a path ending in a slash. Case sensitive.
    EXPECT_EQ(resolveCaseMetadata(withImage(QString())).app, QString());
    EXPECT_EQ(resolveCaseMetadata(withImage(QStringLiteral("shots/"))).app, QString());
    EXPECT_EQ(resolveCaseMetadata(withImage(QStringLiteral("safari.png"))).bundle, QString());
}
