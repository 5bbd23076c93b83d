#include "globalshortcuts/x11/X11HotKeyBackend.h"

#include "globalshortcuts/Modifiers.h"

#include <QSocketNotifier>
#include <QTimer>
#include <xcb/xcb.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>

namespace globalshortcuts {

namespace {
constexpr quint8 badAccess = 10;
constexpr qint64 maxUnsigned32 = 0xFFFFFFFFll;
} // namespace

X11HotKeyBackend::X11HotKeyBackend(QObject* parent) : QObject(parent) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    quint8 eventBase = 0;
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase, nullptr)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_xkbEventBase = eventBase;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;
    m_deviceId = xkb_x11_get_core_keyboard_device_id(connection);
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);

    // A held key repeats as presses without releases, so a press of a key already down is a repeat.
    const quint32 detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    free(xcb_xkb_per_client_flags_reply(
        connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, detectable, detectable, 0, 0, 0),
        nullptr));
    const quint16 events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    const quint16 mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
    xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts, nullptr);
    loadKeymap();
    xcb_flush(connection);
    drainLater();

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotKeyBackend::readEvents);
}

X11HotKeyBackend::~X11HotKeyBackend() {
    if (m_context)
        xkb_context_unref(m_context);
    m_keymap.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11HotKeyBackend::loadKeymap() {
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return;
    m_keymap = std::make_unique<XkbKeymap>(keymap);
    // Which real modifiers Alt, Super and Num Lock are: the keys in each slot of the modifier map.
    xcb_get_modifier_mapping_reply_t* map =
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr);
    if (!map)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map);
    quint16 alt = 0, super = 0, numLock = 0;
    for (int modifier = 3; modifier < 8; ++modifier) {
        for (int i = 0; i < map->keycodes_per_modifier; ++i) {
            const xcb_keycode_t code = codes[modifier * map->keycodes_per_modifier + i];
            if (!code)
                continue;
            const quint16 mask = quint16(1u << modifier);
            if (m_keymap->keycodeHasKeysym(code, XKB_KEY_Alt_L) || m_keymap->keycodeHasKeysym(code, XKB_KEY_Alt_R))
                alt |= mask;
            if (m_keymap->keycodeHasKeysym(code, XKB_KEY_Super_L) || m_keymap->keycodeHasKeysym(code, XKB_KEY_Super_R))
                super |= mask;
            if (m_keymap->keycodeHasKeysym(code, XKB_KEY_Num_Lock))
                numLock |= mask;
        }
    }
    free(map);
    if (alt)
        m_altMask = alt & quint16(-alt); // the lowest one
    if (super)
        m_superMask = super & quint16(-super);
    if (numLock)
        m_numLockMask = numLock & quint16(-numLock);
}

std::optional<X11HotKeyBackend::Grab> X11HotKeyBackend::grabFor(qint64 carbonKeyCode, qint64 carbonModifiers) const {
    if (!m_connection || !m_keymap || carbonKeyCode < 0 || carbonKeyCode > maxUnsigned32 || carbonModifiers < 0 ||
        carbonModifiers > maxUnsigned32 || (carbonModifiers & Carbon::function))
        return std::nullopt;
    const auto keycode = m_keymap->keycode(carbonKeyCode);
    if (!keycode || *keycode > 255)
        return std::nullopt;
    quint16 modifiers = 0;
    if (carbonModifiers & Carbon::shift)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (carbonModifiers & Carbon::control)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (carbonModifiers & Carbon::option)
        modifiers |= m_altMask;
    if (carbonModifiers & Carbon::command)
        modifiers |= m_superMask;
    return Grab{*keycode, modifiers};
}

int X11HotKeyBackend::grab(const Grab& grab) const {
    const quint16 locks[] = {0, XCB_MOD_MASK_LOCK, m_numLockMask, quint16(XCB_MOD_MASK_LOCK | m_numLockMask)};
    xcb_void_cookie_t cookies[4];
    for (int i = 0; i < 4; ++i)
        cookies[i] = xcb_grab_key_checked(m_connection, 1, m_root, grab.modifiers | locks[i],
                                          xcb_keycode_t(grab.keycode), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    int refusal = 0;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            if (!refusal)
                refusal = error->error_code;
            free(error);
        }
    }
    if (refusal)
        ungrab(grab);
    drainLater();
    return refusal;
}

void X11HotKeyBackend::ungrab(const Grab& grab) const {
    const quint16 locks[] = {0, XCB_MOD_MASK_LOCK, m_numLockMask, quint16(XCB_MOD_MASK_LOCK | m_numLockMask)};
    for (quint16 lock : locks)
        xcb_ungrab_key(m_connection, xcb_keycode_t(grab.keycode), m_root, grab.modifiers | lock);
    xcb_flush(m_connection);
}

bool X11HotKeyBackend::registerHotKey(qint64 id, qint64 carbonKeyCode, qint64 carbonModifiers) {
    const auto wanted = grabFor(carbonKeyCode, carbonModifiers);
    if (!wanted || grab(*wanted) != 0)
        return false;
    m_grabs.insert(id, *wanted);
    return true;
}

