#include "globalshortcuts/Registry.h"

#include "globalshortcuts/QtTimerSource.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QPointer>

namespace globalshortcuts {

namespace {

const QString keyPrefix = QStringLiteral("GlobalShortcuts_");

// Stand-ins until the application installs its own: nothing can be held, no layout, no published list.
class NoHotKeys final : public HotKeyBackend,
                        public KeyboardLayout,
                        public SystemHotKeyProvider,
                        public KeyRepeatSettings {
public:
    void setSink(Sink*) override {}
    bool registerHotKey(qint64, qint64, qint64) override { return false; }
    void unregisterHotKey(qint64) override {}
    std::optional<qint64> carbonKeyCodeForNative(quint32) const override { return std::nullopt; }
    void beep() override {}
    std::optional<QString> character(qint64) const override { return std::nullopt; }
    QList<std::pair<qint64, qint64>> copySystemHotKeys() const override { return {}; }
    bool isHeldElsewhere(qint64, qint64) const override { return false; }
    KeyRepeat keyRepeat() const override { return {}; }
};

bool isFalse(const std::optional<PreferenceValue>& value) {
    return value && std::holds_alternative<bool>(*value) && !std::get<bool>(*value);
}

} // namespace

struct Registry::Defaults {
    MemoryPreferences preferences;
    NoHotKeys none;
    QtTimerSource timers;
};

Registry::Registry(QObject* parent) : Registry(Services(), parent) {}

Registry::Registry(const Services& services, QObject* parent) : QObject(parent), m_defaults(new Defaults) {
    m_services = {&m_defaults->preferences, &m_defaults->none, &m_defaults->none,
                  &m_defaults->none,        &m_defaults->none, &m_defaults->timers};
    install(services);
}

Registry::~Registry() {
    // Hot keys leave the desktop through the center, which must go before the stand-in services.
    m_registeredHotKeys.clear();
    delete m_center;
    m_center = nullptr;
}

Registry& Registry::instance() {
    static Registry* registry = new Registry();
    return *registry;
}

void Registry::install(const Services& services) {
    if (services.preferences)
        m_services.preferences = services.preferences;
    if (services.layout)
        m_services.layout = services.layout;
    if (services.systemHotKeys)
        m_services.systemHotKeys = services.systemHotKeys;
    if (services.repeat)
        m_services.repeat = services.repeat;
    if (services.timers)
        m_services.timers = services.timers;
    if (services.backend && services.backend != m_services.backend) {
        m_services.backend = services.backend;
        m_services.backend->setForwardsGrabbedKeys(m_recorderActive);
        if (m_center)
            m_center->setBackend(*services.backend);
    }
}

void Registry::restoreStandIns() {
    install({&m_defaults->preferences, &m_defaults->none, &m_defaults->none, &m_defaults->none, &m_defaults->none,
             &m_defaults->timers});
}

HotKeyCenter& Registry::center() {
    if (!m_center) {
        m_center = new HotKeyCenter(*m_services.backend, this);
        m_center->setEnabled(m_isEnabled);
    }
    return *m_center;
}

QString Registry::storageKey(const Name& name) {
    return keyPrefix + name.rawValue();
}

Name Registry::makeName(const QString& rawValue, std::optional<Shortcut> initialShortcut) {
    const Name name = Name::withInitialShortcut(rawValue, initialShortcut);
    if (initialShortcut && !m_services.preferences->value(storageKey(name)))
        m_services.preferences->setValue(storageKey(name), QString::fromUtf8(initialShortcut->toJson()));
    QMetaObject::invokeMethod(
        this, [this] { center(); }, Qt::QueuedConnection);
    return name;
}

// Storage

std::optional<PreferenceValue> Registry::storedValue(const Name& name) const {
    return m_services.preferences->value(storageKey(name));
}

std::optional<Shortcut> Registry::getShortcut(const Name& name) const {
    const auto value = storedValue(name);
    if (!value || !std::holds_alternative<QString>(*value))
        return std::nullopt;
    return Shortcut::fromJson(std::get<QString>(*value));
}

void Registry::setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (shortcut)
        storeShortcut(*shortcut, name);
    else if (name.initialShortcut())
        disableName(name);
    else
        resetName(name);
}

