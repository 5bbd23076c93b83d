#include "Fakes.h"
#include "globalshortcuts/ConflictPolicy.h"
#include "globalshortcuts/Key.h"
#include "globalshortcuts/Shortcut.h"
#include "globalshortcuts/Texts.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace globalshortcuts;
using globalshortcuts::test::FakeBackend;

namespace {
const qint64 optionCommand = Carbon::option | Carbon::command;
}

TEST(Key, ConstantsAreDistinctCarbonCodes) {
    const QList<Key> all{
        Key::a, Key::b, Key::c, Key::d, Key::e, Key::f, Key::g, Key::h, Key::i, Key::j, Key::k, Key::l, Key::m,
        Key::n, Key::o, Key::p, Key::q, Key::r, Key::s, Key::t, Key::u, Key::v, Key::w, Key::x, Key::y, Key::z,
        Key::zero, Key::one, Key::two, Key::three, Key::four, Key::five, Key::six, Key::seven, Key::eight,
        Key::nine, Key::capsLock, Key::shift, Key::function, Key::control, Key::option, Key::command,
        Key::rightCommand, Key::rightOption, Key::rightControl, Key::rightShift, Key::returnKey, Key::backslash,
        Key::grave, Key::comma, Key::equal, Key::minus, Key::period, Key::quote, Key::semicolon, Key::slash,
        Key::space, Key::tab, Key::leftBracket, Key::rightBracket, Key::pageUp, Key::pageDown, Key::home,
        Key::end, Key::upArrow, Key::rightArrow, Key::downArrow, Key::leftArrow, Key::escape, Key::deleteKey,
        Key::forwardDelete, Key::help, Key::mute, Key::volumeUp, Key::volumeDown, Key::f1, Key::f2, Key::f3,
        Key::f4, Key::f5, Key::f6, Key::f7, Key::f8, Key::f9, Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
        Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20, Key::keypad0, Key::keypad1, Key::keypad2,
        Key::keypad3, Key::keypad4, Key::keypad5, Key::keypad6, Key::keypad7, Key::keypad8, Key::keypad9,
        Key::keypadClear, Key::keypadDecimal, Key::keypadDivide, Key::keypadEnter, Key::keypadEquals,
        Key::keypadMinus, Key::keypadMultiply, Key::keypadPlus,
    };
    ASSERT_EQ(all.size(), 113);
    QSet<Key> distinct(all.begin(), all.end());
    EXPECT_EQ(distinct.size(), 113);
    EXPECT_TRUE(distinct.contains(Key(35)));
    const auto [lowest, highest] =
        std::minmax_element(all.begin(), all.end(), [](Key a, Key b) { return a.rawValue < b.rawValue; });
    EXPECT_EQ(lowest->rawValue, 0);
    EXPECT_EQ(highest->rawValue, Key::upArrow.rawValue);
}

TEST(Modifiers, ConversionsKeepOnlyTheFiveModifiers) {
    EXPECT_EQ(carbonModifiersFromFlags(Flag::control | Flag::option), 0x1800);
    EXPECT_EQ(carbonModifiersFromFlags(Flag::capsLock | Flag::numericPad | 0xFFFF), 0);
    EXPECT_EQ(carbonModifiersFromFlags(Flag::function), 0x20000);
    EXPECT_EQ(modifierFlagsFromCarbon(0x1800), Flag::control | Flag::option);
    EXPECT_EQ(flagsFromQtModifiers(Qt::AltModifier | Qt::MetaModifier), Flag::option | Flag::command);
    EXPECT_EQ(qtModifiersFromFlags(Flag::numericPad | Flag::function), Qt::KeyboardModifiers(Qt::KeypadModifier));
    EXPECT_EQ(shortcutText(Flag::shift | Flag::option | Flag::control | Flag::command, QStringLiteral("A")),
              QStringLiteral("Super+Ctrl+Alt+Shift+A"));
    EXPECT_EQ(shortcutText(Flag::function | Flag::command | Flag::capsLock, QStringLiteral("F1")),
              QStringLiteral("Super+Fn+F1"));
    EXPECT_TRUE(isFunctionKey(Qt::Key_F35));
    EXPECT_FALSE(isFunctionKey(Qt::Key_Home));
    EXPECT_EQ(stringFromScalarValue(0xD800), std::nullopt);
    EXPECT_EQ(stringFromScalarValue(-1), std::nullopt);
    EXPECT_EQ(stringFromScalarValue(0x110000), std::nullopt);
    EXPECT_EQ(stringFromScalarValue(0xF704), std::optional<QString>(QString(QChar(0xF704))));
}

TEST(Shortcut, DefaultIsOptionCommandPAndItsStoredText) {
    const Shortcut shortcut(Key::p, Flag::option | Flag::command | Flag::capsLock);
    EXPECT_EQ(shortcut.carbonKeyCode, 35);
    EXPECT_EQ(shortcut.carbonModifiers, 2304);
    EXPECT_EQ(shortcut.toJson(), QByteArray(R"({"carbonKeyCode":35,"carbonModifiers":2304})"));
    EXPECT_EQ(Shortcut::fromJson(QString::fromUtf8(shortcut.toJson())), shortcut);
}

