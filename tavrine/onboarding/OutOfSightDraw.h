#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <functional>

namespace tavrine::onboarding {

// Draws a window once where nothing shows it, and hides it again with what it made for drawing kept: when it is
// shown for real, its first frame (shaders compiled, glyphs and shadows drawn) costs no more than any other. The
// window is mapped past the window manager with an empty shape, so that the X server shows none of it. The renderer
// holds the main thread while a window draws its first frame: this belongs where nothing on screen moves. X11 only;
// elsewhere it is done at once. Main thread only.
class OutOfSightDraw final : public QObject {
public:
    static constexpr int limitMs = 1000;

    // Draws `window` (hidden, its size set) and calls `done` once it has drawn, or a second later without.
    // Destroying the draw before puts the window back as it was, hidden, and drops `done`.
    OutOfSightDraw(QQuickWindow& window, std::function<void()> done, QObject* parent);
    ~OutOfSightDraw() override;

private:
    void finish();
    void restore();

    QPointer<QQuickWindow> m_window;
    std::function<void()> m_done;
    bool m_drawing = false;
};

} // namespace tavrine::onboarding
