#include "tavrine/ui/FirstFrameBackground.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPlatformSurfaceEvent>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QtMath>
#include <xcb/xcb.h>

#include <algorithm>
#include <memory>

namespace tavrine::ui {

namespace {

// Set on a window once it has drawn a frame on screen.
constexpr const char* drawnKey = "_tavrine_drawn";

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Uploads `picture` into a new pixmap of the window's depth; 0 when the window's pixels are neither 24-bit colour
// nor 24-bit colour with an alpha channel (a frosted window, drawn opaque when it gets here).
xcb_pixmap_t uploadPicture(xcb_connection_t* connection, xcb_window_t window, const QImage& picture,
                           const QColor& background) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr), &free);
    if (!geometry || (geometry->depth != 24 && geometry->depth != 32))
        return 0;
    const quint8 depth = geometry->depth;
    // 32 bits a pixel, blue first: the layout of a 24- or 32-bit ZPixmap on a little-endian server, the alpha
    // (opaque) in the top byte. What the picture leaves transparent shows the window's colour, as on screen.
    QImage physical = picture;
    physical.setDevicePixelRatio(1);
    QImage rows(physical.size(), QImage::Format_ARGB32_Premultiplied);
    rows.fill(background);
    {
        QPainter painter(&rows);
        painter.drawImage(0, 0, physical);
    }
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, depth, pixmap, window, rows.width(), rows.height());
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixmap, 0, nullptr);
    // Requests are limited in length: the picture goes in bands that fit.
    const quint32 limit = std::max<quint32>(xcb_get_maximum_request_length(connection) * 4, 262144) - 1024;
    const int bandRows = std::max<int>(1, int(limit / quint32(rows.bytesPerLine())));
    for (int top = 0; top < rows.height(); top += bandRows) {
        const int height = std::min(bandRows, rows.height() - top);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, rows.width(), height, 0, top, 0, depth,
                      quint32(rows.bytesPerLine() * height), rows.constScanLine(top));
    }
    xcb_free_gc(connection, gc);
    return pixmap;
}

} // namespace

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

void FirstFrameBackground::setBackgroundColour(QWindow& window) {
    const std::optional<QColor> color = backgroundFor(window);
    xcb_connection_t* connection = qtConnection();
    if (!color || !connection)
        return;
    // On Qt's own connection, so that it reaches the server after the window is made and before it is mapped.
    // In a window with an alpha channel the pixel's top byte is its alpha: opaque.
    const quint32 rgb = color->toRgb().rgb() & 0xFFFFFF;
    const quint32 pixel = window.format().alphaBufferSize() > 0 ? rgb | 0xFF000000u : rgb;
    xcb_change_window_attributes(connection, xcb_window_t(window.winId()), XCB_CW_BACK_PIXEL, &pixel);
}

bool FirstFrameBackground::showUntilNextFrame(QQuickWindow& window, const QImage& picture) {
    xcb_connection_t* connection = qtConnection();
    if (!connection || picture.isNull() || !backgroundFor(window) || !window.handle())
        return false;
    const auto id = xcb_window_t(window.winId());
    const xcb_pixmap_t pixmap = uploadPicture(connection, id, picture, *backgroundFor(window));
    if (!pixmap)
        return false;
    xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
    // The window holds the pixmap as long as it is its background.
    xcb_free_pixmap(connection, pixmap);
    xcb_flush(connection);
    // Once the window's own frame of that size is on screen the picture would only show stale content where the
    // window grows or is uncovered later: its colour again. Frames still under way at another size do not count,
    // though a few of them end the wait all the same.
    const QSize size = picture.size();
    auto connectionHolder = std::make_shared<QMetaObject::Connection>();
    auto framesLeft = std::make_shared<int>(4);
    *connectionHolder = QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [target = QPointer<QQuickWindow>(&window), connectionHolder, framesLeft, size] {
            if (!target)
                return;
            const qreal ratio = target->devicePixelRatio();
            const QSize shown(qCeil(target->width() * ratio), qCeil(target->height() * ratio));
            if (shown != size && --*framesLeft > 0)
                return;
            QObject::disconnect(*connectionHolder);
            setBackgroundColour(*target);
        },
        Qt::QueuedConnection);
    return true;
}

bool FirstFrameBackground::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // Sent before the window maps. A window whose graphics are still to be made (never drawn, or let go
        // while hidden) takes long to its first frame: it is drawn offscreen now, and maps showing that.
        auto* quick = qobject_cast<QQuickWindow*>(watched);
        if (quick && quick->handle() && !quick->size().isEmpty() && !quick->contentItem()->childItems().isEmpty() &&
            backgroundFor(*quick) && (!quick->isPersistentSceneGraph() || !quick->property(drawnKey).toBool())) {
            // Drawing offscreen holds this thread for a while: what was asked of the X server so far (another
            // window mapping) goes out first rather than waiting behind it.
            if (xcb_connection_t* connection = qtConnection())
                xcb_flush(connection);
            // The window gives its content item its size only once it has a size event; the picture needs it now.
            quick->contentItem()->setSize(quick->size());
            if (showUntilNextFrame(*quick, quick->grabWindow()) && !quick->property(drawnKey).isValid()) {
                quick->setProperty(drawnKey, false);
                auto drawn = std::make_shared<QMetaObject::Connection>();
                *drawn = connect(
                    quick, &QQuickWindow::frameSwapped, quick,
                    [quick, drawn] {
                        QObject::disconnect(*drawn);
                        quick->setProperty(drawnKey, true);
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }
    if (event->type() != QEvent::PlatformSurface ||
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() != QPlatformSurfaceEvent::SurfaceCreated)
        return false;
    if (auto* window = qobject_cast<QWindow*>(watched))
        setBackgroundColour(*window);
    return false;
}

} // namespace tavrine::ui
