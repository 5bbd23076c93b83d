#pragma once

#include <QColor>
#include <QObject>

#include <optional>

class QGuiApplication;
class QWindow;

namespace tavrine::ui {

// Until a window has drawn its first frame the X server shows whatever the window has as background: Qt gives
// it none, so a window that maps or grows shows the pixels that were on screen there, or white. Every opaque
// window of the application gets its own colour as background once its X window exists, before it maps.
class FirstFrameBackground final : public QObject {
    Q_OBJECT
public:
    // Watches every window the application makes from now on (X11 only). The watcher belongs to the
    // application; it is answered so that a test can end it. Nothing off X11.
    static QObject* install(QGuiApplication& application);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;

    // The colour a window shows before its first frame: a Qt Quick window's own colour when it is opaque, the
    // palette's window colour for a window that is transparent or has none; nothing for a transparent window with
    // an alpha channel, which a compositor blends itself, nor for one the window manager does not manage (the tray
    // icon).
    static std::optional<QColor> backgroundFor(QWindow& window);
};

} // namespace tavrine::ui
