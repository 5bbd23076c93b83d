#include "tavrine/nudge/SpokenWords.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::nudge;

TEST(SpokenWordPieces, WhitespaceBelongsToTheWordBefore) {
    EXPECT_EQ(spokenWordPieces(QStringLiteral("  Hi there")),
              (QList<SpokenWordPiece>{{QStringLiteral("  Hi "), 0}, {QStringLiteral("there"), 2}}));
    const auto pieces = spokenWordPieces(QStringLiteral("Stay on task"));
    EXPECT_EQ(pieces, (QList<SpokenWordPiece>{{QStringLiteral("Stay "), 0}, {QStringLiteral("on "), 4},
                                              {QStringLiteral("task"), 6}}));
    EXPECT_EQ(spokenWordTotal(pieces), 10);
    // Line breaks of every kind are whitespace, and a grapheme of several code points counts once.
    EXPECT_EQ(spokenWordPieces(QStringLiteral("a\u2028b\u0085 c")).size(), 3);
    EXPECT_EQ(spokenWordTotal(spokenWordPieces(QString::fromUtf8("e\xCC\x81 x"))), 2);
    EXPECT_TRUE(spokenWordPieces(QString()).isEmpty());
    EXPECT_EQ(spokenWordTotal(spokenWordPieces(QStringLiteral("   "))), 0);
}

namespace {
SpeechWordProgress progress(int known, bool complete, double now = 0) {
    SpeechWordProgress p;
    for (int i = 0; i < known; ++i)
        p.characterStarts.append(i * 0.1);
    p.end = known * 0.1;
    p.complete = complete;
    p.now = now;
    return p;
}
} // namespace

TEST(SpokenWordTime, UnknownCharactersWaitUntilTheStreamIsComplete) {
    EXPECT_FALSE(spokenWordTime(progress(12, false), 12, 15));
    EXPECT_DOUBLE_EQ(*spokenWordTime(progress(12, true), 12, 15), 0.9); // index 12 × 12 / 15 = 9
    EXPECT_DOUBLE_EQ(*spokenWordTime(progress(15, false), 12, 15), 1.2);
    // Out of range starts and an empty sentence are never drawn.
    EXPECT_FALSE(spokenWordTime(progress(15, true), 15, 15));
    EXPECT_FALSE(spokenWordTime(progress(15, true), -1, 15));
    EXPECT_FALSE(spokenWordTime(progress(0, true), 0, 0));
    // Without character timing the words spread over the audio once it is complete.
    SpeechWordProgress timed = timedRevealProgress(10, 0);
    EXPECT_NEAR(*spokenWordTime(timed, 4, 10), 10.0 / 60 * 4 / 10, 1e-12);
    EXPECT_FALSE(spokenWordTime(progress(0, false), 4, 10));
}

TEST(SpokenWordReveal, FadesInOverAThirdOfASecondFromJustBeforeTheWord) {
    const double w = 0.5; // the word at start 5
    auto at = [&](double now) { return spokenWordReveal(progress(10, true, now), 5, 10); };
    EXPECT_EQ(at(w - 0.06).kind, WordReveal::Kind::Hidden); // t = 0
    EXPECT_EQ(at(w + 0.26).kind, WordReveal::Kind::Whole);  // t = 1
    const auto mid = at(w - 0.06 + 0.16);                   // t = 0.5
    EXPECT_EQ(mid.kind, WordReveal::Kind::Easing);
    EXPECT_NEAR(mid.e, 0.75, 1e-9);
    EXPECT_NEAR(mid.drop(), 1.25, 1e-9);
    EXPECT_NEAR(mid.blur(), 1.0, 1e-9);
    EXPECT_EQ(spokenWordReveal(std::nullopt, 5, 10), WordReveal::whole());
    EXPECT_EQ(at(std::nan("")).kind, WordReveal::Kind::Hidden);
}

TEST(TimedReveal, SixtyCharactersASecondAtMostOnePointOne) {
    EXPECT_DOUBLE_EQ(timedRevealDuration(10), 10.0 / 60);
    EXPECT_DOUBLE_EQ(timedRevealDuration(120), 1.1);
    EXPECT_DOUBLE_EQ(timedRevealDuration(0), 0);
    // "on" of "Stay on task" begins to show 0.007 s after the start.
    const double w = *spokenWordTime(timedRevealProgress(10, 0), 4, 10);
    EXPECT_NEAR(w - 0.06, 0.0067, 1e-3);
    EXPECT_EQ(spokenWordReveal(timedRevealProgress(10, 0.0), 4, 10).kind, WordReveal::Kind::Hidden);
    EXPECT_EQ(spokenWordReveal(timedRevealProgress(10, 0.01), 4, 10).kind, WordReveal::Kind::Easing);
}
