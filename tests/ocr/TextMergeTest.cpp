#include "tavrine/ocr/CapturedTextMerger.h"
#include "tavrine/ocr/TextRecognition.h"

#include "Printing.h"

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

QString repeated(QChar c, qsizetype count) {
    return QString(count, c);
}

} // namespace

TEST(DropNoiseLines, SplitsAtEveryLineBreakTrimsAndDropsEmptyLines) {
    const QString text = QStringLiteral("  one \ntwo\x0Bthree\x0C"
                                        "four\rfive\r\nsix\u0085seven\u2028eight\u2029nine\n\n \t \n");
    EXPECT_EQ(dropNoiseLines(text), QStringLiteral("one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nnine"));
    EXPECT_EQ(dropNoiseLines(QString()), QString());
    EXPECT_EQ(dropNoiseLines(QStringLiteral(" \n\u00a0\n")), QString());
}

TEST(DropNoiseLines, DropsAssistiveBoilerplateInAnyCaseAndKeepsTheRestAsWritten) {
    const QString text = QStringLiteral("Press the Keyboard SHORTCUT ⌘K\n"
                                        "Screen\n"
                                        "Open in SCREEN READER mode\n"
                                        "Cookie banner hidden\n"
                                        "Screen readers love this page\n"
                                        "  Mixed Case Kept  ");
    EXPECT_EQ(dropNoiseLines(text), QStringLiteral("Screen\nMixed Case Kept"));
}

TEST(MergeCapturedText, AddsOnlyLinesTheBaseDoesNotHold) {
    // Base lines are compared trimmed; the base itself stays exactly as given, noise lines and all.
    const QString base = QStringLiteral("Title\n  Inbox  \nUse the keyboard shortcut to search");
    const MergedText merged =
        mergeCapturedText(base, QStringLiteral("Inbox\nTitle\nDrafts\n\nUse the keyboard shortcut to search"), 2400);
    EXPECT_EQ(merged.text, base + QStringLiteral("\nDrafts"));
    EXPECT_EQ(merged.added, 6);

    const MergedText single = mergeCapturedText(QStringLiteral("Inbox"), QStringLiteral("Inbox\nSent"), 2400);
    EXPECT_EQ(single.text, QStringLiteral("Inbox\nSent"));
    EXPECT_EQ(single.added, 4);
}

TEST(MergeCapturedText, EmptyBaseGivesTheLinesAloneAndNothingNewLeavesTheBaseUntouched) {
    EXPECT_EQ(mergeCapturedText(QString(), QStringLiteral("  Hello world  "), 2400),
              (MergedText{QStringLiteral("Hello world"), 11}));
    const QString base = QStringLiteral(" Title \n");
    EXPECT_EQ(mergeCapturedText(base, QStringLiteral("Title\n\n"), 2400), (MergedText{base, 0}));
    EXPECT_EQ(mergeCapturedText(base, QString(), 2400), (MergedText{base, 0}));
}

TEST(MergeCapturedText, RepeatedNewLinesAreAllAddedAndCounted) {
    EXPECT_EQ(mergeCapturedText(QStringLiteral("Base"), QStringLiteral("again\nagain"), 2400),
              (MergedText{QStringLiteral("Base\nagain\nagain"), 11}));
}

