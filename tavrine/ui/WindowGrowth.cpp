#include "tavrine/ui/WindowGrowth.h"

#include "tavrine/ui/FirstFrameBackground.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QtMath>

namespace tavrine::ui {

void WindowGrowth::setWindow(QQuickWindow* window) {
    if (m_window == window)
        return;
    if (m_window)
        m_window->disconnect(this);
    m_window = window;
    if (m_window) {
        // A window hidden meanwhile draws nothing more: the grab would never end.
        connect(m_window, &QWindow::visibleChanged, this, [this](bool visible) {
            if (!visible && m_drawing) {
                m_drawing.reset();
                take(m_wanted);
            }
        });
    }
    emit windowChanged();
    follow();
}

void WindowGrowth::setSource(QQuickItem* source) {
    if (m_source == source)
        return;
    m_source = source;
    emit sourceChanged();
}

void WindowGrowth::setWantedHeight(qreal height) {
    if (m_wanted == height)
        return;
    m_wanted = height;
    emit wantedHeightChanged();
    follow();
}

void WindowGrowth::follow() {
    if (m_drawing)
        return; // the drawing under way ends with the height wanted by then
    if (m_wanted <= m_height || !drawAhead())
        take(m_wanted);
}

void WindowGrowth::take(qreal height) {
    if (m_height == height)
        return;
    m_height = height;
    emit heightChanged();
}

bool WindowGrowth::drawAhead() {
    if (!m_window || !m_source || !m_window->isVisible() || !m_window->isExposed() ||
        QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    const qreal ratio = m_window->devicePixelRatio();
    const QSize size(qCeil(m_window->width() * ratio), qCeil(m_wanted * ratio));
    m_drawing = m_source->grabToImage(size);
    if (!m_drawing)
        return false;
    connect(m_drawing.data(), &QQuickItemGrabResult::ready, this, [this, drawing = m_drawing.data()] {
        if (m_drawing.data() != drawing)
            return;
        const QImage picture = m_drawing->image();
        const qreal drawnHeight = m_wanted;
        m_drawing.reset();
        if (!m_window)
            return;
        // The content may have changed again meanwhile: only a picture of what will show goes up.
        if (picture.height() == qCeil(drawnHeight * m_window->devicePixelRatio()) && drawnHeight > m_height)
            FirstFrameBackground::showUntilNextFrame(*m_window, picture);
        take(m_wanted);
    });
    return true;
}

} // namespace tavrine::ui
