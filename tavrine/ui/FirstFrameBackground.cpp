#include "tavrine/ui/FirstFrameBackground.h"

#include "tavrine/ui/QtX11.h"
#include "tavrine/ui/ScreenCurtain.h"
#include "tavrine/ui/XPicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QMutex>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QQuickWindow>
#include <QSysInfo>
#include <QtMath>
#include <xcb/xcb.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <utility>

namespace tavrine::ui {

namespace {

void setOverrideRedirect(xcb_connection_t* connection, xcb_window_t window, bool on) {
    const quint32 value = on ? 1 : 0;
    xcb_change_window_attributes(connection, window, XCB_CW_OVERRIDE_REDIRECT, &value);
}

std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> geometryOf(xcb_connection_t* connection,
                                                                      xcb_window_t window) {
    return {xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr), &free};
}

// Work for the main thread, sent from the render thread.
class Call final : public QEvent {
public:
    static QEvent::Type kind() {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }
    explicit Call(std::function<void()> work) : QEvent(kind()), m_work(std::move(work)) {}
    void run() const { m_work(); }

private:
    std::function<void()> m_work;
};

// Runs `work` once, after the window's next frame is on screen. The main thread does it before whatever queued up
// while it waited for that frame (a window's first frame holds it for a while), not behind it.
void afterNextFrame(QQuickWindow& window, QObject* context, std::function<void(QQuickWindow&)> work) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        &window, &QQuickWindow::frameSwapped, context,
        [target = QPointer<QQuickWindow>(&window), connection, context, work = std::move(work)] {
            // Emitted on the render thread; only the first emission of a frame after another gets through.
            if (!QObject::disconnect(*connection))
                return;
            QCoreApplication::postEvent(context, new Call([target, work] {
                                            if (target)
                                                work(*target);
                                        }),
                                        Qt::HighEventPriority);
        },
        Qt::DirectConnection);
}

// Moves the X window to the place of `window` on the screen, as Qt has it. A hidden window keeps whatever place
// the window manager left it at when it last let it go, while Qt only asks for a place that differs from its own.
void placeAsGiven(xcb_connection_t* connection, const QWindow& window) {
    const qreal ratio = window.devicePixelRatio();
    const qint32 values[] = {qRound(window.x() * ratio), qRound(window.y() * ratio)};
    xcb_configure_window(connection, xcb_window_t(window.winId()), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
}

// The frame the window manager last drew around a window: around one it has not framed yet, it will draw the same.
QMargins lastFrameMargins;

// Where `window` and its frame are on the screen, in the X server's pixels.
QRect screenArea(const QWindow& window) {
    const qreal ratio = window.devicePixelRatio();
    QMargins margins = window.frameMargins();
    if (!margins.isNull())
        lastFrameMargins = margins;
    else if (FirstFrameBackground::framed(window))
        // Room for a frame of any usual size until one has been seen.
        margins = lastFrameMargins.isNull() ? QMargins(8, 40, 8, 8) : lastFrameMargins;
    const QRect frame = window.geometry().marginsAdded(margins);
    return QRect(QPoint(qFloor(frame.x() * ratio), qFloor(frame.y() * ratio)),
                 QSize(qCeil(frame.width() * ratio), qCeil(frame.height() * ratio)));
}

quint64 packed(const QSize& size) {
    return (quint64(quint32(size.width())) << 32) | quint32(size.height());
}

// A window that keeps asking for another size is shown after this many frames all the same.
constexpr int settleFrames = 8;
// Windows drawn wait this long at most for the others shown with them.
constexpr int groupWaitMs = 500;
// A picture of a window gone waits this long for a window to come; once one comes, until it shows (at most the
// longer limit).
constexpr int heldGraceMs = 40;
constexpr int heldLimitMs = 1500;

} // namespace

struct FirstFrameBackground::DrawnFrame {
    QMutex mutex;
    QImage picture;
    // The X window's depth, as the server told it with the size the frame was drawn at.
    std::atomic<int> depth = 0;
};

