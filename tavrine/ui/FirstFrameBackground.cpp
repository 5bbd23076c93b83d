#include "tavrine/ui/FirstFrameBackground.h"

#include "tavrine/ui/QtX11.h"
#include "tavrine/ui/XPicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QQuickWindow>
#include <xcb/xcb.h>

#include <memory>

namespace tavrine::ui {

namespace {

void setOverrideRedirect(xcb_connection_t* connection, xcb_window_t window, bool on) {
    const quint32 value = on ? 1 : 0;
    xcb_change_window_attributes(connection, window, XCB_CW_OVERRIDE_REDIRECT, &value);
}

int depthOf(xcb_connection_t* connection, xcb_window_t window) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr), &free);
    return geometry ? geometry->depth : 0;
}

// Runs `work` once, after the window's next frame is on screen.
void afterNextFrame(QQuickWindow& window, QObject* context, std::function<void(QQuickWindow&)> work) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        &window, &QQuickWindow::frameSwapped, context,
        [target = QPointer<QQuickWindow>(&window), connection, work = std::move(work)] {
            QObject::disconnect(*connection);
            if (target)
                work(*target);
        },
        Qt::QueuedConnection);
}

} // namespace

QObject* FirstFrameBackground::install(QGuiApplication& application) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* watcher = new FirstFrameBackground(&application);
    application.installEventFilter(watcher);
    return watcher;
}

bool FirstFrameBackground::drawnBeforeShown(const QWindow& window) {
    if (!window.isTopLevel() || window.flags().testFlag(Qt::BypassWindowManagerHint))
        return false;
    // Pop-ups and tool tips bypass the window manager already, and are small and quick to draw.
    const Qt::WindowType type = window.type();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet || type == Qt::Drawer;
}

bool FirstFrameBackground::eventFilter(QObject* watched, QEvent* event) {
    // Show comes before Qt maps the window, Hide after it unmapped it (also while a window is being destroyed,
    // when it is a QWindow and nothing more).
    if (event->type() == QEvent::Show) {
        auto* window = qobject_cast<QQuickWindow*>(watched);
        if (window && window->handle() && drawnBeforeShown(*window) && !m_hidden.contains(window))
            drawHidden(*window);
    } else if (event->type() == QEvent::Hide && watched->isWindowType()) {
        if (auto* window = static_cast<QWindow*>(watched); m_hidden.contains(window))
            release(*window);
    }
    return false;
}

void FirstFrameBackground::drawHidden(QQuickWindow& window) {
    xcb_connection_t* connection = qtx11::connection();
    if (!connection)
        return;
    const auto id = xcb_window_t(window.winId());
    // Qt's map that follows goes straight to the server: mapped, exposed for Qt, drawn, and nowhere on screen.
    setOverrideRedirect(connection, id, true);
    qtx11::setShapeEmpty(id, qtx11::Shape::Bounding, true);
    if (!window.flags().testFlag(Qt::WindowTransparentForInput))
        qtx11::setShapeEmpty(id, qtx11::Shape::Input, true);
    xcb_flush(connection);
    QWindow* key = &window;
    m_hidden.insert(key, connect(&window, &QObject::destroyed, this, [this, key] { m_hidden.remove(key); }));
    afterNextFrame(window, this, [this](QQuickWindow& drawn) {
        if (m_hidden.contains(&drawn))
            handOver(drawn);
    });
}

void FirstFrameBackground::handOver(QQuickWindow& window) {
    xcb_connection_t* connection = qtx11::connection();
    const auto id = xcb_window_t(window.winId());
    // The frame just drawn once more, by the window's own renderer, as the picture the server shows in it from the
    // moment the window manager maps it.
    const QImage picture = window.grabWindow();
    if (const int depth = depthOf(connection, id); depth && !picture.isNull()) {
        if (const quint32 pixmap = XPicture::upload(connection, id, depth, picture, window.color())) {
            xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
            // The window holds it as long as it is its background.
            xcb_free_pixmap(connection, pixmap);
        }
    }
    xcb_unmap_window(connection, id);
    release(window);
    xcb_map_window(connection, id);
    xcb_flush(connection);
    // Asked for while the window manager did not know the window: asked again.
    if (!window.flags().testFlag(Qt::WindowDoesNotAcceptFocus))
        window.requestActivate();
    // Once drawn where the window manager put it, the picture would only show stale content where the window
    // grows or is uncovered later: no background again.
    afterNextFrame(window, this, [](QQuickWindow& shown) {
        if (xcb_connection_t* connection = qtx11::connection()) {
            const quint32 none = XCB_BACK_PIXMAP_NONE;
            xcb_change_window_attributes(connection, xcb_window_t(shown.winId()), XCB_CW_BACK_PIXMAP, &none);
            xcb_flush(connection);
        }
    });
}

void FirstFrameBackground::release(QWindow& window) {
    disconnect(m_hidden.take(&window));
    xcb_connection_t* connection = qtx11::connection();
    if (!connection || !window.handle())
        return;
    const auto id = xcb_window_t(window.winId());
    setOverrideRedirect(connection, id, false);
    // A window cut to a shape of its own gets that shape back; one that takes no input keeps taking none.
    if (window.mask().isEmpty())
        qtx11::setShapeEmpty(id, qtx11::Shape::Bounding, false);
    else
        window.setMask(window.mask());
    if (!window.flags().testFlag(Qt::WindowTransparentForInput))
        qtx11::setShapeEmpty(id, qtx11::Shape::Input, false);
    xcb_flush(connection);
}

} // namespace tavrine::ui
