#pragma once

#include <string>
#include <vector>

namespace brinz::support {

// The real engine binary as a child process, driven over pipes as a GUI drives it.
class EngineProcess {
public:
    // Starts the engine in `workingDirectory` (the current one when empty). The default
    // binary gives way to BRINZ_TEST_ENGINE, run through BRINZ_TEST_ENGINE_WRAPPER when
    // that is set (BRINZ_TEST_ENGINE=build/windows/brinz.exe BRINZ_TEST_ENGINE_WRAPPER=wine).
    explicit EngineProcess(const std::string& workingDirectory = "",
                           const std::string& binary = BRINZ_BINARY);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    // Writes one line; a newline is added.
    void send(const std::string& line);
    // Writes raw bytes as they are.
    void sendRaw(const std::string& bytes);
    // Closes the engine's standard input.
    void closeInput();

    // The next line of output without its newline; false on timeout or end of output.
    bool readLine(std::string& line, int timeoutMs = 10000);
    // Reads lines until one starts with `prefix`; returns every line read, that one last.
    // Empty when the timeout passes first.
    std::vector<std::string> readUntil(const std::string& prefix, int timeoutMs = 10000);
    // Every line that arrives within `quietMs` of the previous one.
    std::vector<std::string> drain(int quietMs = 200);

    // Waits for the process to end; returns its exit status, or -1 on timeout or signal.
    int waitExit(int timeoutMs = 10000);

private:
    int pid = -1;
    int toEngine = -1;
    int fromEngine = -1;
    std::string pending;
    bool exited = false;
    int status = -1;
};

// Sends the lines, then "isready"; returns what the engine printed before "readyok" (and
// fails the current test when no "readyok" comes within `timeoutMs`).
std::vector<std::string> commandOutput(EngineProcess& engine, const std::vector<std::string>& commands,
                                  int timeoutMs = 10000);

// `text` cut at its newlines; a final newline adds no empty line.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace brinz::support