namespace {

// What the renderer of `window` has just drawn, read from its back buffer before the swap: the picture of the frame
// itself, instead of drawing the window once more to take one. Null when it does not draw with OpenGL.
QImage readBackFrame(QQuickWindow& window) {
    QSGRendererInterface* renderer = window.rendererInterface();
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!renderer || renderer->graphicsApi() != QSGRendererInterface::OpenGL || !context)
        return {};
    const QSize size = window.size() * window.devicePixelRatio();
    // Read in the order the X server takes its pixels where OpenGL can (BGRA on a little-endian machine: the
    // order Qt's 32-bit pixels have in memory), so that nothing is reordered on the way to the server.
    constexpr GLenum bgra = 0x80E1;
    const bool native = !context->isOpenGLES() && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    QImage picture(size, native ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGBA8888_Premultiplied);
    window.beginExternalCommands();
    QOpenGLFunctions* gl = context->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, context->defaultFramebufferObject());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, size.width(), size.height(), native ? bgra : GL_RGBA, GL_UNSIGNED_BYTE, picture.bits());
    const bool read = gl->glGetError() == GL_NO_ERROR;
    window.endExternalCommands();
    if (!read)
        return {};
    // OpenGL's rows go bottom up.
    picture.mirror();
    picture.setDevicePixelRatio(window.devicePixelRatio());
    return picture;
}

} // namespace

FirstFrameBackground::FirstFrameBackground(QObject* parent) : QObject(parent) {
    m_groupLimit.setSingleShot(true);
    m_groupLimit.setInterval(groupWaitMs);
    connect(&m_groupLimit, &QTimer::timeout, this, [this] {
        // Shown with the ones still drawing: those come on their own.
        QList<QQuickWindow*> ready;
        for (QWindow* window : std::exchange(m_ready, {}))
            if (auto* quick = qobject_cast<QQuickWindow*>(window); quick && m_hidden.contains(window))
                ready << quick;
        showTogether(ready);
    });
    m_heldLimit.setSingleShot(true);
    m_heldLimit.setInterval(heldGraceMs);
    connect(&m_heldLimit, &QTimer::timeout, this, [this] {
        if ((!heldFor() && !m_replacementExpected) || m_heldSince.elapsed() > heldLimitMs)
            dropHeldPlaces();
        else
            m_heldLimit.start();
    });
}

FirstFrameBackground::~FirstFrameBackground() = default;

namespace {
QPointer<FirstFrameBackground> installed;
} // namespace

bool FirstFrameBackground::isOutOfSight(const QWindow& window) {
    return installed && installed->m_hidden.contains(const_cast<QWindow*>(&window));
}

void FirstFrameBackground::drawAhead(QQuickWindow& window) {
    if (!installed || window.isVisible() || !drawnBeforeShown(window))
        return;
    installed->m_ahead.insert(&window);
    window.show();
    // Not taken for a window drawn out of sight (no native window yet, say): nothing to hide it again.
    if (!installed->m_hidden.contains(&window)) {
        installed->m_ahead.remove(&window);
        window.hide();
    }
}

bool FirstFrameBackground::isDrawnAhead(const QWindow& window) {
    return installed && installed->m_ahead.contains(&window);
}

void FirstFrameBackground::showAfterAll(const QWindow& window) {
    if (installed)
        installed->m_ahead.remove(&window);
}

QList<QWindow*> FirstFrameBackground::coming() const {
    QList<QWindow*> windows;
    for (QWindow* window : m_hidden.keys())
        if (!m_ahead.contains(window))
            windows << window;
    return windows;
}

void FirstFrameBackground::expectReplacement() {
    if (installed)
        installed->m_replacementExpected = true;
}

QObject* FirstFrameBackground::install(QGuiApplication& application) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* watcher = new FirstFrameBackground(&application);
    installed = watcher;
    application.installEventFilter(watcher);
    application.installNativeEventFilter(watcher);
    return watcher;
}

bool FirstFrameBackground::drawnBeforeShown(const QWindow& window) {
    if (!window.isTopLevel() || window.flags().testFlag(Qt::BypassWindowManagerHint))
        return false;
    // Pop-ups and tool tips bypass the window manager already, and are small and quick to draw.
    const Qt::WindowType type = window.type();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet || type == Qt::Drawer;
}

bool FirstFrameBackground::framed(const QWindow& window) {
    return !window.flags().testFlag(Qt::FramelessWindowHint);
}

bool FirstFrameBackground::event(QEvent* event) {
    if (event->type() != Call::kind())
        return QObject::event(event);
    static_cast<Call*>(event)->run();
    return true;
}

