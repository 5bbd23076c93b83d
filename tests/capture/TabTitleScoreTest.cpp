#include "tavrine/capture/TabSearch.h"

#include "Printing.h"

#include <gtest/gtest.h>

using tavrine::capture::pressActionIndex;
using tavrine::capture::tabTitleScore;

TEST(TabTitleScore, ScoresALabelAgainstTheWindowTitle) {
    const QString longLabel = QStringLiteral("A very long page title that the browser shortens");
    struct Case {
        QString label, title;
        int score;
        const char* why;
    };
    const Case cases[] = {
        {QStringLiteral("Doc"), QStringLiteral("Doc"), 0, "short labels never match"},
        {QString(), QStringLiteral("Doc"), 0, "no label"},
        {QStringLiteral("Docs"), QStringLiteral("Docs - Editor"), 4, "a label inside the title scores its length"},
        {QStringLiteral("Quarterly report"), QStringLiteral("Quarterly report - Browser"), 16, ""},
        {QStringLiteral("quarterly report"), QStringLiteral("Quarterly report - Browser"), 0, "case counts"},
        {QStringLiteral("Caf\u00e9 \U0001F600 menu"), QStringLiteral("Caf\u00e9 \U0001F600 menu"), 11,
         "user-perceived characters"},
        {QStringLiteral("Inbox - Mail - Account"), QStringLiteral("Inbox - Mail - Browser"), 12,
         "shared leading components"},
        {QStringLiteral("Inbox - Extra"), QStringLiteral("Inbox - A - B"), 5, "the title adds two components"},
        {QStringLiteral("Inbox - Extra"), QStringLiteral("Inbox - A - B - C"), 0, "the title adds three"},
        {QStringLiteral("Outbox - Mail"), QStringLiteral("Inbox - Mail"), 0, "only leading components count"},
        {longLabel, QStringLiteral("A very long page\u2026"), 16, "a cut title matches the label's beginning"},
        {longLabel, QStringLiteral("Browser \u2014 A very long page\u2026"), 16, "up to 24 characters to skip"},
        {longLabel, QStringLiteral("0123456789012345678901234A very long page\u2026"), 0, "25 characters to skip"},
        {longLabel, QStringLiteral("A very \u2026"), 0, "a cut title under 8 characters"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tabTitleScore(c.label, c.title), c.score) << c.why << ": " << c.title.toStdString();
}

TEST(PressActionIndex, TakesTheFirstPressLikeActionInAnyCase) {
    EXPECT_EQ(pressActionIndex({QStringLiteral("showMenu"), QStringLiteral("Press")}), 1);
    EXPECT_EQ(pressActionIndex({QStringLiteral("JUMP"), QStringLiteral("click")}), 0);
    EXPECT_EQ(pressActionIndex({QStringLiteral("toggle")}), std::nullopt);
}