void Registry::storeShortcut(const Shortcut& shortcut, const Name& name) {
    write(name, Write::store, shortcut);
}

void Registry::disableName(const Name& name) {
    if (isFalse(storedValue(name)))
        return;
    write(name, Write::disable, std::nullopt);
}

void Registry::resetName(const Name& name) {
    if (!storedValue(name))
        return;
    write(name, Write::remove, std::nullopt);
}

void Registry::write(const Name& name, Write kind, const std::optional<Shortcut>& shortcut) {
    if (const auto old = getShortcut(name))
        dropUnlessInUse(*old, name);
    const QString key = storageKey(name);
    switch (kind) {
    case Write::store:
        m_services.preferences->setValue(key, QString::fromUtf8(shortcut->toJson()));
        break;
    case Write::disable:
        m_services.preferences->setValue(key, false);
        break;
    case Write::remove:
        m_services.preferences->remove(key);
        break;
    }
    registerIfNeeded(name);
    emit shortcutByNameDidChange(name);
}

void Registry::reset(const QList<Name>& names) {
    for (const Name& name : names) {
        if (name.initialShortcut())
            storeShortcut(*name.initialShortcut(), name);
        else
            resetName(name);
    }
}

void Registry::resetAll() {
    for (const Name& name : storedNames())
        setShortcut(std::nullopt, name);
}

