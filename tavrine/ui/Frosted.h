#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

#include <functional>

namespace tavrine::platform {
class X11RootWatcher;
}

namespace tavrine::ui {

class PaletteWatcher;

// The translucent look of the application's windows: the window colour as a half-transparent veil over a blur
// of the desktop, and the nudge card's 80 % fill. Translucency needs a compositing manager; without one a
// transparent window shows black, so the veil becomes opaque and fading is replaced by hiding.
//
// The frosted windows (the main window and Settings) go further: a veil over an unblurred desktop lays their
// text over the text of the window behind, so they are translucent only where the desktop blurs behind them, and
// opaque elsewhere. Both facts are followed while Tavrine runs.
class Frosted final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor veilColor READ veilColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor cardFill READ cardFill NOTIFY colorsChanged)
    Q_PROPERTY(QColor windowColor READ windowColor NOTIFY colorsChanged)
    Q_PROPERTY(bool compositorRunning READ compositorRunning NOTIFY compositorRunningChanged)
    Q_PROPERTY(bool translucent READ translucent NOTIFY translucentChanged)

public:
    explicit Frosted(QObject* parent = nullptr);

    // The palette's window colour at 50 % (veil) and 80 % (card fill).
    static QColor veilColor();
    static QColor cardFill();
    // The opaque window colour: the veil when no compositor can show through.
    static QColor windowColor();
    // The nudge card's fill: translucent over a compositor, else the opaque window colour.
    Q_INVOKABLE static QColor cardFillFor(bool compositorRunning);

    // Whether _NET_WM_CM_S<screen> has an owner; false off X11.
    bool compositorRunning() const { return m_compositorRunning; }
    // Whether the frosted windows are drawn translucent: the desktop blurs what lies behind them.
    bool translucent() const { return m_translucent; }
    // Reads both again. Changes on X11 are followed by themselves; tests that replace the probes call this.
    Q_INVOKABLE void refresh();

    // Restyles `window` once: an alpha channel, the desktop asked to blur behind it, and transparent while the
    // desktop blurs, else filled with the opaque window colour; later changes of the desktop recolour it. Answers
    // whether this call did the work; later calls for the same window do nothing.
    Q_INVOKABLE bool install(QQuickWindow* window);
    // Asks the compositor to blur what lies behind `window` (honoured by KWin, ignored elsewhere).
    Q_INVOKABLE static void requestBlurBehind(QWindow* window);

    // The root window property by which a compositor's blur announces itself (KWin's blur effect; it is not
    // listed in _NET_SUPPORTED).
    static constexpr const char* blurAnnouncement = "_KDE_NET_WM_BLUR_BEHIND_REGION";
    // Translucent only where something blurs: a compositor alone draws the desktop sharp behind the veil.
    static bool translucentFor(bool compositorRunning, bool blurAnnounced) {
        return compositorRunning && blurAnnounced;
    }

    // Tests and scripts/render-views replace how the compositor and the blur are detected; an empty function
    // restores X11.
    static void setCompositorProbe(std::function<bool()> probe);
    static void setBlurProbe(std::function<bool()> probe);
    static bool probeCompositor();
    static bool probeBlurAnnounced();

signals:
    void colorsChanged();
    void compositorRunningChanged();
    void translucentChanged();

private:
    void recolour();

    PaletteWatcher* m_watcher = nullptr;
    platform::X11RootWatcher* m_rootWatcher = nullptr;
    QList<QPointer<QQuickWindow>> m_windows;
    bool m_compositorRunning = false;
    bool m_translucent = false;
};

} // namespace tavrine::ui
