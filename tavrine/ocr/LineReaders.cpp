#include "tavrine/ocr/LineReaders.h"

#include "tavrine/ocr/Recognizer.h"

#include <algorithm>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tavrine {

namespace {

// Hands the memory the process freed back to the system. glibc keeps what a thread's recognizer freed, in the
// thread's arena and in the heap alike (bounding the arenas changes nothing): a reader's 14 MB and the pages' it
// read would stay private to the process for its life.
void giveMemoryBack() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace

LineReaders::LineReaders(int count, Make make, std::chrono::milliseconds idleTime)
    : m_count(std::max(0, count)), m_make(std::move(make)), m_idleTime(idleTime) {}

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
        m_queue.push_back(std::move(task));
        // A thread for each piece of work no waiting thread will take: a burst after a quiet spell gets as many
        // readers as the first one, whichever of them ended idle meanwhile.
        if (m_queue.size() > std::size_t(m_waiting) && m_serving < m_count) {
            // Threads that ended idle have left serve(): joining them waits for nothing.
            for (const std::thread::id id : m_finished) {
                const auto ended = std::find_if(m_threads.begin(), m_threads.end(),
                                                [id](const std::thread& thread) { return thread.get_id() == id; });
                ended->join();
                m_threads.erase(ended);
            }
            m_finished.clear();
            ++m_serving;
            ++m_waiting;
            m_threads.emplace_back([this] { serve(); });
        }
    }
    m_wake.notify_one();
    return done;
}

int LineReaders::running() {
    std::lock_guard lock(m_mutex);
    return m_serving;
}

void LineReaders::waitUntilEnded() {
    std::unique_lock lock(m_mutex);
    m_ended.wait(lock, [this] { return m_finished.size() == m_threads.size(); });
}

void LineReaders::serve() {
    bool last = false;
    {
        // The recognizer is made on the thread that runs it: the module keeps each recognizer to the thread that
        // made it (no OpenMP team of its own).
        const std::unique_ptr<Recognizer> recognizer = m_make ? m_make() : nullptr;
        for (;;) {
            std::packaged_task<void(Recognizer*)> task;
            {
                std::unique_lock lock(m_mutex);
                const bool woken =
                    m_wake.wait_for(lock, m_idleTime, [this] { return m_stopping || !m_queue.empty(); });
                if (!woken || (m_stopping && m_queue.empty())) {
                    --m_waiting;
                    --m_serving;
                    last = m_serving == 0 && !m_stopping;
                    break;
                }
                task = std::move(m_queue.front());
                m_queue.pop_front();
                --m_waiting;
            }
            task(recognizer.get());
            std::lock_guard lock(m_mutex);
            ++m_waiting;
        }
    }
    // The recognizer is gone: what it and the other readers freed can go back now.
    if (last)
        giveMemoryBack();
    {
        std::lock_guard lock(m_mutex);
        m_finished.push_back(std::this_thread::get_id());
    }
    m_ended.notify_all();
}

} // namespace tavrine
