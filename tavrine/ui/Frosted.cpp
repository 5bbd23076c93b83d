#include "tavrine/ui/Frosted.h"

#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/platform/x11/X11RootWatcher.h"
#include "tavrine/ui/PaletteWatcher.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QPlatformSurfaceEvent>
#include <QQuickWindow>

namespace tavrine::ui {

namespace {

std::function<bool()>& compositorProbe() {
    static std::function<bool()> probe;
    return probe;
}

std::function<bool()>& blurProbe() {
    static std::function<bool()> probe;
    return probe;
}

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QColor paletteWindowColor(float alpha) {
    QColor color = QGuiApplication::palette().color(QPalette::Window).toRgb();
    color.setAlphaF(alpha);
    return color;
}

// Runs `apply` once the window has its native surface (at once when it has one already).
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
                // The surface exists once the event has been handled.
                QMetaObject::invokeMethod(this, [this] {
                    apply();
                    deleteLater();
                }, Qt::QueuedConnection);
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

constexpr const char* installedProperty = "_tavrine_frosted";
// Whether the window has (or will be made with) an alpha channel.
constexpr const char* alphaProperty = "_tavrine_frosted_alpha";

} // namespace

Frosted::Frosted(QObject* parent) : QObject(parent), m_watcher(new PaletteWatcher(this)) {
    connect(m_watcher, &PaletteWatcher::paletteChanged, this, [this] {
        emit colorsChanged();
        recolour();
    });
    platform::X11Connection* x11 = onX11() ? platform::X11Connection::shared() : nullptr;
    if (x11) {
        // A compositor starts or quits, a blur effect is switched on or off: the windows follow at once.
        m_rootWatcher = new platform::X11RootWatcher({}, this);
        m_rootWatcher->watchSelectionOwner(x11->compositorSelection());
        connect(m_rootWatcher, &platform::X11RootWatcher::selectionOwnerChanged, this, &Frosted::refresh);
        connect(m_rootWatcher, &platform::X11RootWatcher::rootPropertyChanged, this, [this](const QByteArray& name) {
            if (name == blurAnnouncement)
                refresh();
        });
    }
    m_compositorRunning = probeCompositor();
    m_translucent = translucentFor(m_compositorRunning, probeBlurAnnounced());
}

QColor Frosted::veilColor() {
    return paletteWindowColor(0.5f);
}

QColor Frosted::cardFill() {
    return paletteWindowColor(0.8f);
}

QColor Frosted::windowColor() {
    return paletteWindowColor(1.0f);
}

QColor Frosted::cardFillFor(bool compositorRunning) {
    return compositorRunning ? cardFill() : windowColor();
}

void Frosted::refresh() {
    const bool running = probeCompositor();
    const bool translucent = translucentFor(running, probeBlurAnnounced());
    if (running != m_compositorRunning) {
        m_compositorRunning = running;
        emit compositorRunningChanged();
    }
    if (translucent != m_translucent) {
        m_translucent = translucent;
        recolour();
        emit translucentChanged();
    }
}

void Frosted::recolour() {
    m_windows.removeAll(nullptr);
    for (QQuickWindow* window : std::as_const(m_windows)) {
        // A window made before it was restyled has no alpha channel: it can only be drawn opaque.
        const bool clear = m_translucent && window->property(alphaProperty).toBool();
        window->setColor(clear ? QColor(Qt::transparent) : windowColor());
        if (!window->handle()) {
            // The alpha channel has to be asked for before the native window exists, and a window cannot gain
            // one later without being made anew: every frosted window gets one, so that it can turn translucent
            // the moment a blurring compositor appears. Drawn opaque, such a window looks the same with or without
            // a compositor (without one the server shows its colours and ignores the alpha). An opaque colour
            // makes Qt ask for no alpha channel, so it is asked for again after each colour.
            QSurfaceFormat format = window->requestedFormat();
            format.setAlphaBufferSize(8);
            window->setFormat(format);
        }
    }
}

void Frosted::setCompositorProbe(std::function<bool()> probe) {
    compositorProbe() = std::move(probe);
}

void Frosted::setBlurProbe(std::function<bool()> probe) {
    blurProbe() = std::move(probe);
}

bool Frosted::probeCompositor() {
    if (compositorProbe())
        return compositorProbe()();
    if (!onX11())
        return false;
    platform::X11Connection* x11 = platform::X11Connection::shared();
    return x11 && x11->compositorRunning();
}

bool Frosted::probeBlurAnnounced() {
    if (blurProbe())
        return blurProbe()();
    if (!onX11())
        return false;
    platform::X11Connection* x11 = platform::X11Connection::shared();
    return x11 && x11->rootHasProperty(blurAnnouncement);
}

bool Frosted::install(QQuickWindow* window) {
    if (!window || window->property(installedProperty).toBool())
        return false;
    window->setProperty(installedProperty, true);
    window->setProperty(alphaProperty, !window->handle() || window->format().alphaBufferSize() > 0);
    m_windows.append(window);
    recolour();
    requestBlurBehind(window);
    return true;
}

void Frosted::requestBlurBehind(QWindow* window) {
    if (!window || !onX11())
        return;
    whenCreated(window, [window] {
        if (platform::X11Connection* x11 = platform::X11Connection::shared())
            x11->requestBlurBehind(platform::XWindowId(window->winId()));
    });
}

} // namespace tavrine::ui
