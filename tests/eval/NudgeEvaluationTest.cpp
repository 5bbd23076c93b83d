#include "tavrine/eval/NudgeEvaluation.h"

#include <gtest/gtest.h>

using namespace tavrine::eval;

TEST(NudgeEvaluation, MedianIsTheUpperMiddleLatency) {
    EXPECT_EQ(medianLatency({}), 0.0);
    EXPECT_EQ(medianLatency({0.5, 0.1, 0.3}), 0.3);
    EXPECT_EQ(medianLatency({0.4, 0.1, 0.3, 0.2}), 0.3);
}
