#include "tavrine/ui/GraphicsWarmUp.h"

#include <QGuiApplication>
#include <QOpenGLContext>

#include <mutex>
#include <thread>

namespace tavrine::ui {

namespace {

std::mutex lock;
std::thread worker;

} // namespace

GraphicsWarmUp::GraphicsWarmUp() {
    const std::lock_guard guard(lock);
    if (worker.joinable() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    // The question Qt's render loop asks first, and whose answer Qt keeps.
    worker = std::thread([] { QOpenGLContext::supportsThreadedOpenGL(); });
}

GraphicsWarmUp::~GraphicsWarmUp() {
    wait();
}

void GraphicsWarmUp::wait() {
    const std::lock_guard guard(lock);
    if (worker.joinable())
        worker.join();
}

} // namespace tavrine::ui
