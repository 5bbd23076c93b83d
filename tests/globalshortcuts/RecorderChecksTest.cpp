#include "globalshortcuts/RecorderChecks.h"
#include "Fakes.h"
#include "globalshortcuts/Texts.h"

#include <gtest/gtest.h>

using namespace globalshortcuts;
using namespace globalshortcuts::test;
using Type = RecorderEvent::Type;

namespace {

const Shortcut optionCommandP = Shortcut::fromCarbon(35, Carbon::option | Carbon::command);

// A field 100 × 20 at the origin that writes down what the checks do to it.
class FakeField final : public RecorderContext {
public:
    FakeField() { layout.characters.insert(40, QStringLiteral("k")); }

    StorageMode storageMode() const override { return mode; }
    Name shortcutName() const override { return name; }
    std::optional<Shortcut> shortcutBeforeRecording() const override { return before; }
    ConflictPolicy conflictPolicy() const override { return policy; }
    ShortcutValidation validation() const override { return validate; }
    QRectF bounds() const override { return {0, 0, 100, 20}; }
    bool hasWindow() const override { return window; }
    std::optional<QList<MenuNode>> mainMenu() const override { return menu; }
    const KeyboardLayout& keyboardLayout() const override { return layout; }
    bool isUsedBySystem(const Shortcut& shortcut) const override { return system.contains(shortcut); }
    std::optional<OperatingSystemVersion> operatingSystemVersion() const override { return version; }
    bool isSandboxed() const override { return sandboxed; }

    void blur() override { log << "blur"; }
    void clickClearButton() override { log << "clear"; }
    void beep() override { log << "beep"; }
    void showAlert(const RecorderAlert& alert, std::function<void(int)> answer) override {
        log << "alert:" + alert.message + (alert.buttons.isEmpty() ? QString() : "|" + alert.buttons.join('|'));
        pending = std::move(answer);
    }
    void refocus() override {
        log << "refocus";
        before = stored;
    }
    void accept(const Shortcut& shortcut) override {
        log << QStringLiteral("accept %1/%2").arg(shortcut.carbonKeyCode).arg(shortcut.carbonModifiers);
        stored = shortcut;
    }

    // Answers the alert that is up, after the handler has long returned.
    void answer(int response) {
        ASSERT_TRUE(pending);
        auto answerNow = std::exchange(pending, nullptr);
        answerNow(response);
    }

    StorageMode mode = StorageMode::name;
    Name name = Name::fromRawValue(QStringLiteral("openMainWindow"));
    std::optional<Shortcut> before;
    std::optional<Shortcut> stored;
    ConflictPolicy policy;
    ShortcutValidation validate;
    bool window = true;
    std::optional<QList<MenuNode>> menu;
    FakeBackend layout;
    QList<Shortcut> system;
    std::optional<OperatingSystemVersion> version;
    bool sandboxed = false;
    QStringList log;
    std::function<void(int)> pending;
};

RecorderEvent key(qint64 code, int qtKey, ModifierFlags flags = 0) {
    return {Type::keyDown, flags, code, qtKey, std::nullopt};
}
RecorderEvent click(Type type, std::optional<QPointF> at) {
    return {type, 0, std::nullopt, 0, at};
}

const QString used = localizedText(QStringLiteral("keyboard_shortcut_used_by_system"));
const QString disallowed = localizedText(QStringLiteral("keyboard_shortcut_disallowed"));

} // namespace

