#include "tavrine/ui/WindowGrowth.h"

#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/ScreenCurtain.h"

#include <QScreen>
#include <QtMath>

namespace tavrine::ui {

namespace {
constexpr int uncoverLimitMs = 1000;
} // namespace

WindowGrowth::WindowGrowth(QObject* parent) : QObject(parent) {
    m_limit.setSingleShot(true);
    m_limit.setInterval(uncoverLimitMs);
    connect(&m_limit, &QTimer::timeout, this, &WindowGrowth::uncover);
}

WindowGrowth::~WindowGrowth() {
    disconnect(m_drawn);
}

void WindowGrowth::setWindow(QQuickWindow* window) {
    if (m_window == window)
        return;
    if (m_window)
        m_window->disconnect(this);
    uncover();
    m_window = window;
    if (m_window) {
        // A window hidden meanwhile draws nothing more.
        connect(m_window, &QWindow::visibleChanged, this, [this](bool visible) {
            if (!visible)
                uncover();
        });
    }
    emit windowChanged();
}

void WindowGrowth::setWantedHeight(qreal height) {
    if (m_wanted == height)
        return;
    m_wanted = height;
    // Nothing of a window still drawn out of sight is on screen to cover. The window follows the wanted height at
    // once, under the curtain.
    if (m_window && m_window->isVisible() && !FirstFrameBackground::isOutOfSight(*m_window))
        cover();
    emit wantedHeightChanged();
    emit heightChanged();
    if (m_curtain)
        uncoverOnceDrawn();
}

QRect WindowGrowth::coveredArea(const QRect& from, int height, bool keepsBottomEdge) {
    const QRect to = keepsBottomEdge
                         ? QRect(QPoint(from.left(), from.bottom() + 1 - height), QSize(from.width(), height))
                         : QRect(from.topLeft(), QSize(from.width(), height));
    return from.united(to);
}

void WindowGrowth::cover() {
    const qreal ratio = m_window->devicePixelRatio();
    const QRect frame(QPoint(qFloor(m_window->x() * ratio), qFloor(m_window->y() * ratio)),
                      QSize(qCeil(m_window->width() * ratio), qCeil(m_window->height() * ratio)));
    // A window in the lower half of its screen stands above a tray at the bottom: it grows upwards.
    const QScreen* screen = m_window->screen();
    const bool keepsBottomEdge = screen && m_window->y() + m_window->height() / 2 > screen->geometry().center().y();
    const QRect area = coveredArea(frame, qCeil(m_wanted * ratio), keepsBottomEdge);
    // A change while the last one is still covered: the curtain already shows the screen as it was, and the new
    // one pictures it, wider where needed.
    if (m_curtain && m_curtain->area().contains(area))
        return;
    std::unique_ptr<ScreenCurtain> wider = ScreenCurtain::raise(m_curtain ? area.united(m_curtain->area()) : area);
    if (wider)
        m_curtain = std::move(wider);
}

void WindowGrowth::uncoverOnceDrawn() {
    disconnect(m_drawn);
    m_limit.start();
    // Emitted on the render thread after the frame went to the server; the check runs here.
    m_drawn = connect(
        m_window, &QQuickWindow::frameSwapped, this,
        [this] {
            if (m_window && qAbs(m_window->height() - m_wanted) < 1)
                uncover();
        },
        Qt::QueuedConnection);
}

void WindowGrowth::uncover() {
    disconnect(m_drawn);
    m_limit.stop();
    // The frame drawn under it was not kept by the server: the window is drawn again where it shows now, and
    // until then the screen keeps the curtain's picture, the window having no background of its own.
    m_curtain.reset();
}

} // namespace tavrine::ui
