// brinz-tbgen: writes distance-to-mate endgame tables of up to four men in the plain form the
// engine reads (.nbw for white to move, .nbb for black to move).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "generator.h"
#include "tablebases/index.h"
#include "tablebases/registry.h"

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: brinz-tbgen [-o DIR] [-c] SIGNATURE...\n"
                 "Generates the distance-to-mate tables SIGNATURE (kqk, krk, kpk, kqkr, kpkp...; all3 and\n"
                 "all4 stand for every table of three or four men) into DIR (default: the current\n"
                 "directory; made when missing): DIR/kqk.nbw for white to move and DIR/kqk.nbb for\n"
                 "black to move, one byte per position (only .nbw for a table with the same men on\n"
                 "both sides). The tables a signature's captures and promotions lead to are\n"
                 "generated and written first, unless DIR already holds them. -c recomputes every\n"
                 "value of the named tables from its successors and fails on any difference. Exit\n"
                 "status: 0 done, 1 a table failed, 2 bad usage.\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace brinz;
    std::string directory = ".";
    bool check = false;
    std::vector<int> requested;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            return 0;
        }
        if (arg == "-c") {
            check = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "brinz-tbgen: -o needs a directory\n");
                printUsage(stderr);
                return ExitUsage;
            }
            directory = argv[++i];
        } else if (arg == "all3" || arg == "all4") {
            for (int t = arg == "all3" ? 1 : 6; t <= (arg == "all3" ? 5 : tbgen::MaxGeneratedTable); ++t)
                requested.push_back(t);
        } else {
            const int table = findTable(arg.c_str());
            if (table == 0 || table > tbgen::MaxGeneratedTable) {
                std::fprintf(stderr, "brinz-tbgen: %s: not a table of three or four men\n", arg.c_str());
                printUsage(stderr);
                return ExitUsage;
            }
            requested.push_back(table);
        }
    }
    if (requested.empty()) {
        printUsage(stderr);
        return ExitUsage;
    }
    // An output folder that does not exist yet is made, as users expect of -o.
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) std::filesystem::create_directories(directory, error);
    if (!std::filesystem::is_directory(directory, error)) {
        std::fprintf(stderr, "brinz-tbgen: %s: not a directory\n", directory.c_str());
        return ExitUsage;
    }

    const std::vector<int> order = tbgen::generationOrder(requested);
    int status = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        const int table = order[k];
        const char* name = tableDescriptors[table].name;
        bool wanted = false;
        for (int t : requested) wanted |= t == table;
        if (!wanted && tbgen::loadTable(table, directory)) {
            std::printf("%s: read from %s\n", name, directory.c_str());
            continue;
        }
        std::printf("%s: generating (%zu of %zu)\n", name, k + 1, order.size());
        std::fflush(stdout);
        const auto start = std::chrono::steady_clock::now();
        const tbgen::GenerationReport report = tbgen::generateTable(table, check && wanted);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!tbgen::writeTable(table, directory)) {
            std::fprintf(stderr, "brinz-tbgen: %s: cannot write into %s\n", name, directory.c_str());
            return ExitFailed;
        }
        std::printf("%s: %llu + %llu positions, longest win %d moves, %.1f s\n", name,
                    (unsigned long long)report.positions[0], (unsigned long long)report.positions[1],
                    report.longestWin, seconds);
        if (check && report.mismatches) {
            std::fprintf(stderr, "brinz-tbgen: %s: %d values differ from their successors\n", name,
                         report.mismatches);
            status = ExitFailed;
        }
    }
    return status;
}
