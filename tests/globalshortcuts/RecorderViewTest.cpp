#include "Fakes.h"
#include "globalshortcuts/MenuItemBinding.h"
#include "globalshortcuts/qml/QmlValues.h"
#include "globalshortcuts/x11/XkbKeymap.h"
#include "support/QmlTestSupport.h"

#include <QAction>
#include <QKeyEvent>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace globalshortcuts;
using namespace globalshortcuts::test;
using tavrine::test::findItem;
using tavrine::test::findObject;
using tavrine::test::QmlHarness;

namespace {

const Shortcut optionCommandP = Shortcut::fromCarbon(35, Carbon::option | Carbon::command);
const Shortcut controlOptionK = Shortcut::fromCarbon(40, Carbon::control | Carbon::option);

// The process registry over a "us" keymap compiled from names, a fake back end and fresh preferences.
class UsLayout final : public KeyboardLayout {
public:
    std::optional<QString> character(qint64 code) const override { return keymap->character(code, 0); }
    std::unique_ptr<XkbKeymap> keymap = XkbKeymap::fromNames(QStringLiteral("us"));
};

struct Desktop {
    Desktop() {
        static UsLayout layout;
        static FakeBackend backend;
        static MemoryPreferences* previous = nullptr;
        for (quint32 native = 8; native < 256; ++native)
            if (const auto code = layout.keymap->carbonKeyCode(native))
                backend.natives.insert(native, *code);
        backend.systemList.clear();
        preferences = new MemoryPreferences;
        Registry::instance().install({preferences, &backend, &layout, &backend, &backend, nullptr});
        delete previous;
        previous = preferences;
        this->backend = &backend;
        this->layout = &layout;
    }
    Registry& registry() { return Registry::instance(); }
    MemoryPreferences* preferences;
    FakeBackend* backend;
    UsLayout* layout;
};

QVariant nameValue(const Name& name) {
    return QVariant::fromValue(ShortcutNameValue(name));
}

// Two recorders side by side under a policy that the test can change.
const QByteArray twoRecorders = R"(
import QtQuick
import GlobalShortcuts
Item {
    id: root
    width: 640; height: 200
    property var nameA
    property var bound
    property var log: []
    property alias outer: outer
    property alias inner: inner
    ShortcutPolicy.conflictPolicy: ShortcutPolicy.allowAll
    NamedKeyboardShortcut { objectName: "named"; name: root.nameA }
    Item {
        id: outer
        width: 640; height: 200
        Item {
            id: inner
            width: 640; height: 200
            ShortcutPolicy.conflictPolicy: ShortcutPolicy.standard
            ShortcutRecorder { objectName: "a"; label: "Open Tavrine"; name: root.nameA }
            ShortcutRecorder {
                id: b
                objectName: "b"; y: 60
                shortcut: root.bound
                validateShortcut: s => s.carbonKeyCode === 96 ? { disallow: "<b>not F5</b>" } : null
                onShortcutChanged: root.log = root.log.concat(["shortcut " + shortcut.text])
                onChange: s => root.log = root.log.concat(["change " + s.text + " " + b.shortcut.text])
            }
        }
    }
}
)";

struct View {
    explicit View(const QVariantMap& properties) {
        root = harness.createFromText(twoRecorders, properties);
        window = tavrine::test::showInWindow(qobject_cast<QQuickItem*>(root.get()), 640, 200);
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::qWait(1);
    }
    ~View() { EXPECT_TRUE(harness.warnings().isEmpty()) << harness.warnings().join('\n').toStdString(); }
    QQuickItem* field(const char* recorder) { return findItem(findObject(root.get(), recorder), "recorderField"); }
    QObject* controller(const char* recorder) {
        return findObject(root.get(), recorder)->property("controller").value<QObject*>();
    }
    QString text(const char* recorder) { return field(recorder)->property("text").toString(); }
    // The placeholder as drawn: none while hidden, and cut text shows as "…".
    QString placeholder(const char* recorder) {
        QQuickItem* shown = findItem(field(recorder), "recorderPlaceholder");
        if (!shown || !shown->isVisible())
            return QString();
        const bool whole = shown->implicitWidth() <= shown->width();
        return shown->property("text").toString() + (whole ? QString() : QStringLiteral("\u2026"));
    }
    bool clearButtonShown(const char* recorder) { return findItem(field(recorder), "clearButton")->isVisible(); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers, quint32 native) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, native, 0, 0);
        QCoreApplication::sendEvent(window.get(), &event);
    }
    QObject* alert(const char* recorder) { return findObject(findObject(root.get(), recorder), "recorderAlert"); }

    QmlHarness harness;
    std::unique_ptr<QObject> root;
    std::unique_ptr<QQuickWindow> window;
};

} // namespace