TEST(RecorderChecks, WhatEachEventDoes) {
    struct Case {
        const char* what;
        RecorderEvent event;
        RecorderDisposition disposition;
        QStringList log;
    };
    const auto swallow = RecorderDisposition::swallow, passOn = RecorderDisposition::passOn;
    const Case cases[] = {
        {"F5", key(96, Qt::Key_F5), swallow, {"accept 96/0"}},
        {"Shift-F5", key(96, Qt::Key_F5, Flag::shift), swallow, {"accept 96/512"}},
        {"Fn-F5 loses the function bit", key(96, Qt::Key_F5, Flag::function), swallow, {"accept 96/0"}},
        {"F35", key(200, Qt::Key_F35), swallow, {"accept 200/0"}},
        {"A", key(0, Qt::Key_A), swallow, {"beep"}},
        {"Shift-A", key(0, Qt::Key_A, Flag::shift), swallow, {"beep"}},
        {"Shift-Tab", key(48, Qt::Key_Backtab, Flag::shift), swallow, {"beep"}},
        {"Tab moves on", key(48, Qt::Key_Tab), passOn, {"blur"}},
        {"Caps Lock does not count", key(48, Qt::Key_Tab, Flag::capsLock), passOn, {"blur"}},
        {"Escape", key(53, Qt::Key_Escape), swallow, {"blur"}},
        {"Command-Escape is a shortcut", key(53, Qt::Key_Escape, Flag::command), swallow, {"accept 53/256"}},
        {"Backspace clears", key(51, Qt::Key_Backspace), swallow, {"clear"}},
        {"Delete clears", key(117, Qt::Key_Delete), swallow, {"clear"}},
        {"Fn-Delete beeps", key(117, Qt::Key_Delete, Flag::function), swallow, {"beep"}},
        {"Command-Delete is a shortcut", key(117, Qt::Key_Delete, Flag::command), swallow, {"accept 117/256"}},
        {"Control-Alt-K", key(40, Qt::Key_K, Flag::control | Flag::option), swallow, {"accept 40/6144"}},
        {"a key without a code", {Type::keyDown, Flag::control, std::nullopt, Qt::Key_K, {}}, swallow, {"beep"}},
        {"release inside", click(Type::leftMouseUp, QPointF(50, 10)), swallow, {}},
        {"release within 3", click(Type::rightMouseUp, QPointF(-3, 23)), swallow, {}},
        {"release farther out", click(Type::leftMouseUp, QPointF(-3.5, 10)), passOn, {"blur"}},
        {"release in another window", click(Type::leftMouseUp, std::nullopt), passOn, {"blur"}},
        {"other events", {Type::other, 0, 40, 0, {}}, swallow, {}},
    };
    for (const Case& c : cases) {
        FakeField field;
        EXPECT_EQ(handleRecorderEvent(c.event, field), c.disposition) << c.what;
        EXPECT_EQ(field.log, c.log) << c.what;
    }
    FakeField windowless;
    windowless.window = false;
    handleRecorderEvent(key(53, Qt::Key_Escape), windowless);
    EXPECT_TRUE(windowless.log.isEmpty());
}

TEST(RecorderChecks, MenuItemsOfTheNameBeingRecordedAreExemptInNameModeOnly) {
    const QList<MenuNode> menu{{QStringLiteral("Open"), QStringLiteral("p"), Flag::option | Flag::command, {}, {}},
                               {QStringLiteral("<b>x</b>"), QStringLiteral("k"), Flag::control, {}, {}}};
    QList<MenuNode> bound = menu;
    bound[0].boundName = QStringLiteral("openMainWindow");

    FakeField named;
    named.menu = bound;
    named.before = optionCommandP;
    handleRecorderEvent(key(35, Qt::Key_P, Flag::option | Flag::command), named);
    EXPECT_EQ(named.log, QStringList{"accept 35/2304"});

    FakeField binding;
    binding.mode = RecorderContext::StorageMode::binding;
    binding.menu = bound;
    binding.before = optionCommandP;
    handleRecorderEvent(key(35, Qt::Key_P, Flag::option | Flag::command), binding);
    binding.answer(firstAlertButtonResponse);
    const QString message = localizedText(QStringLiteral("keyboard_shortcut_used_by_menu_item")).arg("Open");
    EXPECT_EQ(binding.log, QStringList({"blur", "alert:" + message, "refocus"}));
    EXPECT_FALSE(binding.stored);

    // A changed name, or another shortcut before recording, is a clash; the title is taken as typed.
    FakeField other;
    other.menu = bound;
    other.before = optionCommandP;
    handleRecorderEvent(key(40, Qt::Key_K, Flag::control), other);
    ASSERT_EQ(other.log.size(), 2);
    EXPECT_TRUE(other.log.at(1).contains(QStringLiteral("<b>x</b>")));

    FakeField allowAll;
    allowAll.menu = menu;
    allowAll.system = {optionCommandP};
    allowAll.policy = ConflictPolicy::allowAll();
    handleRecorderEvent(key(35, Qt::Key_P, Flag::option | Flag::command), allowAll);
    EXPECT_EQ(allowAll.log, QStringList{"accept 35/2304"});
}

