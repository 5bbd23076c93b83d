#include "support/QmlTestSupport.h"
#include "tavrine/ui/PillMetrics.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine::test;

namespace {

std::unique_ptr<QObject> makeButton(QmlHarness& h, const QByteArray& properties) {
    return h.createFromText("import QtQuick\nimport Tavrine.Ui\nPillButton { " + properties + " }");
}

QString failures(const QmlHarness& h) {
    return h.warnings().join(QLatin1Char('\n'));
}

} // namespace

TEST(PillButton, SizesOfCapsulesAndCircles) {
    struct Case {
        QByteArray properties;
        qreal width; // 0: only the height is checked
        qreal height;
    };
    const Case cases[] = {
        {"text: 'Start'", 0, 34},
        {"text: 'Start'; controlSize: PillMetrics.Large", 0, 40},
        {"text: 'Start'; controlSize: 17", 0, 34},
        {"text: '+'; shape: PillButton.Circle", 34, 34},
        {"text: '+'; shape: PillButton.Circle; diameter: 24", 24, 24},
        {"text: '+'; shape: PillButton.Circle; diameter: 24; controlSize: PillMetrics.ExtraLarge", 24, 24},
    };
    for (const Case& c : cases) {
        QmlHarness h;
        auto object = makeButton(h, c.properties);
        ASSERT_TRUE(object);
        auto* button = qobject_cast<QQuickItem*>(object.get());
        if (c.width > 0) {
            EXPECT_EQ(button->implicitWidth(), c.width) << c.properties.constData();
        }
        EXPECT_EQ(button->implicitHeight(), c.height) << c.properties.constData();
        EXPECT_TRUE(h.warnings().isEmpty()) << failures(h).toStdString();
    }
}

TEST(PillButton, ALongLabelStaysOnOneLineAndWidensTheCapsule) {
    QmlHarness h;
    auto shortOne = makeButton(h, "text: 'Go'");
    auto longOne = makeButton(h, "text: 'Get back to work on the thing you said you would do today'");
    ASSERT_TRUE(shortOne && longOne);
    auto* button = qobject_cast<QQuickItem*>(longOne.get());
    auto window = showInWindow(button);
    auto* label = findItem(button, "pillLabel");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->property("lineCount").toInt(), 1);
    EXPECT_EQ(button->height(), 34);
    EXPECT_GT(button->implicitWidth(), qobject_cast<QQuickItem*>(shortOne.get())->implicitWidth() + 200);
    // The label plus the regular padding on both sides.
    EXPECT_NEAR(button->implicitWidth(), label->implicitWidth() + 32, 0.5);
    EXPECT_TRUE(h.warnings().isEmpty()) << failures(h).toStdString();
}

TEST(PillButton, PressingShrinksAndDisablingDimsWithoutHover) {
    QmlHarness h;
    auto object = makeButton(h, "text: 'Pause'; dark: true; selected: true");
    ASSERT_TRUE(object);
    auto* button = qobject_cast<QQuickItem*>(object.get());
    auto window = showInWindow(button, 200, 80);
    auto* surface = findItem(button, "pillSurface");
    ASSERT_TRUE(surface);

    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button->property("pressed").toBool());
    EXPECT_NEAR(button->scale(), 1.0, 0.031); // animating towards 0.97
    ASSERT_TRUE(QTest::qWaitFor([&] { return qFuzzyCompare(button->scale(), 0.97); })) << button->scale();
    EXPECT_NEAR(surface->property("fillOpacity").toDouble(), 0.07 + 0.07 + 0.06 + (surface->property("hovering").toBool() ? 0.04 : 0), 1e-6);
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return qFuzzyCompare(button->scale(), 1.0); })) << button->scale();

    button->setEnabled(false);
    QTest::mouseMove(window.get(), QPoint(12, 12));
    EXPECT_DOUBLE_EQ(button->opacity(), 0.55);
    EXPECT_FALSE(surface->property("hovering").toBool());
    EXPECT_DOUBLE_EQ(findItem(button, "pillLabel")->opacity(), 0.5);
    EXPECT_TRUE(h.warnings().isEmpty()) << failures(h).toStdString();
}

TEST(PillButton, DrawsAVisiblePillInBothSchemes) {
    for (const char* dark : {"true", "false"}) {
        QmlHarness h;
        auto object = h.createFromText(QByteArray("import QtQuick\nimport Tavrine.Ui\n"
                                                  "Rectangle { width: 160; height: 60; color: ") +
                                       (QByteArray(dark) == "true" ? "'#202020'" : "'#f0f0f0'") +
                                       "\n PillButton { objectName: 'b'; x: 20; y: 13; text: 'Start'; selected: true; dark: " +
                                       dark + " } }");
        ASSERT_TRUE(object);
        auto* root = qobject_cast<QQuickItem*>(object.get());
        auto window = showInWindow(root, 160, 60);
        const QImage image = window->grabWindow();
        ASSERT_FALSE(image.isNull());
        // The fill changes the backdrop inside the pill, near its left end where no text is drawn.
        const QColor inside = image.pixelColor(26, 30);
        const QColor outside = image.pixelColor(5, 30);
        EXPECT_NE(inside.rgb(), outside.rgb()) << "dark " << dark;
        EXPECT_TRUE(h.warnings().isEmpty()) << failures(h).toStdString();
    }
}
