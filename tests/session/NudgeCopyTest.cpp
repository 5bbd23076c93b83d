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
    EXPECT_EQ(fallbackNudgeText(facts("x", "aaaaaaa bbbbbbb ccccccc ddddddd eeeeeeeee", "Reader")),
              "Nice detour: Reader. Drop it and get back to x.");
    EXPECT_EQ(fallbackNudgeText(facts("x", "Why is the sky blue?", "Browser")),
              "Nice detour: Browser. Drop it and get back to x.");
    // Exactly five words and exactly 40 characters still name the activity.
    EXPECT_EQ(fallbackNudgeText(facts("x", "aaaaaaa bbbbbbb ccccccc ddddddd eeeeeeee", "App")),
              "Nice detour: aaaaaaa bbbbbbb ccccccc ddddddd eeeeeeee. Drop it and get back to x.");
}

TEST(FallbackNudgeText, WithNothingToNameOrNoIntention) {
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

namespace {
ActivityEvidence browserEvidence() {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Firefox");
    evidence.bundle = QStringLiteral("firefox");
    evidence.title = QStringLiteral("Cooking videos");
    evidence.url = QStringLiteral(" HTTPS://user:pw@Video.Example:8443/watch?v=1#t ");
    evidence.subject = QStringLiteral("Pasta in ten minutes");
    evidence.focusedDescription = QStringLiteral("Comment box");
    return evidence;
}
} // namespace

TEST(NudgeFacts, EachDetailAppearsOnceAndOnlyWhenMeaningful) {
    const ActivityEvidence evidence = browserEvidence();
    const NudgeFacts facts = makeNudgeFacts("Write the report", "Watching   cooking\nvideos", evidence);
    EXPECT_EQ(facts.intention, "Write the report");
    EXPECT_EQ(facts.work, "Watching cooking videos");
    EXPECT_EQ(facts.window, "Cooking videos");
    EXPECT_EQ(facts.subject, "Pasta in ten minutes");
    EXPECT_EQ(facts.focused, "Comment box");
    EXPECT_EQ(facts.app, "Firefox");
    EXPECT_EQ(facts.url, "https://video.example/watch");

    // No judged activity: the window title is the work, so the title is not repeated as the window.
    const NudgeFacts untitled = makeNudgeFacts("x", "", evidence);
    EXPECT_EQ(untitled.work, "Cooking videos");
    EXPECT_EQ(untitled.window, "");

    // A subject equal to the window title apart from case and spacing is dropped; a focused element that only
    // names the application is chrome.
    ActivityEvidence echo = evidence;
    echo.subject = QStringLiteral("  cooking   VIDEOS ");
    echo.focusedDescription = QStringLiteral("Firefox");
    const NudgeFacts echoed = makeNudgeFacts("x", "Snacking", echo);
    EXPECT_EQ(echoed.window, "Cooking videos");
    EXPECT_EQ(echoed.subject, "");
    EXPECT_EQ(echoed.focused, "");

    // Nothing at all to say: "Used" and the application, and an address that is not a web page is left out.
    ActivityEvidence bare;
    bare.app = QStringLiteral("Files");
    bare.url = QStringLiteral("file:///home/me/notes.txt");
    const NudgeFacts plain = makeNudgeFacts("x", "  ", bare);
    EXPECT_EQ(plain.work, "Used Files");
    EXPECT_EQ(plain.url, "");
    EXPECT_EQ(fallbackNudgeText(plain), "Nice detour: Used Files. Drop it and get back to x.");
}
