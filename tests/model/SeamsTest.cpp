// Every seam header compiles on its own terms, and the seams stay abstract: nothing in this library implements
// them.
#include "tavrine/model/AccessibilityCaptureDebug.h"
#include "tavrine/model/ActivityClassifying.h"
#include "tavrine/model/ActivityObserving.h"
#include "tavrine/model/HistoryIntentWriting.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/model/NudgeWriting.h"
#include "tavrine/model/RecapWriting.h"
#include "tavrine/model/WorkspaceEventSource.h"

#include <gtest/gtest.h>
#include <type_traits>

using namespace tavrine;

static_assert(std::is_abstract_v<ActivityObserving>);
static_assert(std::is_abstract_v<ActivityClassifying>);
static_assert(std::is_abstract_v<NudgeWriting>);
static_assert(std::is_abstract_v<RecapWriting>);
static_assert(std::is_abstract_v<HistoryIntentWriting>);
static_assert(std::is_abstract_v<NudgeSpeaking>);
static_assert(!std::is_constructible_v<WorkspaceEventSource>);
static_assert(std::has_virtual_destructor_v<ActivityObserving> && std::has_virtual_destructor_v<NudgeSpeaking>);

TEST(Seams, SelectionEqualityIgnoresSetOrderButNotFragmentOrder) {
    AccessibilityTextFragment a{
        QStringLiteral("a"), QRectF(0, 0, 1, 1), std::nullopt, false, QStringLiteral("text"), 1};
    AccessibilityTextFragment b = a;
    b.sourceOrder = 2;
    AccessibilitySelection one{QStringLiteral("ab"), {a, b}, {1, 2}};
    AccessibilitySelection two{QStringLiteral("ab"), {a, b}, {2, 1}};
    EXPECT_EQ(one, two);
    two.orderedFragments = {b, a};
    EXPECT_NE(one, two);
    EXPECT_EQ(AccessibilityCaptureDebug().selection, AccessibilitySelection());
}
