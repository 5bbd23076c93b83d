#include "globalshortcuts/HotKeyCenter.h"

#include "globalshortcuts/LocalEventMonitor.h"
#include "globalshortcuts/Modifiers.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace globalshortcuts {

namespace {
qint64 reduced(qint64 carbonModifiers) {
    return carbonModifiersFromFlags(modifierFlagsFromCarbon(carbonModifiers));
}
} // namespace

HotKeyCenter::HotKeyCenter(HotKeyBackend& backend, QObject* parent) : QObject(parent), m_backend(&backend) {
    m_backend->setSink(this);
    m_popupWatcher = new LocalEventMonitor(
        {QEvent::Show, QEvent::Hide}, [this](QObject* receiver, QEvent* event) { return watchPopups(receiver, event); },
        this);
    m_popupWatcher->start();
    m_keyEventMonitor = new LocalEventMonitor(
        {QEvent::KeyPress, QEvent::KeyRelease},
        [this](QObject* receiver, QEvent* event) { return filterKeyEvent(receiver, event); }, this);
}

HotKeyCenter::~HotKeyCenter() {
    m_backend->setSink(nullptr);
    // Hot keys that outlive the center must not call back into it.
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->isRegistered)
            m_backend->unregisterHotKey(hotKey->id);
        hotKey->isRegistered = false;
        hotKey->m_center = nullptr;
    }
}

void HotKeyCenter::setBackend(HotKeyBackend& backend) {
    if (&backend == m_backend)
        return;
    unregisterAll();
    m_backend->setSink(nullptr);
    m_backend = &backend;
    m_backend->setSink(this);
    applyMode();
}

std::shared_ptr<HotKey> HotKeyCenter::makeHotKey(qint64 carbonKeyCode, qint64 carbonModifiers, HotKey::Action onKeyDown,
                                                 HotKey::Action onKeyUp) {
    ++m_lastHotKeyId;
    return std::shared_ptr<HotKey>(
        new HotKey(this, m_lastHotKeyId, carbonKeyCode, carbonModifiers, std::move(onKeyDown), std::move(onKeyUp)));
}

bool HotKeyCenter::registerHotKey(const std::shared_ptr<HotKey>& hotKey) {
    if (!m_backend->registerHotKey(hotKey->id, hotKey->carbonKeyCode, hotKey->carbonModifiers))
        return false;
    hotKey->isRegistered = true;
    m_hotKeys.insert(hotKey->id, hotKey);
    applyMode();
    return true;
}

void HotKeyCenter::setEnabled(bool enabled) {
    if (enabled == m_isEnabled)
        return;
    m_isEnabled = enabled;
    recomputeMode();
}

void HotKeyCenter::setMenuOpen(bool open) {
    if (open == m_isMenuOpen)
        return;
    m_isMenuOpen = open;
    recomputeMode();
}

int HotKeyCenter::liveHotKeyCount() const {
    return int(liveHotKeys().size());
}

bool HotKeyCenter::holds(qint64 carbonKeyCode, qint64 carbonModifiers) const {
    for (const auto& hotKey : liveHotKeys())
        if (hotKey->isRegistered && hotKey->carbonKeyCode == carbonKeyCode &&
            reduced(hotKey->carbonModifiers) == reduced(carbonModifiers))
            return true;
    return false;
}

void HotKeyCenter::recomputeMode() {
    const Mode mode = !m_isEnabled ? Mode::disabled : m_isMenuOpen ? Mode::menuOpen : Mode::normal;
    if (mode == m_mode)
        return;
    m_mode = mode;
    applyMode();
}

void HotKeyCenter::applyMode() {
    if (m_mode == Mode::normal)
        registerAll();
    else
        unregisterAll();
    const bool raw = m_mode == Mode::menuOpen;
    if (raw != m_rawKeyHandling) {
        m_rawKeyHandling = raw;
        if (raw)
            m_keyEventMonitor->start();
        else
            m_keyEventMonitor->stop();
    }
}

QList<std::shared_ptr<HotKey>> HotKeyCenter::liveHotKeys() const {
    QList<std::shared_ptr<HotKey>> live;
    for (const auto& weak : m_hotKeys)
        if (auto hotKey = weak.lock())
            live.append(hotKey);
    return live;
}

