#include "support/LogCapture.h"
#include "tavrine/core/Log.h"

#include <gtest/gtest.h>

using namespace tavrine;

TEST(Log, LevelsMapToQtLevelsUnderTheSubsystem) {
    test::LogCapture capture;
    log::info(logFocus(), QStringLiteral("a"));
    log::notice(logModelCallCategory(), QStringLiteral("b"));
    log::error(logHistory(), QStringLiteral("c"));
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].category, QStringLiteral("Focus"));
    EXPECT_EQ(lines[0].level, QStringLiteral("debug"));
    EXPECT_EQ(lines[1].category, QStringLiteral("ModelCall"));
    EXPECT_EQ(lines[1].level, QStringLiteral("info"));
    EXPECT_EQ(lines[2].category, QStringLiteral("History"));
    EXPECT_EQ(lines[2].level, QStringLiteral("warning"));
    EXPECT_EQ(QString::fromLatin1(logSession().categoryName()), QStringLiteral("com.dravolence.tavrine.session"));
}

TEST(Log, PrivateArgumentsAreHiddenByDefault) {
    EXPECT_FALSE(log::showsPrivate());
    EXPECT_EQ(log::priv(QStringLiteral("my secret page")), QStringLiteral("<private>"));
}
