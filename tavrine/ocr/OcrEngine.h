#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <atomic>
#include <condition_variable>
#include <coroutine>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tavrine {

class PageReader;

// One piece of work for the OCR thread, and the way back to the coroutine that waits for it.
struct OcrJob {
    // Runs on the OCR thread; `cancelled` turns true when the waiter gave up.
    std::function<void(PageReader&, const std::atomic<bool>& cancelled)> work;
    std::atomic<bool> cancelled{false};

    std::mutex mutex;
    bool finished = false;
    bool resumeScheduled = false;
    std::coroutine_handle<> waiter;
};

// The thread of the process's one Tesseract instance (its PageReader's), started with the first job. Jobs run
// one at a time in the order they came; a job cancelled before its turn is skipped.
class OcrEngine {
public:
    static OcrEngine& instance();
    ~OcrEngine();

    // Runs the job on the OCR thread and waits for it without blocking the caller's thread, which must be the
    // application's. Throws CancelledError when `cancel` has fired by the time it resumes; the recognizer
    // stops at its next check.
    static QCoro::Task<void> perform(std::shared_ptr<OcrJob> job, CancellationToken cancel = {});
    // The same for a piece of work: perform([](PageReader& reader) { reader.clearCaches(); }).
    static QCoro::Task<void> perform(std::function<void(PageReader&)> work);

    void submit(std::shared_ptr<OcrJob> job);
    // Marks the job cancelled (the recognizer stops at its next check) and resumes its waiter at once.
    static void cancel(const std::shared_ptr<OcrJob>& job);

    // Awaits a submitted job: resumes on the application's thread once the job finished or was cancelled.
    struct Awaiter {
        std::shared_ptr<OcrJob> job;
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> handle);
        void await_resume() const noexcept {}
    };

private:
    OcrEngine();
    void run();
    // Cancels what is queued and running and ends the thread, and with it the reader; once.
    void stop();
    static void stopAtExit();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<OcrJob>> m_queue;
    std::shared_ptr<OcrJob> m_running;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tavrine
