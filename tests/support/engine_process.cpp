#include "support/engine_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace brinz::support {

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// BRINZ_TEST_ENGINE names another engine binary to test in place of the one built here
// (the Windows build, say), and BRINZ_TEST_ENGINE_WRAPPER a program that runs it (wine).
std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

EngineProcess::EngineProcess(const std::string& workingDirectory, const std::string& requested) {
    std::signal(SIGPIPE, SIG_IGN);
    std::string binary = requested;
    const std::string replacement = environmentText("BRINZ_TEST_ENGINE");
    if (requested == BRINZ_BINARY && !replacement.empty()) binary = replacement;
    const std::string wrapper = environmentText("BRINZ_TEST_ENGINE_WRAPPER");
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(127);
        if (wrapper.empty())
            execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        else
            execlp(wrapper.c_str(), wrapper.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toEngine = in[1];
    fromEngine = out[0];
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (pid > 0 && !exited) {
        if (waitExit(5000) == -1 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    if (fromEngine >= 0) close(fromEngine);
}

void EngineProcess::send(const std::string& line) { sendRaw(line + "\n"); }

void EngineProcess::sendRaw(const std::string& bytes) {
    size_t done = 0;
    while (toEngine >= 0 && done < bytes.size()) {
        ssize_t n = write(toEngine, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
}

void EngineProcess::closeInput() {
    if (toEngine >= 0) close(toEngine);
    toEngine = -1;
}

bool EngineProcess::readLine(std::string& line, int timeoutMs) {
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        size_t newline = pending.find('\n');
        if (newline != std::string::npos) {
            // A Windows engine ends its lines with CR LF.
            const size_t end = newline > 0 && pending[newline - 1] == '\r' ? newline - 1 : newline;
            line = pending.substr(0, end);
            pending.erase(0, newline + 1);
            return true;
        }
        int64_t left = deadline - nowMs();
        if (left <= 0 || fromEngine < 0) return false;
        pollfd request{fromEngine, POLLIN, 0};
        int ready = poll(&request, 1, int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char chunk[4096];
        ssize_t n = read(fromEngine, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // End of output: hand out a last unterminated fragment, if any.
            if (pending.empty()) return false;
            line.swap(pending);
            pending.clear();
            return true;
        }
        pending.append(chunk, size_t(n));
    }
}

std::vector<std::string> EngineProcess::readUntil(const std::string& prefix, int timeoutMs) {
    std::vector<std::string> lines;
    int64_t deadline = nowMs() + timeoutMs;
    std::string line;
    while (readLine(line, int(std::max<int64_t>(0, deadline - nowMs())))) {
        lines.push_back(line);
        if (line.compare(0, prefix.size(), prefix) == 0) return lines;
    }
    return {};
}

std::vector<std::string> EngineProcess::drain(int quietMs) {
    std::vector<std::string> lines;
    std::string line;
    while (readLine(line, quietMs)) lines.push_back(line);
    return lines;
}

int EngineProcess::waitExit(int timeoutMs) {
    if (exited) return status;
    if (pid <= 0) return -1;
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        int raw = 0;
        pid_t done = waitpid(pid, &raw, WNOHANG);
        if (done == pid) {
            exited = true;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            return status;
        }
        if (nowMs() >= deadline) return -1;
        usleep(5000);
    }
}

std::vector<std::string> commandOutput(EngineProcess& engine, const std::vector<std::string>& commands,
                                  int timeoutMs) {
    for (const std::string& command : commands) engine.send(command);
    engine.send("isready");
    std::vector<std::string> output = engine.readUntil("readyok", timeoutMs);
    EXPECT_FALSE(output.empty()) << "no readyok";
    if (!output.empty()) output.pop_back();
    return output;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace brinz::support
