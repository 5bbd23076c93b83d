#include "tavrine/ui/FirstFrameBackground.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPlatformSurfaceEvent>
#include <QQuickWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

namespace tavrine::ui {

QObject* FirstFrameBackground::install(QGuiApplication& application) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* watcher = new FirstFrameBackground(&application);
    application.installEventFilter(watcher);
    return watcher;
}

std::optional<QColor> FirstFrameBackground::backgroundFor(QWindow& window) {
    // The tray icon's window goes inside the panel and shows the panel's own background through it.
    if (window.flags().testFlag(Qt::BypassWindowManagerHint))
        return std::nullopt;
    auto* quick = qobject_cast<QQuickWindow*>(&window);
    if (quick && quick->color().alpha() == 255)
        return quick->color();
    // A window with an alpha channel that draws itself translucent: the compositor blends it from its first frame.
    if (window.format().alphaBufferSize() > 0)
        return std::nullopt;
    return QGuiApplication::palette().color(QPalette::Window);
}

bool FirstFrameBackground::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::PlatformSurface ||
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() != QPlatformSurfaceEvent::SurfaceCreated)
        return false;
    auto* window = qobject_cast<QWindow*>(watched);
    if (!window)
        return false;
    const std::optional<QColor> color = backgroundFor(*window);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!color || !x11 || !x11->connection())
        return false;
    // On Qt's own connection, so that it reaches the server after the window is made and before it is mapped.
    // In a window with an alpha channel the pixel's top byte is its alpha: opaque.
    const quint32 rgb = color->toRgb().rgb() & 0xFFFFFF;
    const quint32 pixel = window->format().alphaBufferSize() > 0 ? rgb | 0xFF000000u : rgb;
    xcb_change_window_attributes(x11->connection(), xcb_window_t(window->winId()), XCB_CW_BACK_PIXEL, &pixel);
    return false;
}

} // namespace tavrine::ui
