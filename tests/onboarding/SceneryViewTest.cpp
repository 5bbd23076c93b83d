#include "support/QmlTestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/CoachModel.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;

namespace {

QUrl component(const char* name) {
    return ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QString::fromLatin1(name));
}

QUrl askedButton() {
    return ui::componentUrl(QStringLiteral("Tavrine.Ui"), QStringLiteral("RehearsalAskedButtonStyle"));
}

bool shown(QQuickItem* item) {
    return item && item->isVisible();
}

QString text(QQuickItem* item) {
    return item ? item->property("text").toString() : QString();
}

SessionTimeline fullRun() {
    auto segment = [](SessionTimeline::Kind kind, double start, double end) {
        SessionTimeline::Segment s;
        s.kind = kind;
        s.start = start;
        s.end = end;
        s.phrase = QStringLiteral("Designed the landing page");
        return s;
    };
    using K = SessionTimeline::Kind;
    return normaliseTimeline({segment(K::Related, 0, 20), segment(K::Detour, 20, 40), segment(K::Related, 40, 60)},
                             60);
}

// QML items of the scenery shown in windows; no test may leave a QML warning behind.
class SceneryView : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString(); }
    // `url` made with `properties` and shown in a window of the given size (its own size if 0), kept to the end.
    QQuickItem* show(const QUrl& url, const QVariantMap& properties = {}, int width = 0, int height = 0) {
        objects.push_back(h.create(url, properties));
        auto* item = qobject_cast<QQuickItem*>(objects.back().get());
        if (item)
            windows.push_back(showInWindow(item, width, height));
        return item;
    }
    QQuickWindow* window() const { return windows.back().get(); }
    void click(QQuickItem* item, QPointF at) {
        QTest::mouseClick(window(), Qt::LeftButton, {}, item->mapToScene(at).toPoint());
    }
    void clickCentre(QQuickItem* item) { click(item, {item->width() / 2, item->height() / 2}); }

    QmlHarness h;
    std::vector<std::unique_ptr<QObject>> objects;
    std::vector<std::unique_ptr<QQuickWindow>> windows;
};

// The coach card over its model on the manual clock, shown in a 440 × 400 window.
class RehearsalCoachView : public SceneryView {
protected:
    void SetUp() override {
        model.setClock(&clock);
        root = show(component("RehearsalCoach"), {{"model", QVariant::fromValue(&model)}}, 440, 400);
        ASSERT_TRUE(root);
    }
    // The card goes before the model it reads.
    void TearDown() override {
        SceneryView::TearDown();
        windows.clear();
        objects.clear();
    }
    ManualClock clock;
    CoachModel model;
    QQuickItem* root = nullptr;
};

} // namespace

TEST_F(RehearsalCoachView, EveryBeatAndItsButtons) {
    QSignalSpy next(root, SIGNAL(next()));
    QSignalSpy skip(root, SIGNAL(skip()));

    const bool hasNext[] = {true, false, false, false, true, true, true};
    for (int beat = 0; beat < 7; ++beat) {
        model.setBeat(beat);
        QTest::qWait(1);
        SCOPED_TRACE(beat);
        EXPECT_EQ(text(findItem(root, "coachTitle")), model.title());
        EXPECT_EQ(text(findItem(root, "coachBody")), model.body());
        EXPECT_TRUE(shown(findItem(root, "rehearsalSkip")));
        EXPECT_TRUE(shown(findItem(root, "rehearsalCoach")));
        EXPECT_EQ(shown(findItem(root, "rehearsalNext")), hasNext[beat]);
        EXPECT_EQ(shown(findItem(root, "rehearsalPrompt")), beat == 1 || beat == 3);
        EXPECT_EQ(root->width(), 440);
    }

    // One click, one call.
    model.setBeat(0);
    QTest::qWait(1);
    clickCentre(findItem(root, "rehearsalNext"));
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(skip.count(), 0);
    clickCentre(findItem(root, "rehearsalSkip"));
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(skip.count(), 1);
}

// The opacities, as drawn, of the visible items under `root` that show `wanted`.
QList<double> drawnOpacities(QQuickItem* root, const QString& wanted) {
    QList<double> found;
    std::function<void(QQuickItem*, double)> walk = [&](QQuickItem* item, double opacity) {
        if (!item->isVisible())
            return;
        opacity *= item->opacity();
        if (item->property("text").toString() == wanted)
            found.append(opacity);
        for (QQuickItem* child : item->childItems())
            walk(child, opacity);
    };
    walk(root, 1);
    return found;
}

