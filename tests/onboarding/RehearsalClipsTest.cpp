#include "tavrine/onboarding/RehearsalClips.h"

#include <QTextBoundaryFinder>
#include <gtest/gtest.h>

namespace tavrine {
namespace {

int graphemes(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

TEST(RehearsalVideoRows, EachClipHasItsFiveRowsInOrderAndEqualOnEveryCall) {
    const QList<RehearsalVideoRow> detour = rehearsalVideoRows(RehearsalVideo::Detour);
    const QList<RehearsalVideoRow> tutorial = rehearsalVideoRows(RehearsalVideo::Tutorial);
    ASSERT_EQ(detour.size(), 5);
    ASSERT_EQ(tutorial.size(), 5);
    EXPECT_EQ(detour, rehearsalVideoRows(RehearsalVideo::Detour));
    EXPECT_EQ(detour[0].title, "Eating only corner-shop food in Japan for 24 hours");
    EXPECT_EQ(detour[3].title, "48 hours in Kyoto on $50");
    EXPECT_EQ(detour[4].channel, "Hungry Abroad");
    EXPECT_EQ(tutorial[0].title, "Typography rules every landing page needs");
    EXPECT_EQ(tutorial[3].channel, "Ship It");
    EXPECT_EQ(tutorial[4].emoji, QString::fromUcs4(U"\U0001F3A8"));
    EXPECT_NEAR(detour[1].tint.redF(), 0.98, 0.002);
    EXPECT_NEAR(tutorial[2].tint.blueF(), 0.94, 0.002);
    // The airplane is two code points and one character.
    EXPECT_EQ(detour[2].emoji, QString::fromUcs4(U"\u2708\uFE0F"));
    for (const auto& list : {detour, tutorial}) {
        QSet<QString> titles;
        for (const RehearsalVideoRow& row : list) {
            EXPECT_EQ(graphemes(row.emoji), 1) << row.title.toStdString();
            EXPECT_EQ(row.tint.alphaF(), 1.0);
            titles.insert(row.title);
        }
        EXPECT_EQ(titles.size(), 5) << "the page tells rows apart by title";
    }
}

TEST(RehearsalClips, TableAndPageTextsFollowTheClip) {
    const RehearsalClipIdentifiers ids{QStringLiteral("aaaaaaaaaaa"), QStringLiteral("bbbbbbbbbbb")};
    const RehearsalClip detour = rehearsalClip(RehearsalVideo::Detour, ids);
    const RehearsalClip tutorial = rehearsalClip(RehearsalVideo::Tutorial, ids);
    EXPECT_EQ(detour.identifier, "aaaaaaaaaaa");
    EXPECT_EQ(detour.startSecond, 40);
    EXPECT_EQ(tutorial.startSecond, 20);
    EXPECT_EQ(RehearsalClips::rows(1).at(1).toMap().value("title").toString(), "Hero sections that get the click");
    EXPECT_EQ(RehearsalClips::avatarColors(1).at(0).value<QColor>(), sceneryhue::cyan());
    EXPECT_EQ(RehearsalClips::avatarColors(0).at(1).value<QColor>(), sceneryhue::red());
}

TEST(RehearsalClips, IdentifiersAreEmptyOrElevenSafeCharacters) {
    struct Case {
        const char* text;
        bool valid;
    } cases[] = {{"", true},           {"Ab3_x-Z9q0K", true},  {"a-b_c-d_e-f", true}, {"short", false},
                 {"twelve_chars", false}, {"abc'); x();", false}, {"abcdefghij ", false}};
    for (const Case& c : cases)
        EXPECT_EQ(RehearsalClipIdentifiers::isValid(QString::fromUtf8(c.text)), c.valid) << c.text;
}

} // namespace
} // namespace tavrine