void X11HotKeyBackend::unregisterHotKey(qint64 id) {
    const auto it = m_grabs.constFind(id);
    if (it == m_grabs.constEnd())
        return;
    const Grab released = *it;
    m_grabs.erase(it);
    for (auto pressed = m_pressed.begin(); pressed != m_pressed.end();)
        pressed = pressed.value() == id ? m_pressed.erase(pressed) : std::next(pressed);
    // Another hot key of ours on the same grab keeps it.
    for (const Grab& other : std::as_const(m_grabs))
        if (other.keycode == released.keycode && other.modifiers == released.modifiers)
            return;
    ungrab(released);
}

bool X11HotKeyBackend::isHeldElsewhere(qint64 carbonKeyCode, qint64 carbonModifiers) const {
    const auto probe = grabFor(carbonKeyCode, carbonModifiers);
    if (!probe)
        return false;
    for (const Grab& ours : m_grabs)
        if (ours.keycode == probe->keycode && ours.modifiers == probe->modifiers)
            return false;
    const int refusal = grab(*probe);
    if (refusal == 0)
        ungrab(*probe);
    return refusal == badAccess;
}

std::optional<qint64> X11HotKeyBackend::carbonKeyCodeForNative(quint32 nativeScanCode) const {
    return m_keymap ? m_keymap->carbonKeyCode(nativeScanCode) : std::nullopt;
}

void X11HotKeyBackend::beep() {
    if (!m_connection)
        return;
    xcb_bell(m_connection, 0);
    xcb_flush(m_connection);
}

std::optional<QString> X11HotKeyBackend::character(qint64 carbonKeyCode) const {
    if (!m_keymap)
        return std::nullopt;
    quint32 group = 0;
    if (auto* state =
            xcb_xkb_get_state_reply(m_connection, xcb_xkb_get_state(m_connection, XCB_XKB_ID_USE_CORE_KBD), nullptr)) {
        group = state->group;
        free(state);
    }
    drainLater();
    return m_keymap->character(carbonKeyCode, group);
}

KeyRepeat X11HotKeyBackend::keyRepeat() const {
    KeyRepeat repeat;
    if (!m_connection)
        return repeat;
    if (auto* controls = xcb_xkb_get_controls_reply(
            m_connection, xcb_xkb_get_controls(m_connection, XCB_XKB_ID_USE_CORE_KBD), nullptr)) {
        if (controls->repeatDelay > 0 && controls->repeatInterval > 0) {
            repeat.delayMs = controls->repeatDelay;
            repeat.intervalMs = controls->repeatInterval;
        }
        free(controls);
    }
    drainLater();
    return repeat;
}

void X11HotKeyBackend::drainLater() const {
    // Events that arrived while waiting for a reply sit in xcb's queue, where the socket notifier never sees them.
    QMetaObject::invokeMethod(const_cast<X11HotKeyBackend*>(this), &X11HotKeyBackend::readEvents, Qt::QueuedConnection);
}

void X11HotKeyBackend::readEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const quint8 type = event->response_type & 0x7F;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
            handleKey(type == XCB_KEY_PRESS, key->detail, key->state, key);
        } else if (type == m_xkbEventBase && !m_keymapChangePending) {
            // Keymap notifications come in bursts: one reload after the burst.
            m_keymapChangePending = true;
            QTimer::singleShot(0, this, [this] {
                m_keymapChangePending = false;
                loadKeymap();
                if (m_sink)
                    m_sink->keymapChanged();
            });
        }
        free(event);
    }
    if (xcb_connection_has_error(m_connection))
        m_notifier->setEnabled(false);
}

void X11HotKeyBackend::forwardToFocus(const void* keyPress) {
    xcb_get_input_focus_reply_t* focus =
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
    if (!focus)
        return;
    const xcb_window_t window = focus->focus;
    free(focus);
    if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT)
        return;
    xcb_key_press_event_t event = *static_cast<const xcb_key_press_event_t*>(keyPress);
    event.response_type = XCB_KEY_PRESS;
    event.event = window;
    event.child = XCB_NONE;
    event.same_screen = 1;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_KEY_PRESS, reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
    drainLater();
}

void X11HotKeyBackend::handleKey(bool press, quint32 keycode, quint16 state, const void* event) {
    if (!press) {
        // A release ends the press of its key, whatever modifiers were let go first.
        if (auto it = m_pressed.find(keycode); it != m_pressed.end()) {
            const qint64 id = *it;
            m_pressed.erase(it);
            if (m_sink)
                m_sink->hotKeyEvent(id, EventType::keyUp);
        }
        return;
    }
    if (m_pressed.contains(keycode))
        return; // auto-repeat
    const quint16 modifiers = state & ~(XCB_MOD_MASK_LOCK | m_numLockMask) & 0xFF;
    for (auto it = m_grabs.constBegin(); it != m_grabs.constEnd(); ++it) {
        if (it->keycode == keycode && it->modifiers == modifiers) {
            if (m_forwardGrabbedKeys)
                forwardToFocus(event);
            m_pressed.insert(keycode, it.key());
            if (m_sink)
                m_sink->hotKeyEvent(it.key(), EventType::keyDown);
            return;
        }
    }
}

} // namespace globalshortcuts
