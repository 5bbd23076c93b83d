#include "globalshortcuts/GlobalShortcuts.h"
#include "globalshortcuts/MenuItemBinding.h"
#include "globalshortcuts/qml/QmlValues.h"
#include "globalshortcuts/x11/X11HotKeyBackend.h"
#include "support/QmlTestSupport.h"
#include "tavrine/core/UserDefaults.h"

#include <QAction>
#include <QPointer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

// Xlib's macros clash with Qt's headers: it comes last.
#include <X11/Xlib.h>

using namespace globalshortcuts;
using tavrine::test::findItem;

namespace {

const Shortcut optionCommandP = Shortcut::fromCarbon(35, Carbon::option | Carbon::command);
const Shortcut controlOptionK = Shortcut::fromCarbon(40, Carbon::control | Carbon::option);

// The shortcuts' store on the application's user defaults, as the shell keeps it.
class DefaultsPreferences final : public Preferences {
public:
    explicit DefaultsPreferences(tavrine::UserDefaults& defaults) : m_defaults(defaults) {}
    std::optional<PreferenceValue> value(const QString& key) const override { return m_defaults.value(key); }
    void setValue(const QString& key, const PreferenceValue& value) override { m_defaults.setValue(key, value); }
    void remove(const QString& key) override { m_defaults.remove(key); }
    QStringList keys() const override { return m_defaults.keys(); }

private:
    tavrine::UserDefaults& m_defaults;
};

// The process registry back on its stand-ins when a test ends, however it ends: the test's services live on its
// stack.
struct RestoredRegistry {
    ~RestoredRegistry() {
        Registry::instance().removeAllHandlers();
        Registry::instance().restoreStandIns();
    }
};

void xdotool(const QStringList& arguments) {
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

QString rootProperty(const char* name) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QString::fromLatin1(name)});
    xprop.waitForFinished();
    return QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
}

// Whether a client holds the keyboard: the grab of a connection of our own is refused while one does.
bool keyboardHeld() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const int status =
        XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(display, CurrentTime);
    XCloseDisplay(display);
    return status == AlreadyGrabbed;
}

// Relative to the item's window, so that the window manager's frame and placement do not matter.
void clickAt(QQuickItem* item, QPointF local) {
    const QPoint at = item->mapToScene(local).toPoint();
    xdotool({"mousemove", "--window", QString::number(item->window()->winId()), QString::number(at.x()),
             QString::number(at.y())});
    xdotool({"click", "1"});
}

const QByteArray settingsWindow = R"(
import QtQuick
import GlobalShortcuts
Item {
    id: root
    property var name
    width: 420; height: 160
    // First in the focus chain: Tab from the window's root comes here, not back into the recorder.
    TextInput { objectName: "next"; x: 20; y: 120; width: 200; height: 20; activeFocusOnTab: true }
    ShortcutRecorder { objectName: "recorder"; x: 20; y: 20; label: "Open Tavrine"; name: root.name }
}
)";

// A settings window with one recorder for the name "openMainWindow" (Super+Alt+P), on the fixture's desktop with
// real grabs, shown and active.
struct RecorderDesktop {
    RecorderDesktop() {
        Registry::instance().install({&preferences, &backend, &backend, &backend, &backend, nullptr});
        name = Registry::instance().makeName(QStringLiteral("openMainWindow"), optionCommandP);
        root = harness.createFromText(settingsWindow, {{"name", QVariant::fromValue(ShortcutNameValue(name))}});
        window = tavrine::test::showInWindow(qobject_cast<QQuickItem*>(root.get()), 420, 160);
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::qWait(200);
        field = findItem(root.get(), "recorderField");
        controller = findItem(root.get(), "recorder")->property("controller").value<QObject*>();
    }
    bool recording() const { return controller && controller->property("recording").toBool(); }
    void startRecording() {
        clickAt(field, QPointF(field->width() / 2, field->height() / 2));
        ASSERT_TRUE(QTest::qWaitFor([&] { return recording(); }, 3000));
    }
    QObject* alert() const { return tavrine::test::findObject(root.get(), QStringLiteral("recorderAlert")); }
    bool alertShown() const { return alert() && alert()->property("opened").toBool(); }
    // Clicks the alert's button `index` (0: "OK", 1: "Use Anyway").
    void answerAlert(int index) {
        auto* footer = alert()->property("footer").value<QQuickItem*>();
        QQuickItem* button = footer ? findItem(footer, QStringLiteral("alertButton%1").arg(index)) : nullptr;
        ASSERT_TRUE(button);
        // The buttons are laid out with the first frame of the open alert: the picture is taken after it.
        window->grabWindow();
        clickAt(button, QPointF(button->width() / 2, button->height() / 2));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !alertShown(); }, 3000));
    }

    QTemporaryDir folder;
    tavrine::SettingsUserDefaults defaults{folder.filePath(QStringLiteral("tavrine.ini"))};
    DefaultsPreferences preferences{defaults};
    X11HotKeyBackend backend;
    const RestoredRegistry restored;
    Name name = Name::fromRawValue(QString());
    tavrine::test::QmlHarness harness;
    std::unique_ptr<QObject> root;
    std::unique_ptr<QQuickWindow> window;
    QQuickItem* field = nullptr;
    QPointer<QObject> controller;
};

} // namespace

