#pragma once

// Helpers for the compressed-table tests: a temporary directory, a bit writer, and the
// assembly of compressed files byte by byte from the layout rules, independent of the
// compressor so that the two cannot share one misreading.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "tablebases/decoder.h"

namespace brinz::testfiles {

// A fresh directory under the system's temporary one, removed with its contents.
class TempDirectory {
public:
    TempDirectory() {
        static int serial = 0;
        path = std::filesystem::temp_directory_path() /
               ("brinz-tbdecoder-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

inline void writeBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Most significant bit first.
class Bits {
public:
    Bits& put(uint64_t value, int count) {
        for (int i = count - 1; i >= 0; i--) {
            if (used % 8 == 0) bytes.push_back(0);
            bytes.back() |= uint8_t(((value >> i) & 1) << (7 - used % 8));
            used++;
        }
        return *this;
    }
    // A code given as text, "0110".
    Bits& code(const char* text) {
        for (const char* c = text; *c; c++) put(*c == '1', 1);
        return *this;
    }
    std::vector<uint8_t> bytes;
    int used = 0;
};

// Up to 128 lengths in the direct scheme: a 0 flag, the width in 5 bits, then each length in
// that width, every zero followed by 4 bits counting further zeros.
inline void directLengths(Bits& bits, const std::vector<int>& lengths, int width) {
    bits.put(0, 1).put(uint64_t(width), 5);
    for (size_t i = 0; i < lengths.size();) {
        bits.put(uint64_t(lengths[i]), width);
        if (lengths[i++] != 0) continue;
        int more = 0;
        while (more < 15 && i < lengths.size() && lengths[i] == 0) {
            more++;
            i++;
        }
        bits.put(uint64_t(more), 4);
    }
}

// 1024 main code lengths the plainest way: the length-symbol code gives symbols 0-31 five
// bits each (so a symbol's code is its own value) and no runs are used.
inline std::vector<uint8_t> flatMainLengths(const std::vector<int>& lengths) {
    Bits bits;
    bits.put(0, 1);
    std::vector<int> small(128, 0);
    for (int s = 0; s < 32; s++) small[size_t(s)] = 5;
    directLengths(bits, small, 3);
    for (int length : lengths) bits.put(uint64_t(length), 5);
    return bits.bytes;
}

struct FileRecipe {
    uint8_t blockBits = 13;
    uint8_t distanceCount = 24;
    uint32_t magic = CompressedFileMagic;
    std::vector<std::vector<uint8_t>> blocks;  // compressed bytes of each block
    uint32_t lastLength = 0;                   // decoded length of the last block
    std::array<uint32_t, 24> distances{};
    std::vector<uint8_t> codeLengthStream;
    uint32_t blockCountOverride = 0;  // written instead of the real count when not 0
};

inline void putBigEndian32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
}

inline uint32_t headerLength(const std::vector<uint8_t>& file) {
    return uint32_t(file[64]) << 24 | uint32_t(file[65]) << 16 | uint32_t(file[66]) << 8 | file[67];
}

// Stores the check value of everything before it again, after a deliberate change.
inline void resealHeader(std::vector<uint8_t>& file) {
    uint32_t h = headerLength(file);
    putBigEndian32(file, h - 4, checkValue(file.data(), h - 4));
}

inline std::vector<uint8_t> assembleFile(const FileRecipe& recipe) {
    std::vector<uint8_t> file(CompressedBanner, CompressedBanner + 64);
    file.resize(80);
    uint32_t blocks = uint32_t(recipe.blocks.size());
    file[70] = recipe.blockBits;
    file[71] = recipe.distanceCount;
    putBigEndian32(file, 72, recipe.blockCountOverride ? recipe.blockCountOverride : blocks);
    putBigEndian32(file, 76, recipe.magic);
    for (uint32_t i = 0; i < blocks; i++)
        for (int w = 0; w < 8; w++) file.push_back(uint8_t(0xA0 + w));  // check words, never read
    Bits fields;
    uint32_t mask = (1u << recipe.blockBits) - 1;
    for (const auto& block : recipe.blocks) fields.put(block.size() & mask, recipe.blockBits);
    fields.put(recipe.lastLength & mask, recipe.blockBits);
    for (uint32_t d : recipe.distances) fields.put(d, recipe.blockBits);
    file.insert(file.end(), fields.bytes.begin(), fields.bytes.end());
    file.insert(file.end(), recipe.codeLengthStream.begin(), recipe.codeLengthStream.end());
    file.resize(file.size() + 4);
    putBigEndian32(file, 64, uint32_t(file.size()));
    resealHeader(file);
    for (const auto& block : recipe.blocks) file.insert(file.end(), block.begin(), block.end());
    return file;
}

// An open compressed file, or the error code of opening it.
struct OpenedFile {
    std::FILE* file = nullptr;
    CompressedFileInfo* info = nullptr;
    int error = 0;

    explicit OpenedFile(const std::string& name) {
        file = std::fopen(name.c_str(), "rb");
        if (file) error = openCompressedFile(file, info);
    }
    ~OpenedFile() {
        freeCompressedFileInfo(info);
        if (file) std::fclose(file);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
};

// Output and state for one block, each allocated at its exact size so that the address
// sanitizer sees any write past the spare bytes.
struct BlockBuffers {
    std::vector<uint8_t> output = std::vector<uint8_t>(DecoderOutputBytes);
    std::unique_ptr<DecoderState> state = std::make_unique<DecoderState>();

    BlockBuffers() { prepareDecoderState(*state, output.data()); }
    std::vector<uint8_t> decoded(uint32_t length) const {
        return std::vector<uint8_t>(output.begin(), output.begin() + length);
    }
};

}  // namespace brinz::testfiles
