#include "globalshortcuts/x11/XkbKeymap.h"
#include "globalshortcuts/Key.h"

#include <gtest/gtest.h>

using namespace globalshortcuts;

TEST(XkbKeymap, CarbonCodesOnCompiledLayouts) {
    const auto us = XkbKeymap::fromNames(QStringLiteral("us"));
    ASSERT_TRUE(us);
    EXPECT_EQ(us->keycode(Key::p.rawValue), std::optional<quint32>(33));
    EXPECT_EQ(us->carbonKeyCode(33), std::optional<qint64>(Key::p.rawValue));
    EXPECT_EQ(us->character(Key::p.rawValue, 0), std::optional<QString>(QStringLiteral("p")));
    EXPECT_EQ(us->character(Key::f5.rawValue, 0), std::nullopt);
    EXPECT_EQ(us->keycode(Key::function.rawValue), std::nullopt);
    EXPECT_EQ(us->keycode(9999), std::nullopt);

    const auto de = XkbKeymap::fromNames(QStringLiteral("de"));
    ASSERT_TRUE(de);
    EXPECT_EQ(de->character(Key::y.rawValue, 0), std::optional<QString>(QStringLiteral("z")));
    // A dead key on its own has no character.
    EXPECT_EQ(de->character(Key::grave.rawValue, 0), std::nullopt);

    // Cyrillic first: the texts come from the first group that types ASCII, whichever group is current.
    const auto ruUs = XkbKeymap::fromNames(QStringLiteral("ru,us"));
    ASSERT_TRUE(ruUs);
    EXPECT_EQ(ruUs->character(Key::p.rawValue, 0), std::optional<QString>(QStringLiteral("p")));
    EXPECT_EQ(ruUs->character(Key::p.rawValue, 1), std::optional<QString>(QStringLiteral("p")));
}