TEST(RecorderView, BothModesShowTheShortcutAndClearAsTheirSourceWants) {
    Desktop desk;
    const Name name = Name::withInitialShortcut(QStringLiteral("openMainWindow"), optionCommandP);
    desk.registry().storeShortcut(optionCommandP, name);
    View view({{"nameA", nameValue(name)}, {"bound", QVariant::fromValue(ShortcutValue(optionCommandP))}});
    for (const char* recorder : {"a", "b"}) {
        EXPECT_EQ(view.text(recorder), QStringLiteral("Super+Alt+P")) << recorder;
        EXPECT_EQ(view.placeholder(recorder), QString()) << "a shortcut shows instead";
        EXPECT_TRUE(view.clearButtonShown(recorder));
        EXPECT_GE(view.field(recorder)->width(), 130);
    }
    EXPECT_EQ(findItem(findObject(view.root.get(), "a"), "recorderLabel")->property("text"), "Open Tavrine");

    // A name with an initial shortcut is cleared to false (it must not come back), and records again.
    QMetaObject::invokeMethod(view.controller("a"), "clear");
    EXPECT_EQ(desk.preferences->value(Registry::storageKey(name)), std::optional<PreferenceValue>(false));
    EXPECT_EQ(view.text("a"), QString());
    EXPECT_EQ(view.placeholder("b"), QString());
    EXPECT_FALSE(view.clearButtonShown("a"));
    EXPECT_TRUE(view.field("a")->hasActiveFocus());
    EXPECT_EQ(view.placeholder("a"), QStringLiteral("Press Shortcut"));
    EXPECT_TRUE(desk.registry().recorderActive());

    // Binding mode: the binding is written before the change is reported.
    view.root->setProperty("log", QVariantList());
    QMetaObject::invokeMethod(view.controller("b"), "clear");
    EXPECT_EQ(view.root->property("log").toStringList(), QStringList({"shortcut ", "change  "}));
    EXPECT_FALSE(view.clearButtonShown("b"));
    EXPECT_EQ(view.placeholder("b"), QStringLiteral("Press Shortcut"));
    EXPECT_EQ(view.placeholder("a"), QStringLiteral("Record Shortcut")) << "idle now, and whole";
    // A name without an initial shortcut is removed.
    const Name plain = Name::fromRawValue(QStringLiteral("plain"));
    desk.registry().storeShortcut(optionCommandP, plain);
    view.root->setProperty("nameA", nameValue(plain));
    QMetaObject::invokeMethod(view.controller("a"), "clear");
    EXPECT_FALSE(desk.preferences->value(Registry::storageKey(plain)));
}

TEST(RecorderView, RecordingMovesBetweenFieldsAndStoresWhatWasPressed) {
    Desktop desk;
    const Name name = Name::withInitialShortcut(QStringLiteral("openMainWindow"), optionCommandP);
    desk.registry().storeShortcut(optionCommandP, name);
    View view({{"nameA", nameValue(name)}, {"bound", QVariant::fromValue(ShortcutValue())}});
    QObject* named = findObject(view.root.get(), "named");
    EXPECT_EQ(named->property("sequence").toString(), QStringLiteral("Meta+Alt+P"));

    QSignalSpy active(&desk.registry(), &Registry::recorderActiveStatusDidChange);
    view.field("a")->forceActiveFocus();
    EXPECT_TRUE(view.controller("a")->property("recording").toBool());
    EXPECT_EQ(named->property("sequence").toString(), QString());
    view.field("b")->forceActiveFocus();
    ASSERT_EQ(active.count(), 3);
    EXPECT_EQ(active.at(1).at(0), false);
    EXPECT_EQ(active.at(2).at(0), true);

    view.field("a")->forceActiveFocus();
    view.press(Qt::Key_A, Qt::NoModifier, 38); // beeps, goes on recording
    EXPECT_TRUE(view.controller("a")->property("recording").toBool());
    view.press(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 45);
    EXPECT_EQ(view.text("a"), QStringLiteral("Ctrl+Alt+K"));
    EXPECT_FALSE(view.controller("a")->property("recording").toBool());
    EXPECT_FALSE(desk.registry().recorderActive());
    EXPECT_EQ(desk.preferences->value(Registry::storageKey(name)),
              std::optional<PreferenceValue>(QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":6144})")));
    EXPECT_EQ(named->property("sequence").toString(), QStringLiteral("Ctrl+Alt+K"));

    // An equal write does nothing; a recorded value reaches the binding before the change.
    view.root->setProperty("log", QVariantList());
    QSignalSpy text(view.controller("b"), SIGNAL(textChanged()));
    view.root->setProperty("bound", QVariant::fromValue(ShortcutValue()));
    EXPECT_EQ(text.count(), 0);
    view.field("b")->forceActiveFocus();
    view.press(Qt::Key_F6, Qt::NoModifier, 72);
    EXPECT_EQ(view.root->property("log").toStringList(), QStringList({"shortcut F6", "change F6 F6"}));
    // The validation refuses F5 in an alert, shown as typed.
    view.field("b")->forceActiveFocus();
    view.press(Qt::Key_F5, Qt::NoModifier, 71);
    QObject* alert = view.alert("b");
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->property("visible").toBool());
    EXPECT_EQ(alert->property("message").toString(), QStringLiteral("<b>not F5</b>"));
    EXPECT_EQ(findObject(alert, "alertMessage")->property("textFormat").toInt(), int(Qt::PlainText));
    QMetaObject::invokeMethod(alert, "answer", Q_ARG(QVariant, 1000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.controller("b")->property("recording").toBool(); }));
    EXPECT_EQ(view.text("b"), QStringLiteral("F6"));
}