TEST(RecorderChecks, AWarningRecordsOnlyOnTheSecondButtonAfterTheAnswer) {
    const QString buttons = "|" + localizedText("ok") + "|" + localizedText("force_use_shortcut");
    const QString info = used + buttons;
    for (int response : {firstAlertButtonResponse, secondAlertButtonResponse, 1002}) {
        FakeField field;
        field.system = {optionCommandP};
        EXPECT_EQ(handleRecorderEvent(key(35, Qt::Key_P, Flag::option | Flag::command), field),
                  RecorderDisposition::swallow);
        // Nothing after the alert happens before the answer.
        EXPECT_EQ(field.log, QStringList({"blur", "alert:" + info}));
        field.answer(response);
        QStringList expected{"blur", "alert:" + info, "refocus"};
        if (response == secondAlertButtonResponse)
            expected << "accept 35/2304";
        EXPECT_EQ(field.log, expected) << response;
    }
    // Block: the alert's single button, never recorded.
    FakeField blocked;
    blocked.system = {optionCommandP};
    blocked.policy.systemShortcut = ConflictBehavior::block;
    handleRecorderEvent(key(35, Qt::Key_P, Flag::option | Flag::command), blocked);
    blocked.answer(firstAlertButtonResponse);
    EXPECT_EQ(blocked.log, QStringList({"blur", "alert:" + used, "refocus"}));

    // Insisting on the system's shortcut still meets the validation.
    FakeField validated;
    validated.system = {optionCommandP};
    validated.validate = [](const Shortcut&) { return std::optional<QString>(QStringLiteral("Taken by <i>me</i>")); };
    handleRecorderEvent(key(35, Qt::Key_P, Flag::option | Flag::command), validated);
    validated.answer(secondAlertButtonResponse);
    EXPECT_EQ(validated.log.mid(3), QStringList({"blur", "alert:Taken by <i>me</i>"}));
    validated.answer(firstAlertButtonResponse);
    EXPECT_EQ(validated.log.last(), "refocus");
    EXPECT_FALSE(validated.stored);
}

TEST(RecorderChecks, ThePlatformRestrictionAppliesOnlyWhereItExists) {
    struct Case {
        std::optional<OperatingSystemVersion> version;
        bool sandboxed;
        ModifierFlags flags;
        ConflictBehavior disallowed;
        bool refused;
    };
    const ModifierFlags option = Flag::option;
    const Case cases[] = {
        {OperatingSystemVersion{15, 0, 0}, true, option, ConflictBehavior::block, true},
        {OperatingSystemVersion{15, 1, 3}, true, option | Flag::shift, ConflictBehavior::warn, true},
        {OperatingSystemVersion{15, 1, 0}, true, option, ConflictBehavior::allow, false},
        {OperatingSystemVersion{15, 2, 0}, true, option, ConflictBehavior::block, false},
        {OperatingSystemVersion{15, 0, 0}, false, option, ConflictBehavior::block, false},
        {OperatingSystemVersion{15, 0, 0}, true, option | Flag::control, ConflictBehavior::block, false},
        {std::nullopt, true, option, ConflictBehavior::block, false},
    };
    for (const Case& c : cases) {
        FakeField field;
        field.version = c.version;
        field.sandboxed = c.sandboxed;
        field.policy.disallowed = c.disallowed;
        handleRecorderEvent(key(40, Qt::Key_K, c.flags), field);
        if (c.refused) {
            EXPECT_EQ(field.log, QStringList({"blur", "alert:" + disallowed}));
            field.answer(firstAlertButtonResponse);
            EXPECT_FALSE(field.stored);
        } else {
            EXPECT_TRUE(field.stored);
        }
    }
}

TEST(RecorderChecks, AnAnswerForAFieldWithoutAWindowDoesNotRefocus) {
    FakeField field;
    field.validate = [](const Shortcut&) { return std::optional<QString>(QStringLiteral("no")); };
    handleRecorderEvent(key(96, Qt::Key_F5), field);
    field.window = false;
    field.answer(firstAlertButtonResponse);
    EXPECT_EQ(field.log, QStringList({"blur", "alert:no"}));
    EXPECT_FALSE(field.stored);
}
