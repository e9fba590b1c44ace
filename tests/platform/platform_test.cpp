#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/threads.h"

namespace brinz {
namespace {

TEST(Clock, NeverRunsBackwards) {
    int64_t first = tickCount();
    EXPECT_GE(tickCount(), first);
}

// A FIFO named like a data file once hung the engine in its open for good.
TEST(Files, OnlyRegularFilesAreOpened) {
    const std::string dir = testing::TempDir() + "brinz_files_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    const std::string regular = dir + "/regular", fifo = dir + "/fifo", link = dir + "/null";
    close(open(regular.c_str(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    struct Case {
        std::string path;
        bool opens, notRegular;
    } cases[] = {{regular, true, false}, {fifo, false, true}, {link, false, true}, {dir, false, true},
                 {dir + "/missing", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        bool notRegular = !c.notRegular;
        std::FILE* file = openRegularFile(c.path.c_str(), &notRegular);
        EXPECT_EQ(file != nullptr, c.opens);
        EXPECT_EQ(notRegular, c.notRegular);
        if (file) std::fclose(file);
    }
    for (const std::string& path : {regular, fifo, link}) unlink(path.c_str());
    rmdir(dir.c_str());
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

TEST(Input, WholeLinesOfAnyLengthWithoutWaitingForTheUnfinished) {
    StdinPipe input;
    InputLine line;
    EXPECT_EQ(readWholeLine(line, 8, false), LineStatus::Unfinished);
    input.write("stop");
    EXPECT_EQ(readWholeLine(line, 8, false), LineStatus::Unfinished);
    input.write("ped\n");
    ASSERT_EQ(readWholeLine(line, 8, false), LineStatus::Complete);
    EXPECT_EQ(line.text, "stopped\n");
    line.text.clear();
    // Past the limit the line goes whole, however it arrives; the next one is intact.
    input.write("123456789");
    EXPECT_EQ(readWholeLine(line, 8, false), LineStatus::Unfinished);
    input.write("0\n12345678\nend");
    EXPECT_EQ(readWholeLine(line, 8, true), LineStatus::Overlong);
    EXPECT_EQ(readWholeLine(line, 8, true), LineStatus::Complete);
    EXPECT_EQ(line.text, "12345678\n");
    line.text.clear();
    input.closeWriter();
    ASSERT_EQ(readWholeLine(line, 8, true), LineStatus::Complete);
    EXPECT_EQ(line.text, "end");
    line.text.clear();
    EXPECT_EQ(readWholeLine(line, 8, true), LineStatus::Ended);
}

// The in-process input: lines as from a pipe, long ones split, the unterminated rest
// served last, then end of input, which stays pending like a closed pipe.
TEST(Input, TextServesLinesThenEndOfInput) {
    const std::string text = "stop\n" + std::string(10, 'x') + "\nquit";
    setInputText(text.data(), text.size());
    char line[8];
    std::string lines;
    while (inputPending() && readInputLine(line, sizeof line)) lines += std::string(line) + "|";
    EXPECT_EQ(lines, "stop\n|xxxxxxx|xxx\n|quit|");
    EXPECT_TRUE(inputPending());
    EXPECT_FALSE(readInputLine(line, sizeof line));
    setInputText(nullptr, 0);
}

// Puts the far end of a new terminal on standard input for the duration of a test.
class StdinTerminal {
public:
    StdinTerminal() {
        saved = dup(STDIN_FILENO);
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        if (terminal < 0) return;
        dup2(terminal, STDIN_FILENO);
        close(terminal);
        opened = true;
    }
    ~StdinTerminal() {
        hangUp();
        dup2(saved, STDIN_FILENO);
        close(saved);
    }
    bool ok() const { return opened; }
    // Types `text` and waits for its echo ending in `echoEnd`: then the terminal has taken it in.
    void type(const std::string& text, char echoEnd) {
        EXPECT_EQ(::write(master, text.data(), text.size()), ssize_t(text.size()));
        for (char c = 0; c != echoEnd;) {
            pollfd request{master, POLLIN, 0};
            ASSERT_EQ(poll(&request, 1, 5000), 1) << "no echo";
            ASSERT_EQ(read(master, &c, 1), 1);
        }
    }
    void hangUp() {
        if (master >= 0) close(master);
        master = -1;
    }

private:
    int saved = -1;
    int master = -1;
    bool opened = false;
};

// A terminal hands over whole lines: a half-typed line must not count as pending, or the
// search would block in the read until the user presses return.
TEST(Input, TerminalCountsOnlyFinishedLines) {
    StdinTerminal terminal;
    if (!terminal.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    EXPECT_FALSE(inputPending());
    terminal.type("st", 't');
    EXPECT_FALSE(inputPending());
    terminal.type("op\n", '\n');
    EXPECT_TRUE(inputPending());
    char line[16];
    ASSERT_TRUE(readInputLine(line, sizeof line));
    EXPECT_STREQ(line, "stop\n");
    EXPECT_FALSE(inputPending());
    terminal.hangUp();
    for (int i = 0; i < 500 && !inputPending(); ++i) usleep(10000);
    EXPECT_TRUE(inputPending()) << "a hung-up terminal reads as the end of input";
    EXPECT_FALSE(readInputLine(line, sizeof line));
}

}  // namespace
}  // namespace brinz
