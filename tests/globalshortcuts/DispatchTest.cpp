#include "Fakes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace globalshortcuts;
using namespace globalshortcuts::test;

namespace {
const Shortcut optionCommandP = Shortcut::fromCarbon(35, Carbon::option | Carbon::command);
const Combination optionCommandPCombination{35, Carbon::option | Carbon::command};
const Shortcut commandA = Shortcut::fromCarbon(0, Carbon::command);
} // namespace

TEST(Registration, TwoNamesShareOneHotKeyUntilBothLetGo) {
    Desk desk;
    const Name first = Name::fromRawValue(QStringLiteral("first"));
    const Name second = Name::fromRawValue(QStringLiteral("second"));
    desk.registry.storeShortcut(optionCommandP, first);
    desk.registry.storeShortcut(optionCommandP, second);
    QStringList ran;
    desk.registry.onKeyUp(first, [&] { ran << "first"; });
    desk.registry.onKeyUp(second, [&] { ran << "second"; });
    EXPECT_EQ(desk.backend.held.size(), 1);
    desk.backend.fire(optionCommandPCombination, EventType::keyUp);
    EXPECT_EQ(ran, QStringList({"first", "second"}));

    desk.registry.disable({first});
    EXPECT_TRUE(desk.backend.holds(optionCommandPCombination));
    desk.backend.fire(optionCommandPCombination, EventType::keyUp);
    EXPECT_EQ(ran.size(), 3);
    EXPECT_EQ(ran.last(), "second");
    desk.registry.disable({second});
    EXPECT_TRUE(desk.backend.held.isEmpty());
    desk.registry.enable({first});
    EXPECT_TRUE(desk.backend.holds(optionCommandPCombination));

    // Moving one name to another shortcut keeps the hot key the other still uses.
    desk.registry.enable({second});
    desk.registry.storeShortcut(commandA, first);
    EXPECT_TRUE(desk.backend.holds(optionCommandPCombination));
    EXPECT_TRUE(desk.backend.holds({0, Carbon::command}));
}

TEST(Registration, HandlersStreamsAndRefusals) {
    Desk desk;
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    desk.registry.disableName(Name::withInitialShortcut(QStringLiteral("name"), optionCommandP));
    desk.registry.onKeyUp(name, [] {});
    EXPECT_TRUE(desk.backend.held.isEmpty()); // cleared: nothing to hold
    desk.registry.storeShortcut(optionCommandP, name);
    EXPECT_TRUE(desk.registry.isEnabled(name));

    // A stream keeps the hot key when the closures go.
    Subscription stream = desk.registry.events(name, [](EventType) {});
    desk.registry.removeHandler(name);
    EXPECT_TRUE(desk.backend.holds(optionCommandPCombination));
    desk.registry.removeAllHandlers();
    EXPECT_TRUE(desk.backend.holds(optionCommandPCombination));
    stream.reset();
    EXPECT_TRUE(desk.backend.held.isEmpty());

    // The global switch keeps the table but takes the grabs off the desktop.
    desk.registry.onKeyDown(name, [] {});
    desk.registry.setEnabled(false);
    EXPECT_TRUE(desk.registry.hasHotKey(optionCommandP));
    EXPECT_FALSE(desk.registry.isEnabled(name));
    EXPECT_TRUE(desk.backend.held.isEmpty());
    desk.registry.setEnabled(true);
    EXPECT_TRUE(desk.registry.isEnabled(name));

    // A refused combination leaves no entry; the next handler tries again.
    const Name other = Name::fromRawValue(QStringLiteral("other"));
    desk.registry.storeShortcut(commandA, other);
    desk.backend.refused.insert({0, Carbon::command});
    desk.registry.onKeyDown(other, [] {});
    EXPECT_FALSE(desk.registry.hasHotKey(commandA));
    desk.backend.refused.clear();
    desk.registry.onKeyDown(other, [] {});
    EXPECT_TRUE(desk.registry.hasHotKey(commandA));
}

// Services that are about to go: the registry lets go of the back end's grabs and reads and writes them no more.
TEST(Registration, RestoringTheStandInsLetsGoOfTheInstalledServices) {
    Desk desk;
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    desk.registry.storeShortcut(optionCommandP, name);
    desk.registry.onKeyUp(name, [] {});
    ASSERT_TRUE(desk.backend.holds(optionCommandPCombination));
    const QString key = Registry::storageKey(name);
    const std::optional<PreferenceValue> stored = desk.preferences.value(key);
    ASSERT_TRUE(stored);

    desk.registry.restoreStandIns();
    EXPECT_TRUE(desk.backend.held.isEmpty());
    EXPECT_EQ(desk.backend.sink, nullptr);
    EXPECT_FALSE(desk.registry.getShortcut(name));
    desk.registry.storeShortcut(commandA, name);
    EXPECT_EQ(desk.preferences.value(key), stored);
    EXPECT_EQ(desk.backend.registerCalls, 1);
}