QList<Name> Registry::storedNames() const {
    QList<Name> names;
    for (const QString& key : m_services.preferences->keys()) {
        if (!key.startsWith(keyPrefix))
            continue;
        const Name name = Name::fromRawValue(key.mid(keyPrefix.size()));
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

// Registration

bool Registry::listensTo(const Name& name) const {
    auto nonEmpty = [&](const auto& table) {
        const auto* entry = table.find(name);
        return entry && !entry->empty();
    };
    auto nonEmptyList = [&](const OrderedMap<Name, QList<Action>>& table) {
        const auto* entry = table.find(name);
        return entry && !entry->isEmpty();
    };
    return nonEmptyList(m_keyDownHandlers) || nonEmptyList(m_keyUpHandlers) || nonEmpty(m_keyDownStreamHandlers) ||
           nonEmpty(m_keyUpStreamHandlers);
}

bool Registry::hasHandlers(const Name& name) const {
    return !m_disabledNames.contains(name) && listensTo(name);
}

bool Registry::hasShortcutStreamHandlers(const Shortcut& shortcut) const {
    const auto* down = m_shortcutKeyDownStreamHandlers.find(shortcut);
    const auto* up = m_shortcutKeyUpStreamHandlers.find(shortcut);
    return (down && !down->empty()) || (up && !up->empty());
}

QList<Name> Registry::namesWithHandlers() const {
    QList<Name> names;
    auto add = [&](const auto& table) {
        for (const auto& entry : table)
            if (!names.contains(entry.first))
                names.append(entry.first);
    };
    add(m_keyDownHandlers);
    add(m_keyUpHandlers);
    add(m_keyDownStreamHandlers);
    add(m_keyUpStreamHandlers);
    return names;
}

void Registry::onKeyDown(const Name& name, Action action) {
    m_keyDownHandlers[name].append(std::move(action));
    registerIfNeeded(name);
}

void Registry::onKeyUp(const Name& name, Action action) {
    m_keyUpHandlers[name].append(std::move(action));
    registerIfNeeded(name);
}

void Registry::registerIfNeeded(const Name& name) {
    if (!hasHandlers(name))
        return;
    if (const auto shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void Registry::registerShortcut(const Shortcut& shortcut) {
    if (m_registeredHotKeys.contains(shortcut))
        return;
    auto hotKey = center().makeHotKey(
        shortcut.carbonKeyCode, shortcut.carbonModifiers,
        [this, shortcut] { dispatchEvent(EventType::keyDown, shortcut); },
        [this, shortcut] { dispatchEvent(EventType::keyUp, shortcut); });
    if (!center().registerHotKey(hotKey))
        return;
    std::weak_ptr<HotKey> weak = hotKey;
    hotKey->onRegistrationFailed = [this, weak, shortcut] {
        const auto current = m_registeredHotKeys.find(shortcut);
        const auto failed = weak.lock();
        // A newer hot key for the same shortcut stays.
        if (failed && current && *current == failed)
            m_registeredHotKeys.erase(shortcut);
    };
    m_registeredHotKeys[shortcut] = std::move(hotKey);
}

void Registry::unregisterShortcut(const Shortcut& shortcut) {
    // Held until the table is consistent: the release calls into the center.
    std::shared_ptr<HotKey> released;
    if (auto* entry = m_registeredHotKeys.find(shortcut))
        released = *entry;
    m_registeredHotKeys.erase(shortcut);
}

bool Registry::isShortcutInUse(const Shortcut& shortcut, const std::optional<Name>& excluding) const {
    for (const Name& name : namesWithHandlers()) {
        if (excluding && name == *excluding)
            continue;
        if (!hasHandlers(name))
            continue;
        if (getShortcut(name) == shortcut)
            return true;
    }
    return hasShortcutStreamHandlers(shortcut);
}

void Registry::dropUnlessInUse(const Shortcut& shortcut, const std::optional<Name>& excluding) {
    if (!isShortcutInUse(shortcut, excluding))
        unregisterShortcut(shortcut);
}

void Registry::removeHandler(const Name& name) {
    m_keyDownHandlers.erase(name);
    m_keyUpHandlers.erase(name);
    if (hasHandlers(name))
        return; // its streams still need the hot key
    if (const auto shortcut = getShortcut(name))
        dropUnlessInUse(*shortcut, name);
}

void Registry::removeAllHandlers() {
    QList<Shortcut> shortcuts;
    for (const auto* table : {&m_keyDownHandlers, &m_keyUpHandlers})
        for (const auto& entry : *table)
            if (const auto shortcut = getShortcut(entry.first); shortcut && !shortcuts.contains(*shortcut))
                shortcuts.append(*shortcut);
    m_keyDownHandlers.clear();
    m_keyUpHandlers.clear();
    for (const Shortcut& shortcut : shortcuts)
        dropUnlessInUse(shortcut, std::nullopt);
}

void Registry::disable(const QList<Name>& names) {
    for (const Name& name : names) {
        if (!m_disabledNames.contains(name))
            m_disabledNames.append(name);
        if (const auto shortcut = getShortcut(name))
            dropUnlessInUse(*shortcut, name);
    }
}

void Registry::enable(const QList<Name>& names) {
    for (const Name& name : names) {
        m_disabledNames.removeAll(name);
        registerIfNeeded(name);
    }
}

void Registry::setEnabled(bool enabled) {
    if (enabled == m_isEnabled)
        return;
    m_isEnabled = enabled;
    center().setEnabled(enabled);
}

bool Registry::isEnabled(const Name& name) const {
    if (!m_isEnabled || !hasHandlers(name))
        return false;
    const auto shortcut = getShortcut(name);
    return shortcut && hasHotKey(*shortcut);
}

// Dispatch

void Registry::setRecorderActive(bool active) {
    m_recorderActive = active;
    m_services.backend->setForwardsGrabbedKeys(active);
    emit recorderActiveStatusDidChange(active);
}

void Registry::dispatchEvent(EventType type, const Shortcut& shortcut) {
    if (m_recorderActive)
        return;
    const bool down = type == EventType::keyDown;
    // Copies: a listener that changes the tables affects the next event, not this one.
    const auto handlers = down ? m_keyDownHandlers : m_keyUpHandlers;
    const auto streams = down ? m_keyDownStreamHandlers : m_keyUpStreamHandlers;
    const auto* shortcutTable = (down ? m_shortcutKeyDownStreamHandlers : m_shortcutKeyUpStreamHandlers).find(shortcut);
    const StreamTable shortcutStreams = shortcutTable ? *shortcutTable : StreamTable();
    const QList<Name> disabled = m_disabledNames;
    auto selected = [&](const Name& name) { return getShortcut(name) == shortcut && !disabled.contains(name); };

    for (const auto& [name, actions] : handlers)
        if (selected(name))
            for (const Action& action : actions)
                action();
    for (const auto& [name, table] : streams)
        if (selected(name))
            for (const auto& entry : table)
                entry.second();
    for (const auto& entry : shortcutStreams)
        entry.second();
}

// Streams

Subscription Registry::events(const Name& name, std::function<void(EventType)> callback) {
    const QUuid id = QUuid::createUuid();
    auto alive = std::make_shared<bool>(true);
    auto make = [&](OrderedMap<Name, StreamTable>& table, EventType type) {
        table[name][id] = [callback, alive, type] {
            if (*alive)
                callback(type);
        };
    };
    make(m_keyDownStreamHandlers, EventType::keyDown);
    make(m_keyUpStreamHandlers, EventType::keyUp);
    registerIfNeeded(name);
    QPointer<Registry> self(this);
    return Subscription([self, name, id, alive] {
        *alive = false;
        if (!self)
            return;
        for (auto* table : {&self->m_keyDownStreamHandlers, &self->m_keyUpStreamHandlers}) {
            if (auto* inner = table->find(name)) {
                inner->erase(id);
                if (inner->empty())
                    table->erase(name);
            }
        }
        if (const auto shortcut = self->getShortcut(name))
            self->dropUnlessInUse(*shortcut, std::nullopt);
    });
}

Subscription Registry::events(EventType type, const Name& name, Action callback) {
    return events(name, [type, callback](EventType event) {
        if (event == type)
            callback();
    });
}

Subscription Registry::events(const Shortcut& shortcut, std::function<void(EventType)> callback) {
    const QUuid id = QUuid::createUuid();
    auto alive = std::make_shared<bool>(true);
    auto make = [&](OrderedMap<Shortcut, StreamTable>& table, EventType type) {
        table[shortcut][id] = [callback, alive, type] {
            if (*alive)
                callback(type);
        };
    };
    make(m_shortcutKeyDownStreamHandlers, EventType::keyDown);
    make(m_shortcutKeyUpStreamHandlers, EventType::keyUp);
    registerShortcut(shortcut);
    QPointer<Registry> self(this);
    return Subscription([self, shortcut, id, alive] {
        *alive = false;
        if (!self)
            return;
        for (auto* table : {&self->m_shortcutKeyDownStreamHandlers, &self->m_shortcutKeyUpStreamHandlers}) {
            if (auto* inner = table->find(shortcut)) {
                inner->erase(id);
                if (inner->empty())
                    table->erase(shortcut);
            }
        }
        self->dropUnlessInUse(shortcut, std::nullopt);
    });
}

Subscription Registry::events(EventType type, const Shortcut& shortcut, Action callback) {
    return events(shortcut, [type, callback](EventType event) {
        if (event == type)
            callback();
    });
}

Subscription Registry::repeating(std::function<Subscription(std::function<void(EventType)>)> source,
                                 std::function<bool(const std::optional<Shortcut>&)> shouldContinue,
                                 std::function<std::optional<Shortcut>()> heldAtPress, Action callback) {
    struct State {
        TimerSource* timers;
        KeyRepeat repeat;
        std::optional<Shortcut> held;
        quint64 timer = 0;
        Subscription source;
        void stop() {
            if (timer)
                timers->cancel(std::exchange(timer, 0));
        }
    };
    auto state = std::make_shared<State>();
    state->timers = m_services.timers;
    // Read once: a later change of the desktop's settings leaves this stream's pace alone.
    state->repeat = m_services.repeat->keyRepeat();
    std::weak_ptr<State> weak = state;
    auto tick = std::make_shared<std::function<void()>>();
    *tick = [weak, shouldContinue, callback, tickRef = std::weak_ptr(tick)] {
        auto s = weak.lock();
        if (!s)
            return;
        s->timer = 0;
        if (!shouldContinue(s->held))
            return;
        callback();
        if (auto next = tickRef.lock(); next && weak.lock())
            s->timer = s->timers->start(s->repeat.intervalMs, *next);
    };
    state->source = source([weak, tick, heldAtPress, callback](EventType type) {
        auto s = weak.lock();
        if (!s)
            return;
        s->stop();
        if (type == EventType::keyUp)
            return;
        s->held = heldAtPress();
        callback();
        if (weak.lock())
            s->timer = s->timers->start(s->repeat.delayMs, *tick);
    });
    return Subscription([state, tick] {
        state->stop();
        state->source.reset();
    });
}

Subscription Registry::repeatingKeyDownEvents(const Name& name, Action callback) {
    QPointer<Registry> self(this);
    return repeating([this, name](std::function<void(EventType)> cb) { return events(name, std::move(cb)); },
                     [self, name](const std::optional<Shortcut>& held) {
                         if (!self || self->m_recorderActive || !self->m_isEnabled || !self->hasHandlers(name))
                             return false;
                         const auto current = self->getShortcut(name);
                         return current && self->hasHotKey(*current) && held && *current == *held;
                     },
                     [self, name] { return self ? self->getShortcut(name) : std::nullopt; }, std::move(callback));
}

Subscription Registry::repeatingKeyDownEvents(const Shortcut& shortcut, Action callback) {
    QPointer<Registry> self(this);
    return repeating([this, shortcut](std::function<void(EventType)> cb) { return events(shortcut, std::move(cb)); },
                     [self, shortcut](const std::optional<Shortcut>&) {
                         return self && !self->m_recorderActive && self->m_isEnabled && self->hasHotKey(shortcut);
                     },
                     [shortcut] { return std::optional<Shortcut>(shortcut); }, std::move(callback));
}

// Desktop facts

QList<Shortcut> Registry::systemShortcuts() const {
    QList<Shortcut> shortcuts;
    for (const auto& [code, modifiers] : m_services.systemHotKeys->copySystemHotKeys())
        shortcuts.append(Shortcut::fromCarbon(code, modifiers));
    return shortcuts;
}

bool Registry::isUsedBySystem(const Shortcut& shortcut) const {
    if (shortcut.carbonKeyCode == Key::f12.rawValue && shortcut.carbonModifiers == 0)
        return false;
    if (systemShortcuts().contains(shortcut))
        return true;
    // Probing a combination we grab ourselves would release our own grab.
    if (hasHotKey(shortcut) || (m_center && m_center->holds(shortcut.carbonKeyCode, shortcut.carbonModifiers)))
        return false;
    return m_services.systemHotKeys->isHeldElsewhere(shortcut.carbonKeyCode, shortcut.carbonModifiers);
}

std::optional<Shortcut> Registry::shortcutFromKeyEvent(const QKeyEvent& event) const {
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease)
        return std::nullopt;
    const auto code = m_services.backend->carbonKeyCodeForNative(event.nativeScanCode());
    if (!code)
        return std::nullopt;
    return Shortcut::fromCarbon(*code, carbonModifiersFromFlags(flagsFromQtModifiers(event.modifiers())));
}

} // namespace globalshortcuts
