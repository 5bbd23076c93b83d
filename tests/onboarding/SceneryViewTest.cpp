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

// The coach card over its model on the manual clock, shown in a 440 × 400 window.
struct CoachView {
    CoachView() {
        model.setClock(&clock);
        coach = h.create(component("RehearsalCoach"), {{"model", QVariant::fromValue(&model)}});
        root = qobject_cast<QQuickItem*>(coach.get());
        if (root)
            window = showInWindow(root, 440, 400);
    }
    QmlHarness h;
    ManualClock clock;
    CoachModel model;
    std::unique_ptr<QObject> coach;
    QQuickItem* root = nullptr;
    std::unique_ptr<QQuickWindow> window;
};

} // namespace

TEST(RehearsalCoachView, EveryBeatAndItsButtons) {
    CoachView v;
    ASSERT_TRUE(v.root);
    QSignalSpy next(v.coach.get(), SIGNAL(next()));
    QSignalSpy skip(v.coach.get(), SIGNAL(skip()));

    const bool hasNext[] = {true, false, false, false, true, true, true};
    for (int beat = 0; beat < 7; ++beat) {
        v.model.setBeat(beat);
        QTest::qWait(1);
        SCOPED_TRACE(beat);
        EXPECT_EQ(text(findItem(v.root, "coachTitle")), v.model.title());
        EXPECT_EQ(text(findItem(v.root, "coachBody")), v.model.body());
        EXPECT_TRUE(shown(findItem(v.root, "rehearsalSkip")));
        EXPECT_TRUE(shown(findItem(v.root, "rehearsalCoach")));
        EXPECT_EQ(shown(findItem(v.root, "rehearsalNext")), hasNext[beat]);
        EXPECT_EQ(shown(findItem(v.root, "rehearsalPrompt")), beat == 1 || beat == 3);
        EXPECT_EQ(v.root->width(), 440);
    }

    // One click, one call.
    v.model.setBeat(0);
    QTest::qWait(1);
    QQuickItem* nextButton = findItem(v.root, "rehearsalNext");
    QTest::mouseClick(v.window.get(), Qt::LeftButton, {},
                      nextButton->mapToScene(QPointF(nextButton->width() / 2, nextButton->height() / 2)).toPoint());
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(skip.count(), 0);
    QQuickItem* skipButton = findItem(v.root, "rehearsalSkip");
    QTest::mouseClick(v.window.get(), Qt::LeftButton, {},
                      skipButton->mapToScene(QPointF(skipButton->width() / 2, skipButton->height() / 2)).toPoint());
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(skip.count(), 1);
    EXPECT_TRUE(v.h.warnings().isEmpty()) << v.h.warnings().join('\n').toStdString();
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

TEST(RehearsalCoachView, BeatChangeCrossFadesTheContent) {
    CoachView v;
    ASSERT_TRUE(v.root);
    const QString working = v.model.title();
    v.model.setBeat(1);
    const QString tempted = v.model.title();

    // Half-way through the 0.2 s both titles show, the old one going and the new one coming, the old one under.
    QTest::qWait(100);
    const QList<double> going = drawnOpacities(v.root, working);
    const QList<double> coming = drawnOpacities(v.root, tempted);
    ASSERT_EQ(going.size(), 1);
    ASSERT_EQ(coming.size(), 1);
    EXPECT_GT(going[0], 0.02);
    EXPECT_LT(going[0], 0.98);
    EXPECT_GT(coming[0], 0.02);
    EXPECT_LT(coming[0], 0.98);
    EXPECT_EQ(text(findItem(v.root, "coachTitle")), tempted); // the names belong to the live content
    EXPECT_EQ(v.root->implicitHeight(), findItem(v.root, "rehearsalCoach")->parentItem()->implicitHeight() + 36);

    QTest::qWait(250);
    EXPECT_TRUE(drawnOpacities(v.root, working).isEmpty());
    EXPECT_EQ(drawnOpacities(v.root, tempted), QList<double>{1.0});
    EXPECT_TRUE(v.h.warnings().isEmpty()) << v.h.warnings().join('\n').toStdString();
}

TEST(RehearsalCoachView, DriftCounterAndTimeline) {
    CoachView v;
    ASSERT_TRUE(v.root);

    v.model.setBeat(2);
    QTest::qWait(1);
    EXPECT_FALSE(shown(findItem(v.root, "driftCounter")));
    v.model.setDriftStarted(v.clock.date());
    v.clock.advance(2.25);
    QTest::qWait(50); // frames pass; the clock stands still
    QQuickItem* counter = findItem(v.root, "driftCounter");
    ASSERT_TRUE(shown(counter));
    EXPECT_EQ(v.model.driftCount(), 22);

    // The finished beat shows the timeline, which selects nothing when clicked.
    v.model.setSampleTimeline(fullRun(), v.clock.date(), true);
    v.model.setBeat(6);
    QTest::qWait(1);
    QQuickItem* timeline = findItem(v.root, "coachTimeline");
    ASSERT_TRUE(shown(timeline));
    EXPECT_EQ(timeline->height(), 112);
    QSignalSpy requested(timeline, SIGNAL(selectionRequested(int)));
    QTest::mouseClick(v.window.get(), Qt::LeftButton, {},
                      timeline->mapToScene(QPointF(timeline->width() / 2, 20)).toPoint());
    EXPECT_EQ(requested.count(), 0);
    EXPECT_EQ(timeline->property("selection").toInt(), -1);
    EXPECT_TRUE(v.h.warnings().isEmpty()) << v.h.warnings().join('\n').toStdString();
}

TEST(DesignPageView, CanvasLayersAndHandles) {
    QmlHarness h;
    auto page = h.create(component("DesignPage"), {{"animated", false}});
    ASSERT_TRUE(page);
    auto* root = qobject_cast<QQuickItem*>(page.get());
    auto window = showInWindow(root, 820, 540);
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
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(SelectionFrameView, HandlesCentredOnTheCorners) {
    QmlHarness h;
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
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(ReduceMotion, PointerRestsAndTheRingStaysStill) {
    QmlHarness h;
    auto pointer = h.create(component("WorkingPointer"), {{"reduceMotion", true}});
    ASSERT_TRUE(pointer);
    auto* pointerItem = qobject_cast<QQuickItem*>(pointer.get());
    auto window = showInWindow(pointerItem, 40, 40);
    QTest::qWait(100);
    EXPECT_EQ(pointerItem->property("offsetX").toDouble(), -3);
    EXPECT_EQ(pointerItem->property("offsetY").toDouble(), -2);

    auto button = h.create(ui::componentUrl(QStringLiteral("Tavrine.Ui"), QStringLiteral("RehearsalAskedButtonStyle")),
                           {{"text", "Get back to work"}, {"still", true}});
    ASSERT_TRUE(button);
    auto* buttonItem = qobject_cast<QQuickItem*>(button.get());
    auto buttonWindow = showInWindow(buttonItem, 200, 60);
    QTest::qWait(100);
    QQuickItem* ring = findItem(buttonItem, "askedButtonRing");
    ASSERT_TRUE(ring);
    EXPECT_DOUBLE_EQ(ring->opacity(), 0.9);
    EXPECT_EQ(ring->width(), buttonItem->width());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(AskedButtonView, HeightOneLineAndPressedFill) {
    QmlHarness h;
    auto button = h.create(ui::componentUrl(QStringLiteral("Tavrine.Ui"), QStringLiteral("RehearsalAskedButtonStyle")),
                           {{"text", "Get back to work on the landing page you said you would design today"}});
    ASSERT_TRUE(button);
    auto* item = qobject_cast<QQuickItem*>(button.get());
    auto window = showInWindow(item);
    EXPECT_EQ(item->height(), 28);
    QQuickItem* label = item->property("contentItem").value<QQuickItem*>();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->property("lineCount").toInt(), 1);
    EXPECT_GT(item->width(), 300);

    QQuickItem* fill = findItem(item, "askedButtonFill");
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, centre);
    EXPECT_DOUBLE_EQ(fill->opacity(), 0.75);
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, centre);
    EXPECT_DOUBLE_EQ(fill->opacity(), 1);
    // A corner outside the capsule does not press.
    QTest::mousePress(window.get(), Qt::LeftButton, {}, item->mapToScene(QPointF(1, 1)).toPoint());
    EXPECT_FALSE(item->property("down").toBool());
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, item->mapToScene(QPointF(1, 1)).toPoint());
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(MenuBarPointerView, TintsAndFlip) {
    QmlHarness h;
    auto pointer = h.create(component("MenuBarPointer"));
    ASSERT_TRUE(pointer);
    auto* root = qobject_cast<QQuickItem*>(pointer.get());
    auto window = showInWindow(root, 200, 80);
    auto labelColour = [&] {
        QQuickItem* label = findItem(root, "pointerLabel");
        const QImage image = window->grabWindow();
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
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
