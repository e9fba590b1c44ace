// Decoded megabytes per second of the compressed-table decoder, one block at a time, one
// thread. Usage: bench-decoder [FILE.emd]. Without a file it makes a table-like test file
// with brinz-tbcompress, which must sit beside this program.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tablebases/decoder.h"

using namespace brinz;

namespace {

constexpr int64_t MinimumMilliseconds = 1500;

// Short runs over a few common values, now and then any byte: roughly how a table looks.
std::vector<uint8_t> tableLikeData(size_t size) {
    std::mt19937 random(1);
    const uint8_t common[] = {0, 0, 0, 0xFF, 0xFE, 1, 2, 3};
    const size_t runs[] = {1, 1, 2, 3, 8, 16, 64};
    std::vector<uint8_t> data;
    while (data.size() < size) {
        uint8_t value = random() % 10 == 0 ? uint8_t(random()) : common[random() % 8];
        data.insert(data.end(), runs[random() % 7], value);
    }
    data.resize(size);
    return data;
}

std::string makeTestFile(const char* program) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "brinz-bench-decoder";
    std::filesystem::create_directories(dir);
    std::string table = (dir / "bench.nbw").string();
    std::vector<uint8_t> data = tableLikeData(64 * 8192 + 1000);
    std::FILE* out = std::fopen(table.c_str(), "wb");
    if (!out || std::fwrite(data.data(), 1, data.size(), out) != data.size()) return "";
    std::fclose(out);
    std::string tool = (std::filesystem::path(program).parent_path() / "brinz-tbcompress").string();
    std::string command = "'" + tool + "' '" + table + "' >/dev/null";
    if (std::system(command.c_str()) != 0) return "";
    return table + ".emd";
}

}  // namespace

int main(int argc, char** argv) {
    std::string name = argc > 1 ? argv[1] : makeTestFile(argv[0]);
    std::FILE* file = name.empty() ? nullptr : std::fopen(name.c_str(), "rb");
    CompressedFileInfo* info = nullptr;
    if (!file || openCompressedFile(file, info) != 0) {
        std::fprintf(stderr, "bench-decoder: cannot open a compressed file (%s)\n", name.c_str());
        return 1;
    }
    std::vector<uint8_t> output(DecoderOutputBytes);
    auto state = std::make_unique<DecoderState>();
    prepareDecoderState(*state, output.data());

    // Compressed blocks kept in memory, so the first figure is the decoder alone.
    struct Block {
        std::vector<uint8_t> bytes;
        uint32_t length;
    };
    std::vector<Block> blocks;
    uint64_t stored = 0;
    for (uint32_t i = 0; i < info->blockCount; i++) {
        if (readCompressedBlock(*info, *state, file, i) != 0) return 1;
        blocks.push_back({std::vector<uint8_t>(state->input, state->input + state->compressedLength),
                          state->lengthToProduce});
        stored += state->compressedLength == state->lengthToProduce;
    }

    auto measure = [&](const char* what, auto decodeOne) {
        uint64_t bytes = 0;
        int64_t start = tickCount(), elapsed = 0;
        do {
            for (uint32_t i = 0; i < blocks.size(); i++) {
                if (decodeOne(i) != 0) std::exit(1);
                bytes += blocks[i].length;
            }
            elapsed = tickCount() - start;
        } while (elapsed < MinimumMilliseconds);
        std::printf("%-28s %8.1f MB/s\n", what, double(bytes) / 1e6 / (double(elapsed) / 1000));
    };
    std::printf("%s: %u blocks (%llu stored)\n", name.c_str(), info->blockCount, (unsigned long long)stored);
    measure("decodeBlock", [&](uint32_t i) {
        std::copy(blocks[i].bytes.begin(), blocks[i].bytes.end(), state->input);
        if (int error = beginBlock(*state, i, blocks[i].length, uint32_t(blocks[i].bytes.size()))) return error;
        return decodeBlock(*info, *state, blocks[i].length);
    });
    measure("readCompressedBlock+decode", [&](uint32_t i) {
        if (int error = readCompressedBlock(*info, *state, file, i)) return error;
        return decodeBlock(*info, *state, blocks[i].length);
    });
    freeCompressedFileInfo(info);
    std::fclose(file);
    return 0;
}
