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
