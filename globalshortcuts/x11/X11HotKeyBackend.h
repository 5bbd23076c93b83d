#pragma once

#include "globalshortcuts/HotKeyBackend.h"
#include "globalshortcuts/x11/XkbKeymap.h"

#include <QHash>
#include <QObject>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;
struct xkb_context;

namespace globalshortcuts {

// Hot keys as passive key grabs on the root window over a connection of its own. A combination is grabbed once
// for each state of Caps Lock and Num Lock, all four or none, through checked requests: a refused grab is an
// answer, never an X error that ends the process. Without a display every registration answers false.
// Under XWayland the grabs fire only while an X client has the focus.
class X11HotKeyBackend final : public QObject,
                               public HotKeyBackend,
                               public KeyboardLayout,
                               public SystemHotKeyProvider,
                               public KeyRepeatSettings {
    Q_OBJECT
public:
    explicit X11HotKeyBackend(QObject* parent = nullptr);
    ~X11HotKeyBackend() override;

    bool isConnected() const { return m_connection != nullptr; }

    void setSink(Sink* sink) override { m_sink = sink; }
    bool registerHotKey(qint64 id, qint64 carbonKeyCode, qint64 carbonModifiers) override;
    void unregisterHotKey(qint64 id) override;
    std::optional<qint64> carbonKeyCodeForNative(quint32 nativeScanCode) const override;
    void beep() override;
    void setForwardsGrabbedKeys(bool forward) override { m_forwardGrabbedKeys = forward; }

    std::optional<QString> character(qint64 carbonKeyCode) const override;

    // X publishes no list of the desktop's shortcuts.
    QList<std::pair<qint64, qint64>> copySystemHotKeys() const override { return {}; }
    // Grabs and at once releases the combination: BadAccess means another client holds it.
    bool isHeldElsewhere(qint64 carbonKeyCode, qint64 carbonModifiers) const override;

    KeyRepeat keyRepeat() const override;

private:
    struct Grab {
        quint32 keycode;
        quint16 modifiers;
    };
    std::optional<Grab> grabFor(qint64 carbonKeyCode, qint64 carbonModifiers) const;
    // 0: grabbed; otherwise the X error code of the first refusal (every grab already made is released).
    int grab(const Grab& grab) const;
    void ungrab(const Grab& grab) const;
    void loadKeymap();
    void readEvents();
    void drainLater() const;
    void handleKey(bool press, quint32 keycode, quint16 state, const void* event);
    // Our grab keeps a registered combination from every window: while a recorder records, the press goes on to
    // the focused window as an ordinary key press.
    void forwardToFocus(const void* keyPress);

    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    qint32 m_deviceId = -1;
    quint8 m_xkbEventBase = 0;
    xkb_context* m_context = nullptr;
    std::unique_ptr<XkbKeymap> m_keymap;
    quint16 m_altMask = 0x08, m_superMask = 0x40, m_numLockMask = 0x10;
    QSocketNotifier* m_notifier = nullptr;
    Sink* m_sink = nullptr;
    QHash<qint64, Grab> m_grabs;
    QHash<quint32, qint64> m_pressed; // keycode → id of the hot key it pressed
    bool m_keymapChangePending = false;
    bool m_forwardGrabbedKeys = false;
};

} // namespace globalshortcuts
