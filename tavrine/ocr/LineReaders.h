#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrine {

class Recognizer;

// Recognizers of their own, each on a thread of its own, that read line crops beside the OCR thread's recognizer.
// Lines are read one by one and hold nothing of each other, so a page of many lines (a sheet's rows) reads in a
// fraction of the time one recognizer takes for them one after the other. Each recognizer holds about 14 MB: a
// thread and its recognizer start for a piece of work that no waiting thread is left for, and end after `idleTime`
// without work. When the last one ends, the memory they freed is handed back to the system: glibc would keep it
// for the life of the process otherwise (in the threads' arenas and in the heap alike).
class LineReaders {
public:
    // A piece of work, run with a thread's recognizer (null when none could be made).
    using Work = std::function<void(Recognizer*)>;
    // Makes a thread's recognizer, on that thread, set up as the OCR thread's is; null when it cannot.
    using Make = std::function<std::unique_ptr<Recognizer>()>;

    // A session reads the frontmost window about every second: a reader idle this long serves no session.
    static constexpr std::chrono::milliseconds defaultIdleTime{20'000};

    // `count` threads at most, none when 0.
    LineReaders(int count, Make make, std::chrono::milliseconds idleTime = defaultIdleTime);
    ~LineReaders();
    LineReaders(const LineReaders&) = delete;
    LineReaders& operator=(const LineReaders&) = delete;

    int count() const { return m_count; }
    // Runs `work` on the first thread free (at once without a recognizer when there are none); the future is ready
    // once it ran.
    std::future<void> run(Work work);
    // The threads running now, busy or waiting for work.
    int running();
    // Waits until every thread has ended idle (and the memory was handed back).
    void waitUntilEnded();

    // How many threads a machine with `cores` cores gets: with the OCR thread, half of them read, four at most. A
    // capture then takes no more than half the machine for the moment it reads, and none is started on three
    // cores or fewer.
    static int countFor(unsigned cores);

private:
    // A thread's life: its work until it ends.
    void serve();

    const int m_count;
    const Make m_make;
    const std::chrono::milliseconds m_idleTime;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_ended;
    std::deque<std::packaged_task<void(Recognizer*)>> m_queue;
    bool m_stopping = false;
    // Threads started and not ended idle, and those of them waiting for work or about to take some.
    int m_serving = 0;
    int m_waiting = 0;
    std::vector<std::thread> m_threads;
    // Threads that have left serve(): joined before the next starts.
    std::vector<std::thread::id> m_finished;
};

} // namespace tavrine
