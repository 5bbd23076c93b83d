#include "tavrine/capture/TabSearch.h"

#include "Printing.h"

#include <gtest/gtest.h>

using tavrine::capture::pressActionIndex;
using tavrine::capture::tabTitleScore;

TEST(TabTitleScore, ShortLabelsNeverMatch) {
    EXPECT_EQ(tabTitleScore(QStringLiteral("Doc"), QStringLiteral("Doc")), 0);
    EXPECT_EQ(tabTitleScore(QString(), QStringLiteral("Doc")), 0);
    EXPECT_EQ(tabTitleScore(QStringLiteral("Docs"), QStringLiteral("Docs - Editor")), 4);
}

TEST(TabTitleScore, ALabelInsideTheTitleScoresItsLength) {
    EXPECT_EQ(tabTitleScore(QStringLiteral("Quarterly report"), QStringLiteral("Quarterly report - Browser")), 16);
    EXPECT_EQ(tabTitleScore(QStringLiteral("quarterly report"), QStringLiteral("Quarterly report - Browser")), 0)
        << "case counts";
    // Characters are user-perceived characters.
    EXPECT_EQ(tabTitleScore(QStringLiteral("Caf\u00e9 \U0001F600 menu"), QStringLiteral("Caf\u00e9 \U0001F600 menu")),
              11);
}

TEST(TabTitleScore, SharedLeadingComponentsCountWhenTheTitleAddsAtMostTwo) {
    // The tab shows more of the page than the window title.
    EXPECT_EQ(tabTitleScore(QStringLiteral("Inbox - Mail - Account"), QStringLiteral("Inbox - Mail - Browser")), 12);
    EXPECT_EQ(tabTitleScore(QStringLiteral("Inbox - Extra"), QStringLiteral("Inbox - A - B")), 5);
    EXPECT_EQ(tabTitleScore(QStringLiteral("Inbox - Extra"), QStringLiteral("Inbox - A - B - C")), 0)
        << "three components beyond the shared one";
    EXPECT_EQ(tabTitleScore(QStringLiteral("Outbox - Mail"), QStringLiteral("Inbox - Mail")), 0);
}

TEST(TabTitleScore, ACutTitleMatchesTheLabelsBeginningFromOneOfItsFirstCharacters) {
    const QString label = QStringLiteral("A very long page title that the browser shortens");
    EXPECT_EQ(tabTitleScore(label, QStringLiteral("A very long page\u2026")), 16);
    // The title may start up to 24 characters before the label does.
    EXPECT_EQ(tabTitleScore(label, QStringLiteral("Browser \u2014 A very long page\u2026")), 16);
    EXPECT_EQ(tabTitleScore(label, QStringLiteral("0123456789012345678901234A very long page\u2026")), 0)
        << "25 characters to skip";
    EXPECT_EQ(tabTitleScore(label, QStringLiteral("A very \u2026")), 0) << "under 8 characters";
}

TEST(PressActionIndex, TakesTheFirstPressLikeActionInAnyCase) {
    EXPECT_EQ(pressActionIndex({QStringLiteral("showMenu"), QStringLiteral("Press")}), 1);
    EXPECT_EQ(pressActionIndex({QStringLiteral("JUMP"), QStringLiteral("click")}), 0);
    EXPECT_EQ(pressActionIndex({QStringLiteral("toggle")}), std::nullopt);
}
