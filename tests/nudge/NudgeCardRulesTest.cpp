#include "tavrine/nudge/NudgeCardModel.h"
#include "tavrine/nudge/NudgeCardRules.h"
#include "tavrine/nudge/NudgeHoverState.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine::nudge;

TEST(ReasonFontSize, FollowsTheLengthInUserPerceivedCharacters) {
    const struct {
        qsizetype n;
        int size;
    } cases[] = {{0, 24}, {50, 24}, {55, 24}, {56, 23}, {65, 23}, {66, 22}, {135, 16}, {136, 15}, {139, 15},
                 {140, 15}, {200, 15}};
    for (const auto& c : cases)
        EXPECT_EQ(reasonFontSize(c.n), c.size) << c.n;

    QString emoji; // a family of four code points, sixty times
    for (int i = 0; i < 60; ++i)
        emoji += QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    EXPECT_GT(emoji.size(), 300);
    EXPECT_EQ(reasonFontSizeFor(emoji), 23);
    EXPECT_EQ(reasonFontSizeFor(QString()), 24);
}

TEST(ReasonArea, ScrollsOnlyBeyond156MeasuredPixels) {
    EXPECT_EQ(reasonArea(20), (ReasonArea{24, false}));
    EXPECT_EQ(reasonArea(156), (ReasonArea{160, false}));
    EXPECT_EQ(reasonArea(157), (ReasonArea{160, true}));
    EXPECT_EQ(reasonArea(2000), (ReasonArea{160, true}));
}

TEST(ReasonTextHeight, GrowsWithLinesAndNeverCollapses) {
    const int empty = reasonTextHeight(QString());
    const int one = reasonTextHeight(QStringLiteral("Back to work."));
    EXPECT_GT(empty, 0);
    EXPECT_EQ(empty, one);
    const int wrapped = reasonTextHeight(QStringLiteral("Nice detour, but the quarterly report is waiting for "
                                                        "you, so let us get back to the numbers now."));
    EXPECT_GT(wrapped, one);
    // A long word with no break point still wraps instead of running off the card.
    EXPECT_GT(reasonTextHeight(QString(120, QLatin1Char('W'))), reasonTextHeight(QStringLiteral("W")));
    // 5 000 characters end in the scrolling area.
    EXPECT_TRUE(reasonArea(reasonTextHeight(QString(5000, QLatin1Char('a')))).scrolls);
}

TEST(JobLine, FocusModeWinsOverTheIntention) {
    EXPECT_EQ(jobLine(true, QStringLiteral("Write")), QStringLiteral("Focus mode"));
    EXPECT_EQ(jobLine(false, QString()), QStringLiteral("Your job: "));
    EXPECT_EQ(jobLine(false, QStringLiteral("<b>Write</b>")), QStringLiteral("Your job: <b>Write</b>"));
}

TEST(SentenceMode, VoiceRevealThenClockThenWhole) {
    EXPECT_EQ(sentenceMode(true, true, true), SentenceMode::Spoken);
    EXPECT_EQ(sentenceMode(true, false, true), SentenceMode::Timed);
    EXPECT_EQ(sentenceMode(false, true, false), SentenceMode::Plain);
    EXPECT_EQ(sentenceMode(true, false, false), SentenceMode::Plain);
}

TEST(NudgeCardModel, RemeasuresOnANewReasonOnly) {
    NudgeCardModel model;
    QSignalSpy changed(&model, &NudgeCardModel::reasonChanged);
    model.setReason(QString(140, QLatin1Char('x')));
    EXPECT_EQ(model.fontSize(), 15);
    model.setReason(QString(140, QLatin1Char('x')));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(NudgeCardModel::closeButtonFill(Qt::black), QColor::fromRgbF(0.2f, 0.2f, 0.2f));
    EXPECT_EQ(NudgeCardModel::closeButtonFill(QColor(0xef, 0xef, 0xef)), QColor::fromRgbF(0.94f, 0.94f, 0.94f));
}

TEST(NudgeHoverState, NotifiesOnlyOnARealChange) {
    NudgeHoverState hover;
    QSignalSpy card(&hover, &NudgeHoverState::cardChanged);
    QSignalSpy close(&hover, &NudgeHoverState::closeChanged);
    hover.setCard(false);
    hover.setCard(true);
    hover.setCard(true);
    hover.setClose(true);
    hover.reset();
    hover.reset();
    EXPECT_EQ(card.count(), 2);
    EXPECT_EQ(close.count(), 2);
    EXPECT_FALSE(hover.card());
    EXPECT_FALSE(hover.close());
}
