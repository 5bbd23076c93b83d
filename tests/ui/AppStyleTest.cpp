#include "support/QmlTestSupport.h"

#include <QColor>
#include <gtest/gtest.h>

using namespace tavrine::test;

TEST(AppStyle, QmlReadsTheAccentColourThroughTheModule) {
    QmlHarness h;
    auto object = h.createFromText("import QtQuick\nimport Tavrine.Ui\nItem { property color tint: AppStyle.accentColor }");
    ASSERT_TRUE(object);
    const QColor tint = object->property("tint").value<QColor>();
    EXPECT_NEAR(tint.redF(), 0.333, 0.002);
    EXPECT_NEAR(tint.greenF(), 0.408, 0.002);
    EXPECT_NEAR(tint.blueF(), 0.784, 0.002);
    EXPECT_EQ(tint.alphaF(), 1.0);
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(QmlWarnings, ABrokenBindingIsCaught) {
    QmlHarness h;
    auto object = h.createFromText("import QtQuick\nItem { width: undefinedName + 1 }");
    ASSERT_TRUE(object);
    EXPECT_EQ(h.warnings().size(), 1);
}