bool FirstFrameBackground::eventFilter(QObject* watched, QEvent* event) {
    // Show comes before Qt maps the window, Hide after it unmapped it (also while a window is being destroyed,
    // when it is a QWindow and nothing more).
    if (event->type() == QEvent::Show) {
        auto* window = qobject_cast<QQuickWindow*>(watched);
        if (window && window->handle() && drawnBeforeShown(*window) && !m_hidden.contains(window)) {
            if (!m_watched.contains(window)) {
                m_watched.insert(window);
                QWindow* key = window;
                connect(window, &QObject::destroyed, this, [this, key] { m_watched.remove(key); });
                // Emitted before Qt unmaps the window: still on screen.
                connect(window, &QWindow::visibleChanged, this, [this, key](bool visible) {
                    if (!visible)
                        holdPlaceOf(*key);
                });
            }
            drawHidden(*window);
        }
    } else if (event->type() == QEvent::Hide && watched->isWindowType()) {
        auto* window = static_cast<QWindow*>(watched);
        m_remapped.remove(window);
        for (auto it = m_mapping.begin(); it != m_mapping.end();)
            it = it.value() == window ? m_mapping.erase(it) : std::next(it);
        if (m_hidden.contains(window)) {
            release(*window);
            // The others shown with it no longer wait for it.
            if (!m_ready.isEmpty())
                handOverReady();
        }
    } else if (event->type() == QEvent::Expose && m_remapped.contains(watched)) {
        // Out of Qt's sight as the window manager takes it, then in sight where it put it (a frameless one only
        // comes into sight).
        auto* window = static_cast<QQuickWindow*>(watched);
        if (!window->isExposed())
            m_remapped[window] = true;
        else if (m_remapped.value(window) && m_remapped.remove(window)) {
            dropPictureAfterNextFrame(*window);
            onScreen(quint32(window->winId()));
        }
    }
    return false;
}

bool FirstFrameBackground::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const uint8_t*>(message);
    if ((event[0] & 0x7F) == XCB_MAP_NOTIFY && !m_mapping.isEmpty()) {
        mapSeen(static_cast<const xcb_map_notify_event_t*>(message)->window);
        return false;
    }
    const int shapeBase = qtx11::shapeEventBase();
    if (shapeBase < 0 || m_hidden.isEmpty())
        return false;
    // A ShapeNotify: its kind, the window, and the extents of the window's new shape.
    if ((event[0] & 0x7F) != shapeBase || event[1] != 0 /* bounding */)
        return false;
    quint32 window = 0;
    quint16 width = 0;
    quint16 height = 0;
    std::memcpy(&window, event + 4, sizeof window);
    std::memcpy(&width, event + 12, sizeof width);
    std::memcpy(&height, event + 14, sizeof height);
    if (width == 0 || height == 0)
        return false;
    for (auto it = m_hidden.cbegin(); it != m_hidden.cend(); ++it) {
        if (it.key()->handle() && quint32(it.key()->winId()) == window) {
            qtx11::setShapeEmpty(window, qtx11::Shape::Bounding, true);
            break;
        }
    }
    return false;
}

void FirstFrameBackground::drawHidden(QQuickWindow& window) {
    xcb_connection_t* connection = qtx11::connection();
    if (!connection)
        return;
    const auto id = xcb_window_t(window.winId());
    // Mapped, exposed for Qt, drawn, and nowhere on screen: a window with nothing in its shape shows nothing, and
    // the window manager gives a frameless one the same shape. One it frames would show that frame: Qt's map of
    // it goes straight to the server instead, where the window stands then being where the X window stands, not
    // where the window manager would put it: the place Qt was given.
    if (framed(window)) {
        placeAsGiven(connection, window);
        setOverrideRedirect(connection, id, true);
    }
    // Coming while another window's place is held: its own place is held too.
    const bool ahead = m_ahead.contains(&window);
    if (!m_held.empty() && !ahead)
        holdPlace(screenArea(window));
    if (!ahead)
        m_replacementExpected = false;
    qtx11::selectShapeEvents(id);
    qtx11::setShapeEmpty(id, qtx11::Shape::Bounding, true);
    if (!window.flags().testFlag(Qt::WindowTransparentForInput))
        qtx11::setShapeEmpty(id, qtx11::Shape::Input, true);
    xcb_flush(connection);
    QWindow* key = &window;
    // The size each frame is drawn at, read while the window's content waits for the render thread; 0 for a frame
    // drawn while the server had not yet given the window the size Qt asked for.
    auto drawnAt = std::make_shared<std::atomic<quint64>>(0);
    auto drawn = std::make_shared<DrawnFrame>();
    m_drawn.insert(key, drawn);
    m_hidden.insert(key, {connect(&window, &QObject::destroyed, this,
                                  [this, key] {
                                      m_ahead.remove(key);
                                      m_hidden.remove(key);
                                      m_drawn.remove(key);
                                      m_ready.remove(key);
                                      if (!m_ready.isEmpty())
                                          handOverReady();
                                  }),
                          connect(
                              &window, &QQuickWindow::beforeSynchronizing, this,
                              [&window, drawn, drawnAt, id] {
                                  // The X window is drawn at the size it has on the server: a size Qt has asked for
                                  // and the server not yet given draws a frame cut to the old one.
                                  const QSize size = window.size();
                                  const auto geometry = geometryOf(qtx11::connection(), id);
                                  if (geometry)
                                      drawn->depth = geometry->depth;
                                  const bool given =
                                      geometry && QSize(geometry->width, geometry->height) ==
                                                      QSize(qRound(size.width() * window.devicePixelRatio()),
                                                            qRound(size.height() * window.devicePixelRatio()));
                                  drawnAt->store(given ? packed(size) : 0);
                              },
                              Qt::DirectConnection),
                          connect(
                              &window, &QQuickWindow::afterRendering, this,
                              [&window, drawn, drawnAt] {
                                  // A frame cut to the size the server had is no picture of the window.
                                  QImage picture = drawnAt->load() != 0 ? readBackFrame(window) : QImage();
                                  const QMutexLocker lock(&drawn->mutex);
                                  drawn->picture = std::move(picture);
                              },
                              Qt::DirectConnection)});
    handOverOnceSettled(window, drawnAt, settleFrames);
}

