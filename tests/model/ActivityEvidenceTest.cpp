#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/MenuBarSessionBackground.h"
#include "tavrine/model/PageAddress.h"
#include "tavrine/model/SessionPhase.h"

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

// "w0 w1 … w(n-1)" starting at `first`.
QString words(int first, int count) {
    QStringList out;
    for (int i = first; i < first + count; ++i)
        out << QStringLiteral("w%1").arg(i);
    return out.join(QLatin1Char(' '));
}

ActivityEvidence record(const QString& text) {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Browser");
    evidence.bundle = QStringLiteral("org.example.browser");
    evidence.pid = 42;
    evidence.windowID = 7;
    evidence.title = QStringLiteral("Docs");
    evidence.url = QStringLiteral("https://example.org/a");
    evidence.text = text;
    evidence.source = QStringLiteral("Window capture");
    evidence.capturePath = QStringLiteral("window");
    return evidence;
}

} // namespace

TEST(WindowIdentity, CacheKeyLeavesOutThePidAndWritesZeroForNoWindow) {
    const ActivityWindowIdentity a{QStringLiteral("org.example.app"), 10, std::nullopt, QString()};
    EXPECT_EQ(a.cacheKey(), QStringLiteral("org.example.app|0||"));
    ActivityWindowIdentity b = a;
    b.pid = 11;
    EXPECT_EQ(a.cacheKey(), b.cacheKey());
    EXPECT_NE(a, b);
    // A window number 0 and no window number share a key but are different identities.
    ActivityWindowIdentity c = a;
    c.windowID = 0;
    EXPECT_EQ(a.cacheKey(), c.cacheKey());
    EXPECT_NE(a, c);
    const ActivityWindowIdentity d{QStringLiteral("b"), 1, 4294967295u, QStringLiteral("T|x")};
    EXPECT_EQ(d.cacheKey(), QStringLiteral("b|4294967295|T|x|"));
}

TEST(ActivityEvidence, DiagnosticLineShowsOnlyPiecesThatSaySomething) {
    ActivityEvidence evidence = record(QStringLiteral("caf\u00e9 \U0001F600"));
    evidence.accessibilityCharacters = 12;
    evidence.issue = QString();
    EXPECT_EQ(evidence.diagnosticLine(),
              QStringLiteral("method=Window capture path=window axChars=12 evidenceChars=6"));

    evidence.ocrCharacters = 3;
    evidence.imageFingerprint = QStringLiteral("0123456789abcdef");
    evidence.contentFrame = QRectF(5, 5, 640.9, 479.99);
    evidence.issue = QStringLiteral("No visible window to observe.");
    EXPECT_EQ(evidence.diagnosticLine(),
              QStringLiteral("method=Window capture path=window axChars=12 evidenceChars=6 ocrChars=3 image=01234567 "
                             "crop=640x479 issue=No visible window to observe."));

    // A short fingerprint is shown whole; a frame that is not a number never becomes a garbage integer.
    evidence.imageFingerprint = QStringLiteral("ab");
    evidence.contentFrame =
        QRectF(0, 0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity());
    evidence.ocrCharacters = 0;
    evidence.issue.reset();
    EXPECT_EQ(evidence.diagnosticLine(),
              QStringLiteral("method=Window capture path=window axChars=12 evidenceChars=6 image=ab crop=0x0"));
}

TEST(ActivityEvidence, ContentWordsIgnoreCaseAndPunctuationAndSplitNumbers) {
    const ActivityEvidence evidence =
        record(QStringLiteral("Release release, RELEASE v2.10.3 \u00c9t\u00e9 \u00e9t\u00e9"));
    const QSet<QString> expected{QStringLiteral("release"), QStringLiteral("v2"), QStringLiteral("10"),
                                 QStringLiteral("3"), QStringLiteral("\u00e9t\u00e9")};
    EXPECT_EQ(evidence.contentWords(), expected);
}

TEST(ActivityEvidence, SameContentNeedsSameWindowPageAndIssue) {
    const ActivityEvidence a = record(QStringLiteral("short text"));
    ActivityEvidence b = a;
    b.pid = 99; // the process takes no part
    b.imagePNG = QByteArray("x");
    EXPECT_TRUE(a.hasSameContent(b));

    b = a;
    b.url = QStringLiteral("https://example.org/b");
    EXPECT_FALSE(a.hasSameContent(b));
    b = a;
    b.title = QStringLiteral("Other");
    EXPECT_FALSE(a.hasSameContent(b));
    b = a;
    b.windowID.reset();
    EXPECT_FALSE(a.hasSameContent(b));
    b = a;
    b.issue = QString();
    EXPECT_FALSE(a.hasSameContent(b)) << "an empty issue is still an issue";
    ActivityEvidence c = a;
    c.issue = QStringLiteral("x");
    b.issue = QStringLiteral("x");
    EXPECT_TRUE(c.hasSameContent(b));
}

