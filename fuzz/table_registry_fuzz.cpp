// Fuzz target: the tablebase registry scanning a directory that holds one table file of
// arbitrary contents, then probes reading it through the block cache.
//
// The first input byte picks the table (kqk, krk, kbk, knk, kpk), the side and the name
// form: plain, or one of the four compressed forms. The rest is the file. A plain file is
// cut or zero-padded to its table's size. A damaged file still ends the process at
// registration ("*** ... corrupted", "*** Unable to read ..."); inputs that would reach
// such an exit are told apart with the decoder's own header reader and skipped, so that
// the run goes on to the block reads.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/position.h"
#include "table_files.h"
#include "tablebases/block_cache.h"
#include "tablebases/decoder.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

using namespace brinz;

namespace {

struct TableChoice {
    const char* name;
    char piece;  // the lone man besides the kings, for the probed positions
};
constexpr TableChoice Tables[] = {{"kqk", 'Q'}, {"krk", 'R'}, {"kbk", 'B'}, {"knk", 'N'}, {"kpk", 'P'}};
constexpr const char* CompressedSuffixes[] = {".nbw.emd", "_nbw.emd", "_nbw_emd", "nbw.emd"};
constexpr int ProbesPerFile = 48;

std::filesystem::path directory;

void require(bool condition) {
    if (!condition) std::abort();
}

// Whether registration would accept this compressed file instead of ending the process.
bool registrationAccepts(const std::string& path, uint32_t tableSize) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    CompressedFileInfo* info = nullptr;
    const int error = openCompressedFile(file, info);
    std::fclose(file);
    if (error != 0 || !info) return false;
    const uint64_t length = uint64_t(info->blockCount - 1) * info->blockSize + info->lastBlockLength;
    const bool accepted =
        info->blockSize == uint32_t(TableBlockBytes) && info->blockCount > 0 && length == tableSize;
    freeCompressedFileInfo(info);
    return accepted;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitKeys();
    InitAttacks();
    directory = std::filesystem::temp_directory_path() / ("brinz-fuzz-tables-" + std::to_string(getpid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return -1;
    const TableChoice& choice = Tables[(data[0] & 7) % 5];
    const int side = (data[0] >> 3) & 1;
    const int form = ((data[0] >> 4) & 7) % 5;
    const int table = findTable(choice.name);
    const uint32_t tableSize = tableDescriptors[table].size[side];
    std::vector<uint8_t> bytes(data + 1, data + size);

    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    std::string path = (directory / choice.name).string();
    if (form == 0) {
        bytes.resize(tableSize);
        path += side ? ".nbb" : ".nbw";
    } else {
        fuzz::fixCheckValue(bytes);
        std::string suffix = CompressedSuffixes[form - 1];
        if (side) suffix.replace(suffix.find("nbw"), 3, "nbb");
        path += suffix;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    if (form != 0 && !registrationAccepts(path, tableSize)) return -1;

    require(initTablebases(1, directory.string().c_str()) == 3);
    // Indices spread over the whole file, so that every block is read.
    for (int i = 0; i < ProbesPerFile; ++i) {
        const int value = readTableValue(table, side, uint32_t(uint64_t(tableSize) * uint32_t(i) / ProbesPerFile));
        char text[24];
        describeTableValue(value, text);
        tableValueToScore(value, i);
    }
    // Whole positions through the search's door, each side to move, both colourings.
    const std::string placements[] = {std::string("7k/8/8/8/8/8/8/K") + choice.piece + "6",
                                      std::string("k7/8/3") + char(choice.piece + 32) + "4/8/8/8/8/6K1",
                                      std::string("8/8/2k5/8/8/3K4/6") + choice.piece + "1/8"};
    for (const std::string& placement : placements)
        for (const char* toMove : {" w - - 0 1", " b - - 0 1"}) {
            Position pos;
            if (!SetPositionFromFen(pos, (placement + toMove).c_str())) continue;
            int score = 0;
            probeTablebase(pos, 3, score);
            lookupTableValue(pos);
        }
    return 0;
}
