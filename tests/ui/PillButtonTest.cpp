#include "support/QmlTestSupport.h"
#include "tavrine/ui/PillMetrics.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine::test;

namespace {

// Every button a test makes lives to its end; a test ends without QML warnings.
class PillButtonTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString(); }
    QQuickItem* make(const QByteArray& qml) {
        objects.push_back(h.createFromText("import QtQuick\nimport Tavrine.Ui\n" + qml));
        return qobject_cast<QQuickItem*>(objects.back().get());
    }
    QQuickItem* button(const QByteArray& properties) { return make("PillButton { " + properties + " }"); }

    QmlHarness h;
    std::vector<std::unique_ptr<QObject>> objects;
};

} // namespace

TEST_F(PillButtonTest, SizesOfCapsulesAndCircles) {
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
        QQuickItem* pill = button(c.properties);
        ASSERT_TRUE(pill);
        EXPECT_EQ(c.width > 0 ? pill->implicitWidth() : 0, c.width) << c.properties.constData();
        EXPECT_EQ(pill->implicitHeight(), c.height) << c.properties.constData();
    }
}

TEST_F(PillButtonTest, ALongLabelStaysOnOneLineAndWidensTheCapsule) {
    QQuickItem* shortOne = button("text: 'Go'");
    QQuickItem* longOne = button("text: 'Get back to work on the thing you said you would do today'");
    ASSERT_TRUE(shortOne && longOne);
    auto window = showInWindow(longOne);
    auto* label = findItem(longOne, "pillLabel");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->property("lineCount").toInt(), 1);
    EXPECT_EQ(longOne->height(), 34);
    EXPECT_GT(longOne->implicitWidth(), shortOne->implicitWidth() + 200);
    // The label plus the regular padding on both sides.
    EXPECT_NEAR(longOne->implicitWidth(), label->implicitWidth() + 32, 0.5);
}

TEST_F(PillButtonTest, PressingShrinksAndDisablingDimsWithoutHover) {
    QQuickItem* button = this->button("text: 'Pause'; dark: true; selected: true");
    ASSERT_TRUE(button);
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
}

TEST_F(PillButtonTest, DrawsAVisiblePillInBothSchemes) {
    for (const QByteArray dark : {"true", "false"}) {
        QQuickItem* root = make("Rectangle { width: 160; height: 60; color: " +
                                QByteArray(dark == "true" ? "'#202020'" : "'#f0f0f0'") +
                                "\n PillButton { x: 20; y: 13; text: 'Start'; selected: true; dark: " + dark + " } }");
        ASSERT_TRUE(root);
        auto window = showInWindow(root, 160, 60);
        const QImage image = window->grabWindow();
        ASSERT_FALSE(image.isNull());
        // The fill changes the backdrop inside the pill, near its left end where no text is drawn.
        EXPECT_NE(image.pixelColor(26, 30).rgb(), image.pixelColor(5, 30).rgb()) << "dark " << dark.constData();
    }
}
