#include "support/QmlTestSupport.h"
#include "tavrine/ui/Frosted.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine::test;
using tavrine::ui::Frosted;

namespace {

struct ProbeGuard {
    explicit ProbeGuard(bool running) {
        Frosted::setCompositorProbe([running] { return running; });
    }
    ~ProbeGuard() { Frosted::setCompositorProbe({}); }
};

} // namespace

TEST(Frosted, ColoursAreTheWindowColourMadeTranslucent) {
    const QColor window = QGuiApplication::palette().color(QPalette::Window).toRgb();
    for (const auto& [color, alpha] : {std::pair{Frosted::veilColor(), 0.5}, {Frosted::cardFill(), 0.8}}) {
        EXPECT_EQ(color.rgb() & 0xFFFFFF, window.rgb() & 0xFFFFFF);
        EXPECT_NEAR(color.alphaF(), alpha, 0.005);
    }
    // Without a compositor a translucent window shows black: everything is drawn opaque.
    EXPECT_EQ(Frosted::veilFor(false).alphaF(), 1.0);
    EXPECT_EQ(Frosted::cardFillFor(false).alphaF(), 1.0);
    EXPECT_NEAR(Frosted::veilFor(true).alphaF(), 0.5, 0.005);
}

TEST(Frosted, ColoursFollowAPaletteChange) {
    const QPalette original = QGuiApplication::palette();
    Frosted frosted;
    int changes = 0;
    QObject::connect(&frosted, &Frosted::colorsChanged, [&] { ++changes; });
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    QGuiApplication::setPalette(dark);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(Frosted::veilColor().rgb() & 0xFFFFFF, QColor(30, 30, 30).rgb() & 0xFFFFFF);
    QGuiApplication::setPalette(original);
}

TEST(Frosted, AWindowIsRestyledOnceAndOnlyMadeTransparentOverACompositor) {
    for (bool compositor : {true, false}) {
        ProbeGuard probe(compositor);
        QmlHarness h;
        auto object = h.createFromText(
            "import QtQuick\nimport Tavrine.Ui\n"
            "Window { width: 200; height: 120\n"
            "  FrostedWindowBackground { id: bg; objectName: 'bg' }\n"
            "  MouseArea { objectName: 'content'; anchors.fill: parent; property int clicks: 0; onClicked: clicks++ }\n"
            "}");
        ASSERT_TRUE(object);
        auto* window = qobject_cast<QQuickWindow*>(object.get());
        ASSERT_TRUE(window);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        Frosted frosted;
        // Already installed by the background: a second install (another update) does nothing.
        EXPECT_FALSE(frosted.install(window));
        EXPECT_EQ(window->color().alpha() == 0, compositor) << "compositor " << compositor;
        if (compositor) {
            EXPECT_EQ(window->requestedFormat().alphaBufferSize(), 8);
        }
        auto* veil = findItem(window, "frostedVeil");
        ASSERT_TRUE(veil);
        // The veil is painted opaque when nothing can show through it.
        EXPECT_EQ(veil->property("color").value<QColor>().alphaF() < 1.0, compositor);

        // The background takes no clicks: the content behind gets them.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(100, 60));
        EXPECT_EQ(findObject(window, "content")->property("clicks").toInt(), 1);
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join(QLatin1Char('\n')).toStdString();
    }
}
