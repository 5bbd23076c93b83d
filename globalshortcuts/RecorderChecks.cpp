#include "globalshortcuts/RecorderChecks.h"

#include "globalshortcuts/Texts.h"

#include <QtGlobal>

namespace globalshortcuts {

namespace {

constexpr ModifierFlags anyModifierMask = 0xFFDE0000;    // device-independent bits without caps lock, keypad
constexpr ModifierFlags strongModifierMask = 0xFF5C0000; // the same without shift and function
constexpr ModifierFlags restrictedModifierMask = 0x9D0000;
constexpr qint64 escapeKeyCode = 53;

enum class Stage { menu, restriction, system, validation, accept };

void runChecks(const Shortcut& shortcut, RecorderContext& context, Stage stage);

// Blur, alert, and once answered: refocus (a new recording), then whatever follows the answer.
void presentAlert(RecorderContext& context, const RecorderAlert& alert, std::function<void(int)> then) {
    context.blur();
    context.showAlert(alert, [&context, then = std::move(then)](int response) {
        if (context.hasWindow())
            context.refocus();
        then(response);
    });
}

// Accepted: `next` runs (now, or after the alert's answer). Refused: nothing more happens.
void handleConflict(RecorderContext& context, ConflictBehavior behaviour, const QString& message,
                    const std::optional<QString>& informativeText, std::function<void()> next) {
    switch (behaviour) {
    case ConflictBehavior::block:
        presentAlert(context, {message, informativeText, {}}, [](int) {});
        return;
    case ConflictBehavior::warn:
        presentAlert(context,
                     {message,
                      informativeText,
                      {localizedText(QStringLiteral("ok")), localizedText(QStringLiteral("force_use_shortcut"))}},
                     [next = std::move(next)](int response) {
                         if (response == secondAlertButtonResponse)
                             next();
                     });
        return;
    case ConflictBehavior::allow:
        next();
        return;
    }
}

std::optional<QString> conflictingMenuItem(const Shortcut& shortcut, const RecorderContext& context) {
    const auto menu = context.mainMenu();
    if (!menu)
        return std::nullopt;
    for (const MenuNode* item : shortcut.findMenuItems(*menu, context.keyboardLayout())) {
        const bool exempt = context.storageMode() == RecorderContext::StorageMode::name &&
                            context.shortcutBeforeRecording() == shortcut && item->boundName &&
                            *item->boundName == context.shortcutName().rawValue();
        if (!exempt)
            return item->title;
    }
    return std::nullopt;
}

bool isRestricted(const Shortcut& shortcut, const RecorderContext& context) {
    const auto version = context.operatingSystemVersion();
    if (!version || version->major != 15 || version->minor > 1 || !context.isSandboxed())
        return false;
    return (modifierFlagsFromCarbon(shortcut.carbonModifiers) & restrictedModifierMask) == Flag::option;
}

void runChecks(const Shortcut& shortcut, RecorderContext& context, Stage stage) {
    const auto next = [&context, shortcut](Stage following) {
        return [&context, shortcut, following] { runChecks(shortcut, context, following); };
    };
    switch (stage) {
    case Stage::menu:
        if (const auto title = conflictingMenuItem(shortcut, context)) {
            const QString message = localizedText(QStringLiteral("keyboard_shortcut_used_by_menu_item")).arg(*title);
            handleConflict(context, context.conflictPolicy().menuItem, message, std::nullopt, next(Stage::restriction));
            return;
        }
        [[fallthrough]];
    case Stage::restriction:
        if (isRestricted(shortcut, context) && context.conflictPolicy().disallowed != ConflictBehavior::allow) {
            // No insisting here: warn acts as block.
            presentAlert(context, {localizedText(QStringLiteral("keyboard_shortcut_disallowed")), std::nullopt, {}},
                         [](int) {});
            return;
        }
        [[fallthrough]];
    case Stage::system:
        if (context.isUsedBySystem(shortcut)) {
            handleConflict(context, context.conflictPolicy().systemShortcut,
                           localizedText(QStringLiteral("keyboard_shortcut_used_by_system")),
                           localizedText(QStringLiteral("keyboard_shortcuts_can_be_changed")), next(Stage::validation));
            return;
        }
        [[fallthrough]];
    case Stage::validation:
        if (const auto validation = context.validation()) {
            if (const auto reason = validation(shortcut)) {
                presentAlert(context, {*reason, std::nullopt, {}}, [](int) {});
                return;
            }
        }
        [[fallthrough]];
    case Stage::accept:
        context.accept(shortcut);
        return;
    }
}

} // namespace

std::optional<Shortcut> shortcutFromRecorderEvent(const RecorderEvent& event) {
    if ((event.type != RecorderEvent::Type::keyDown && event.type != RecorderEvent::Type::keyUp) ||
        !event.carbonKeyCode)
        return std::nullopt;
    return Shortcut::fromCarbon(*event.carbonKeyCode & 0xFFFF, carbonModifiersFromFlags(event.flags & ~Flag::function));
}

RecorderDisposition handleRecorderEvent(const RecorderEvent& event, RecorderContext& context) {
    using Type = RecorderEvent::Type;
    const bool isClick = event.type == Type::leftMouseUp || event.type == Type::rightMouseUp;
    if (isClick) {
        const QRectF area = context.bounds().adjusted(-recorderClickMargin, -recorderClickMargin, recorderClickMargin,
                                                      recorderClickMargin);
        if (!event.position || !area.contains(*event.position)) {
            context.blur();
            return RecorderDisposition::passOn;
        }
    }
    if (event.type != Type::keyDown && event.type != Type::keyUp)
        return RecorderDisposition::swallow;

    if (!(event.flags & anyModifierMask)) {
        if (event.key == Qt::Key_Tab) {
            context.blur();
            return RecorderDisposition::passOn;
        }
        if (event.key == Qt::Key_Backspace || event.key == Qt::Key_Delete) {
            context.clickClearButton();
            return RecorderDisposition::swallow;
        }
        if (event.carbonKeyCode == escapeKeyCode) {
            if (context.hasWindow())
                context.blur();
            return RecorderDisposition::swallow;
        }
    }
    if (!(event.flags & strongModifierMask) && !isFunctionKey(Qt::Key(event.key))) {
        context.beep();
        return RecorderDisposition::swallow;
    }
    const auto shortcut = shortcutFromRecorderEvent(event);
    if (!shortcut) {
        context.beep();
        return RecorderDisposition::swallow;
    }
    runChecks(*shortcut, context, Stage::menu);
    return RecorderDisposition::swallow;
}

bool isSandboxedProcess() {
    static const bool sandboxed = qEnvironmentVariableIsSet("APP_SANDBOX_CONTAINER_ID");
    return sandboxed;
}

} // namespace globalshortcuts
