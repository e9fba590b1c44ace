#include "support/tablebase_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brinz::support {

namespace fs = std::filesystem;

namespace {

// The directories this process made, removed when it ends (not when a death test's child
// process ends, since the parent goes on using them).
struct Scratch {
    std::vector<std::string> directories;
    pid_t owner = getpid();
    ~Scratch() {
        if (getpid() != owner) return;
        std::error_code error;
        for (const std::string& dir : directories) fs::remove_all(dir, error);
    }
};
Scratch scratch;

}  // namespace

std::string freshDirectory(const std::string& name) {
    // Test processes run side by side: each has its own directories.
    const std::string dir = testing::TempDir() + "brinz_" + std::to_string(getpid()) + "_" + name;
    std::error_code error;
    fs::remove_all(dir, error);
    fs::create_directories(dir, error);
    scratch.directories.push_back(dir);
    return dir;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> patternBytes(size_t size, int seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i * 131 + i / 8192 * 7 + size_t(seed) * 17) % 251);
    return bytes;
}

int runTool(const std::string& tool, const std::string& arguments) {
    const std::string command = std::string(BRINZ_TOOLS_DIR) + "/brinz-" + tool + " " + arguments + " >/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool compressInto(const std::string& plainFile, const std::string& directory) {
    return runTool("tbcompress", "-o '" + directory + "' '" + plainFile + "'") == 0;
}

namespace {

// Generates the set `name` once per build tree. Test processes run at once: a lock file lets
// one generate while the others wait, and the finished set is renamed into place whole.
TableSet makeTables(const std::string& name, const std::string& signatures, const std::string& compressed) {
    const std::string root = std::string(BRINZ_TOOLS_DIR) + "/test-tables/" + name;
    TableSet set{root + "/plain", root + "/compressed", ""};
    std::error_code error;
    fs::create_directories(std::string(BRINZ_TOOLS_DIR) + "/test-tables", error);
    const int lock = open((root + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) flock(lock, LOCK_EX);
    if (!fs::exists(root + "/complete")) {
        const std::string work = root + ".work";
        fs::remove_all(work, error);
        fs::create_directories(work + "/plain", error);
        fs::create_directories(work + "/compressed", error);
        bool done = runTool("tbgen", "-c -o '" + work + "/plain' " + signatures) == 0;
        for (size_t start = 0; done && start < compressed.size();) {
            size_t end = compressed.find(' ', start);
            if (end == std::string::npos) end = compressed.size();
            const std::string file = work + "/plain/" + compressed.substr(start, end - start);
            done = compressInto(file, work + "/compressed");
            start = end + 1;
        }
        if (done) {
            writeBytes(work + "/complete", {});
            fs::remove_all(root, error);
            fs::rename(work, root, error);
        }
    }
    if (lock >= 0) close(lock);
    if (!fs::exists(root + "/complete")) return {"", "", "brinz-tbgen or brinz-tbcompress failed"};
    return set;
}

}  // namespace

const TableSet& threeManTables() {
    static const TableSet set = makeTables(
        "3", "all3", "kpk.nbw kpk.nbb knk.nbw knk.nbb kbk.nbw kbk.nbb krk.nbw krk.nbb kqk.nbw kqk.nbb");
    return set;
}

const TableSet& fourManTables() {
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    static const TableSet set = makeTables("4", "kqkr kpkp", "kqkr.nbw kqkr.nbb kpkp.nbw kpkp.nbb");
#else
    static const TableSet set = {"", "", "4-man tables are generated only by optimised builds without sanitizers"};
#endif
    return set;
}

}  // namespace brinz::support
