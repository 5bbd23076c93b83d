#include "tavrine/ui/Frosted.h"

#include "tavrine/platform/x11/X11Connection.h"
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

} // namespace

Frosted::Frosted(QObject* parent) : QObject(parent), m_watcher(new PaletteWatcher(this)) {
    connect(m_watcher, &PaletteWatcher::paletteChanged, this, &Frosted::colorsChanged);
    m_compositorRunning = probeCompositor();
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

QColor Frosted::veilFor(bool compositorRunning) {
    return compositorRunning ? veilColor() : windowColor();
}

QColor Frosted::cardFillFor(bool compositorRunning) {
    return compositorRunning ? cardFill() : windowColor();
}

void Frosted::refresh() {
    const bool running = probeCompositor();
    if (running == m_compositorRunning)
        return;
    m_compositorRunning = running;
    emit compositorRunningChanged();
}

void Frosted::setCompositorProbe(std::function<bool()> probe) {
    compositorProbe() = std::move(probe);
}

bool Frosted::probeCompositor() {
    if (compositorProbe())
        return compositorProbe()();
    if (!onX11())
        return false;
    platform::X11Connection* x11 = platform::X11Connection::shared();
    return x11 && x11->compositorRunning();
}

bool Frosted::install(QQuickWindow* window) {
    if (!window || window->property(installedProperty).toBool())
        return false;
    window->setProperty(installedProperty, true);
    if (!probeCompositor()) {
        window->setColor(veilFor(false));
        return true;
    }
    if (!window->handle()) {
        // The alpha channel has to be asked for before the native window exists.
        QSurfaceFormat format = window->requestedFormat();
        format.setAlphaBufferSize(8);
        window->setFormat(format);
    }
    window->setColor(Qt::transparent);
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
