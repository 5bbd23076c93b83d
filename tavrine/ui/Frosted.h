#pragma once

#include <QColor>
#include <QObject>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

#include <functional>

namespace tavrine::ui {

class PaletteWatcher;

// The translucent look of the application's windows: the window colour as a half-transparent veil over a blur
// of the desktop, and the nudge card's 80 % fill. Translucency needs a compositing manager; without one a
// transparent window shows black, so the veil becomes opaque and fading is replaced by hiding.
class Frosted final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor veilColor READ veilColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor cardFill READ cardFill NOTIFY colorsChanged)
    Q_PROPERTY(QColor windowColor READ windowColor NOTIFY colorsChanged)
    Q_PROPERTY(bool compositorRunning READ compositorRunning NOTIFY compositorRunningChanged)

public:
    explicit Frosted(QObject* parent = nullptr);

    // The palette's window colour at 50 % (veil) and 80 % (card fill).
    static QColor veilColor();
    static QColor cardFill();
    // The opaque window colour: the veil when no compositor can show through.
    static QColor windowColor();
    // The colour a veil is drawn with: the veil colour over a compositor, else the opaque window colour.
    Q_INVOKABLE static QColor veilFor(bool compositorRunning);
    Q_INVOKABLE static QColor cardFillFor(bool compositorRunning);

    // Whether _NET_WM_CM_S<screen> has an owner, read again on every call; false off X11.
    bool compositorRunning() const { return m_compositorRunning; }
    // Reads the compositor's presence again (a compositor may start or stop while Tavrine runs).
    Q_INVOKABLE void refresh();

    // Restyles `window` once: transparent with an alpha channel and the desktop blurred behind it when a
    // compositor runs, else filled with the opaque window colour. Answers whether this call did the work;
    // later calls for the same window do nothing.
    Q_INVOKABLE bool install(QQuickWindow* window);
    // Asks the compositor to blur what lies behind `window` (honoured by KWin, ignored elsewhere).
    Q_INVOKABLE static void requestBlurBehind(QWindow* window);

    // Tests and scripts/render-views replace how the compositor is detected; an empty function restores X11.
    static void setCompositorProbe(std::function<bool()> probe);
    static bool probeCompositor();

signals:
    void colorsChanged();
    void compositorRunningChanged();

private:
    PaletteWatcher* m_watcher = nullptr;
    bool m_compositorRunning = false;
};

} // namespace tavrine::ui
