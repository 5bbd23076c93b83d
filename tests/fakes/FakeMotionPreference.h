#pragma once

#include "tavrine/platform/MotionPreference.h"

namespace tavrine::test {

// The user's motion setting, switched by the test.
class FakeMotionPreference final : public platform::MotionPreference {
public:
    using MotionPreference::MotionPreference;
    using MotionPreference::setReduceMotion;
};

} // namespace tavrine::test
