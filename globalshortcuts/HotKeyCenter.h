#pragma once

#include "globalshortcuts/HotKey.h"
#include "globalshortcuts/HotKeyBackend.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWindow>
#include <memory>

namespace globalshortcuts {

class LocalEventMonitor;

// Keeps the live hot keys (weakly) by id and holds them on the desktop as the mode says: all off when disabled,
// all off while one of our popup menus is open (its keyboard grab keeps the desktop from reporting ours: the
// center then matches the menu's key events itself), all on otherwise.
class HotKeyCenter : public QObject, private HotKeyBackend::Sink {
    Q_OBJECT
public:
    enum class Mode { disabled, normal, menuOpen };

    explicit HotKeyCenter(HotKeyBackend& backend, QObject* parent = nullptr);
    ~HotKeyCenter() override;

    // Moves every hot key over to another back end.
    void setBackend(HotKeyBackend& backend);

    // Registers nothing; ids are never reused.
    std::shared_ptr<HotKey> makeHotKey(qint64 carbonKeyCode, qint64 carbonModifiers, HotKey::Action onKeyDown,
                                       HotKey::Action onKeyUp);
    // Registers at once whatever the mode, then applies the mode. False (and no trace) when refused.
    bool registerHotKey(const std::shared_ptr<HotKey>& hotKey);

    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    bool isMenuOpen() const { return m_isMenuOpen; }
    void setMenuOpen(bool open);
    Mode mode() const { return m_mode; }
    qint64 lastHotKeyId() const { return m_lastHotKeyId; }
    int liveHotKeyCount() const;
    // Whether a live hot key holds exactly this combination on the desktop now.
    bool holds(qint64 carbonKeyCode, qint64 carbonModifiers) const;

    // Menu-open matching: runs the first live hot key with this key and these modifiers (reduced to the five
    // known bits). A repeated key-down is not ours. True when handled.
    bool matchKey(qint64 carbonKeyCode, qint64 carbonModifiers, bool isRepeat, EventType type);

private:
    friend class HotKey;
    void hotKeyEvent(qint64 id, EventType type) override;
    void keymapChanged() override;
    void release(HotKey& hotKey);
    void recomputeMode();
    void applyMode();
    void registerAll();
    void unregisterAll();
    QList<std::shared_ptr<HotKey>> liveHotKeys() const;
    QEvent* filterKeyEvent(QObject* receiver, QEvent* event);
    QEvent* watchPopups(QObject* receiver, QEvent* event);

    HotKeyBackend* m_backend;
    qint64 m_lastHotKeyId = 0;
    QMap<qint64, std::weak_ptr<HotKey>> m_hotKeys;
    bool m_isEnabled = true;
    bool m_isMenuOpen = false;
    Mode m_mode = Mode::normal;
    bool m_rawKeyHandling = false;
    LocalEventMonitor* m_popupWatcher = nullptr;
    LocalEventMonitor* m_keyEventMonitor = nullptr;
    QSet<QWindow*> m_openPopups;
};

} // namespace globalshortcuts
