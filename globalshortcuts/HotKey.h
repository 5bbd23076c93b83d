#pragma once

#include <QtGlobal>
#include <functional>

namespace globalshortcuts {

class HotKeyCenter;

// One combination registered with the desktop and the actions of its press and release. Lives exactly as long as
// its owner holds it; releasing it takes it off the desktop and out of the center.
class HotKey {
public:
    using Action = std::function<void()>;
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    qint64 carbonKeyCode;
    qint64 carbonModifiers;
    Action onKeyDown;
    Action onKeyUp;
    Action onRegistrationFailed;
    const qint64 id;
    bool isRegistered = false;

private:
    friend class HotKeyCenter;
    HotKey(HotKeyCenter* center, qint64 id, qint64 code, qint64 modifiers, Action down, Action up);
    HotKeyCenter* m_center;
};

} // namespace globalshortcuts
