#pragma once

#include "globalshortcuts/ConflictPolicy.h"
#include "globalshortcuts/MenuNode.h"
#include "globalshortcuts/Modifiers.h"
#include "globalshortcuts/Name.h"
#include "globalshortcuts/Shortcut.h"

#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <functional>
#include <optional>

namespace globalshortcuts {

// One event a recording field sees, in plain values: the type, the modifier flags, the Carbon code of the key,
// the Qt key (which tells the special keys: Tab, Backspace, Delete, F1-F35) and, for a click, where it was
// released in the field's coordinates (none: in another window).
struct RecorderEvent {
    enum class Type { keyDown, keyUp, leftMouseUp, rightMouseUp, other };
    Type type = Type::other;
    ModifierFlags flags = 0;
    std::optional<qint64> carbonKeyCode;
    int key = 0; // Qt::Key
    std::optional<QPointF> position;
};

// What the event handler decides about the event itself.
enum class RecorderDisposition { passOn, swallow };

// A creator's own test of a recorded shortcut: none allows it, a text is the reason it is refused.
using ShortcutValidation = std::function<std::optional<QString>(const Shortcut&)>;

struct OperatingSystemVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
};

// The alert a check raises: responses are 1000 + the index of the chosen button (no buttons: one "ok", 1000).
struct RecorderAlert {
    QString message;
    std::optional<QString> informativeText;
    QStringList buttons;
};

// The recording field as the checks see it: its state, the desktop's facts, and the effects the checks have.
class RecorderContext {
public:
    enum class StorageMode { name, binding };

    virtual ~RecorderContext() = default;

    virtual StorageMode storageMode() const = 0;
    virtual Name shortcutName() const = 0;
    virtual std::optional<Shortcut> shortcutBeforeRecording() const = 0;
    virtual ConflictPolicy conflictPolicy() const = 0;
    virtual ShortcutValidation validation() const = 0;
    virtual QRectF bounds() const = 0;
    virtual bool hasWindow() const = 0;

    virtual std::optional<QList<MenuNode>> mainMenu() const = 0;
    virtual const KeyboardLayout& keyboardLayout() const = 0;
    virtual bool isUsedBySystem(const Shortcut& shortcut) const = 0;
    // None where the desktop has no such notion (Linux): the platform restriction then never applies.
    virtual std::optional<OperatingSystemVersion> operatingSystemVersion() const = 0;
    virtual bool isSandboxed() const = 0;

    // Ends the recording (the field gives up the focus).
    virtual void blur() = 0;
    // The clear button's click: clears the stored value and records again.
    virtual void clickClearButton() = 0;
    virtual void beep() = 0;
    // Shows the alert and answers later, never from inside this call's caller's event. The answer is dropped
    // when the field is gone.
    virtual void showAlert(const RecorderAlert& alert, std::function<void(int response)> answer) = 0;
    // Gives the field the focus again, which starts a new recording.
    virtual void refocus() = 0;
    // Shows the shortcut with the clear button and stores it (under the name, or in the field in binding mode),
    // then reports the change.
    virtual void accept(const Shortcut& shortcut) = 0;
};

inline constexpr int firstAlertButtonResponse = 1000;
inline constexpr int secondAlertButtonResponse = 1001;
inline constexpr qreal recorderClickMargin = 3;

// The event handler of a recording field: whether the event ends the recording, clears the shortcut, is refused
// with a beep, or forms a shortcut that goes through the checks (main menu, platform restriction, system,
// validation) and is accepted. An alert ends the recording; its answer arrives later, refocuses the field and
// only then lets the remaining checks run.
RecorderDisposition handleRecorderEvent(const RecorderEvent& event, RecorderContext& context);

// The shortcut an event forms: key presses and releases only, never with the function bit.
std::optional<Shortcut> shortcutFromRecorderEvent(const RecorderEvent& event);

// True when the process runs in an application sandbox (the environment names its container).
bool isSandboxedProcess();

} // namespace globalshortcuts
