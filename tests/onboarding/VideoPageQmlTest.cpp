#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/RehearsalPlayer.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
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

TEST(VideoPageQml, ShowsEachClipsTextsAndThePosterOnlyWhileUnavailable) {
    QmlHarness h;
    ManualClock clock;
    auto owned = std::make_unique<SilentPage>();
    SilentPage* page = owned.get();
    RehearsalPlayer player(std::move(owned), clock, RehearsalClipIdentifiers{});
    auto root = h.create(ui::componentUrl("Tavrine.Onboarding", "VideoPage"),
                         {{"player", QVariant::fromValue<QObject*>(&player)}, {"reduceMotion", true}});
    ASSERT_TRUE(root);
    auto* item = qobject_cast<QQuickItem*>(root.get());
    auto window = showInWindow(item, 1200, 760);

    EXPECT_EQ(item->objectName(), "rehearsalVideo");
    EXPECT_EQ(item->property("accessibleName").toString(), "Video: Slurping Through Tokyo: Ten Hidden Ramen Counters in One Day");
    QStringList texts = textsUnder(item);
    EXPECT_TRUE(texts.contains("Slurping Through Tokyo: Ten Hidden Ramen Counters in One Day"));
    EXPECT_TRUE(texts.contains("Noodle Nomad Eats"));
    EXPECT_TRUE(texts.contains("I found the best pizza in Naples"));
    EXPECT_FALSE(findItem(item, "rehearsalVideoPoster"));

    player.setCurrent(RehearsalVideo::Tutorial, false);
    texts = textsUnder(item);
    EXPECT_TRUE(texts.contains("Hero Sections 101: Laying Out Your First Landing Page"));
    EXPECT_TRUE(texts.contains("Canvas Class"));
    EXPECT_TRUE(texts.contains("Spacing and grids, explained"));
    EXPECT_FALSE(texts.contains("I found the best pizza in Naples"));

    page->fail();
    ASSERT_TRUE(player.unavailable());
    QQuickItem* poster = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (poster = findItem(item, "rehearsalVideoPoster")) != nullptr; }));
    QQuickItem* area = findItem(item, "rehearsalPlayerArea");
    ASSERT_TRUE(area);
    EXPECT_NEAR(area->width() / area->height(), 16.0 / 9.0, 0.01);
    EXPECT_NEAR(poster->property("fitWidth").toDouble() / poster->property("fitHeight").toDouble(), 16.0 / 9.0, 0.01);
    EXPECT_EQ(poster->property("video").toInt(), 1);

    player.setCurrent(RehearsalVideo::Tutorial, false);
    QObject* loader = findObject(item, "rehearsalPosterLoader");
    ASSERT_TRUE(loader);
    EXPECT_TRUE(waitUntil([&] { return loader->property("item").value<QObject*>() == nullptr; }, 3))
        << "the poster fades out and goes";
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join("\n").toStdString();
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
    EXPECT_NEAR(progress->width(), (300.0 * 16 / 9 - 24) * 0.22, 0.01);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join("\n").toStdString();
}

} // namespace
