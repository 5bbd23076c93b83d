#include "Fakes.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWindow>
#include <gtest/gtest.h>

using namespace globalshortcuts;
using namespace globalshortcuts::test;

namespace {
const qint64 optionCommand = Carbon::option | Carbon::command;
}

TEST(HotKeyCenter, ModesGrabAndUngrab) {
    FakeBackend backend;
    HotKeyCenter center(backend);
    auto first = center.makeHotKey(35, optionCommand, nullptr, nullptr);
    first.reset();
    auto hotKey = center.makeHotKey(35, optionCommand, nullptr, nullptr);
    EXPECT_EQ(hotKey->id, 2); // ids are never reused

    center.setEnabled(false);
    // Registered at once even while disabled, then taken off again by the mode.
    EXPECT_TRUE(center.registerHotKey(hotKey));
    EXPECT_EQ(backend.registerCalls, 1);
    EXPECT_TRUE(backend.held.isEmpty());
    center.setEnabled(true);
    EXPECT_TRUE(backend.holds({35, optionCommand}));
    center.setMenuOpen(true);
    EXPECT_EQ(center.mode(), HotKeyCenter::Mode::menuOpen);
    EXPECT_TRUE(backend.held.isEmpty());
    center.setMenuOpen(false);
    EXPECT_TRUE(backend.holds({35, optionCommand}));
    hotKey.reset();
    EXPECT_TRUE(backend.held.isEmpty());
    EXPECT_EQ(center.liveHotKeyCount(), 0);
}

TEST(HotKeyCenter, ARefusedRegrabDropsOnlyThatHotKey) {
    Desk desk;
    const Name p = Name::fromRawValue(QStringLiteral("p"));
    const Name a = Name::fromRawValue(QStringLiteral("a"));
    desk.registry.storeShortcut(Shortcut::fromCarbon(35, optionCommand), p);
    desk.registry.storeShortcut(Shortcut::fromCarbon(0, optionCommand), a);
    desk.registry.onKeyUp(p, [] {});
    desk.registry.onKeyUp(a, [] {});
    desk.registry.setEnabled(false);
    desk.backend.refused.insert({35, optionCommand});
    desk.registry.setEnabled(true);
    EXPECT_FALSE(desk.registry.hasHotKey(Shortcut::fromCarbon(35, optionCommand)));
    EXPECT_TRUE(desk.registry.hasHotKey(Shortcut::fromCarbon(0, optionCommand)));
    EXPECT_EQ(desk.registry.center().liveHotKeyCount(), 1);
    // A new keymap that no longer maps the other one drops it the same way.
    desk.backend.refused.insert({0, optionCommand});
    desk.backend.sink->keymapChanged();
    EXPECT_FALSE(desk.registry.hasHotKey(Shortcut::fromCarbon(0, optionCommand)));
    EXPECT_TRUE(desk.backend.held.isEmpty());
}

TEST(HotKeyCenter, UsedBySystem) {
    Desk desk;
    desk.backend.heldElsewhere = {{Key::f12.rawValue, 0}, {Key::f12.rawValue, Carbon::control}, {48, Carbon::option}};
    EXPECT_FALSE(desk.registry.isUsedBySystem(Shortcut::fromCarbon(Key::f12.rawValue, 0)));
    EXPECT_EQ(desk.backend.probes, 0);
    EXPECT_TRUE(desk.registry.isUsedBySystem(Shortcut::fromCarbon(Key::f12.rawValue, Carbon::control)));
    EXPECT_TRUE(desk.registry.isUsedBySystem(Shortcut::fromCarbon(48, Carbon::option)));
    desk.backend.systemList = {{Key::f1.rawValue, Carbon::command | 0x10000}};
    EXPECT_TRUE(desk.registry.isUsedBySystem(Shortcut::fromCarbon(Key::f1.rawValue, Carbon::command)));
    // Ours is never probed (the probe would release our own grab).
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    desk.registry.storeShortcut(Shortcut::fromCarbon(35, optionCommand), name);
    desk.registry.onKeyDown(name, [] {});
    const int probes = desk.backend.probes;
    desk.backend.heldElsewhere.insert({35, optionCommand});
    EXPECT_FALSE(desk.registry.isUsedBySystem(Shortcut::fromCarbon(35, optionCommand)));
    EXPECT_EQ(desk.backend.probes, probes);
}

TEST(HotKeyCenter, MatchesKeysItselfWhileAPopupIsShown) {
    Desk desk;
    desk.backend.natives.insert(33, 35);
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    desk.registry.storeShortcut(Shortcut::fromCarbon(35, optionCommand), name);
    QStringList ran;
    desk.registry.onKeyDown(name, [&] { ran << "down"; });
    desk.registry.onKeyUp(name, [&] { ran << "up"; });

    QWindow popup;
    popup.setFlags(Qt::Popup);
    popup.resize(50, 50);
    popup.show();
    ASSERT_EQ(desk.registry.center().mode(), HotKeyCenter::Mode::menuOpen);
    EXPECT_TRUE(desk.backend.held.isEmpty());

    auto send = [&](QEvent::Type type, Qt::KeyboardModifiers modifiers, bool repeat = false, quint32 native = 33) {
        // Caps lock shows as an upper-case text and in the native state only.
        QKeyEvent event(type, Qt::Key_P, modifiers, native, 0x50, 0x2 | 0x8 | 0x40, QStringLiteral("P"), repeat);
        return QCoreApplication::sendEvent(&popup, &event);
    };
    send(QEvent::KeyPress, Qt::AltModifier | Qt::MetaModifier | Qt::KeypadModifier);
    send(QEvent::KeyPress, Qt::AltModifier | Qt::MetaModifier, true); // a repeat goes to the menu
    send(QEvent::KeyPress, Qt::AltModifier);                          // other combinations too
    send(QEvent::KeyPress, Qt::AltModifier | Qt::MetaModifier, false, 38);
    send(QEvent::KeyRelease, Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(ran, QStringList({"down", "up"}));

    popup.hide();
    EXPECT_EQ(desk.registry.center().mode(), HotKeyCenter::Mode::normal);
    EXPECT_TRUE(desk.backend.holds({35, optionCommand}));
    send(QEvent::KeyPress, Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(ran.size(), 2);
}