TEST(MergeCapturedText, BudgetCountsTheBaseAndEveryLineFeedUpToTheLimitExactly) {
    // Base cost 4 ("abc" plus its line feed), then 5, then 1 + 2.
    const QString base = QStringLiteral("abc");
    const QString extra = QStringLiteral("defgh\nij");
    EXPECT_EQ(mergeCapturedText(base, extra, 12), (MergedText{QStringLiteral("abc\ndefgh\nij"), 8}));
    EXPECT_EQ(mergeCapturedText(base, extra, 11), (MergedText{QStringLiteral("abc\ndefgh"), 5}));
    EXPECT_EQ(mergeCapturedText(base, extra, 9), (MergedText{QStringLiteral("abc\ndefgh"), 5}));
    EXPECT_EQ(mergeCapturedText(base, extra, 8), (MergedText{base, 0}));
    // An empty base costs nothing, not even a line feed.
    EXPECT_EQ(mergeCapturedText(QString(), extra, 5), (MergedText{QStringLiteral("defgh"), 5}));
    EXPECT_EQ(mergeCapturedText(QString(), extra, 0), (MergedText{QString(), 0}));
    EXPECT_EQ(mergeCapturedText(QString(), extra, -1), (MergedText{QString(), 0}));
    // A base of blanks is not empty: it is kept and costs its length and a line feed.
    EXPECT_EQ(mergeCapturedText(QStringLiteral("  "), extra, 8), (MergedText{QStringLiteral("  \ndefgh"), 5}));
}

TEST(MergeCapturedText, StopsAtTheFirstLineThatDoesNotFit) {
    const MergedText merged =
        mergeCapturedText(QString(), QStringLiteral("short\n") + repeated(u'x', 50) + QStringLiteral("\nok\nfine"), 20);
    EXPECT_EQ(merged, (MergedText{QStringLiteral("short"), 5}));
}

TEST(MergeCapturedText, CountsUserPerceivedCharacters) {
    // "é" written as e + combining accent, and a flag of two code points: one character each.
    const QString accents = QStringLiteral("e\u0301e\u0301");
    const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA");
    EXPECT_EQ(mergeCapturedText(QString(), accents, 2), (MergedText{accents, 2}));
    EXPECT_EQ(mergeCapturedText(flag, accents, 4), (MergedText{flag + QStringLiteral("\n") + accents, 2}));
    EXPECT_EQ(mergeCapturedText(flag, accents, 3), (MergedText{flag, 0}));
}

TEST(RecognizedTextBuilder, CapsTheTextCountingALineFeedForEveryLine) {
    RecognizedTextBuilder full;
    EXPECT_FALSE(full.offer(repeated(u'a', recognizedTextLimit)));
    EXPECT_FALSE(full.offer(QStringLiteral("b"))); // stopped at once: later, shorter lines are not tried
    EXPECT_EQ(full.text(), QString());

    RecognizedTextBuilder fits;
    EXPECT_TRUE(fits.offer(repeated(u'a', recognizedTextLimit - 1)));
    EXPECT_EQ(fits.text().size(), recognizedTextLimit - 1);
    EXPECT_FALSE(fits.offer(QString()) && fits.offer(QStringLiteral("b")));

    // 1000 + line feed + 1398 + the counted line feed reaches the limit exactly.
    RecognizedTextBuilder exact;
    EXPECT_TRUE(exact.offer(repeated(u'a', 1000)));
    EXPECT_TRUE(exact.offer(QString())); // a blank line is skipped, not counted
    EXPECT_TRUE(exact.offer(repeated(u'b', 1398)));
    EXPECT_EQ(exact.text().size(), 2399);
    EXPECT_FALSE(exact.offer(QStringLiteral("c")));
    EXPECT_TRUE(exact.isFull());
}

TEST(CapturedTextMerger, OneLineAtATimeGivesTheSameAsTheWholeMerge) {
    const QString base = QStringLiteral("Header\nInbox");
    const QStringList lines = {QStringLiteral("Inbox"), QStringLiteral("Drafts"), QStringLiteral("Sent items"),
                               QStringLiteral("Archive"), QStringLiteral("Spam")};
    for (qsizetype budget = 0; budget < 50; ++budget) {
        CapturedTextMerger merger(base, budget);
        for (const QString& line : lines) {
            if (!merger.offer(line))
                break;
        }
        EXPECT_EQ(merger.result(), mergeCapturedText(base, lines.join(QLatin1Char('\n')), budget)) << budget;
    }
}