void FirstFrameBackground::handOverOnceSettled(QQuickWindow& window, std::shared_ptr<std::atomic<quint64>> drawnAt,
                                               int framesLeft) {
    afterNextFrame(window, this, [this, drawnAt, framesLeft](QQuickWindow& drawn) {
        if (!m_hidden.contains(&drawn))
            return;
        // A content that laid itself out anew while drawing (a layout settles in the frame) asks for another size:
        // that frame is not what the window shows once resized.
        const QSize size = drawn.size();
        const bool settled = drawnAt->load() == packed(size) && size.width() >= drawn.minimumWidth() &&
                             size.width() <= drawn.maximumWidth() && size.height() >= drawn.minimumHeight() &&
                             size.height() <= drawn.maximumHeight();
        if (!settled && framesLeft > 1) {
            handOverOnceSettled(drawn, drawnAt, framesLeft - 1);
        } else if (m_ahead.remove(&drawn)) {
            // Drawn: it goes again, as it came, unseen.
            drawn.hide();
        } else {
            m_ready.insert(&drawn);
            handOverReady();
        }
    });
}

void FirstFrameBackground::handOverReady() {
    for (QWindow* window : coming())
        if (!m_ready.contains(window)) {
            if (!m_groupLimit.isActive())
                m_groupLimit.start();
            return;
        }
    // Every window on its way is drawn: they all go on screen at once, and what held their place goes.
    m_groupLimit.stop();
    // Their pictures first, then all of them at once.
    QList<QQuickWindow*> ready;
    for (QWindow* window : std::exchange(m_ready, {}))
        if (auto* quick = qobject_cast<QQuickWindow*>(window))
            ready << quick;
    showTogether(ready);
}

void FirstFrameBackground::showTogether(const QList<QQuickWindow*>& ready) {
    for (QQuickWindow* window : ready)
        setPicture(*window);
    for (QQuickWindow* window : ready)
        show(*window);
    // What held the place goes as they show: at once, or once the window manager has mapped the framed ones again.
    if (!heldFor())
        dropHeldPlaces();
    xcb_flush(qtx11::connection());
    for (QQuickWindow* window : ready)
        emit shown(window);
}

void FirstFrameBackground::holdPlaceOf(QWindow& window) {
    if (!window.isExposed() || m_hidden.contains(&window))
        return;
    // Over the windows on their way too: one that shows before it is drawn (Qt giving it a shape) stays unseen.
    QRect area = screenArea(window);
    for (QWindow* other : coming())
        area = area.united(screenArea(*other));
    holdPlace(area);
}

void FirstFrameBackground::holdPlace(const QRect& area) {
    if (std::unique_ptr<ScreenCurtain> curtain = ScreenCurtain::raise(area)) {
        if (m_held.empty())
            m_heldSince.start();
        m_held.push_back(std::move(curtain));
        // Dropped after a moment when no window comes, else once the windows coming show.
        m_heldLimit.start();
    }
}

void FirstFrameBackground::dropHeldPlaces() {
    m_heldLimit.stop();
    m_replacementExpected = false;
    m_held.clear();
    m_mapping.clear();
    m_frames.clear();
}

