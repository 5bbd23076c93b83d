#include "tavrine/ui/GraphicsWarmUp.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QSGRendererInterface>

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
    // Only Qt Quick's own renderer over OpenGL needs the driver, not one chosen instead (QT_QUICK_BACKEND=software).
    const QString backend = qEnvironmentVariable("QT_QUICK_BACKEND", QQuickWindow::sceneGraphBackend());
    if ((!backend.isEmpty() && backend != QLatin1String("rhi")) ||
        QQuickWindow::graphicsApi() != QSGRendererInterface::OpenGL)
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
