#include "globalshortcuts/Registry.h"
#include "globalshortcuts/x11/X11HotKeyBackend.h"

#include <QProcess>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
// Xlib last: its macros (None, Bool, Status...) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace globalshortcuts;

namespace {

const Shortcut optionCommandP = Shortcut::fromCarbon(35, Carbon::option | Carbon::command);

// Types through XTest on a connection of its own, as a user would.
class Keyboard {
public:
    Keyboard() : m_display(XOpenDisplay(nullptr)) {}
    ~Keyboard() {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display; }
    void key(KeySym sym, bool press) {
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, sym), press, CurrentTime);
        XSync(m_display, False);
    }
    void chord(std::initializer_list<KeySym> modifiers, KeySym sym, int repeats = 0) {
        for (KeySym m : modifiers)
            key(m, true);
        key(sym, true);
        for (int i = 0; i < repeats; ++i)
            key(sym, true);
        key(sym, false);
        for (KeySym m : modifiers)
            key(m, false);
    }
    void tap(KeySym sym) {
        key(sym, true);
        key(sym, false);
    }

private:
    Display* m_display;
};

struct X11Desk {
    MemoryPreferences preferences;
    X11HotKeyBackend backend;
    Registry registry{{&preferences, &backend, &backend, &backend, &backend}};
    Keyboard keyboard;
    Name name = Name::fromRawValue(QStringLiteral("openMainWindow"));
    QStringList events;

    void listen() {
        registry.storeShortcut(optionCommandP, name);
        registry.onKeyDown(name, [this] { events << QStringLiteral("down"); });
        registry.onKeyUp(name, [this] { events << QStringLiteral("up"); });
    }
    // Events settle: wait for the expected count, then a little more for stray ones.
    void settle(int count) {
        (void)QTest::qWaitFor([&] { return events.size() >= count; }, 3000);
        QTest::qWait(100);
    }
};

// Every test needs the fixture's X server for the grabs and XTest for the typing.
class X11HotKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desk.backend.isConnected());
        ASSERT_TRUE(desk.keyboard.isOpen());
    }
    X11Desk desk;
};

} // namespace

TEST_F(X11HotKeys, PressAndReleaseWithLocksAndRepeat) {
    desk.listen();
    ASSERT_TRUE(desk.registry.isEnabled(desk.name));

    desk.keyboard.chord({XK_Alt_L, XK_Super_L}, XK_p);
    desk.settle(2);
    EXPECT_EQ(desk.events, QStringList({"down", "up"}));

    for (KeySym lock : {XK_Num_Lock, XK_Caps_Lock}) {
        desk.events.clear();
        desk.keyboard.tap(lock);
        desk.keyboard.chord({XK_Alt_L, XK_Super_L}, XK_p);
        desk.keyboard.tap(lock);
        desk.settle(2);
        EXPECT_EQ(desk.events, QStringList({"down", "up"})) << lock;
    }

    // Held: the repeated presses are not new presses.
    desk.events.clear();
    desk.keyboard.chord({XK_Alt_L, XK_Super_L}, XK_p, 5);
    desk.settle(2);
    EXPECT_EQ(desk.events, QStringList({"down", "up"}));

    // A probe of our own combination leaves our grab alone.
    EXPECT_FALSE(desk.registry.isUsedBySystem(optionCommandP));
    desk.events.clear();
    desk.keyboard.chord({XK_Alt_L, XK_Super_L}, XK_p);
    desk.settle(2);
    EXPECT_EQ(desk.events, QStringList({"down", "up"}));
}

TEST_F(X11HotKeys, CombinationsOthersHoldOrNoKeyHasAreRefused) {
    const Shortcut altTab = Shortcut::fromCarbon(48, Carbon::option); // openbox's window switcher
    EXPECT_TRUE(desk.backend.isHeldElsewhere(altTab.carbonKeyCode, altTab.carbonModifiers));
    EXPECT_TRUE(desk.registry.isUsedBySystem(altTab));
    EXPECT_FALSE(desk.backend.registerHotKey(1, altTab.carbonKeyCode, altTab.carbonModifiers));
    // Nothing of ours is left behind: the probe still finds openbox's grab.
    EXPECT_TRUE(desk.backend.isHeldElsewhere(altTab.carbonKeyCode, altTab.carbonModifiers));
    EXPECT_FALSE(desk.registry.isUsedBySystem(optionCommandP));

    EXPECT_FALSE(desk.backend.registerHotKey(2, 63, Carbon::command));
    EXPECT_FALSE(desk.backend.registerHotKey(3, 9999, Carbon::command));
    EXPECT_FALSE(desk.backend.registerHotKey(4, 35, Carbon::command | Carbon::function));
    EXPECT_FALSE(desk.backend.registerHotKey(5, 35, qint64(1) << 40));
    EXPECT_FALSE(desk.backend.registerHotKey(6, -1, 0));
    // Still connected after all of it.
    EXPECT_TRUE(desk.backend.registerHotKey(7, 35, Carbon::control | Carbon::shift));
    desk.backend.unregisterHotKey(7);
    EXPECT_EQ(desk.backend.character(35), std::optional<QString>(QStringLiteral("p")));
}

TEST_F(X11HotKeys, AKeymapChangeGrabsAgain) {
    desk.listen();
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("de")}), 0);
    (void)QTest::qWaitFor([&] { return desk.backend.character(16) == QStringLiteral("z"); }, 3000);
    EXPECT_EQ(desk.backend.character(16), std::optional<QString>(QStringLiteral("z")));
    desk.keyboard.chord({XK_Alt_L, XK_Super_L}, XK_p);
    desk.settle(2);
    EXPECT_EQ(desk.events, QStringList({"down", "up"}));
    EXPECT_TRUE(desk.registry.isEnabled(desk.name));
    QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

TEST_F(X11HotKeys, UnderAShownPopupTheFilterRunsTheAction) {
    desk.listen();
    QWindow popup;
    popup.setFlags(Qt::Popup);
    popup.setGeometry(100, 100, 120, 80);
    popup.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    ASSERT_EQ(desk.registry.center().mode(), HotKeyCenter::Mode::menuOpen);
    // What a QMenu does on showing: its window takes the keyboard.
    ASSERT_TRUE(popup.setKeyboardGrabEnabled(true));
    desk.keyboard.chord({XK_Alt_L, XK_Super_L}, XK_p);
    desk.settle(2);
    EXPECT_EQ(desk.events, QStringList({"down", "up"}));
    popup.hide();
    EXPECT_EQ(desk.registry.center().mode(), HotKeyCenter::Mode::normal);
}