TEST(ActivityEvidence, SameContentOverlapBoundaryAndWordFloor) {
    // 20 words each, 17 shared: 0.85 on both sides.
    const ActivityEvidence a = record(words(0, 20));
    EXPECT_TRUE(a.hasSameContent(record(words(3, 20))));
    // 16 shared: 0.8.
    EXPECT_FALSE(a.hasSameContent(record(words(4, 20))));
    // Fewer than 20 distinct words never compare by overlap, even when they differ only by repetition.
    const ActivityEvidence small = record(words(0, 19));
    EXPECT_FALSE(small.hasSameContent(record(words(0, 19) + QStringLiteral(" w0"))));
    // Identical text is the same content whatever its length.
    EXPECT_TRUE(small.hasSameContent(record(words(0, 19))));
    EXPECT_TRUE(record(QString()).hasSameContent(record(QString())));
    // The overlap must hold on both sides: a superset with many extra words is not the same content.
    EXPECT_FALSE(a.hasSameContent(record(words(0, 20) + QLatin1Char(' ') + words(100, 10))));
    EXPECT_TRUE(a.hasSameContent(record(words(0, 20) + QLatin1Char(' ') + words(100, 3))));
}

TEST(ActivityEvidence, EqualityComparesEveryFieldAndRectanglesExactly) {
    const ActivityEvidence a = record(QStringLiteral("t"));
    ActivityEvidence b = a;
    EXPECT_EQ(a, b);
    b.contentFrame = QRectF(0, 0, 1, 1);
    EXPECT_NE(a, b);
    ActivityEvidence c = b;
    c.contentFrame = QRectF(0, 0, 1, 1 + 1e-13); // Qt's fuzzy equality would call these equal
    EXPECT_NE(b, c);
    b = a;
    b.imagePNG = QByteArray();
    EXPECT_NE(a, b) << "empty bytes are not absent bytes";
    b = a;
    b.subject = QStringLiteral("s");
    EXPECT_NE(a, b);
    b = a;
    b.ocrCharacters = 1;
    EXPECT_NE(a, b);
}

TEST(RawValues, ConversionIsExactAndCaseSensitive) {
    EXPECT_EQ(activityRelevanceFromRawValue(QStringLiteral("relevant")), ActivityRelevance::Relevant);
    EXPECT_EQ(activityRelevanceFromRawValue(QStringLiteral("uncertain")), ActivityRelevance::Uncertain);
    EXPECT_FALSE(activityRelevanceFromRawValue(QStringLiteral("Relevant")));
    EXPECT_FALSE(activityRelevanceFromRawValue(QStringLiteral(" unrelated")));
    EXPECT_EQ(rawValue(ActivityRelevance::Unrelated), QStringLiteral("unrelated"));
    EXPECT_EQ(rawValue(MenuBarSessionBackground::DriftPending), QStringLiteral("driftPending"));
    EXPECT_FALSE(menuBarSessionBackgroundFromRawValue(QStringLiteral("driftpending")));
    EXPECT_EQ(sessionPhaseFromRawValue(QStringLiteral("paused")), SessionPhase::Paused);
    EXPECT_FALSE(sessionPhaseFromRawValue(QStringLiteral("Idle")));
}

TEST(PageAddress, NormalizedHost) {
    EXPECT_EQ(normalizedHost(QStringLiteral("  https://Docs.Example.COM/path?q=1\n")),
              QStringLiteral("docs.example.com"));
    EXPECT_EQ(normalizedHost(QStringLiteral("news.example.org/today")), QStringLiteral("news.example.org"));
    EXPECT_EQ(normalizedHost(QStringLiteral("HTTP://example.com:8080")), QStringLiteral("example.com"));
    EXPECT_FALSE(normalizedHost(QStringLiteral("ftp://example.com")));
    EXPECT_FALSE(normalizedHost(QStringLiteral("file:///home/me/notes.txt")));
    EXPECT_FALSE(normalizedHost(QStringLiteral("   ")));
    EXPECT_FALSE(normalizedHost(QStringLiteral("https://")));
    EXPECT_FALSE(normalizedHost(QStringLiteral("not a host")));
}

TEST(PageAddress, SplitWordsLimitsAndEmptyPieces) {
    EXPECT_EQ(splitWords(QStringLiteral(",a,,b,")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(splitWords(QStringLiteral(",a,,b,"), 100, false),
              (QStringList{QString(), QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
    // The rest after the last split keeps its separators.
    EXPECT_EQ(splitWords(QStringLiteral("a,,b c"), 1), (QStringList{QStringLiteral("a"), QStringLiteral(",b c")}));
    EXPECT_EQ(splitWords(QStringLiteral("a b"), 0), QStringList{QStringLiteral("a b")});
    EXPECT_EQ(splitWords(QStringLiteral("a b"), -3), QStringList{QStringLiteral("a b")});
    EXPECT_TRUE(splitWords(QString()).isEmpty());
    EXPECT_EQ(splitWords(QString(), 5, false), QStringList{QString()});
    // A letter with a combining mark stays one character; an emoji separates.
    EXPECT_EQ(splitWords(QStringLiteral("cafe\u0301\U0001F600x")),
              (QStringList{QStringLiteral("cafe\u0301"), QStringLiteral("x")}));
}
