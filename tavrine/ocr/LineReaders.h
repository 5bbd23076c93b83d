#pragma once

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
// fraction of the time one recognizer takes for them one after the other. Each recognizer holds about 14 MB: the
// threads and their recognizers start with a piece of work and end after a minute without one.
class LineReaders {
public:
    // A piece of work, run with a thread's recognizer (null when none could be made).
    using Work = std::function<void(Recognizer*)>;

    // `count` threads, none when 0. `prepare` sets up each recognizer as the OCR thread's is.
    LineReaders(int count, std::function<void(Recognizer&)> prepare);
    ~LineReaders();
    LineReaders(const LineReaders&) = delete;
    LineReaders& operator=(const LineReaders&) = delete;

    int count() const { return m_count; }
    // Runs `work` on the first thread free (at once without a recognizer when there are none); the future is ready
    // once it ran.
    std::future<void> run(Work work);

    // How many threads a machine with `cores` cores gets: with the OCR thread, half of them read, four at most. A
    // capture then takes no more than half the machine for the moment it reads, and none is started on three
    // cores or fewer.
    static int countFor(unsigned cores);

private:
    void start();
    void serve();

    const int m_count;
    const std::function<void(Recognizer&)> m_prepare;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void(Recognizer*)>> m_queue;
    bool m_stopping = false;
    // Threads in serve(), not ended idle.
    int m_serving = 0;
    std::vector<std::thread> m_threads;
};

} // namespace tavrine
