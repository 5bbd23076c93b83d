#include "Fakes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace globalshortcuts;
using namespace globalshortcuts::test;

namespace {
const Shortcut optionCommandP = Shortcut::fromCarbon(35, Carbon::option | Carbon::command);
const Shortcut commandA = Shortcut::fromCarbon(0, Carbon::command);
const QString key = QStringLiteral("GlobalShortcuts_openMainWindow");
} // namespace

TEST(Storage, InitialShortcutFillsOnlyAnEmptySlot) {
    MemoryPreferences preferences;
    {
        FakeBackend backend;
        Registry first({&preferences, &backend});
        const Name name = first.makeName(QStringLiteral("openMainWindow"), optionCommandP);
        EXPECT_EQ(preferences.value(key),
                  std::optional<PreferenceValue>(QStringLiteral(R"({"carbonKeyCode":35,"carbonModifiers":2304})")));
        first.setShortcut(std::nullopt, name);
        EXPECT_EQ(preferences.value(key), std::optional<PreferenceValue>(false));
    }
    // The next start keeps the user's removal.
    FakeBackend backend;
    Registry second({&preferences, &backend});
    const Name name = second.makeName(QStringLiteral("openMainWindow"), optionCommandP);
    EXPECT_EQ(second.getShortcut(name), std::nullopt);
    second.storeShortcut(commandA, name);
    second.makeName(QStringLiteral("openMainWindow"), optionCommandP);
    EXPECT_EQ(second.getShortcut(name), commandA);
    EXPECT_EQ(Name::fromRawValue(QStringLiteral("openMainWindow")), name);
    EXPECT_EQ(Name::fromRawValue(QStringLiteral("openMainWindow")).initialShortcut(), std::nullopt);
}

TEST(Storage, ClearingFollowsTheInitialShortcut) {
    Desk desk;
    QSignalSpy changes(&desk.registry, &Registry::shortcutByNameDidChange);
    const Name plain = Name::fromRawValue(QStringLiteral("plain"));
    const Name initial = Name::withInitialShortcut(QStringLiteral("initial"), optionCommandP);

    desk.registry.setShortcut(std::nullopt, plain); // nothing stored: no write, no notification
    EXPECT_EQ(changes.count(), 0);
    desk.registry.storeShortcut(commandA, plain);
    desk.registry.setShortcut(std::nullopt, plain);
    EXPECT_FALSE(desk.preferences.value(QStringLiteral("GlobalShortcuts_plain")));

    desk.registry.setShortcut(std::nullopt, initial);
    desk.registry.setShortcut(std::nullopt, initial); // already cleared: nothing
    EXPECT_EQ(desk.preferences.value(QStringLiteral("GlobalShortcuts_initial")), std::optional<PreferenceValue>(false));
    EXPECT_EQ(changes.count(), 3);

    // Storing the same shortcut again still writes and notifies.
    desk.registry.storeShortcut(commandA, plain);
    const int writes = desk.preferences.writeCount();
    desk.registry.storeShortcut(commandA, plain);
    EXPECT_EQ(desk.preferences.writeCount(), writes + 1);
    EXPECT_EQ(changes.count(), 5);
    EXPECT_EQ(changes.last().first().value<Name>(), plain);
}

TEST(Storage, UnreadableValuesReadAsNoShortcut) {
    Desk desk;
    const Name name = Name::fromRawValue(QStringLiteral("odd"));
    for (const PreferenceValue& value : {PreferenceValue(true), PreferenceValue(qint64(35)), PreferenceValue(2.5),
                                         PreferenceValue(QStringLiteral("Option-Command-P"))}) {
        desk.preferences.setValue(QStringLiteral("GlobalShortcuts_odd"), value);
        EXPECT_EQ(desk.registry.getShortcut(name), std::nullopt) << value.index();
    }
}

TEST(Storage, ResetAndResetAll) {
    Desk desk;
    QSignalSpy changes(&desk.registry, &Registry::shortcutByNameDidChange);
    const Name plain = Name::fromRawValue(QStringLiteral("plain"));
    const Name initial = desk.registry.makeName(QStringLiteral("initial"), optionCommandP);
    desk.registry.reset({plain, initial});
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).first().value<Name>(), initial);

    desk.preferences.setValue(QStringLiteral("speakNudges"), false);
    desk.registry.storeShortcut(commandA, plain);
    desk.registry.storeShortcut(commandA, Name::fromRawValue(QString()));
    EXPECT_EQ(desk.registry.storedNames(), QList<Name>({initial, plain, Name::fromRawValue(QString())}));
    changes.clear();
    desk.registry.resetAll();
    EXPECT_EQ(changes.count(), 3);
    EXPECT_EQ(desk.preferences.keys(), QStringList({QStringLiteral("speakNudges")}));
    // A name made again with its initial shortcut gets it afresh.
    EXPECT_EQ(desk.registry.makeName(QStringLiteral("initial"), optionCommandP).initialShortcut(), optionCommandP);
    EXPECT_EQ(desk.registry.getShortcut(initial), optionCommandP);
}
