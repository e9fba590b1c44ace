#pragma once

#include <cstdint>
#include <string>

namespace brinz::tbcompress {

enum class CompressResult { Done, MissingFile, UnreadableFile, WrongSize, CannotWrite };

struct CompressStats {
    uint64_t inputBytes = 0;
    uint64_t outputBytes = 0;
    uint32_t blocks = 0;
    uint32_t storedBlocks = 0;
};

// The largest plain table the compressed layout can describe (its header length is 32-bit).
inline constexpr uint64_t MaxInputBytes = uint64_t(400) * 1000 * 1000 * 8192;

// Writes `output`, the compressed form of the plain table `input`, which is left untouched.
// Deterministic: the same input always gives the same bytes. Every block is decoded again
// and compared before it is written. On failure no output file is left behind.
CompressResult compressTableFile(const std::string& input, const std::string& output, CompressStats& stats);

}  // namespace brinz::tbcompress