void HotKeyCenter::registerAll() {
    // A snapshot: a failure action may release other hot keys.
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->isRegistered || !m_hotKeys.contains(hotKey->id))
            continue;
        if (m_backend->registerHotKey(hotKey->id, hotKey->carbonKeyCode, hotKey->carbonModifiers)) {
            hotKey->isRegistered = true;
            continue;
        }
        m_hotKeys.remove(hotKey->id);
        if (hotKey->onRegistrationFailed) {
            const HotKey::Action failed = hotKey->onRegistrationFailed;
            failed();
        }
    }
}

void HotKeyCenter::unregisterAll() {
    for (const auto& hotKey : liveHotKeys()) {
        if (!hotKey->isRegistered)
            continue;
        m_backend->unregisterHotKey(hotKey->id);
        hotKey->isRegistered = false;
    }
}

void HotKeyCenter::release(HotKey& hotKey) {
    if (hotKey.isRegistered)
        m_backend->unregisterHotKey(hotKey.id);
    hotKey.isRegistered = false;
    m_hotKeys.remove(hotKey.id);
}

void HotKeyCenter::hotKeyEvent(qint64 id, EventType type) {
    const auto it = m_hotKeys.constFind(id);
    if (it == m_hotKeys.constEnd())
        return;
    // Held for the call: an action may drop the last other reference.
    const std::shared_ptr<HotKey> hotKey = it->lock();
    if (!hotKey)
        return;
    const HotKey::Action action = type == EventType::keyDown ? hotKey->onKeyDown : hotKey->onKeyUp;
    if (action)
        action();
}

void HotKeyCenter::keymapChanged() {
    // Grabs are per keycode: after a new mapping every combination is grabbed afresh; those that no longer map or
    // are held by someone else leave as failed registrations.
    if (m_mode != Mode::normal)
        return;
    unregisterAll();
    registerAll();
}

bool HotKeyCenter::matchKey(qint64 carbonKeyCode, qint64 carbonModifiers, bool isRepeat, EventType type) {
    if (type == EventType::keyDown && isRepeat)
        return false;
    const qint64 modifiers = reduced(carbonModifiers);
    for (const auto& hotKey : liveHotKeys()) {
        if (hotKey->carbonKeyCode != carbonKeyCode || reduced(hotKey->carbonModifiers) != modifiers)
            continue;
        const HotKey::Action action = type == EventType::keyDown ? hotKey->onKeyDown : hotKey->onKeyUp;
        if (action)
            action();
        return true;
    }
    return false;
}

QEvent* HotKeyCenter::filterKeyEvent(QObject* receiver, QEvent* event) {
    // Qt hands a window's key event on to its widgets and items: only the window's own copy counts.
    if (!qobject_cast<QWindow*>(receiver))
        return event;
    auto* key = static_cast<QKeyEvent*>(event);
    const auto code = m_backend->carbonKeyCodeForNative(key->nativeScanCode());
    if (!code)
        return event;
    const qint64 modifiers = carbonModifiersFromFlags(flagsFromQtModifiers(key->modifiers()));
    const EventType type = event->type() == QEvent::KeyPress ? EventType::keyDown : EventType::keyUp;
    return matchKey(*code, modifiers, key->isAutoRepeat(), type) ? nullptr : event;
}

QEvent* HotKeyCenter::watchPopups(QObject* receiver, QEvent* event) {
    auto* window = qobject_cast<QWindow*>(receiver);
    if (!window || window->type() != Qt::Popup)
        return event;
    if (event->type() == QEvent::Show) {
        if (!m_openPopups.contains(window)) {
            m_openPopups.insert(window);
            connect(window, &QObject::destroyed, this, [this, window] {
                m_openPopups.remove(window);
                setMenuOpen(!m_openPopups.isEmpty());
            });
        }
    } else if (m_openPopups.remove(window)) {
        disconnect(window, &QObject::destroyed, this, nullptr);
    }
    setMenuOpen(!m_openPopups.isEmpty());
    return event;
}

} // namespace globalshortcuts
