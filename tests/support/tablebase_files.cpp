#include "support/tablebase_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace brinz::support {

namespace fs = std::filesystem;

std::string freshDirectory(const std::string& name) {
    const std::string dir = testing::TempDir() + "brinz_" + name;
    std::error_code error;
    fs::remove_all(dir, error);
    fs::create_directories(dir, error);
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

// Generates into a private directory and renames it into place, so test processes running
// at once never see half-written tables.
std::string makeTables() {
    const std::string final = std::string(BRINZ_TOOLS_DIR) + "/test-tables";
    if (fs::exists(final + "/complete")) return final;
    const std::string work = final + ".work." + std::to_string(getpid());
    std::error_code error;
    fs::remove_all(work, error);
    fs::create_directories(work + "/plain", error);
    fs::create_directories(work + "/compressed", error);
    if (runTool("tbgen", "-o '" + work + "/plain' all3 " + FourManTables) != 0) return "";
    for (const auto& entry : fs::directory_iterator(work + "/plain"))
        if (!compressInto(entry.path().string(), work + "/compressed")) return "";
    writeBytes(work + "/complete", {});
    fs::rename(work, final, error);
    if (error) fs::remove_all(work, error);
    return fs::exists(final + "/complete") ? final : "";
}

const std::string& tableRoot() {
    static const std::string root = makeTables();
    return root;
}

}  // namespace

const std::string& plainTableDirectory() {
    static const std::string dir = tableRoot().empty() ? "" : tableRoot() + "/plain";
    return dir;
}

const std::string& compressedTableDirectory() {
    static const std::string dir = tableRoot().empty() ? "" : tableRoot() + "/compressed";
    return dir;
}

}  // namespace brinz::support
