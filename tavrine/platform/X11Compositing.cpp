#include "tavrine/platform/X11Compositing.h"

#include "tavrine/platform/x11/X11RootWatcher.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <functional>

namespace tavrine::platform {

namespace {

// Runs `apply` once the window has its native window (at once when it has one already). The waiting filter is the
// window's child: a window that goes first takes it along, and nothing runs.
void whenCreated(QWindow* window, std::function<void()> apply) {
    if (window->handle()) {
        apply();
        return;
    }
    struct Filter final : QObject {
        std::function<void()> apply;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::PlatformSurface &&
                static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                    QPlatformSurfaceEvent::SurfaceCreated) {
                // The native window exists once the event has been handled.
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        apply();
                        deleteLater();
                    },
                    Qt::QueuedConnection);
                watched->removeEventFilter(this);
            }
            return false;
        }
    };
    auto* filter = new Filter;
    filter->setParent(window);
    filter->apply = std::move(apply);
    window->installEventFilter(filter);
}

} // namespace

X11Compositing::X11Compositing(QObject* parent) : DesktopCompositing(parent), m_root(new X11RootWatcher(this)) {
    if (!m_root->isWatching())
        return;
    m_selection = m_root->atom(("_NET_WM_CM_S" + QByteArray::number(m_root->screenNumber())).constData());
    m_blur = m_root->atom(blurAnnouncement);
    m_root->watchProperty(m_blur);
    m_following = m_root->watchSelectionOwner(m_selection);
    connect(m_root, &X11RootWatcher::selectionOwnerChanged, this, [this](quint32 selection, bool owned) {
        if (selection == m_selection)
            setCompositorRunning(owned);
    });
    connect(m_root, &X11RootWatcher::rootPropertyChanged, this, [this](quint32 atom, bool present) {
        if (atom == m_blur)
            setBlurAnnounced(present);
    });
    // Read once the changes are watched: a change from here on comes as an event after this answer.
    setCompositorRunning(m_root->selectionOwned(m_selection));
    setBlurAnnounced(m_root->rootHasProperty(m_blur));
}

X11Compositing::~X11Compositing() = default;

void X11Compositing::requestBlurBehind(QWindow* window) {
    if (!window || m_blur == 0)
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const quint32 blur = m_blur;
    whenCreated(window, [window, connection, blur] {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), blur, XCB_ATOM_CARDINAL,
                            32, 0, nullptr);
        xcb_flush(connection);
    });
}

} // namespace tavrine::platform
