#pragma once

#include "globalshortcuts/HotKeyBackend.h"
#include "globalshortcuts/HotKeyCenter.h"
#include "globalshortcuts/Name.h"
#include "globalshortcuts/OrderedMap.h"
#include "globalshortcuts/Preferences.h"
#include "globalshortcuts/Subscription.h"

#include <QObject>
#include <QUuid>
#include <memory>

class QKeyEvent;

namespace globalshortcuts {

// The named shortcuts of one process: their storage, the listener tables, the hot keys that serve them and the
// dispatch of hot-key events. All of it on the main thread. The library's free functions use the process's
// registry (instance()); tests build their own over fakes.
class Registry : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void()>;

    // Services are not owned; null ones keep the registry's built-in stand-ins.
    struct Services {
        Preferences* preferences = nullptr;
        HotKeyBackend* backend = nullptr;
        KeyboardLayout* layout = nullptr;
        SystemHotKeyProvider* systemHotKeys = nullptr;
        KeyRepeatSettings* repeat = nullptr;
        TimerSource* timers = nullptr;
    };

    explicit Registry(QObject* parent = nullptr);
    explicit Registry(const Services& services, QObject* parent = nullptr);
    ~Registry() override;

    static Registry& instance();
    // Puts the application's services in place; hot keys already made move over to a new back end.
    void install(const Services& services);
    // Goes back to the built-in stand-ins, so that none of the installed services is used after it is gone; hot
    // keys leave the installed back end while it still exists.
    void restoreStandIns();

    static QString storageKey(const Name& name);

    // The name initialiser's work: fills an empty slot with the initial shortcut (no notification, no
    // registration), then makes sure of the center on a queued call.
    Name makeName(const QString& rawValue, std::optional<Shortcut> initialShortcut = std::nullopt);

    // Storage. Nothing throws or reports: unreadable values read as no shortcut.
    std::optional<PreferenceValue> storedValue(const Name& name) const;
    std::optional<Shortcut> getShortcut(const Name& name) const;
    // None clears a name with an initial shortcut (so it does not come back) and removes the others.
    void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
    void storeShortcut(const Shortcut& shortcut, const Name& name);
    void disableName(const Name& name);
    void resetName(const Name& name);
    void reset(const QList<Name>& names);
    void resetAll();
    QList<Name> storedNames() const;

    // Handlers and registration.
    void onKeyDown(const Name& name, Action action);
    void onKeyUp(const Name& name, Action action);
    void removeHandler(const Name& name);
    void removeAllHandlers();
    void disable(const QList<Name>& names);
    void enable(const QList<Name>& names);
    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    bool isEnabled(const Name& name) const;
    bool hasHotKey(const Shortcut& shortcut) const { return m_registeredHotKeys.contains(shortcut); }
    void registerIfNeeded(const Name& name);
    void registerShortcut(const Shortcut& shortcut);
    void unregisterShortcut(const Shortcut& shortcut);
    bool isShortcutInUse(const Shortcut& shortcut, const std::optional<Name>& excluding) const;

    // Dispatch.
    void dispatchEvent(EventType type, const Shortcut& shortcut);
    bool hasHandlers(const Name& name) const;
    bool hasShortcutStreamHandlers(const Shortcut& shortcut) const;
    QList<Name> namesWithHandlers() const;
    bool recorderActive() const { return m_recorderActive; }
    // Every start and every end of a recording announces itself, also an end with nothing recording.
    void setRecorderActive(bool active);

    // Streams: listening starts at once and ends with the subscription.
    Subscription events(const Name& name, std::function<void(EventType)> callback);
    Subscription events(EventType type, const Name& name, Action callback);
    Subscription events(const Shortcut& shortcut, std::function<void(EventType)> callback);
    Subscription events(EventType type, const Shortcut& shortcut, Action callback);
    // One call at the press, then one per repeat interval after the repeat delay while the key is held.
    Subscription repeatingKeyDownEvents(const Name& name, Action callback);
    Subscription repeatingKeyDownEvents(const Shortcut& shortcut, Action callback);

    // Desktop facts.
    const KeyboardLayout& keyboardLayout() const { return *m_services.layout; }
    QList<Shortcut> systemShortcuts() const;
    // F12 alone is never the desktop's; a combination we hold is ours.
    bool isUsedBySystem(const Shortcut& shortcut) const;
    // The shortcut of a key event (a press or release of a native key); never carries the function bit.
    std::optional<Shortcut> shortcutFromKeyEvent(const QKeyEvent& event) const;
    void beep() { m_services.backend->beep(); }
    std::optional<qint64> carbonKeyCodeForNative(quint32 nativeScanCode) const {
        return m_services.backend->carbonKeyCodeForNative(nativeScanCode);
    }

    // The application's main menu for the recorder's conflict check; none while nobody registered one.
    using MenuProvider = std::function<QList<MenuNode>()>;
    void setMainMenu(MenuProvider provider) { m_mainMenu = std::move(provider); }
    std::optional<QList<MenuNode>> mainMenu() const {
        return m_mainMenu ? std::optional<QList<MenuNode>>(m_mainMenu()) : std::nullopt;
    }

    HotKeyCenter& center();

signals:
    void shortcutByNameDidChange(const globalshortcuts::Name& name);
    void recorderActiveStatusDidChange(bool isActive);

private:
    using StreamTable = OrderedMap<QUuid, Action>;
    enum class Write { store, disable, remove };

    void write(const Name& name, Write kind, const std::optional<Shortcut>& shortcut);
    void dropUnlessInUse(const Shortcut& shortcut, const std::optional<Name>& excluding);
    bool listensTo(const Name& name) const;
    Subscription repeating(std::function<Subscription(std::function<void(EventType)>)> source,
                           std::function<bool(const std::optional<Shortcut>&)> shouldContinue,
                           std::function<std::optional<Shortcut>()> heldAtPress, Action callback);

    struct Defaults;
    std::unique_ptr<Defaults> m_defaults;
    Services m_services;
    HotKeyCenter* m_center = nullptr;

    bool m_isEnabled = true;
    bool m_recorderActive = false;
    MenuProvider m_mainMenu;
    OrderedMap<Shortcut, std::shared_ptr<HotKey>> m_registeredHotKeys;
    QList<Name> m_disabledNames;
    OrderedMap<Name, QList<Action>> m_keyDownHandlers;
    OrderedMap<Name, QList<Action>> m_keyUpHandlers;
    OrderedMap<Name, StreamTable> m_keyDownStreamHandlers;
    OrderedMap<Name, StreamTable> m_keyUpStreamHandlers;
    OrderedMap<Shortcut, StreamTable> m_shortcutKeyDownStreamHandlers;
    OrderedMap<Shortcut, StreamTable> m_shortcutKeyUpStreamHandlers;
};

} // namespace globalshortcuts
