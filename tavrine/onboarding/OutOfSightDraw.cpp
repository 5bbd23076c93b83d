#include "tavrine/onboarding/OutOfSightDraw.h"

#include "tavrine/ui/QtX11.h"

#include <QGuiApplication>
#include <QTimer>

namespace tavrine::onboarding {

using ui::qtx11::Shape;

OutOfSightDraw::OutOfSightDraw(QQuickWindow& window, std::function<void()> done, QObject* parent)
    : QObject(parent), m_window(&window), m_done(std::move(done)) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || window.isVisible()) {
        QTimer::singleShot(0, this, &OutOfSightDraw::finish);
        return;
    }
    m_drawing = true;
    window.setFlag(Qt::BypassWindowManagerHint, true);
    window.create();
    const auto id = quint32(window.winId());
    ui::qtx11::setShapeEmpty(id, Shape::Bounding, true);
    ui::qtx11::setShapeEmpty(id, Shape::Input, true);
    window.setProperty("_q_showWithoutActivating", true);
    // The frame is swapped on the render thread; the queued call comes once the main thread is free again.
    connect(&window, &QQuickWindow::frameSwapped, this, &OutOfSightDraw::finish, Qt::QueuedConnection);
    QTimer::singleShot(limitMs, this, &OutOfSightDraw::finish);
    window.show();
}

OutOfSightDraw::~OutOfSightDraw() {
    restore();
}

void OutOfSightDraw::restore() {
    if (!std::exchange(m_drawing, false) || !m_window)
        return;
    QQuickWindow& window = *m_window;
    disconnect(&window, nullptr, this, nullptr);
    window.hide();
    window.setFlag(Qt::BypassWindowManagerHint, false);
    const auto id = quint32(window.winId());
    // A window cut to a shape of its own gets that shape back; one that takes no input keeps taking none.
    if (window.mask().isEmpty())
        ui::qtx11::setShapeEmpty(id, Shape::Bounding, false);
    else
        window.setMask(window.mask());
    if (!window.flags().testFlag(Qt::WindowTransparentForInput))
        ui::qtx11::setShapeEmpty(id, Shape::Input, false);
}

void OutOfSightDraw::finish() {
    restore();
    auto done = std::exchange(m_done, nullptr);
    deleteLater();
    if (done)
        done();
}

} // namespace tavrine::onboarding
