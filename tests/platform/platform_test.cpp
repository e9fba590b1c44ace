#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/threads.h"

namespace brinz {
namespace {

TEST(Clock, NeverRunsBackwards) {
    int64_t first = tickCount();
    EXPECT_GE(tickCount(), first);
}

TEST(AutoResetEvent, RemembersOneSignalAndResets) {
    AutoResetEvent event;
    event.signal();
    EXPECT_TRUE(event.waitFor(0));
    EXPECT_FALSE(event.waitFor(1));
    Thread thread;
    thread.start([&event] { event.signal(); });
    event.wait();
    thread.join();
}

TEST(SpinLock, ExcludesOtherThreads) {
    SpinLock lock;
    int counter = 0;
    Thread threads[2];
    for (Thread& t : threads)
        t.start([&] {
            for (int i = 0; i < 10000; ++i) {
                std::lock_guard<SpinLock> guard(lock);
                ++counter;
            }
        });
    for (Thread& t : threads) t.join();
    EXPECT_EQ(counter, 20000);
}

// Puts a pipe on standard input for the duration of a test.
class StdinPipe {
public:
    StdinPipe() {
        saved = dup(STDIN_FILENO);
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
        writer = fds[1];
    }
    ~StdinPipe() {
        closeWriter();
        dup2(saved, STDIN_FILENO);
        close(saved);
    }
    void write(const std::string& text) { EXPECT_EQ(::write(writer, text.data(), text.size()), ssize_t(text.size())); }
    void closeWriter() {
        if (writer >= 0) close(writer);
        writer = -1;
    }

private:
    int saved = -1;
    int writer = -1;
};

TEST(Input, PendingSeesDataAndEndOfInput) {
    StdinPipe input;
    EXPECT_FALSE(inputPending());
    input.write("stop\nquit\n");
    EXPECT_TRUE(inputPending());
    char line[16];
    ASSERT_TRUE(readInputLine(line, sizeof line));
    EXPECT_STREQ(line, "stop\n");
    // No read-ahead: the second line is still pending on the descriptor.
    EXPECT_TRUE(inputPending());
    ASSERT_TRUE(readInputLine(line, sizeof line));
    EXPECT_STREQ(line, "quit\n");
    EXPECT_FALSE(inputPending());
    input.closeWriter();
    EXPECT_TRUE(inputPending());
    EXPECT_FALSE(readInputLine(line, sizeof line));
}

TEST(Input, LongLinesAreSplitAtTheBufferSize) {
    StdinPipe input;
    input.write(std::string(10, 'x') + "\n");
    input.closeWriter();
    char line[8];
    ASSERT_TRUE(readInputLine(line, sizeof line));
    EXPECT_STREQ(line, "xxxxxxx");
    ASSERT_TRUE(readInputLine(line, sizeof line));
    EXPECT_STREQ(line, "xxx\n");
    EXPECT_FALSE(readInputLine(line, sizeof line));
}

}  // namespace
}  // namespace brinz