TEST_F(RehearsalCoachView, BeatChangeCrossFadesTheContent) {
    const QString working = model.title();
    model.setBeat(1);
    const QString tempted = model.title();

    // Half-way through the 0.2 s both titles show, the old one going and the new one coming, the old one under.
    QTest::qWait(100);
    const QList<double> going = drawnOpacities(root, working);
    const QList<double> coming = drawnOpacities(root, tempted);
    ASSERT_EQ(going.size(), 1);
    ASSERT_EQ(coming.size(), 1);
    EXPECT_GT(going[0], 0.02);
    EXPECT_LT(going[0], 0.98);
    EXPECT_GT(coming[0], 0.02);
    EXPECT_LT(coming[0], 0.98);
    EXPECT_EQ(text(findItem(root, "coachTitle")), tempted); // the names belong to the live content
    EXPECT_EQ(root->implicitHeight(), findItem(root, "rehearsalCoach")->parentItem()->implicitHeight() + 36);

    QTest::qWait(250);
    EXPECT_TRUE(drawnOpacities(root, working).isEmpty());
    EXPECT_EQ(drawnOpacities(root, tempted), QList<double>{1.0});
}

TEST_F(RehearsalCoachView, DriftCounterAndTimeline) {

    model.setBeat(2);
    QTest::qWait(1);
    EXPECT_FALSE(shown(findItem(root, "driftCounter")));
    model.setDriftStarted(clock.date());
    clock.advance(2.25);
    QTest::qWait(50); // frames pass; the clock stands still
    QQuickItem* counter = findItem(root, "driftCounter");
    ASSERT_TRUE(shown(counter));
    EXPECT_EQ(model.driftCount(), 22);

    // The finished beat shows the timeline, which selects nothing when clicked.
    model.setSampleTimeline(fullRun(), clock.date(), true);
    model.setBeat(6);
    QTest::qWait(1);
    QQuickItem* timeline = findItem(root, "coachTimeline");
    ASSERT_TRUE(shown(timeline));
    EXPECT_EQ(timeline->height(), 112);
    QSignalSpy requested(timeline, SIGNAL(selectionRequested(int)));
    click(timeline, {timeline->width() / 2, 20});
    EXPECT_EQ(requested.count(), 0);
    EXPECT_EQ(timeline->property("selection").toInt(), -1);
}

TEST_F(SceneryView, DesignPageCanvasLayersAndHandles) {
    QQuickItem* root = show(component("DesignPage"), {{"animated", false}}, 820, 540);
    ASSERT_TRUE(root);
    EXPECT_EQ(findItem(root, "designCanvas")->width(), 486);
    EXPECT_EQ(findItem(root, "landingCard")->width(), 442);

    auto visibleLayers = [&] {
        QList<QQuickItem*> rows;
        for (const char* name : {"Reviews", "Features", "App preview", "Buttons", "Headline", "Navigation"}) {
            QQuickItem* row = findItem(root, QStringLiteral("layer_") + QString::fromLatin1(name));
            if (shown(row))
                rows << row;
        }
        std::sort(rows.begin(), rows.end(), [](QQuickItem* a, QQuickItem* b) { return a->y() < b->y(); });
        QStringList names;
        for (QQuickItem* row : rows)
            names << row->property("name").toString();
        return names;
    };
    EXPECT_EQ(visibleLayers(), (QStringList{"App preview", "Buttons", "Headline", "Navigation"}));
    EXPECT_TRUE(shown(findItem(root, "headlineSelection")));
    root->setProperty("beat", 4);
    QTest::qWait(1);
    EXPECT_EQ(visibleLayers(), (QStringList{"Features", "App preview", "Buttons", "Headline", "Navigation"}));
    EXPECT_FALSE(shown(findItem(root, "headlineSelection")));
    EXPECT_TRUE(shown(findItem(root, "featureSelection")));
    root->setProperty("beat", 6);
    QTest::qWait(1);
    EXPECT_EQ(visibleLayers(),
              (QStringList{"Reviews", "Features", "App preview", "Buttons", "Headline", "Navigation"}));
    EXPECT_FALSE(shown(findItem(root, "featureSelection")));
    EXPECT_TRUE(shown(findItem(root, "landingReview")));
    EXPECT_EQ(findItem(root, "fillHex")->property("text").toString(), QStringLiteral("1F242E"));
}

