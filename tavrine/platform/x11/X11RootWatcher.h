#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace tavrine::platform {

class X11Connection;

// Watches the root window's properties on a connection of its own, on the thread that creates it (the main
// thread): the source of workspace events such as an activation (_NET_ACTIVE_WINDOW) or a change of the
// current desktop (_NET_CURRENT_DESKTOP), and of the owners of the selections asked for (the compositing manager's).
class X11RootWatcher : public QObject {
    Q_OBJECT
public:
    // Opens its connection to `displayName` ($DISPLAY when empty); isWatching() tells whether that worked.
    explicit X11RootWatcher(const QByteArray& displayName = {}, QObject* parent = nullptr);
    ~X11RootWatcher() override;

    bool isWatching() const;
    // Also reports changes of the owner of `selection`; false when the server cannot tell them.
    bool watchSelectionOwner(const QByteArray& selection);

signals:
    // Any root property changed; `name` is the property's atom name.
    void rootPropertyChanged(const QByteArray& name);
    void activeWindowChanged();
    void currentDesktopChanged();
    // The owner of a watched selection changed, or it went away.
    void selectionOwnerChanged(const QByteArray& selection);

private:
    void drain();

    std::unique_ptr<X11Connection> m_connection;
    QSocketNotifier* m_notifier = nullptr;
    unsigned long m_activeWindowAtom = 0;
    unsigned long m_currentDesktopAtom = 0;
};

} // namespace tavrine::platform
