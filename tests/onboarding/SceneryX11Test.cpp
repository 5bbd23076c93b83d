// The scenery's shadows on a real display, where Qt Quick draws through OpenGL (the offscreen tests run the
// software renderer, which has always left them out): the tray pointer's shadow in both tints, the working
// pointer's white rim and soft shadow, and none of them loading Qt's run-time shader compiler.
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QUrl component(const char* name) {
    return ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QString::fromLatin1(name));
}

// How much darker than the backdrop a pixel is, 0...255.
int darkening(const QImage& image, QPointF at, QColor backdrop) {
    return backdrop.value() - QColor(image.pixel(at.toPoint())).value();
}

// `item` on a plain backdrop, grabbed after `settle` ms. The item goes first, while still in its window (an item
// with a layer taken out of a window that is then closed crashes Qt when it is deleted).
struct Stage {
    Stage(QmlHarness& h, std::unique_ptr<QObject> object, QColor backdrop, int width, int height)
        : itemObject(std::move(object)) {
        frameObject =
            h.createFromText(QStringLiteral("import QtQuick\nRectangle { color: '%1' }").arg(backdrop.name()).toUtf8());
        frame = qobject_cast<QQuickItem*>(frameObject.get());
        frame->setSize({double(width), double(height)});
        item = qobject_cast<QQuickItem*>(itemObject.get());
        item->setParentItem(frame);
        item->setPosition({20, 20});
        window = showInWindow(frame, width, height);
    }
    ~Stage() { itemObject.reset(); }
    QImage grab(int settle) {
        QTest::qWait(settle);
        return window->grabWindow();
    }
    std::unique_ptr<QObject> frameObject;
    QQuickItem* frame = nullptr;
    std::unique_ptr<QQuickWindow> window;
    std::unique_ptr<QObject> itemObject;
    QQuickItem* item = nullptr;
};

} // namespace

TEST(SceneryShadows, TrayPointerShadowInBothTints) {
    QmlHarness h;
    auto object = h.create(component("MenuBarPointer"));
    ASSERT_TRUE(object);
    const QColor white(Qt::white);
    Stage stage(h, std::move(object), white, 240, 120);
    QQuickItem* pointer = stage.item;
    const QSGRendererInterface::GraphicsApi api = stage.window->rendererInterface()->graphicsApi();
    ASSERT_TRUE(QSGRendererInterface::isApiRhiBased(api)) << "the display gave no shader-capable scene graph";

    struct Case {
        int beat;
        QColor tint;
    };
    for (const Case& c :
         {Case{0, QColor::fromRgbF(0.75f, 0.91f, 0.76f)}, Case{2, QColor::fromRgbF(0.97f, 0.62f, 0.60f)}}) {
        SCOPED_TRACE(c.beat);
        pointer->setProperty("beat", c.beat);
        QQuickItem* label = findItem(stage.item, "pointerLabel");
        ASSERT_TRUE(label);
        // The animations advance by frames, which llvmpipe draws slowly on a busy machine: wait for the tint
        // rather than for a time.
        ASSERT_TRUE(QTest::qWaitFor([&] { return label->property("color").value<QColor>() == c.tint; }, 10000));
        const QImage image = stage.grab(100);
        const QRectF capsule = label->mapRectToScene(QRectF(0, 0, label->width(), label->height()));
        const QColor fill(
            image.pixel(capsule.adjusted(6, 0, 0, 0).topLeft().toPoint() + QPoint(0, int(capsule.height() / 2))));
        EXPECT_NEAR(fill.redF(), c.tint.redF(), 0.02);
        EXPECT_NEAR(fill.greenF(), c.tint.greenF(), 0.02);
        EXPECT_NEAR(fill.blueF(), c.tint.blueF(), 0.02);
        // Black at 0.3, blurred 10 px, 4 px down: a grey band under the capsule, lighter beside it at the same
        // distance, and nothing far away.
        const int below = darkening(image, {capsule.center().x(), capsule.bottom() + 3}, white);
        const int beside = darkening(image, {capsule.left() - 3, capsule.center().y() - 4}, white);
        EXPECT_GT(below, 20);
        EXPECT_LT(below, 80);
        EXPECT_GT(below, beside + 5);
        EXPECT_LE(darkening(image, {capsule.center().x(), capsule.bottom() + 25}, white), 1);
    }
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

TEST(SceneryShadows, WorkingPointerRimAndShadow) {
    QmlHarness h;
    auto pointer = h.create(component("WorkingPointer"), {{"reduceMotion", true}});
    ASSERT_TRUE(pointer);
    const QColor grey(0x8a, 0x8f, 0x98);
    Stage stage(h, std::move(pointer), grey, 70, 70);
    ASSERT_TRUE(QSGRendererInterface::isApiRhiBased(stage.window->rendererInterface()->graphicsApi()));
    const QImage image = stage.grab(100);

    // Over the pointer's box: black arrow, a white rim round it and a soft shadow a little darker than the
    // backdrop below it.
    int black = 0, rim = 0, shade = 0;
    for (int y = 10; y < 50; ++y) {
        for (int x = 10; x < 50; ++x) {
            const int v = QColor(image.pixel(x, y)).value();
            if (v < 40)
                ++black;
            else if (v > grey.value() + 30)
                ++rim;
            else if (v < grey.value() - 8 && v > 60)
                ++shade;
        }
    }
    EXPECT_GT(black, 30);
    EXPECT_GT(rim, 20);
    EXPECT_GT(shade, 5);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

// Every view of the scenery that casts a shadow, drawn: the process maps neither the graphical-effects plugin nor
// the shader compiler it brings, which would stay for the rest of the run.
TEST(SceneryShadows, DrawnWithoutTheRunTimeShaderCompiler) {
    QmlHarness h;
    const std::pair<const char*, QVariantMap> views[] = {
        {"MenuBarPointer", {}},
        {"WorkingPointer", {{"reduceMotion", true}}},
        {"DesignPage", {{"beat", 0}, {"animated", false}, {"reduceMotion", true}, {"width", 820}, {"height", 520}}},
        {"VideoPoster", {{"video", 1}, {"reduceMotion", true}, {"width", 640}, {"height", 360}}},
    };
    for (const auto& [name, properties] : views) {
        auto object = h.create(component(name), properties);
        ASSERT_TRUE(object) << name;
        Stage stage(h, std::move(object), Qt::white, 900, 560);
        EXPECT_FALSE(stage.grab(50).isNull()) << name;
    }
    ASSERT_TRUE(mapsFile("libqt6core"));
    EXPECT_FALSE(mapsFile("libqt6shadertools"));
    EXPECT_FALSE(mapsFile("graphicaleffects"));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
