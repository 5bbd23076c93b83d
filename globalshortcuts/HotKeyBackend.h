#pragma once

#include "globalshortcuts/KeyboardLayout.h"

#include <QList>
#include <functional>
#include <optional>
#include <utility>

namespace globalshortcuts {

enum class EventType { keyDown, keyUp };

// The desktop's system-wide hot keys. Identifiers are the center's hot-key ids; a registration either holds the
// combination completely or not at all.
class HotKeyBackend {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void hotKeyEvent(qint64 id, EventType type) = 0;
        // The keyboard mapping changed: every registration must be made again.
        virtual void keymapChanged() = 0;
    };
    virtual ~HotKeyBackend() = default;
    virtual void setSink(Sink* sink) = 0;
    // False when the combination cannot be held: refused by the desktop, no key for the code, values outside
    // 0...2^32-1, the function bit, or no display.
    virtual bool registerHotKey(qint64 id, qint64 carbonKeyCode, qint64 carbonModifiers) = 0;
    virtual void unregisterHotKey(qint64 id) = 0;
    // The Carbon code of a native key (the X keycode Qt reports as the scan code).
    virtual std::optional<qint64> carbonKeyCodeForNative(quint32 nativeScanCode) const = 0;
    virtual void beep() = 0;
    // While a recorder records, a grabbed combination goes on to the focused window as an ordinary key press, so
    // that it can be recorded (again); the hot key itself stays held.
    virtual void setForwardsGrabbedKeys(bool /*forward*/) {}
};

// The combinations the desktop reserves for itself.
class SystemHotKeyProvider {
public:
    virtual ~SystemHotKeyProvider() = default;
    // The desktop's published list as (key code, Carbon modifiers); empty where there is none.
    virtual QList<std::pair<qint64, qint64>> copySystemHotKeys() const = 0;
    // Whether another client holds the combination now (never asked about a combination we hold ourselves).
    virtual bool isHeldElsewhere(qint64 carbonKeyCode, qint64 carbonModifiers) const = 0;
};

struct KeyRepeat {
    int delayMs = 660;
    int intervalMs = 40;
};

class KeyRepeatSettings {
public:
    virtual ~KeyRepeatSettings() = default;
    virtual KeyRepeat keyRepeat() const = 0;
};

// Single-shot timers on the main thread.
class TimerSource {
public:
    virtual ~TimerSource() = default;
    virtual quint64 start(int milliseconds, std::function<void()> action) = 0;
    virtual void cancel(quint64 timer) = 0;
};

} // namespace globalshortcuts
