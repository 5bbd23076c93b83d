#include "tavrine/ui/Frosted.h"
#include "fakes/FakeCompositing.h"
#include "support/QmlTestSupport.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine::test;
using tavrine::ui::Frosted;

TEST(Frosted, ColoursAreTheWindowColourMadeTranslucent) {
    const QColor window = QGuiApplication::palette().color(QPalette::Window).toRgb();
    for (const auto& [color, alpha] : {std::pair{Frosted::veilColor(), 0.5}, {Frosted::cardFill(), 0.8}}) {
        EXPECT_EQ(color.rgb() & 0xFFFFFF, window.rgb() & 0xFFFFFF);
        EXPECT_NEAR(color.alphaF(), alpha, 0.005);
    }
    // Without a compositor a translucent window shows black: the card is drawn opaque.
    EXPECT_EQ(Frosted::cardFillFor(false).alphaF(), 1.0);
    EXPECT_NEAR(Frosted::cardFillFor(true).alphaF(), 0.8, 0.005);
}

TEST(Frosted, ColoursFollowAPaletteChange) {
    const QPalette original = QGuiApplication::palette();
    Frosted frosted(nullptr);
    int changes = 0;
    QObject::connect(&frosted, &Frosted::colorsChanged, [&] { ++changes; });
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    QGuiApplication::setPalette(dark);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(Frosted::veilColor().rgb() & 0xFFFFFF, QColor(30, 30, 30).rgb() & 0xFFFFFF);
    QGuiApplication::setPalette(original);
}

// Translucent only over a compositor that blurs; a compositor alone shows the desktop sharp behind the text.
TEST(Frosted, AWindowIsRestyledOnceAndOnlyMadeTransparentWhereTheDesktopBlurs) {
    struct Row {
        bool compositor;
        bool blur;
    };
    for (const Row row : {Row{true, true}, Row{true, false}, Row{false, true}, Row{false, false}}) {
        SCOPED_TRACE(testing::Message() << "compositor " << row.compositor << " blur " << row.blur);
        const bool translucent = row.compositor && row.blur;
        FakeCompositing desktop(row.compositor, row.blur);
        QmlHarness h;
        Frosted::useCompositing(h.engine(), &desktop);
        auto object = h.createFromText(
            "import QtQuick\nimport Tavrine.Ui\n"
            "Window { width: 200; height: 120; color: 'transparent'\n"
            "  property QtObject frosted: Frosted\n"
            "  FrostedWindowBackground { id: bg; objectName: 'bg' }\n"
            "  MouseArea { objectName: 'content'; anchors.fill: parent; property int clicks: 0; onClicked: clicks++ }\n"
            "}");
        ASSERT_TRUE(object);
        auto* window = qobject_cast<QQuickWindow*>(object.get());
        ASSERT_TRUE(window);
        // Whatever the desktop does now, the window can turn translucent later: it always has an alpha channel.
        EXPECT_EQ(window->requestedFormat().alphaBufferSize(), 8);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        Frosted frosted(&desktop);
        // Already installed by the background: a second install (another update) does nothing.
        EXPECT_FALSE(frosted.install(window));
        EXPECT_EQ(desktop.blurred, QList<QPointer<QWindow>>{window}) << "the desktop asked to blur behind it once";
        EXPECT_EQ(window->color().alpha() == 0, translucent);
        auto* veil = findItem(window, "frostedVeil");
        ASSERT_TRUE(veil);
        // The veil is painted opaque when nothing blurred shows through it.
        EXPECT_EQ(veil->property("color").value<QColor>().alphaF() < 1.0, translucent);

        // The desktop changes while the window shows: it follows at once, both ways.
        auto* shared = qobject_cast<Frosted*>(window->property("frosted").value<QObject*>());
        ASSERT_TRUE(shared);
        desktop.set(true, !translucent);
        EXPECT_EQ(shared->translucent(), !translucent);
        EXPECT_EQ(window->color().alpha() == 0, !translucent);
        EXPECT_EQ(veil->property("color").value<QColor>().alphaF() < 1.0, !translucent);
        if (translucent) {
            EXPECT_EQ(window->color().rgb(), Frosted::windowColor().rgb());
        }

        // The background takes no clicks: the content behind gets them.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(100, 60));
        EXPECT_EQ(findObject(window, "content")->property("clicks").toInt(), 1);
        EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join(QLatin1Char('\n')).toStdString();
    }
}
