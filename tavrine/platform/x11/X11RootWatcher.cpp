#include "tavrine/platform/x11/X11RootWatcher.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tavrine::platform {

namespace {

struct FreeDeleter {
    void operator()(void* data) const { std::free(data); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

// XFixes' SelectionNotify as it comes over the wire (the extension's protocol; Xlib's own struct has longs).
struct SelectionNotifyWire {
    quint8 responseType;
    quint8 subtype;
    quint16 sequence;
    quint32 window;
    quint32 owner;
    quint32 selection;
    quint32 timestamp;
    quint32 selectionTimestamp;
    quint32 pad[2];
};
static_assert(sizeof(SelectionNotifyWire) == 32);

} // namespace

X11RootWatcher::X11RootWatcher(QObject* parent) : QObject(parent) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    m_display = x11->display();
    // Qt connects to the display's default screen.
    m_screen = m_display ? DefaultScreen(m_display) : 0;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screen && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        m_connection = nullptr;
        return;
    }
    m_root = screens.data->root;
    // Qt asks for the root's property changes itself; asked again here so that nothing rests on that. The event mask
    // is the connection's own: the bits Qt set stay.
    const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr));
    const quint32 mask = attributes ? attributes->your_event_mask : 0;
    if (!(mask & XCB_EVENT_MASK_PROPERTY_CHANGE)) {
        const quint32 values[] = {mask | XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, values);
        xcb_flush(m_connection);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11RootWatcher::~X11RootWatcher() {
    if (m_connection && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

quint32 X11RootWatcher::atom(const char* name) const {
    if (!m_connection)
        return 0;
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : 0;
}

void X11RootWatcher::watchProperty(quint32 atom) {
    if (m_connection && atom != 0 && !m_properties.contains(atom))
        m_properties.append(atom);
}

bool X11RootWatcher::watchSelectionOwner(quint32 atom) {
    if (!m_display || atom == 0)
        return false;
    if (m_xfixesEventBase < 0) {
        int eventBase = 0;
        int errorBase = 0;
        m_xfixesEventBase = XFixesQueryExtension(m_display, &eventBase, &errorBase) ? eventBase : 0;
    }
    if (m_xfixesEventBase <= 0)
        return false;
    // On the root: Qt watches the compositing manager's selection on a window of its own, and its events are told
    // apart from these by their window.
    XFixesSelectSelectionInput(m_display, m_root, atom,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    XFlush(m_display);
    if (!m_selections.contains(atom))
        m_selections.append(atom);
    return true;
}

bool X11RootWatcher::rootHasProperty(quint32 atom) const {
    if (!m_connection || atom == 0)
        return false;
    // No data asked for: the type alone says whether the property exists.
    const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
    return reply && reply->type != XCB_NONE;
}

bool X11RootWatcher::selectionOwned(quint32 atom) const {
    if (!m_connection || atom == 0)
        return false;
    const ReplyPtr<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, atom), nullptr));
    return reply && reply->owner != XCB_NONE;
}

bool X11RootWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->window == m_root && m_properties.contains(change->atom))
            emit rootPropertyChanged(change->atom, change->state == XCB_PROPERTY_NEW_VALUE);
    } else if (m_xfixesEventBase > 0 && type == m_xfixesEventBase + XFixesSelectionNotify) {
        SelectionNotifyWire change;
        std::memcpy(&change, event, sizeof change);
        if (change.window == m_root && m_selections.contains(change.selection))
            emit selectionOwnerChanged(change.selection, change.owner != XCB_NONE);
    }
    // Qt handles every event as before.
    return false;
}

} // namespace tavrine::platform
