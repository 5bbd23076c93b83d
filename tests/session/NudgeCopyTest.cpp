#include "tavrine/session/NudgeCopy.h"

#include <gtest/gtest.h>

using namespace tavrine;

namespace {
NudgeFacts facts(const QString& intention, const QString& work, const QString& app) {
    NudgeFacts f;
    f.intention = intention;
    f.work = work;
    f.app = app;
    return f;
}
} // namespace

TEST(FallbackNudgeText, NamesAShortActivityElseTheApplication) {
    EXPECT_EQ(fallbackNudgeText(facts("finish the report", "Watching cooking videos", "Video Player")),
              "Nice detour: Watching cooking videos. Drop it and get back to finish the report.");
    // Six words, more than 40 characters, or a question: the application names the detour instead.
    EXPECT_EQ(fallbackNudgeText(facts("finish the report", "One two three four five six", "Video Player")),
              "Nice detour: Video Player. Drop it and get back to finish the report.");
    EXPECT_EQ(fallbackNudgeText(facts("x", "Readingaverylongarticleaboutsomethingelse", "Reader")),
              "Nice detour: Reader. Drop it and get back to x.");
    EXPECT_EQ(fallbackNudgeText(facts("x", "Why is the sky blue?", "Browser")),
              "Nice detour: Browser. Drop it and get back to x.");
    // Exactly five words and exactly 40 characters still name the activity.
    EXPECT_EQ(fallbackNudgeText(facts("x", "aaaaaaa bbbbbbb ccccccc ddddddd eeeeeeee", "App")),
              "Nice detour: aaaaaaa bbbbbbb ccccccc ddddddd eeeeeeee. Drop it and get back to x.");
}

TEST(FallbackNudgeText, WithNothingToNameOrNoIntention) {
    EXPECT_EQ(fallbackNudgeText(facts("write tests", "", "")), "Time to leave this detour. Get back to write tests.");
    EXPECT_EQ(fallbackNudgeText(facts(" \n\t ", "  ", " ")), "Time to leave this detour. Get back to work.");
    EXPECT_EQ(fallbackNudgeText(facts("", "Chatting", "Chat")), "Nice detour: Chatting. Drop it and get back to work.");
}

TEST(FallbackNudgeText, CollapsesAndCutsLongTexts) {
    // Whitespace runs collapse before the cut; the cut counts user-perceived characters and is trimmed after.
    EXPECT_EQ(fallbackNudgeText(facts("  plan\n\n the   launch ", " Scrolling \t the feed ", "App")),
              "Nice detour: Scrolling the feed. Drop it and get back to plan the launch.");
    const QString longGoal = QString(149, 'g') + QStringLiteral(" tail");
    EXPECT_EQ(fallbackNudgeText(facts(longGoal, "", "")),
              "Time to leave this detour. Get back to " + QString(149, 'g') + ".");
    const QString flags = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA").repeated(45);
    const QString app = fallbackNudgeText(facts("x", "", flags));
    EXPECT_EQ(app, "Nice detour: " + flags.left(flags.size() * 40 / 45) + ". Drop it and get back to x.");
}
