#include "tavrine/ui/Frosted.h"

#include "tavrine/model/DesktopCompositing.h"
#include "tavrine/ui/PaletteWatcher.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>
#include <QQuickWindow>

namespace tavrine::ui {

namespace {

QColor paletteWindowColor(float alpha) {
    QColor color = QGuiApplication::palette().color(QPalette::Window).toRgb();
    color.setAlphaF(alpha);
    return color;
}

// What an engine's windows are composited by, kept with the engine for its Frosted singleton.
class EngineCompositing final : public QObject {
public:
    static constexpr const char* name = "_tavrine_compositing";
    QPointer<DesktopCompositing> compositing;
    QPointer<Frosted> frosted;

    static EngineCompositing& of(QQmlEngine& engine) {
        auto* link = static_cast<EngineCompositing*>(
            engine.findChild<QObject*>(QLatin1String(name), Qt::FindDirectChildrenOnly));
        if (!link) {
            link = new EngineCompositing;
            link->setObjectName(QLatin1String(name));
            link->setParent(&engine);
        }
        return *link;
    }
};

constexpr const char* installedProperty = "_tavrine_frosted";
// Whether the window has (or will be made with) an alpha channel.
constexpr const char* alphaProperty = "_tavrine_frosted_alpha";

} // namespace

Frosted::Frosted(DesktopCompositing* compositing, QObject* parent)
    : QObject(parent), m_watcher(new PaletteWatcher(this)) {
    connect(m_watcher, &PaletteWatcher::paletteChanged, this, [this] {
        emit colorsChanged();
        recolour();
    });
    setCompositing(compositing);
}

Frosted* Frosted::create(QQmlEngine* engine, QJSEngine*) {
    EngineCompositing& link = EngineCompositing::of(*engine);
    auto* frosted = new Frosted(link.compositing);
    link.frosted = frosted;
    return frosted;
}

void Frosted::useCompositing(QQmlEngine& engine, DesktopCompositing* compositing) {
    EngineCompositing& link = EngineCompositing::of(engine);
    link.compositing = compositing;
    if (link.frosted)
        link.frosted->setCompositing(compositing);
}

void Frosted::setCompositing(DesktopCompositing* compositing) {
    if (m_compositing)
        disconnect(m_compositing, nullptr, this, nullptr);
    m_compositing = compositing;
    if (compositing) {
        // A compositor starts or quits, a blur effect is switched on or off: the windows follow at once.
        connect(compositing, &DesktopCompositing::compositorRunningChanged, this, &Frosted::follow);
        connect(compositing, &DesktopCompositing::blurAnnouncedChanged, this, &Frosted::follow);
    }
    follow();
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

void Frosted::paint(QQuickWindow& window, const QColor& color) {
    // A native window keeps the channel it was made with: what is asked for stays what it has, so that the
    // graphics made for it later match it.
    const int alpha = window.handle() ? window.requestedFormat().alphaBufferSize() : 8;
    window.setColor(color);
    if (window.requestedFormat().alphaBufferSize() != alpha) {
        QSurfaceFormat format = window.requestedFormat();
        format.setAlphaBufferSize(alpha);
        window.setFormat(format);
    }
}

void Frosted::follow() {
    const bool running = m_compositing && m_compositing->compositorRunning();
    const bool translucent = translucentFor(running, m_compositing && m_compositing->blurAnnounced());
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
        // A window made before it was restyled has no alpha channel: it can only be drawn opaque. Every window
        // restyled before it exists gets one, so that it can turn translucent the moment a blurring compositor
        // appears.
        const bool clear = m_translucent && window->property(alphaProperty).toBool();
        paint(*window, clear ? QColor(Qt::transparent) : windowColor());
    }
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
    if (window && m_compositing)
        m_compositing->requestBlurBehind(window);
}

} // namespace tavrine::ui
