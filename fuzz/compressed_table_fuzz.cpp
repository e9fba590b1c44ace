// Fuzz target: a compressed table file read as the registry and the block cache read it:
// the header, then every block (up to a bound), decoded in two steps as a probe that
// needs only the start of a block would.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "table_files.h"
#include "tablebases/decoder.h"

using namespace brinz;

namespace {

constexpr uint32_t MaxBlocksDecoded = 64;

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    fuzz::fixCheckValue(bytes);
    std::FILE* file = std::tmpfile();
    if (!file) return 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return 0;
    }
    CompressedFileInfo* info = nullptr;
    const int error = openCompressedFile(file, info);
    require((error == 0) == (info != nullptr));
    if (info) {
        require(info->blockSize == 1u << info->blockBits);
        require(info->lastBlockLength >= 1 && info->lastBlockLength <= info->blockSize);
        static uint8_t output[DecoderOutputBytes];
        static DecoderState state;
        for (uint32_t block = 0; block < info->blockCount && block < MaxBlocksDecoded; ++block) {
            prepareDecoderState(state, output);
            if (readCompressedBlock(*info, state, file, block) != 0) continue;
            const uint32_t length = state.lengthToProduce;
            require(length >= 1 && length <= CompressedBlockSize);
            if (decodeBlock(*info, state, (length + 1) / 2) != 0) continue;
            if (decodeBlock(*info, state, length) != 0) continue;
            require(state.present == length);
        }
        freeCompressedFileInfo(info);
    }
    std::fclose(file);
    return 0;
}
