// brinz-tbcompress: turns plain endgame tables (.nbw/.nbb) into the compressed form the
// engine reads (.emd).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "encoder.h"

namespace {

constexpr int ExitFileFailed = 1;
constexpr int ExitUsage = 2;

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: brinz-tbcompress [-o DIR] FILE...\n"
                 "Compresses each plain endgame table FILE (.nbw or .nbb) into FILE.emd, beside it\n"
                 "or in DIR with -o; the input is left in place. The same input always gives the\n"
                 "same output. Exit status: 0 all files done, 1 some file failed, 2 bad usage.\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace brinz::tbcompress;
    std::vector<std::string> files;
    std::string outputDirectory;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            return 0;
        }
        if (arg == "-o") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "brinz-tbcompress: -o needs a directory\n");
                printUsage(stderr);
                return ExitUsage;
            }
            outputDirectory = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "brinz-tbcompress: unknown option %s\n", arg.c_str());
            printUsage(stderr);
            return ExitUsage;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        printUsage(stderr);
        return ExitUsage;
    }
    std::error_code error;
    if (!outputDirectory.empty() && !std::filesystem::is_directory(outputDirectory, error)) {
        std::fprintf(stderr, "brinz-tbcompress: %s: not a directory\n", outputDirectory.c_str());
        return ExitUsage;
    }

    int status = 0;
    for (const std::string& file : files) {
        std::string output = file + ".emd";
        if (!outputDirectory.empty())
            output = (std::filesystem::path(outputDirectory) / std::filesystem::path(file).filename()).string() + ".emd";
        CompressStats stats;
        CompressResult result = compressTableFile(file, output, stats);
        const char* name = file.c_str();
        switch (result) {
        case CompressResult::Done:
            std::printf("%s -> %s: %llu -> %llu bytes, %u blocks, %u stored\n", name, output.c_str(),
                        (unsigned long long)stats.inputBytes, (unsigned long long)stats.outputBytes, stats.blocks,
                        stats.storedBlocks);
            continue;
        case CompressResult::MissingFile:
            std::fprintf(stderr, "brinz-tbcompress: %s: no such file\n", name);
            break;
        case CompressResult::UnreadableFile:
            std::fprintf(stderr, "brinz-tbcompress: %s: cannot read\n", name);
            break;
        case CompressResult::WrongSize:
            std::fprintf(stderr, "brinz-tbcompress: %s: wrong size (%llu bytes; a table holds 1 to %llu)\n", name,
                         (unsigned long long)stats.inputBytes, (unsigned long long)MaxInputBytes);
            break;
        case CompressResult::CannotWrite:
            std::fprintf(stderr, "brinz-tbcompress: %s: cannot write\n", output.c_str());
            break;
        }
        status = ExitFileFailed;
    }
    return status;
}
