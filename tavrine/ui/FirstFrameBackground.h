#pragma once

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QRect>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <memory>

class QGuiApplication;
class QQuickWindow;
class QWindow;

namespace tavrine::ui {

// What a window shows on screen before Qt has drawn it. Qt leaves an X window without a background, so until its
// first frame the screen keeps what was there: the window's frame around a hole where the window manager frames
// it, a still picture of whatever moves beneath it, the bare colour of a background if one were set. So a window
// is mapped by itself first, out of the window manager's hands and with nothing of it shown (override-redirect,
// an empty shape), draws its first frame with its own renderer, and then goes to the window manager with that
// frame as its X background: it comes on screen drawn, at the cost of its first frame and one picture of it,
// whether it kept its graphics while hidden or makes them afresh, and whatever changed while it was hidden.
//
// Windows shown together (a stage of several) come on screen together, once the last of them is drawn; and a window
// that goes while others are on their way stays on screen as a still picture until they show, so that one screen
// gives way to the next without an empty desktop in between.
class FirstFrameBackground final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Watches every window the application shows from now on (X11 only). The watcher belongs to the
    // application; it is answered so that a test can end it. Nothing off X11.
    static QObject* install(QGuiApplication& application);

    // The next window that leaves the screen is being replaced by one that comes a moment later (a window that
    // takes long to build the first time): its place is held until a window shows, or a second and a half.
    static void expectReplacement();
    // Whether `window` is shown by Qt and still being drawn out of sight.
    static bool isOutOfSight(const QWindow& window);
    // Draws `window` once out of sight and hides it again, on its own, however many windows come and go meanwhile:
    // what a window's first frame makes (its graphics context, scene graph, the driver's code for its shaders) is
    // made then, and its first showing draws as quickly as a later one. Nothing off X11, or for a shown window.
    static void drawAhead(QQuickWindow& window);
    // Whether `window` is being drawn ahead, and so is not to be taken for shown.
    static bool isDrawnAhead(const QWindow& window);
    // `window`, being drawn ahead, is to show after all: it comes on screen once drawn, as a window shown does.
    static void showAfterAll(const QWindow& window);

    // Whether `window` is drawn out of sight before it shows: a top-level window the window manager manages.
    static bool drawnBeforeShown(const QWindow& window);
    // Whether the window manager draws a frame around `window`.
    static bool framed(const QWindow& window);

    // A shape Qt gives a window that is still out of sight (a panel cut to its outline as it lays itself out) is
    // taken back at once: the window shows only once drawn, with that shape.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // `window` has just gone on screen with the picture of its first frame, before Qt draws it there.
    void shown(QWindow* window);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FirstFrameBackground(QObject* parent);
    ~FirstFrameBackground() override;

    void drawHidden(QQuickWindow& window);
    void handOverReady();
    // A window about to leave the screen: a still picture of it holds its place while others are on their way.
    void holdPlaceOf(QWindow& window);
    void holdPlace(const QRect& area);
    void dropHeldPlaces();
    void handOverOnceSettled(QQuickWindow& window, std::shared_ptr<std::atomic<quint64>> drawnAt, int framesLeft);
    // Their pictures set, then all of them on screen at once.
    void showTogether(const QList<QQuickWindow*>& ready);
    void setPicture(QQuickWindow& window);
    void show(QQuickWindow& window);
    void release(QWindow& window);
    void dropPictureAfterNextFrame(QQuickWindow& window);
    // A window handed to the window manager has been mapped (`mapped`, the X window of it or of its frame): once
    // it is on screen, what held its place may go.
    void mapSeen(quint32 mapped);
    void onScreen(quint32 window);
    bool heldFor() const;
    // The windows being drawn out of sight to show.
    QList<QWindow*> coming() const;

    // Mapped out of sight, waiting for their first frame; each with the connections that follow its frames and
    // forget it once destroyed.
    QHash<QWindow*, QList<QMetaObject::Connection>> m_hidden;
    // The last frame each of them drew, read back as it was drawn (OpenGL only).
    struct DrawnFrame;
    QHash<QWindow*, std::shared_ptr<DrawnFrame>> m_drawn;
    // Handed to the window manager with their picture, each with whether Qt has seen it unmapped since.
    QHash<QObject*, bool> m_remapped;
    // Handed to the window manager and not yet on screen (X window to window), and the frames, mapped or not,
    // that they wait for (frame to X window).
    QHash<quint32, QWindow*> m_mapping;
    QHash<quint32, quint32> m_frames;
    // Drawn out of sight, waiting for the others shown with them.
    QSet<QWindow*> m_ready;
    // Drawn out of sight to be hidden again: no window waits for them, nor they for any.
    QSet<const QWindow*> m_ahead;
    // Windows whose leaving is watched.
    QSet<QWindow*> m_watched;
    // Still pictures of windows gone, held until the windows on their way show.
    std::vector<std::unique_ptr<class ScreenCurtain>> m_held;
    // How long windows drawn wait for the others, and how long a picture of a window gone waits for any to come.
    QTimer m_groupLimit;
    QTimer m_heldLimit;
    QElapsedTimer m_heldSince;
    // A window coming is expected: what held a place waits for it.
    bool m_replacementExpected = false;
};

} // namespace tavrine::ui