// While the field records it holds the keyboard, so that the window manager's own combinations reach it rather
// than the window manager: openbox shows the desktop on Super+D and changes desktops on Ctrl+Alt+Left. Held by the
// desktop, they raise the alert that lets the user keep the old shortcut or take the new one anyway.
TEST(RecorderOnX11, TheDesktopsOwnCombinationsReachTheRecorderAndRaiseTheAlert) {
    RecorderDesktop d;
    ASSERT_TRUE(d.backend.isConnected());
    ASSERT_FALSE(keyboardHeld());
    const QString desktopBefore = rootProperty("_NET_CURRENT_DESKTOP");
    struct Case {
        const char* keys;
        int answer;
        Shortcut stored;
    };
    const Case cases[] = {
        {"super+d", 0, optionCommandP},
        {"ctrl+alt+Left", 1, Shortcut::fromCarbon(Key::leftArrow.rawValue, Carbon::control | Carbon::option)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        d.startRecording();
        EXPECT_TRUE(keyboardHeld());
        xdotool({"key", c.keys});
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.alertShown(); }, 3000));
        EXPECT_EQ(d.alert()->property("message").toString(),
                  QStringLiteral("This keyboard shortcut is held by the desktop or the window manager."));
        // The alert ends the recording; the keyboard is free while it asks.
        EXPECT_FALSE(d.recording());
        EXPECT_FALSE(keyboardHeld());
        // The window manager saw nothing: every window shows, on the same desktop.
        EXPECT_TRUE(rootProperty("_NET_SHOWING_DESKTOP").endsWith(QLatin1String("= 0")))
            << rootProperty("_NET_SHOWING_DESKTOP").toStdString();
        EXPECT_EQ(rootProperty("_NET_CURRENT_DESKTOP"), desktopBefore);
        EXPECT_TRUE(d.window->isExposed());

        d.answerAlert(c.answer);
        if (c.answer == 0) {
            // Refused, the field records again, holding the keyboard, until Escape.
            ASSERT_TRUE(QTest::qWaitFor([&] { return d.recording(); }, 3000));
            EXPECT_TRUE(keyboardHeld());
            xdotool({"key", "Escape"});
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.recording() && !keyboardHeld(); }, 3000));
        EXPECT_EQ(Registry::instance().getShortcut(d.name), std::optional(c.stored));
    }
    EXPECT_TRUE(d.harness.warnings().isEmpty()) << d.harness.warnings().join('\n').toStdString();
}

// Every way a recording ends lets the keyboard go: none leaves the desktop without its keyboard.
TEST(RecorderOnX11, EveryEndOfARecordingLetsTheKeyboardGo) {
    struct Case {
        const char* name;
        std::function<void(RecorderDesktop&)> end;
    };
    const QList<Case> cases = {
        {"Escape",
         [](RecorderDesktop&) {
             xdotool({"key", "Escape"});
         }},
        {"Tab",
         [](RecorderDesktop&) {
             xdotool({"key", "Tab"});
         }},
        {"a recorded shortcut",
         [](RecorderDesktop&) {
             xdotool({"key", "ctrl+alt+k"});
         }},
        {"a click outside the field",
         [](RecorderDesktop& d) { clickAt(d.field, QPointF(d.field->width() / 2, d.field->height() + 40)); }},
        {"a click in another window",
         [](RecorderDesktop& d) {
             auto* other = new QQuickWindow;
             QObject::connect(d.window.get(), &QObject::destroyed, other, &QObject::deleteLater);
             other->setGeometry(d.window->x(), d.window->y() + 260, 200, 100);
             other->show();
             ASSERT_TRUE(QTest::qWaitForWindowExposed(other));
             xdotool({"mousemove", "--window", QString::number(other->winId()), "50", "50"});
             xdotool({"click", "1"});
         }},
        {"the window hidden", [](RecorderDesktop& d) { d.window->hide(); }},
        {"the field moved to another window",
         [](RecorderDesktop& d) {
             auto* other = new QQuickWindow;
             QObject::connect(d.window.get(), &QObject::destroyed, other, &QObject::deleteLater);
             d.field->setParentItem(other->contentItem());
         }},
        {"the recorder destroyed", [](RecorderDesktop& d) { d.root.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderDesktop d;
        d.startRecording();
        ASSERT_TRUE(keyboardHeld());
        c.end(d);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.recording() && !keyboardHeld(); }, 3000))
            << "recording " << d.recording();
        EXPECT_TRUE(d.harness.warnings().isEmpty()) << d.harness.warnings().join('\n').toStdString();
    }
}

