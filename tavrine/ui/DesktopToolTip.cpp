#include "tavrine/ui/DesktopToolTip.h"

#include <QApplication>
#include <QCursor>
#include <QQuickWindow>
#include <QToolTip>

#include <algorithm>

namespace tavrine::ui {

namespace {

// The widget tool tip needs a QApplication; a process without one (some tests, tools) shows no tip.
bool widgetsAvailable() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

DesktopToolTip::DesktopToolTip(QObject* parent) : QObject(parent) {
    m_wait.setSingleShot(true);
    m_wait.setInterval(m_delay);
    connect(&m_wait, &QTimer::timeout, this, &DesktopToolTip::show);
}

DesktopToolTip::~DesktopToolTip() {
    hide();
}

void DesktopToolTip::setTarget(QQuickItem* target) {
    if (m_target == target)
        return;
    hide();
    disconnect(m_targetWindow);
    m_target = target;
    if (m_target) {
        m_targetWindow = connect(m_target, &QQuickItem::windowChanged, this, &DesktopToolTip::watchWindow);
        watchWindow(m_target->window());
    } else {
        watchWindow(nullptr);
    }
    emit targetChanged();
}

void DesktopToolTip::watchWindow(QQuickWindow* window) {
    disconnect(m_windowVisibility);
    // A window that goes away takes its tip with it, wherever the pointer is.
    if (window)
        m_windowVisibility = connect(window, &QWindow::visibleChanged, this, [this](bool visible) {
            if (!visible)
                hide();
        });
}

void DesktopToolTip::setText(const QString& text) {
    if (m_text == text)
        return;
    m_text = text;
    if (m_showing)
        show();
    emit textChanged();
}

void DesktopToolTip::setWanted(bool wanted) {
    if (m_wanted == wanted)
        return;
    m_wanted = wanted;
    if (m_wanted)
        m_wait.start();
    else
        hide();
    emit wantedChanged();
}

void DesktopToolTip::setDelay(int delay) {
    if (m_delay == delay)
        return;
    m_delay = std::max(0, delay);
    m_wait.setInterval(m_delay);
    emit delayChanged();
}

QPoint DesktopToolTip::anchor(const QRect& targetOnScreen, const QPoint& pointer) {
    const int x =
        std::clamp(pointer.x(), targetOnScreen.left(), std::max(targetOnScreen.left(), targetOnScreen.right()));
    return QPoint(x, targetOnScreen.bottom() + 1);
}

void DesktopToolTip::show() {
    if (!m_wanted || m_text.isEmpty() || !m_target || !m_target->window() || !m_target->window()->isVisible() ||
        !widgetsAvailable())
        return;
    const QPointF topLeft = m_target->mapToGlobal(QPointF(0, 0));
    const QRect area(topLeft.toPoint(), QSize(int(m_target->width()), int(m_target->height())));
    QToolTip::showText(anchor(area, QCursor::pos()), m_text);
    if (!m_showing) {
        m_showing = true;
        emit showingChanged();
    }
}

void DesktopToolTip::hide() {
    m_wait.stop();
    if (!m_showing)
        return;
    m_showing = false;
    if (widgetsAvailable())
        QToolTip::hideText();
    emit showingChanged();
}

} // namespace tavrine::ui
