// In a process of its own: whether user content is logged is read once, on first use, for the whole process.
#include "tavrine/core/Log.h"

#include <gtest/gtest.h>

using namespace tavrine;

TEST(LogPrivate, OneShowsUserContentForTheRestOfTheProcess) {
    // Set here because the test main clears it; nothing in this process has asked before.
    qputenv("TAVRINE_LOG_PRIVATE", "1");
    EXPECT_TRUE(log::showsPrivate());
    EXPECT_EQ(log::priv(QStringLiteral("my secret page")), QStringLiteral("my secret page"));
    // Read once: a later change of the variable changes nothing.
    qputenv("TAVRINE_LOG_PRIVATE", "0");
    EXPECT_TRUE(log::showsPrivate());
}
