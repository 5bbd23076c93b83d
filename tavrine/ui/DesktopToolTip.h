#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QQuickItem>
#include <QRect>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

class QQuickWindow;

namespace tavrine::ui {

// A tool tip shown the way the desktop shows them: in a tool-tip window of its own (the application's widget
// tool tip) under the pointer, never inside the window of the item it explains. A Qt Quick tool tip is drawn
// in its item's own window, and in a window as small as the nudge's close button it lies over the button and
// takes the clicks meant for it.
class DesktopToolTip : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem* target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    // Whether the tip is wanted (the pointer rests on the target); it shows `delay` ms after this turns true.
    Q_PROPERTY(bool wanted READ wanted WRITE setWanted NOTIFY wantedChanged)
    Q_PROPERTY(int delay READ delay WRITE setDelay NOTIFY delayChanged)
    Q_PROPERTY(bool showing READ showing NOTIFY showingChanged)

public:
    explicit DesktopToolTip(QObject* parent = nullptr);
    ~DesktopToolTip() override;

    QQuickItem* target() const { return m_target; }
    void setTarget(QQuickItem* target);
    QString text() const { return m_text; }
    void setText(const QString& text);
    bool wanted() const { return m_wanted; }
    void setWanted(bool wanted);
    int delay() const { return m_delay; }
    void setDelay(int delay);
    // Whether this tip asked the desktop's tool tip to show and has not taken it away since.
    bool showing() const { return m_showing; }

    // The point the desktop's tool tip is placed from (it adds the pointer's height below it): under the target,
    // at the pointer's x as far as the target reaches, so the tip never covers the target.
    static QPoint anchor(const QRect& targetOnScreen, const QPoint& pointer);

signals:
    void targetChanged();
    void textChanged();
    void wantedChanged();
    void delayChanged();
    void showingChanged();

private:
    void show();
    void hide();
    void watchWindow(QQuickWindow* window);

    QPointer<QQuickItem> m_target;
    QString m_text;
    bool m_wanted = false;
    int m_delay = 600;
    bool m_showing = false;
    QTimer m_wait;
    QMetaObject::Connection m_targetWindow;
    QMetaObject::Connection m_windowVisibility;
};

} // namespace tavrine::ui
