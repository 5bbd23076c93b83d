#pragma once

#include <QColor>
#include <QObject>

#include <optional>

class QGuiApplication;
class QImage;
class QQuickWindow;
class QWindow;

namespace tavrine::ui {

// Until a window has drawn its first frame the X server shows whatever the window has as background: Qt gives
// it none, so a window that maps or grows shows the pixels that were on screen there, or white. Every opaque
// window of the application gets its own colour as background once its X window exists, before it maps.
//
// A flat colour still leaves a Qt Quick window blank for as long as its first frame takes, which is long for a
// window whose graphics are made afresh (shaders, glyphs, images). Such a window is drawn once offscreen as it
// is shown, and that picture is its background while it maps: it appears with its content. The picture goes
// once the window's own first frame is on screen.
class FirstFrameBackground final : public QObject {
    Q_OBJECT
public:
    // Watches every window the application makes from now on (X11 only). The watcher belongs to the
    // application; it is answered so that a test can end it. Nothing off X11.
    static QObject* install(QGuiApplication& application);

    // Makes `picture` the X background of `window` (at its top left) until the window has drawn its next frame,
    // then its own colour again: what the X server shows where the window maps, grows or is uncovered meanwhile.
    // False when that cannot be done (not on X11, a translucent window, no picture).
    static bool showUntilNextFrame(QQuickWindow& window, const QImage& picture);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;

    // The colour a window shows before its first frame: a Qt Quick window's own colour when it is opaque, the
    // palette's window colour for a window that is transparent or has none; nothing for a transparent window with
    // an alpha channel, which a compositor blends itself, nor for one the window manager does not manage (the tray
    // icon).
    static std::optional<QColor> backgroundFor(QWindow& window);
    static void setBackgroundColour(QWindow& window);
};

} // namespace tavrine::ui
