#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/RehearsalClips.h"
#include "tavrine/onboarding/RehearsalPlayer.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

class SilentPage final : public RehearsalPlayerPage {
public:
    void load() override {}
    void runScript(const QString&) override {}
    void detach() override {}
    void fail() { emit message(QVariantMap{{"event", "error"}, {"value", 100}}); }
};

QStringList textsUnder(QQuickItem* item) {
    QStringList out;
    if (item->isVisible()) {
        const QVariant text = item->property("text");
        if (text.metaType().id() == QMetaType::QString && item->metaObject()->indexOfProperty("textFormat") >= 0)
            out << text.toString();
        for (QQuickItem* child : item->childItems())
            out << textsUnder(child);
    }
    return out;
}

// The video page, still, over a player whose page never gets ready and fails when told, in a 1200 × 760 window.
class VideoPageShown : public ::testing::Test {
protected:
    void SetUp() override {
        auto owned = std::make_unique<SilentPage>();
        page = owned.get();
        player = std::make_unique<RehearsalPlayer>(std::move(owned), clock,
                                                   RehearsalClipIdentifiers{"Detour_0001", "Tutorial-02"});
        root = h.create(ui::componentUrl("Tavrine.Onboarding", "VideoPage"),
                        {{"player", QVariant::fromValue<QObject*>(player.get())}, {"reduceMotion", true}});
        ASSERT_TRUE(root);
        item = qobject_cast<QQuickItem*>(root.get());
        item->setSize({1200, 760});
        window = showInWindow(item, 1200, 760);
    }
    void TearDown() override { EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join("\n").toStdString(); }

    QmlHarness h;
    ManualClock clock;
    SilentPage* page = nullptr;
    std::unique_ptr<RehearsalPlayer> player;
    std::unique_ptr<QObject> root;
    QQuickItem* item = nullptr;
    std::unique_ptr<QQuickWindow> window;
};

TEST_F(VideoPageShown, ShowsEachClipsTextsAndThePosterOnlyWhileUnavailable) {
    EXPECT_EQ(item->objectName(), "rehearsalVideo");
    EXPECT_EQ(item->property("accessibleName").toString(), "Video: Slurping Through Tokyo: Ten Hidden Ramen Counters in One Day");
    QStringList texts = textsUnder(item);
    EXPECT_TRUE(texts.contains("Slurping Through Tokyo: Ten Hidden Ramen Counters in One Day"));
    EXPECT_TRUE(texts.contains("Noodle Nomad Eats"));
    EXPECT_TRUE(texts.contains("I found the best pizza in Naples"));
    EXPECT_FALSE(findItem(item, "rehearsalVideoPoster"));

    player->setCurrent(RehearsalVideo::Tutorial, false);
    texts = textsUnder(item);
    EXPECT_TRUE(texts.contains("Hero Sections 101: Laying Out Your First Landing Page"));
    EXPECT_TRUE(texts.contains("Canvas Class"));
    EXPECT_TRUE(texts.contains("Spacing and grids, explained"));
    EXPECT_FALSE(texts.contains("I found the best pizza in Naples"));

    page->fail();
    ASSERT_TRUE(player->unavailable());
    QQuickItem* poster = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (poster = findItem(item, "rehearsalVideoPoster")) != nullptr; }));
    QQuickItem* area = findItem(item, "rehearsalPlayerArea");
    ASSERT_TRUE(area);
    EXPECT_NEAR(area->width() / area->height(), 16.0 / 9.0, 0.01);
    EXPECT_NEAR(poster->property("fitWidth").toDouble() / poster->property("fitHeight").toDouble(), 16.0 / 9.0, 0.01);
    EXPECT_EQ(poster->property("video").toInt(), 1);
    // Covered whole, the web player is hidden, so its engine stops drawing; it shows again as the poster fades.
    QQuickItem* host = findItem(item, "rehearsalPlayerHost");
    ASSERT_TRUE(host);
    EXPECT_TRUE(waitUntil([&] { return !host->isVisible(); }, 3));

    player->setCurrent(RehearsalVideo::Tutorial, false);
    EXPECT_TRUE(host->isVisible());
    QObject* loader = findObject(item, "rehearsalPosterLoader");
    ASSERT_TRUE(loader);
    EXPECT_TRUE(waitUntil([&] { return loader->property("item").value<QObject*>() == nullptr; }, 3))
        << "the poster fades out and goes";
}

