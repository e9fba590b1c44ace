// Fuzz target: the parameter file reader on arbitrary file contents, and the registry
// taking the entries it read. Keys and values come out trimmed, with nothing from a
// comment, and no key holds the delimiter.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "options/options.h"
#include "options/parameter_file.h"

using namespace brinz;

namespace {

std::string filePath;

void require(bool condition) {
    if (!condition) std::abort();
}

bool trimmed(const std::string& text) {
    constexpr const char* WhiteSpace = " \n\t\v\r\f";
    return text.empty() || (std::string(WhiteSpace).find(text.front()) == std::string::npos &&
                            std::string(WhiteSpace).find(text.back()) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    filePath = (std::filesystem::temp_directory_path() / ("brinz-fuzz-" + std::to_string(getpid()) + ".cfg")).string();
    Options.clear();
    registerEngineParameters();
    registerUciOptions();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream out(filePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    ParameterFile file(filePath.c_str(), "=", ";", "EndcConfigFile");
    for (const auto& [key, value] : file.entries()) {
        require(trimmed(key) && trimmed(value));
        require(key.find('=') == std::string::npos && key.find(';') == std::string::npos);
        require(value.find(';') == std::string::npos);
        require(key.find("EndcConfigFile") == std::string::npos && value.find("EndcConfigFile") == std::string::npos);
    }
    applyParameterFile(file);
    for (int i = 0; i < Options.count(); ++i) {
        const OptionRecord& record = Options.record(i);
        require(std::memchr(record.currentValue, 0, sizeof record.currentValue) != nullptr);
    }
    return 0;
}