bool FirstFrameBackground::heldFor() const {
    return !coming().isEmpty() || !m_mapping.isEmpty();
}

void FirstFrameBackground::mapSeen(quint32 mapped) {
    if (const auto frame = m_frames.constFind(mapped); frame != m_frames.cend()) {
        onScreen(*frame);
        return;
    }
    if (!m_mapping.contains(mapped))
        return;
    // The window manager maps a window inside its frame, and the frame after it (or before): the window is on
    // screen once both are, and not a moment earlier, or what held its place would leave a bare desktop there.
    xcb_connection_t* connection = qtx11::connection();
    const auto viewable = [connection, mapped] {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, mapped), nullptr), &free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    };
    if (viewable()) {
        onScreen(mapped);
        return;
    }
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, mapped), nullptr), &free);
    if (!tree || tree->parent == tree->root)
        return;
    const quint32 structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, tree->parent, XCB_CW_EVENT_MASK, &structure);
    m_frames.insert(tree->parent, mapped);
    // Mapped while the frame was being watched.
    if (viewable())
        onScreen(mapped);
}

void FirstFrameBackground::onScreen(quint32 window) {
    if (!m_mapping.remove(window))
        return;
    for (auto it = m_frames.begin(); it != m_frames.end();)
        it = it.value() == window ? m_frames.erase(it) : std::next(it);
    if (!heldFor()) {
        dropHeldPlaces();
        xcb_flush(qtx11::connection());
    }
}

void FirstFrameBackground::setPicture(QQuickWindow& window) {
    xcb_connection_t* connection = qtx11::connection();
    const auto id = xcb_window_t(window.winId());
    // The frame just drawn as the picture the server shows in it from the moment it shows; drawn once more by the
    // window's own renderer where it could not be read back as drawn.
    QImage picture;
    int depth = 0;
    if (const std::shared_ptr<DrawnFrame> drawn = m_drawn.value(&window)) {
        depth = drawn->depth;
        const QMutexLocker lock(&drawn->mutex);
        if (drawn->picture.size() == window.size() * window.devicePixelRatio())
            picture = drawn->picture;
    }
    if (picture.isNull())
        picture = window.grabWindow();
    if (depth == 0) {
        const auto geometry = geometryOf(connection, id);
        depth = geometry ? geometry->depth : 0;
    }
    if (depth && !picture.isNull()) {
        if (const quint32 pixmap = XPicture::upload(connection, id, depth, picture, window.color())) {
            xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
            // The window holds it as long as it is its background.
            xcb_free_pixmap(connection, pixmap);
        }
    }
}

void FirstFrameBackground::show(QQuickWindow& window) {
    xcb_connection_t* connection = qtx11::connection();
    const auto id = xcb_window_t(window.winId());
    const bool remap = framed(window);
    if (remap)
        xcb_unmap_window(connection, id);
    release(window);
    if (remap) {
        placeAsGiven(connection, window);
        xcb_map_window(connection, id);
        m_mapping.insert(id, &window);
    }
    xcb_flush(connection);
    // Asked for while the window manager did not know the window: asked again.
    if (remap && !window.flags().testFlag(Qt::WindowDoesNotAcceptFocus))
        window.requestActivate();
    // A frame already under way when the window went to the window manager is no frame on screen: the picture
    // stays until Qt has drawn the window once it shows again. A frameless window is on screen once the window
    // manager has given its frame the window's shape again, which it does when it gets to it: until the window is
    // exposed, a frame drawn meanwhile shows nowhere, and the picture stays too.
    m_remapped.insert(&window, !remap);
}

void FirstFrameBackground::dropPictureAfterNextFrame(QQuickWindow& window) {
    // Once drawn where it shows, the picture would only show stale content where the window grows or is
    // uncovered later: no background again.
    afterNextFrame(window, this, [](QQuickWindow& shown) {
        if (xcb_connection_t* connection = qtx11::connection()) {
            const quint32 none = XCB_BACK_PIXMAP_NONE;
            xcb_change_window_attributes(connection, xcb_window_t(shown.winId()), XCB_CW_BACK_PIXMAP, &none);
            xcb_flush(connection);
        }
    });
}

void FirstFrameBackground::release(QWindow& window) {
    m_ahead.remove(&window);
    for (const QMetaObject::Connection& connection : m_hidden.take(&window))
        disconnect(connection);
    m_drawn.remove(&window);
    m_ready.remove(&window);
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