TEST(RecorderView, TheNearestPolicyGovernsTheNextRecording) {
    Desktop desk;
    desk.backend->systemList = {{40, Carbon::control | Carbon::option}};
    const Name name = Name::fromRawValue(QStringLiteral("policy"));
    View view({{"nameA", nameValue(name)}, {"bound", QVariant::fromValue(ShortcutValue())}});
    // The inner item's standard policy wins over the outer allowAll: the desktop's combination raises a warning.
    view.field("a")->forceActiveFocus();
    view.press(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 45);
    QObject* alert = view.alert("a");
    ASSERT_TRUE(alert->property("visible").toBool());
    EXPECT_EQ(alert->property("buttons").toStringList(), QStringList({"OK", "Use Anyway"}));
    EXPECT_FALSE(desk.registry().getShortcut(name));
    // Answered after the event was long handled: insisting records it.
    QMetaObject::invokeMethod(alert, "answer", Q_ARG(QVariant, 1001));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return desk.registry().getShortcut(name) == std::optional<Shortcut>(controlOptionK); }));

    // Changed while shown: the next recording takes the new policy without an alert.
    QQmlProperty(view.root->property("inner").value<QObject*>(), "ShortcutPolicy.conflictPolicy",
                 qmlContext(view.root.get()))
        .write(QVariant::fromValue(ConflictPolicyValue(ConflictPolicy::allowAll())));
    EXPECT_EQ(view.controller("a")->property("conflictPolicy").value<ConflictPolicyValue>().value,
              ConflictPolicy::allowAll());
    desk.registry().resetName(name);
    QTest::qWait(1);
    view.field("a")->forceActiveFocus();
    view.press(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 45);
    EXPECT_FALSE(alert->property("visible").toBool());
    EXPECT_EQ(desk.registry().getShortcut(name), std::optional<Shortcut>(controlOptionK));
}

TEST(MenuItemBinding, AnActionFollowsItsNameAndGetsItsOwnShortcutBack) {
    Desktop desk;
    const Name name = Name::fromRawValue(QStringLiteral("bound"));
    desk.registry().storeShortcut(optionCommandP, name);
    QAction action;
    action.setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    bindMenuItem(&action, name);
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Alt+Meta+P")));
    EXPECT_EQ(boundName(&action), std::optional<Name>(name));
    desk.registry().storeShortcut(controlOptionK, name);
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
    desk.registry().storeShortcut(optionCommandP, Name::fromRawValue(QStringLiteral("other")));
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
    // Rebinding keeps the shortcut from before the first binding.
    bindMenuItem(&action, Name::fromRawValue(QStringLiteral("unset")));
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    bindMenuItem(&action, std::nullopt);
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_FALSE(boundName(&action));
    desk.registry().storeShortcut(optionCommandP, name);
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));

    // Never bound: unbinding leaves the action's own shortcut alone.
    QAction own;
    own.setShortcut(QKeySequence(QStringLiteral("Ctrl+W")));
    bindMenuItem(&own, std::nullopt);
    EXPECT_EQ(own.shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    // A fixed shortcut forgets the binding; a keypad key has no sequence.
    bindMenuItem(&own, name);
    assignMenuItemShortcut(&own, Shortcut::fromCarbon(Key::keypad1.rawValue, Carbon::command));
    EXPECT_TRUE(own.shortcut().isEmpty());
    desk.registry().storeShortcut(controlOptionK, name);
    EXPECT_TRUE(own.shortcut().isEmpty());
}
