#include "fakes/FakeMotionPreference.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/Text.h"
#include "tavrine/onboarding/MeshBackdrop.h"
#include "tavrine/onboarding/OnboardingPages.h"
#include "tavrine/onboarding/TypedIntentionModel.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;

TEST(OnboardingPages, ThePermissionsSubtitleSaysWhereScreenshotsStay) {
    EXPECT_TRUE(pageTable(OnboardingPage::Permissions).subtitle.endsWith(u"Screenshots stay on this computer."));
    EXPECT_TRUE(pageTable(OnboardingPage::Permissions).subtitle.contains(QChar(0x2019)));
}

TEST(MeshBackdrop, TheMeshPassesThroughItsNinePointsAndBlendsBetweenPalettes) {
    const BackdropPalette& welcome = pageTable(OnboardingPage::Welcome).palette;
    const BackdropPalette& ready = pageTable(OnboardingPage::Ready).palette;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QColor at = meshColor(welcome, column * 0.5, row * 0.5);
            EXPECT_EQ(at.rgb(), welcome[size_t(row * 3 + column)].rgb()) << row << "," << column;
        }
    }
    // Smoothstep weights: a quarter of the way gives 0.15625 of the far point, not 0.25.
    const QColor quarter = meshColor(welcome, 0.125, 0);
    const double expected = welcome[0].redF() + (welcome[1].redF() - welcome[0].redF()) * 0.15625;
    EXPECT_NEAR(quarter.redF(), expected, 1.0 / 255);
    EXPECT_EQ(blendPalettes(welcome, ready, 0)[4].rgb(), welcome[4].rgb());
    EXPECT_EQ(blendPalettes(welcome, ready, 1)[4].rgb(), ready[4].rgb());
    // Out-of-range or non-finite places stay on the mesh.
    EXPECT_EQ(meshColor(welcome, -3, std::nan("")).rgb(), welcome[0].rgb());
    const QImage image = meshImage(welcome, MeshBackdrop::meshSize);
    EXPECT_EQ(image.pixel(0, 0), welcome[0].rgb());
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), welcome[8].rgb());
}

namespace {

struct Typing {
    explicit Typing(const QString& text) : model(text, clock, &motion) {}
    void advance(double seconds) {
        clock.advance(seconds);
        QCoreApplication::processEvents();
    }
    ManualClock clock{100.0};
    test::FakeMotionPreference motion;
    TypedIntentionModel model;
};

} // namespace

TEST(TypedIntention, TypesOneCharacterPerStepThenBlinks) {
    Typing t(QStringLiteral("Design the landing page for my app"));
    ASSERT_EQ(text::graphemeCount(t.model.text()), 34);
    t.model.begin();
    t.advance(0.449);
    EXPECT_EQ(t.model.typed(), 0);
    for (int k = 0; k < 34; ++k) {
        // Character k + 1 shows at 0.45 + k · 0.034.
        t.advance(k == 0 ? 0.001 : 0.034);
        EXPECT_EQ(t.model.typed(), k + 1) << k;
        EXPECT_TRUE(t.model.caretVisible());
    }
    EXPECT_EQ(t.model.shown(), t.model.text());
    t.advance(0.034 + 0.52);
    EXPECT_FALSE(t.model.caretVisible());
    t.advance(0.52);
    EXPECT_TRUE(t.model.caretVisible());
    // Leaving stops it; coming back types from nothing.
    t.model.end();
    t.advance(2);
    t.model.begin();
    EXPECT_EQ(t.model.typed(), 0);
    EXPECT_TRUE(t.model.caretVisible());
    t.model.end();
}

TEST(TypedIntention, GrowsByWholeCharactersAndShowsAllAtOnceWithLessMotion) {
    const QString text = QStringLiteral("e\u0301\U0001F44D\U0001F3FD\u2708\uFE0F");
    ASSERT_EQ(text::graphemeCount(text), 3);
    Typing t(text);
    t.model.begin();
    t.advance(0.45);
    EXPECT_EQ(t.model.shown(), QStringLiteral("e\u0301"));
    t.advance(0.034);
    EXPECT_EQ(t.model.shown(), QStringLiteral("e\u0301\U0001F44D\U0001F3FD"));
    t.advance(0.034);
    EXPECT_EQ(t.model.shown(), text);
    t.model.end();

    Typing still(QStringLiteral("Design"));
    still.motion.setReduceMotion(true);
    still.model.begin();
    EXPECT_EQ(still.model.shown(), QStringLiteral("Design"));
    still.advance(3);
    EXPECT_TRUE(still.model.caretVisible());
}
