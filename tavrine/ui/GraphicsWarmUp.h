#pragma once

namespace tavrine::ui {

// Qt Quick's first window loads the system's OpenGL driver (with Mesa's software renderer, all of LLVM) and tries
// out a throwaway context before it draws anything: some 40 ms on the way to the first picture. Made as the
// application starts, this does that on a thread of its own while the windows' QML is still being compiled; the
// first window waits for what is left of it and then finds the driver loaded and Qt's question answered.
// Nothing may ask Qt for OpenGL meanwhile: windows are made only after `wait`.
class GraphicsWarmUp {
public:
    // On X11 only; one at a time.
    GraphicsWarmUp();
    // Waits: the thread uses the application's display connection.
    ~GraphicsWarmUp();
    GraphicsWarmUp(const GraphicsWarmUp&) = delete;
    GraphicsWarmUp& operator=(const GraphicsWarmUp&) = delete;

    // At once if none runs or it is done.
    static void wait();
};

} // namespace tavrine::ui
