#pragma once

#include <cstdint>
#include <cstdio>

namespace brinz {

// Stand-in until the decoder lands.
struct CompressedFileInfo {
    uint32_t blockCount;
    uint32_t blockSize;
    uint32_t lastBlockLength;
};

struct DecoderState {
    uint8_t* output;
    uint8_t input[8192];
};

inline constexpr int DecoderStateCount = 8;

inline int openCompressedFile(FILE*, CompressedFileInfo** info) {
    *info = nullptr;
    return 2;
}
inline void freeCompressedFile(CompressedFileInfo*) {}
inline void prepareDecoderState(DecoderState& state, uint8_t* output) { state.output = output; }
inline int readCompressedBlock(const CompressedFileInfo&, DecoderState&, FILE*, uint32_t) { return 2; }
inline int decodeBlock(const CompressedFileInfo&, DecoderState&, uint32_t) { return 2; }

}  // namespace brinz
