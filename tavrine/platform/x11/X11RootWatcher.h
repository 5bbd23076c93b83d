#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>

struct xcb_connection_t;
struct _XDisplay;

namespace tavrine::platform {

// Watches the root window on Qt's own X connection, through a native event filter: the root properties and the
// owners of the selections asked for, each recognised by its atom. Any client may invent root properties without
// end; their names are never read and nothing is kept for them. The source of the workspace events (the active
// window, the current desktop) and of the compositing state. Main thread; under another Qt platform than xcb
// nothing is watched.
class X11RootWatcher final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11RootWatcher(QObject* parent = nullptr);
    ~X11RootWatcher() override;

    bool isWatching() const { return m_connection != nullptr; }
    // The X screen Qt shows on (a compositing manager of it owns _NET_WM_CM_S<screen>).
    int screenNumber() const { return m_screen; }
    // The atom of `name`, made when the server has none yet; 0 when nothing is watched. One round trip.
    quint32 atom(const char* name) const;
    // Reports every change of the root property `atom` through rootPropertyChanged.
    void watchProperty(quint32 atom);
    // Reports every change of the owner of the selection `atom` (XFixes) through selectionOwnerChanged. False when
    // the server cannot tell.
    bool watchSelectionOwner(quint32 atom);
    // Whether the root window carries the property `atom`, of any type; one round trip.
    bool rootHasProperty(quint32 atom) const;
    // Whether some client owns the selection `atom`; one round trip.
    bool selectionOwned(quint32 atom) const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // `present`: set or replaced; false when it was deleted.
    void rootPropertyChanged(quint32 atom, bool present);
    // `owned`: a new owner took it; false when its owner let it go, closed its window or quit.
    void selectionOwnerChanged(quint32 selection, bool owned);

private:
    xcb_connection_t* m_connection = nullptr;
    // Qt's Xlib display over the same connection, for XFixes; null where Qt has none.
    _XDisplay* m_display = nullptr;
    quint32 m_root = 0;
    int m_screen = 0;
    // XFixes' first event number once a selection is watched; -1 before, 0 when the server lacks XFixes.
    int m_xfixesEventBase = -1;
    QList<quint32> m_properties;
    QList<quint32> m_selections;
};

} // namespace tavrine::platform
