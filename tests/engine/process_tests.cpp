// The end of the process: at once, with the exit code, whatever other threads do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/process.h"

namespace {

// Counts for ever while holding a lock: a worker that nothing waits for.
void busyThread(std::mutex& lock, std::atomic<long>& counter) {
    for (;;) {
        const std::lock_guard hold(lock);
        ++counter;
    }
}

struct SaysWhenDestroyed {
    ~SaysWhenDestroyed() { std::fputs("destroyed", stderr); }
};

void endWithARunningThread() {
    static std::mutex lock;
    static std::atomic<long> counter{0};
    static SaysWhenDestroyed destroyedOnNormalExit;
    std::thread(busyThread, std::ref(lock), std::ref(counter)).detach();
    while (counter.load() == 0) std::this_thread::yield();
    // Held back in the buffer until something flushes it.
    static char buffer[256];
    std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
    std::fputs("flushed", stderr);
    platform::endProcess(7);
}

TEST(EndProcessDeathTest, EndsAtOnceWithTheExitCodeWhileAThreadRuns) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#ifdef _WIN32
    EXPECT_EXIT(endWithARunningThread(), testing::ExitedWithCode(7), "");
#else
    // Buffered output reaches its file; objects a thread might use are not destroyed.
    EXPECT_EXIT(endWithARunningThread(), testing::ExitedWithCode(7),
                testing::AllOf(testing::HasSubstr("flushed"),
                               testing::Not(testing::HasSubstr("destroyed"))));
#endif
}

}  // namespace
