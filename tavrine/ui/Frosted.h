#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace tavrine {
class DesktopCompositing;
}

namespace tavrine::ui {

class PaletteWatcher;

// The translucent look of the application's windows: the window colour as a half-transparent veil over a blur
// of the desktop, and the nudge card's 80 % fill. Translucency needs a compositing manager; without one a
// transparent window shows black, so the veil becomes opaque and fading is replaced by hiding.
//
// The frosted windows (the main window and Settings) go further: a veil over an unblurred desktop lays their
// text over the text of the window behind, so they are translucent only where the desktop blurs behind them, and
// opaque elsewhere. Both facts come from the desktop's compositing, handed to each QML engine by the composition
// root (useCompositing), and are followed while Tavrine runs; without it nothing is composited.
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
    // `compositing` is not owned; none: nothing is composited.
    explicit Frosted(DesktopCompositing* compositing, QObject* parent = nullptr);
    // The engine's singleton, on the compositing handed to that engine (QML makes it through this, as the
    // constructor takes an argument).
    static Frosted* create(QQmlEngine* engine, QJSEngine*);
    // Hands `engine`'s Frosted (made already, or when QML first uses it) the desktop's compositing; it must
    // outlive the engine's windows. None: nothing is composited.
    static void useCompositing(QQmlEngine& engine, DesktopCompositing* compositing);
    void setCompositing(DesktopCompositing* compositing);

    // The palette's window colour at 50 % (veil) and 80 % (card fill).
    static QColor veilColor();
    static QColor cardFill();
    // The opaque window colour: the veil when no compositor can show through.
    static QColor windowColor();
    // The nudge card's fill: translucent over a compositor, else the opaque window colour.
    Q_INVOKABLE static QColor cardFillFor(bool compositorRunning);
    // Colours a window that keeps its alpha channel whatever the colour, so that it can turn translucent when a
    // compositor comes: the channel has to be asked for before the native window exists, and an opaque colour makes
    // Qt ask for none. A window made already keeps what it was made with. Drawn opaque, a window with the channel
    // looks the same with or without a compositor.
    static void paint(QQuickWindow& window, const QColor& color);

    // Whether a compositing manager runs; false off X11.
    bool compositorRunning() const { return m_compositorRunning; }
    // Whether the frosted windows are drawn translucent: the desktop blurs what lies behind them.
    bool translucent() const { return m_translucent; }

    // Restyles `window` once: an alpha channel, the desktop asked to blur behind it, and transparent while the
    // desktop blurs, else filled with the opaque window colour; later changes of the desktop recolour it. Answers
    // whether this call did the work; later calls for the same window do nothing.
    Q_INVOKABLE bool install(QQuickWindow* window);
    // Asks the compositor to blur what lies behind `window` (honoured by KWin, ignored elsewhere).
    Q_INVOKABLE void requestBlurBehind(QWindow* window);

    // Translucent only where something blurs: a compositor alone draws the desktop sharp behind the veil.
    static bool translucentFor(bool compositorRunning, bool blurAnnounced) {
        return compositorRunning && blurAnnounced;
    }

signals:
    void colorsChanged();
    void compositorRunningChanged();
    void translucentChanged();

private:
    // Takes the compositing's state.
    void follow();
    void recolour();

    PaletteWatcher* m_watcher = nullptr;
    QPointer<DesktopCompositing> m_compositing;
    QList<QPointer<QQuickWindow>> m_windows;
    bool m_compositorRunning = false;
    bool m_translucent = false;
};

} // namespace tavrine::ui