TEST(VideoPageQml, PosterKeepsSixteenByNineInAWideContainer) {
    QmlHarness h;
    auto root = h.createFromText(R"(
import QtQuick
import Tavrine.Onboarding
Item { width: 900; height: 300
    VideoPoster { objectName: "p"; anchors.fill: parent; video: 0; reduceMotion: true } })");
    ASSERT_TRUE(root);
    auto* item = qobject_cast<QQuickItem*>(root.get());
    auto window = showInWindow(item, 900, 300);
    QQuickItem* poster = findItem(item, "p");
    ASSERT_TRUE(poster);
    EXPECT_DOUBLE_EQ(poster->property("fitHeight").toDouble(), 300.0);
    EXPECT_NEAR(poster->property("fitWidth").toDouble(), 300.0 * 16 / 9, 0.01);
    QQuickItem* progress = findItem(item, "rehearsalPosterProgress");
    ASSERT_TRUE(progress);
    EXPECT_NEAR(progress->width(), (300.0 * 16 / 9 - 24) * 0.22, 0.5) << "in whole pixels";
    EXPECT_EQ(findItem(item, "rehearsalPosterContent")->scale(), 1.0) << "no zoom under reduce motion";
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join("\n").toStdString();
}

// The zoom drifts in steps that move the content's edges by whole pixels, never in between.
TEST(VideoPageQml, PosterZoomMovesItsEdgesByWholePixels) {
    QmlHarness h;
    auto root = h.createFromText(R"(
import QtQuick
import Tavrine.Onboarding
Item { width: 873; height: 491
    VideoPoster { anchors.fill: parent; video: 0 } })");
    ASSERT_TRUE(root);
    auto window = showInWindow(qobject_cast<QQuickItem*>(root.get()), 873, 491);
    QQuickItem* content = findItem(root.get(), "rehearsalPosterContent");
    ASSERT_TRUE(content);
    ASSERT_TRUE(waitUntil([&] { return content->scale() > 1.0; }, 5));
    const double grown = (content->scale() - 1.0) * content->width();
    EXPECT_NEAR(grown, std::round(grown / 2) * 2, 1e-6) << "one pixel on each side per step";
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join("\n").toStdString();
}

QColor mix(const QColor& a, const QColor& b) {
    return QColor::fromRgbF((a.redF() + b.redF()) / 2, (a.greenF() + b.greenF()) / 2, (a.blueF() + b.blueF()) / 2);
}

// The tests draw offscreen, where the scene graph is the software one: the poster's, the thumbnails' and the
// channel avatar's diagonal gradients must show there as on a GL desktop (a shader effect drew them black).
TEST_F(VideoPageShown, DiagonalGradientsDrawUnderTheSoftwareRenderer) {
    page->fail();
    QQuickItem* poster = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (poster = findItem(item, "rehearsalVideoPoster")) != nullptr; }));
    QObject* loader = findObject(item, "rehearsalPosterLoader");
    ASSERT_TRUE(waitUntil([&] { return loader->property("opacity").toDouble() == 1.0; }, 3));
    const QImage image = window->grabWindow();

    const QColor ground = item->property("ground").value<QColor>();
    const QColor tint = RehearsalClips::rows(0).value(0).toMap().value("tint").value<QColor>();
    const QVariantList avatar = RehearsalClips::avatarColors(0);
    struct Case {
        const char* what;
        const char* item;
        QPointF at;
        QColor expected;
    };
    const Case cases[] = {
        {"the poster's first colour at its top left", "rehearsalVideoPoster", {14, 14}, QColor(26, 15, 71)},
        {"the poster running to orange at its bottom right", "rehearsalVideoPoster", {poster->width() - 14, poster->height() - 70}, QColor(245, 112, 52)},
        {"a thumbnail's tint at its top left", "rehearsalThumbnail", {8, 8}, tint},
        {"the page's ground outside a thumbnail's rounded corner", "rehearsalThumbnail", {0.5, 0.5}, ground},
        {"the channel avatar halfway between its colours", "rehearsalChannelAvatar", {16, 16}, mix(avatar[0].value<QColor>(), avatar[1].value<QColor>())},
    };
    for (const Case& c : cases) {
        QQuickItem* target = findItem(item, c.item);
        ASSERT_TRUE(target) << c.what;
        const QPoint at = target->mapToScene(c.at).toPoint();
        const QColor seen = image.pixelColor(at);
        const int distance = std::max({std::abs(seen.red() - c.expected.red()), std::abs(seen.green() - c.expected.green()),
                                       std::abs(seen.blue() - c.expected.blue())});
        EXPECT_LE(distance, 14) << c.what << ": saw " << seen.name().toStdString() << ", wanted "
                                << c.expected.name().toStdString();
    }
}

} // namespace