TEST(Shortcut, DecodingKeepsBitsThatTheCarbonInitialiserDrops) {
    EXPECT_EQ(Shortcut::fromCarbon(35, 0x10900).carbonModifiers, 0x900);
    const auto decoded = Shortcut::fromJson(QStringLiteral(R"({"carbonModifiers":67840,"carbonKeyCode":35})"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->carbonModifiers, 0x10900);
    EXPECT_NE(*decoded, Shortcut::fromCarbon(35, 0x10900));
}

TEST(Shortcut, TextsThatAreNotAShortcutDecodeToNothing) {
    for (const char* text : {"", "true", "35", "[35,2304]", "{\"carbonKeyCode\":35}",
                             "{\"carbonKeyCode\":\"35\","
                             "\"carbonModifiers\":0}",
                             "{\"carbonKeyCode\":35.5,\"carbonModifiers\":0}",
                             "{\"carbonKeyCode\":35,\"carbonModifiers\":null}", "{\"carbonKeyCode\":35,"})
        EXPECT_EQ(Shortcut::fromJson(QString::fromUtf8(text)), std::nullopt) << text;
}

TEST(Shortcut, TextsAndKeyEquivalents) {
    FakeBackend layout;
    struct Case {
        Shortcut shortcut;
        QString description;
        std::optional<QString> menu;
        std::optional<QKeySequence> sequence;
    };
    const QList<Case> cases{
        {Shortcut::fromCarbon(35, optionCommand), QStringLiteral("Super+Alt+P"), QStringLiteral("p"),
         QKeySequence(Qt::AltModifier | Qt::MetaModifier | Qt::Key_P)},
        {Shortcut::fromCarbon(Key::space.rawValue, Carbon::control), QStringLiteral("Ctrl+Space"), QStringLiteral(" "),
         QKeySequence(Qt::ControlModifier | Qt::Key_Space)},
        {Shortcut::fromCarbon(Key::f5.rawValue, 0), QStringLiteral("F5"), QString(QChar(0xF708)),
         QKeySequence(Qt::Key_F5)},
        {Shortcut::fromCarbon(Key::keypad7.rawValue, Carbon::command), QStringLiteral("Super+Num 7"), std::nullopt,
         std::nullopt},
        {Shortcut::fromCarbon(Key::keypadClear.rawValue, 0), QStringLiteral("Num Clear"), std::nullopt, std::nullopt},
        {Shortcut::fromCarbon(16, Carbon::option | Carbon::control), QStringLiteral("Ctrl+Alt+Y"), QStringLiteral("y"),
         QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_Y)},
        {Shortcut::fromCarbon(Key::deleteKey.rawValue, Carbon::command), QStringLiteral("Super+Backspace"),
         QStringLiteral("\u232B"), QKeySequence(Qt::MetaModifier | Qt::Key_Backspace)},
        // A key the layout has no character for.
        {Shortcut::fromCarbon(10, Carbon::shift), QStringLiteral("Shift+\uFFFD"), std::nullopt, std::nullopt},
        {Shortcut::fromCarbon(Key::upArrow.rawValue, Carbon::shift), QStringLiteral("Shift+Up"),
         QStringLiteral("\u2191"), QKeySequence(Qt::ShiftModifier | Qt::Key_Up)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.shortcut.description(layout), c.description) << c.description.toStdString();
        EXPECT_EQ(c.shortcut.menuKeyEquivalent(layout), c.menu) << c.description.toStdString();
        EXPECT_EQ(c.shortcut.keySequence(layout), c.sequence) << c.description.toStdString();
    }
}

TEST(Shortcut, FindsMenuItemsDepthFirst) {
    FakeBackend layout;
    const QList<MenuNode> menu{
        {QStringLiteral("Upper P"), QStringLiteral("P"), Flag::command, {}, {}},
        {QStringLiteral("Shift p"),
         QStringLiteral("p"),
         Flag::command | Flag::shift,
         {{QStringLiteral("Inner"), QStringLiteral("p"), Flag::command | Flag::shift, {}, {}}},
         {}},
        {QStringLiteral("Extra bit"), QStringLiteral("p"), Flag::command | Flag::shift | Flag::option, {}, {}},
        {QStringLiteral("Plain"), QStringLiteral("p"), Flag::command, {}, {}},
    };
    QStringList titles;
    for (const MenuNode* item : Shortcut::fromCarbon(35, Carbon::command | Carbon::shift).findMenuItems(menu, layout))
        titles << item->title;
    EXPECT_EQ(titles, QStringList({"Upper P", "Shift p", "Inner"}));
    titles.clear();
    for (const MenuNode* item : Shortcut::fromCarbon(35, Carbon::command).findMenuItems(menu, layout))
        titles << item->title;
    EXPECT_EQ(titles, QStringList({"Plain"}));
    EXPECT_TRUE(Shortcut::fromCarbon(35, Carbon::command).findMenuItems({}, layout).isEmpty());
}

TEST(Texts, EnglishTableAndMissingKeys) {
    EXPECT_EQ(localizedText(QStringLiteral("space_key")), QStringLiteral("space"));
    EXPECT_EQ(localizedText(QStringLiteral("record_shortcut")), QStringLiteral("Record Shortcut"));
    EXPECT_TRUE(localizedText(QStringLiteral("keyboard_shortcut_used_by_menu_item")).contains(QStringLiteral("%1")));
    EXPECT_EQ(localizedText(QStringLiteral("no_such_text")), QStringLiteral("no_such_text"));
}

TEST(ConflictPolicy, StandardAndAllowAll) {
    EXPECT_EQ(ConflictPolicy::standard(),
              (ConflictPolicy{ConflictBehavior::block, ConflictBehavior::warn, ConflictBehavior::block}));
    EXPECT_EQ(qHash(ConflictPolicy::standard()), qHash(ConflictPolicy{}));
    EXPECT_NE(ConflictPolicy::standard(), ConflictPolicy::allowAll());
}
