#include "tavrine/ocr/LineReaders.h"

#include "tavrine/ocr/OcrBackend.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace tavrine {

namespace {

// How long a thread waits for work before it ends. A session reads the frontmost window about every second.
constexpr std::chrono::seconds idleTime{60};

} // namespace

LineReaders::LineReaders(int count, std::function<void(Recognizer&)> prepare)
    : m_count(std::max(0, count)), m_prepare(std::move(prepare)) {}

LineReaders::~LineReaders() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

int LineReaders::countFor(unsigned cores) {
    return std::clamp(int(cores / 2) - 1, 0, 3);
}

std::future<void> LineReaders::run(Work work) {
    std::packaged_task<void(Recognizer*)> task(std::move(work));
    std::future<void> done = task.get_future();
    if (m_count == 0) {
        // No thread would ever take it: it runs at once, without a recognizer.
        task(nullptr);
        return done;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_serving == 0)
            start();
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
    return done;
}

void LineReaders::start() {
    // Threads that ended idle have left serve(): joining them waits for nothing.
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_serving = m_count;
    for (int i = 0; i < m_count; ++i)
        m_threads.emplace_back([this] { serve(); });
}

void LineReaders::serve() {
    // The recognizer is made on the thread that runs it: the module keeps each recognizer to the thread that made
    // it (no OpenMP team of its own).
    std::unique_ptr<Recognizer> recognizer;
    if (OcrBackend* const backend = OcrBackend::instance()) {
        std::string error;
        recognizer = backend->createRecognizer("eng", error);
        if (recognizer)
            m_prepare(*recognizer);
    }
    for (;;) {
        std::packaged_task<void(Recognizer*)> task;
        {
            std::unique_lock lock(m_mutex);
            const bool woken = m_wake.wait_for(lock, idleTime, [this] { return m_stopping || !m_queue.empty(); });
            // Left idle (no session reads pages), the thread ends and its recognizer's memory goes with it.
            if (!woken || (m_stopping && m_queue.empty())) {
                --m_serving;
                return;
            }
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task(recognizer.get());
    }
}

} // namespace tavrine
