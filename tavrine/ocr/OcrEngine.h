#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
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

// A word of a line that readLineIn read, and its box on the page.
struct OcrWord {
    QString text;
    QRect box;

    bool operator==(const OcrWord&) const = default;
};

// The one Tesseract instance of the process for pages, on its one thread, started with the first job. Jobs run
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

    // The words of the line in `box` of a prepared page (PageReader::preparePage), read with the recognizer limited
    // to the characters of `alphabet` (words part at blanks). For a line known to hold one kind of text, such as a
    // browser's address bar. The line is read with the page's own pixels beside it: the end of a padding that is
    // not the line's ground reads as a stroke, and a last "l" as "!". Rules along the line are left out. With an
    // `inkGain` above 1 the ink is drawn that much further from the ground than it shows: faint grey writing
    // reads better so, dark writing worse (its edges thicken).
    // Only for the work of a job, on the OCR thread; elsewhere, cancelled, or without a recognizer, it reads
    // nothing. A recognizer of its own, made on first use, reads these lines: their alphabet never reaches the
    // reads of whole pages. Lines read before are remembered by their pixels.
    static QList<OcrWord> readLineIn(const QImage& page, const QRect& box, const QString& alphabet,
                                     const std::atomic<bool>& cancelled, double inkGain = 1.0);

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

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<OcrJob>> m_queue;
    std::shared_ptr<OcrJob> m_running;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tavrine
