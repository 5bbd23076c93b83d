#include "tavrine/ocr/OcrEngine.h"

#include "tavrine/ocr/OcrBackend.h"
#include "tavrine/ocr/PageReader.h"

#include "tavrine/core/Error.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdlib>

namespace tavrine {

namespace {

// Waiters resume through the application's event queue. Once the application is going away nothing more is
// posted to it: a waiter left then is never resumed, as with any coroutine suspended at exit.
std::mutex g_applicationMutex;
QCoreApplication* g_application = nullptr;

void forgetApplication() {
    std::lock_guard lock(g_applicationMutex);
    g_application = nullptr;
}

void watchApplication() {
    QCoreApplication* app = QCoreApplication::instance();
    std::lock_guard lock(g_applicationMutex);
    if (app && g_application != app) {
        g_application = app;
        qAddPostRoutine(&forgetApplication);
    }
}

// Called with the job's mutex held.
void scheduleResume(OcrJob& job) {
    if (!job.waiter || job.resumeScheduled)
        return;
    job.resumeScheduled = true;
    std::lock_guard lock(g_applicationMutex);
    if (!g_application)
        return;
    QMetaObject::invokeMethod(
        g_application,
        [handle = job.waiter] {
            // This call was made on the OCR thread under the lock: taking it orders that thread's writes before
            // the waiter's reads where the thread sanitizer sees it (the event queue between them orders them too,
            // with locks of Qt's it cannot see).
            { const std::lock_guard lock(g_applicationMutex); }
            handle.resume();
        },
        Qt::QueuedConnection);
}

} // namespace

OcrEngine& OcrEngine::instance() {
    static OcrEngine engine;
    return engine;
}

OcrEngine::OcrEngine() : m_thread([this] { run(); }) {}

OcrEngine::~OcrEngine() {
    stop();
}

void OcrEngine::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
        if (m_running)
            m_running->cancelled = true;
        for (const auto& job : m_queue)
            job->cancelled = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QCoro::Task<void> OcrEngine::perform(std::shared_ptr<OcrJob> job, CancellationToken cancel) {
    cancel.throwIfCancelled();
    const CancellationSubscription subscription = cancel.onCancel([job] { OcrEngine::cancel(job); });
    instance().submit(job);
    // A named awaiter: GCC 12 destroys some temporaries of a co_await expression twice.
    Awaiter awaiter{job};
    co_await awaiter;
    // A result finished just before the cancellation still counts as cancelled: the caller gave up on it.
    cancel.throwIfCancelled();
}

QCoro::Task<void> OcrEngine::perform(std::function<void(PageReader&)> work) {
    auto job = std::make_shared<OcrJob>();
    job->work = [work = std::move(work)](PageReader& reader, const std::atomic<bool>&) { work(reader); };
    co_await perform(job);
}

void OcrEngine::submit(std::shared_ptr<OcrJob> job) {
    watchApplication();
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void OcrEngine::cancel(const std::shared_ptr<OcrJob>& job) {
    job->cancelled = true;
    std::lock_guard lock(job->mutex);
    scheduleResume(*job);
}

bool OcrEngine::Awaiter::await_suspend(std::coroutine_handle<> handle) {
    std::lock_guard lock(job->mutex);
    if (job->finished || job->cancelled)
        return false;
    job->waiter = handle;
    return true;
}

void OcrEngine::stopAtExit() {
    instance().stop();
}

void OcrEngine::run() {
    // The reader loads the OCR module and makes its recognizer with the first job that needs them, on this thread.
    PageReader reader;
    bool stopsBeforeTheModule = false;
    for (;;) {
        std::shared_ptr<OcrJob> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = job;
        }
        if (!job->cancelled) {
            try {
                job->work(reader, job->cancelled);
            } catch (...) {
                // A failed recognition reads as no text; the job's result stays empty.
            }
        }
        if (!stopsBeforeTheModule && OcrBackend::isLoaded()) {
            // The module's libraries came after this engine, so at exit their globals (Tesseract's shared
            // dictionaries) would be destroyed before it, under the reader's recognizer: the reader ends first.
            stopsBeforeTheModule = true;
            std::atexit(&OcrEngine::stopAtExit);
        }
        {
            std::lock_guard lock(m_mutex);
            m_running.reset();
        }
        std::lock_guard lock(job->mutex);
        job->finished = true;
        scheduleResume(*job);
    }
}

} // namespace tavrine
