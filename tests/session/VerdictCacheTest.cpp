#include "tavrine/session/VerdictCache.h"
#include "session/SessionHarness.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using namespace tavrine::test;

TEST(VerdictCache, OnlyDefiniteVerdictsOutsideTheConfidenceBandAreKept) {
    const ActivityEvidence evidence = usableEvidence();
    const QString key = VerdictCache::key(evidence);
    struct Case {
        ActivityRelevance label;
        std::optional<double> confidence;
        bool kept;
    };
    for (const Case& c :
         {Case{ActivityRelevance::Relevant, 0.71, true}, Case{ActivityRelevance::Unrelated, 0.29, true},
          Case{ActivityRelevance::Relevant, 0.7, false}, Case{ActivityRelevance::Unrelated, 0.3, false},
          Case{ActivityRelevance::Relevant, std::nullopt, false}, Case{ActivityRelevance::Uncertain, 0.99, false}}) {
        VerdictCache cache;
        cache.store(ActivityRelevance::Relevant, 0.95, evidence, 0);
        cache.store(c.label, c.confidence, evidence, 10);
        // A verdict that is not kept also removes the confident one stored before it.
        EXPECT_EQ(cache.entry(key) != nullptr, c.kept) << rawValue(c.label).toStdString() << c.confidence.value_or(-1);
    }
}

TEST(VerdictCache, AVerdictAnswersTheSameContentForUnderSixHundredSeconds) {
    const ActivityEvidence evidence = usableEvidence();
    const QString window = evidence.windowIdentity().cacheKey();
    VerdictCache cache;
    cache.store(ActivityRelevance::Unrelated, 0.1, evidence, 100);
    EXPECT_FALSE(cache.entry(VerdictCache::key(evidence))->evidence.imagePNG.has_value());
    EXPECT_EQ(cache.lookup(evidence, 699.999), ActivityRelevance::Unrelated);
    EXPECT_EQ(cache.agreedLabel(window, 699.999), ActivityRelevance::Unrelated);
    EXPECT_EQ(cache.lookup(evidence, 700), std::nullopt);
    EXPECT_EQ(cache.agreedLabel(window, 700), std::nullopt);
    EXPECT_EQ(cache.lookup(evidence, std::numeric_limits<double>::quiet_NaN()), std::nullopt);

    ActivityEvidence otherPage = evidence;
    otherPage.url = QStringLiteral("https://example.com/");
    EXPECT_EQ(cache.lookup(otherPage, 200), std::nullopt);
    ActivityEvidence otherWords = evidence;
    otherWords.text = QStringLiteral("Something else entirely");
    EXPECT_EQ(cache.lookup(otherWords, 200), std::nullopt);
    // Another process or screenshot of the same content is the same content.
    ActivityEvidence otherProcess = evidence;
    otherProcess.pid = 1;
    otherProcess.imagePNG = QByteArray("another screenshot");
    EXPECT_EQ(cache.lookup(otherProcess, 200), ActivityRelevance::Unrelated);
}