TEST(Dispatch, RunsAgainstTheTablesAsTheyWereWhenItBegan) {
    Desk desk;
    const Name first = Name::fromRawValue(QStringLiteral("first"));
    const Name second = Name::fromRawValue(QStringLiteral("second"));
    desk.registry.storeShortcut(optionCommandP, first);
    desk.registry.storeShortcut(optionCommandP, second);
    QStringList ran;
    desk.registry.onKeyDown(first, [&] {
        ran << "first";
        desk.registry.removeAllHandlers();
    });
    desk.registry.onKeyDown(second, [&] { ran << "second"; });
    desk.registry.onKeyUp(second, [&] { ran << "up"; });
    desk.registry.dispatchEvent(EventType::keyDown, optionCommandP);
    EXPECT_EQ(ran, QStringList({"first", "second"}));
    desk.registry.dispatchEvent(EventType::keyDown, optionCommandP);
    desk.registry.dispatchEvent(EventType::keyUp, optionCommandP);
    EXPECT_EQ(ran.size(), 2);
}

TEST(Dispatch, NothingRunsWhileRecordingOrForOtherShortcuts) {
    Desk desk;
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    const Name unset = Name::fromRawValue(QStringLiteral("unset"));
    desk.registry.storeShortcut(optionCommandP, name);
    int names = 0, shortcutStream = 0;
    desk.registry.onKeyDown(name, [&] { ++names; });
    desk.registry.onKeyDown(unset, [&] { ++names; });
    Subscription stream = desk.registry.events(EventType::keyDown, optionCommandP, [&] { ++shortcutStream; });
    QSignalSpy recorder(&desk.registry, &Registry::recorderActiveStatusDidChange);
    desk.registry.setRecorderActive(true);
    desk.registry.setRecorderActive(true);
    EXPECT_EQ(recorder.count(), 2);
    desk.registry.dispatchEvent(EventType::keyDown, optionCommandP);
    EXPECT_EQ(names + shortcutStream, 0);
    desk.registry.setRecorderActive(false);
    desk.registry.dispatchEvent(EventType::keyDown, optionCommandP);
    desk.registry.dispatchEvent(EventType::keyDown, commandA);
    EXPECT_EQ(names, 1);
    EXPECT_EQ(shortcutStream, 1);
}

TEST(Streams, RepeatFollowsTheDesktopsPaceWhileTheKeyIsHeld) {
    Desk desk; // delay 500 ms, interval 30 ms
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    desk.registry.storeShortcut(optionCommandP, name);
    int values = 0;
    Subscription repeat = desk.registry.repeatingKeyDownEvents(name, [&] { ++values; });
    desk.backend.fire(optionCommandPCombination, EventType::keyDown);
    desk.timers.advance(500 + 30 + 10);
    EXPECT_EQ(values, 3);
    desk.backend.fire(optionCommandPCombination, EventType::keyUp);
    desk.timers.advance(1000);
    EXPECT_EQ(values, 3);

    // Released before the delay: one value.
    desk.backend.fire(optionCommandPCombination, EventType::keyDown);
    desk.timers.advance(400);
    desk.backend.fire(optionCommandPCombination, EventType::keyUp);
    desk.timers.advance(1000);
    EXPECT_EQ(values, 4);

    // A new shortcut while the key is held stops the repeat at the next step.
    desk.backend.fire(optionCommandPCombination, EventType::keyDown);
    desk.registry.storeShortcut(commandA, name);
    desk.timers.advance(2000);
    EXPECT_EQ(values, 5);

    repeat.reset();
    EXPECT_TRUE(desk.timers.timers.empty());
    EXPECT_TRUE(desk.backend.held.isEmpty());
}

TEST(Streams, TwoStreamsOnOneNameBothListen) {
    Desk desk;
    const Name name = Name::fromRawValue(QStringLiteral("name"));
    desk.registry.storeShortcut(optionCommandP, name);
    QList<EventType> a, b;
    Subscription first = desk.registry.events(name, [&](EventType t) { a << t; });
    auto second = std::make_unique<Subscription>(desk.registry.events(name, [&](EventType t) { b << t; }));
    desk.backend.fire(optionCommandPCombination, EventType::keyDown);
    second.reset();
    desk.backend.fire(optionCommandPCombination, EventType::keyUp);
    EXPECT_EQ(a, QList<EventType>({EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(b, QList<EventType>({EventType::keyDown}));
    EXPECT_TRUE(desk.backend.holds(optionCommandPCombination));
}