// A new user in a settings window: click the field beside "Open Tavrine", press the keys, see and use them.
TEST(RecorderOnX11, RecordsStoresAndUsesTheShortcut) {
    RecorderDesktop d;
    ASSERT_TRUE(d.backend.isConnected());
    const QString file = d.folder.filePath(QStringLiteral("tavrine.ini"));
    int opened = 0;
    Registry::instance().onKeyUp(d.name, [&] { ++opened; });
    QAction action;
    bindMenuItem(&action, d.name);
    QQuickItem* field = d.field;
    EXPECT_EQ(field->property("text").toString(), QStringLiteral("Super+Alt+P"));

    // The grabbed combination itself reaches the recorder and is recorded again.
    d.startRecording();
    int changes = 0;
    QObject counting;
    QObject::connect(&Registry::instance(), &Registry::shortcutByNameDidChange, &counting, [&] { ++changes; });
    xdotool({"key", "alt+super+p"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 3000));
    EXPECT_FALSE(d.recording());
    EXPECT_EQ(opened, 0);

    EXPECT_EQ(field->property("text").toString(), QStringLiteral("Super+Alt+P"));
    // "a" alone is refused; Escape ends the recording without a change.
    d.startRecording();
    xdotool({"key", "a"});
    QTest::qWait(200);
    EXPECT_TRUE(d.recording());
    xdotool({"key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.recording(); }, 3000));
    EXPECT_EQ(changes, 1);

    d.startRecording();
    xdotool({"key", "ctrl+alt+k"});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return field->property("text").toString() == QStringLiteral("Ctrl+Alt+K"); }, 3000));
    EXPECT_EQ(tavrine::SettingsUserDefaults(file).value(QStringLiteral("GlobalShortcuts_openMainWindow")),
              std::optional<tavrine::DefaultValue>(QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":6144})")));
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));

    // The new combination opens the main window; the old one no longer does.
    xdotool({"key", "ctrl+alt+k"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened == 1; }, 3000));
    xdotool({"key", "alt+super+p"});
    QTest::qWait(300);
    EXPECT_EQ(opened, 1);

    // The clear button stores false and the field records again; a restart keeps it empty.
    QQuickItem* clear = findItem(field, "clearButton");
    ASSERT_TRUE(clear->isVisible());
    clickAt(clear, QPointF(clear->width() / 2, clear->height() / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->property("text").toString().isEmpty(); }, 3000));
    EXPECT_TRUE(d.recording());
    EXPECT_EQ(tavrine::SettingsUserDefaults(file).value(QStringLiteral("GlobalShortcuts_openMainWindow")),
              std::optional<tavrine::DefaultValue>(false));
    // A click in another window ends the recording; each time the next click in the field starts a new one, also
    // when that click activates the field's window again.
    QQuickWindow other;
    other.setGeometry(d.window->x(), d.window->y() + 260, 200, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    for (int round = 0; round < 2; ++round) {
        xdotool({"mousemove", "--window", QString::number(other.winId()), "50", "50"});
        xdotool({"click", "1"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.recording() && !d.window->isActive(); }, 3000)) << round;
        d.startRecording();
    }
    xdotool({"key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.recording(); }, 3000));
    EXPECT_TRUE(field->property("text").toString().isEmpty());
    tavrine::SettingsUserDefaults restarted(file);
    DefaultsPreferences restartedPreferences(restarted);
    Registry next({&restartedPreferences, &d.backend, &d.backend, &d.backend, &d.backend, nullptr});
    EXPECT_FALSE(next.getShortcut(next.makeName(QStringLiteral("openMainWindow"), optionCommandP)));
    EXPECT_TRUE(d.harness.warnings().isEmpty()) << d.harness.warnings().join('\n').toStdString();
}
