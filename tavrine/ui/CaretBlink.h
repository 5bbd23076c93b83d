#pragma once

#include <QObject>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// When a text field's caret is drawn. It blinks at the desktop's cursor flash rate while the field has the focus,
// and stands still, shown, once nobody has typed or clicked for `timeoutMs` (as GTK desktops do by default,
// gtk-cursor-blink-timeout): every blink redraws the whole window, and a window left open would do so for good.
// The next key or click makes it blink again. A desktop that switched blinking off gets a steady caret.
class CaretBlink : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool focused READ focused WRITE setFocused NOTIFY focusedChanged)
    Q_PROPERTY(bool shown READ shown NOTIFY shownChanged)
    Q_PROPERTY(bool blinking READ blinking NOTIFY blinkingChanged)

public:
    static constexpr int timeoutMs = 10000;

    explicit CaretBlink(QObject* parent = nullptr);

    // The field has the keyboard focus (the caret shows at all).
    bool focused() const { return m_focused; }
    void setFocused(bool focused);
    bool shown() const { return m_shown; }
    // Still blinking: the timer runs.
    bool blinking() const { return m_timer.isActive(); }

    // A key or a click in the field: the caret shows and blinks again from the start.
    Q_INVOKABLE void wake();
    // Half a blink went by (the timer's step; tests call it to move time on).
    void step();
    // Half the desktop's cursor flash time; 0 when the desktop does not blink carets.
    static int halfPeriodMs();

signals:
    void focusedChanged();
    void shownChanged();
    void blinkingChanged();

private:
    void setShown(bool shown);
    void setTimerRunning(bool running);

    QTimer m_timer;
    bool m_focused = false;
    bool m_shown = false;
    int m_elapsedMs = 0;
};

} // namespace tavrine::ui
