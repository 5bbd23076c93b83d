#include "tavrine/ui/CaretBlink.h"

#include <QGuiApplication>
#include <QStyleHints>

namespace tavrine::ui {

CaretBlink::CaretBlink(QObject* parent) : QObject(parent) {
    connect(&m_timer, &QTimer::timeout, this, &CaretBlink::step);
}

int CaretBlink::halfPeriodMs() {
    // Qt takes a flash time under 2 ms for "no blinking" too.
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    return flash >= 2 ? flash / 2 : 0;
}

void CaretBlink::setFocused(bool focused) {
    if (focused == m_focused)
        return;
    m_focused = focused;
    emit focusedChanged();
    if (focused) {
        wake();
    } else {
        setTimerRunning(false);
        setShown(false);
    }
}

void CaretBlink::wake() {
    if (!m_focused)
        return;
    m_elapsedMs = 0;
    setShown(true);
    const int half = halfPeriodMs();
    if (half <= 0) {
        setTimerRunning(false);
        return;
    }
    m_timer.setInterval(half);
    // Started anew even while running: the caret stays shown a whole half period after each key.
    const bool wasBlinking = blinking();
    m_timer.start();
    if (!wasBlinking)
        emit blinkingChanged();
}

void CaretBlink::step() {
    if (!m_focused || !blinking())
        return;
    m_elapsedMs += m_timer.interval();
    if (m_elapsedMs >= timeoutMs) {
        setTimerRunning(false);
        setShown(true);
        return;
    }
    setShown(!m_shown);
}

void CaretBlink::setShown(bool shown) {
    if (shown == m_shown)
        return;
    m_shown = shown;
    emit shownChanged();
}

void CaretBlink::setTimerRunning(bool running) {
    if (running == m_timer.isActive())
        return;
    if (running)
        m_timer.start();
    else
        m_timer.stop();
    emit blinkingChanged();
}

} // namespace tavrine::ui