TEST_F(SceneryView, SelectionFrameHandlesCentredOnTheCorners) {
    for (QSizeF size : {QSizeF(100, 40), QSizeF(0, 0)}) {
        auto frame = h.create(component("SelectionFrame"));
        ASSERT_TRUE(frame);
        auto* root = qobject_cast<QQuickItem*>(frame.get());
        root->setSize(size);
        const QPointF expected[] = {{0, 0}, {size.width(), 0}, {0, size.height()}, {size.width(), size.height()}};
        for (int i = 0; i < 4; ++i) {
            QQuickItem* handle = findItem(root, QStringLiteral("handle%1").arg(i));
            ASSERT_TRUE(handle);
            EXPECT_EQ(QPointF(handle->x() + handle->width() / 2, handle->y() + handle->height() / 2), expected[i]);
            EXPECT_EQ(handle->width(), 6);
        }
    }
}

TEST_F(SceneryView, ReduceMotionRestsThePointerAndStillsTheRing) {
    QQuickItem* pointerItem = show(component("WorkingPointer"), {{"reduceMotion", true}}, 40, 40);
    ASSERT_TRUE(pointerItem);
    QTest::qWait(100);
    EXPECT_EQ(pointerItem->property("offsetX").toDouble(), -3);
    EXPECT_EQ(pointerItem->property("offsetY").toDouble(), -2);

    QQuickItem* buttonItem = show(askedButton(), {{"text", "Get back to work"}, {"still", true}}, 200, 60);
    ASSERT_TRUE(buttonItem);
    QTest::qWait(100);
    QQuickItem* ring = findItem(buttonItem, "askedButtonRing");
    ASSERT_TRUE(ring);
    EXPECT_DOUBLE_EQ(ring->opacity(), 0.9);
    EXPECT_EQ(ring->width(), buttonItem->width());
}

TEST_F(SceneryView, AskedButtonHeightOneLineAndPressedFill) {
    QQuickItem* item = show(askedButton(), {{"text", "Get back to work on the landing page you said you would design today"}});
    ASSERT_TRUE(item);
    EXPECT_EQ(item->height(), 28);
    QQuickItem* label = item->property("contentItem").value<QQuickItem*>();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->property("lineCount").toInt(), 1);
    EXPECT_GT(item->width(), 300);

    QQuickItem* fill = findItem(item, "askedButtonFill");
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mousePress(window(), Qt::LeftButton, {}, centre);
    EXPECT_DOUBLE_EQ(fill->opacity(), 0.75);
    QTest::mouseRelease(window(), Qt::LeftButton, {}, centre);
    EXPECT_DOUBLE_EQ(fill->opacity(), 1);
    // A corner outside the capsule does not press.
    QTest::mousePress(window(), Qt::LeftButton, {}, item->mapToScene(QPointF(1, 1)).toPoint());
    EXPECT_FALSE(item->property("down").toBool());
    QTest::mouseRelease(window(), Qt::LeftButton, {}, item->mapToScene(QPointF(1, 1)).toPoint());
}

TEST_F(SceneryView, MenuBarPointerTintsAndFlip) {
    QQuickItem* root = show(component("MenuBarPointer"), {}, 200, 80);
    ASSERT_TRUE(root);
    auto labelColour = [&] {
        QQuickItem* label = findItem(root, "pointerLabel");
        const QImage image = window()->grabWindow();
        const QPointF p = label->mapToScene(QPointF(4, label->height() / 2));
        return QColor(image.pixel(p.toPoint()));
    };
    const QColor green = labelColour();
    EXPECT_NEAR(green.redF(), 0.75, 0.02);
    EXPECT_NEAR(green.greenF(), 0.91, 0.02);
    root->setProperty("beat", 2);
    QTest::qWait(450);
    const QColor red = labelColour();
    EXPECT_NEAR(red.redF(), 0.97, 0.02);
    EXPECT_NEAR(red.greenF(), 0.62, 0.02);

    root->setProperty("pointsDown", true);
    QTest::qWait(1);
    QQuickItem* arrow = findItem(root, "pointerArrow");
    QQuickItem* label = findItem(root, "pointerLabel");
    EXPECT_GT(arrow->mapToScene({0, 0}).y(), label->mapToScene({0, 0}).y());
    EXPECT_EQ(arrow->rotation(), 180);
}
