#include "tavrine/ocr/LineReaders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace tavrine;
using namespace std::chrono_literals;

namespace {

// Pieces of work that hold their reader until the test lets them go, so that each burst's readers are counted
// while all of them are at work.
class Burst {
public:
    Burst(LineReaders& readers, int pieces) {
        for (int i = 0; i < pieces; ++i)
            m_done.push_back(readers.run([this, i](Recognizer*) {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_released > i; });
            }));
    }
    ~Burst() { finish(); }

    // Lets the first `pieces` pieces go; the others stay at work.
    void release(int pieces) {
        {
            std::lock_guard lock(m_mutex);
            m_released = pieces;
        }
        m_wake.notify_all();
    }
    void finish() {
        release(int(m_done.size()));
        for (std::future<void>& done : m_done)
            done.wait();
    }
    int size() const { return int(m_done.size()); }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_released = 0;
    std::vector<std::future<void>> m_done;
};

void waitUntilRunning(LineReaders& readers, int count) {
    while (readers.running() != count)
        std::this_thread::sleep_for(1ms);
}

} // namespace

// Two bursts of lines, and what the quiet spell between them left: the readers each burst gets, counted while all of
// them are at work. Sparse work left one reader alive once, and it alone served every later burst.
TEST(LineReaders, ABurstAfterAQuietSpellGetsTheReadersTheFirstGot) {
    const struct {
        const char* spell;
        std::chrono::milliseconds idleTime; // how long a reader waits for work before it ends
        int first;                          // pieces of the first burst
        int leftAtWork;                     // of them, still at work when the second burst comes; -1: all ended
        int second;                         // pieces of the second burst
        int firstReaders;
        int secondReaders;
    } rows[] = {
        {"the readers wait for work", 1h, 6, 0, 6, 3, 3},
        {"every reader ended idle", 0ms, 6, -1, 6, 3, 3},
        {"one reader left at work, the others ended", 0ms, 6, 1, 6, 3, 3},
        {"a burst of fewer pieces than readers", 0ms, 2, -1, 1, 2, 1},
        {"fewer pieces, one reader left at work", 0ms, 2, 1, 6, 2, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.spell);
        LineReaders readers(3, nullptr, row.idleTime);
        Burst first(readers, row.first);
        EXPECT_EQ(readers.running(), row.firstReaders);
        if (row.leftAtWork < 0) {
            first.finish();
            readers.waitUntilEnded();
            EXPECT_EQ(readers.running(), 0);
        } else {
            first.release(first.size() - row.leftAtWork);
            if (row.idleTime == 0ms)
                waitUntilRunning(readers, row.leftAtWork);
        }
        Burst second(readers, row.second);
        EXPECT_EQ(readers.running(), row.secondReaders);
        first.finish();
        second.finish();
    }
}

// Readers that end the moment they find no work, while pieces keep coming: none is lost between a reader that
// ends and one that starts.
TEST(LineReaders, NoPieceIsLostWhileReadersEndIdle) {
    std::atomic<int> ran = 0;
    LineReaders readers(3, nullptr, 0ms);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::future<void>> done;
        for (int i = 0; i <= round % 5; ++i)
            done.push_back(readers.run([&](Recognizer*) { ++ran; }));
        for (std::future<void>& piece : done)
            piece.wait();
    }
    readers.waitUntilEnded();
    EXPECT_EQ(ran, 150);
    EXPECT_EQ(readers.running(), 0);
}
