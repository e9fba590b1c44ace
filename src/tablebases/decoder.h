#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace brinz {

// Compressed table files (".emd") hold the bytes of a plain table cut into blocks that are
// compressed one by one with a static Huffman code over 1024 symbols (256 literal bytes and
// 768 match symbols: 24 distance slots of 32 length codes), so any block decodes alone.
// All multi-byte numbers in the file are big-endian; bit fields are read most significant
// bit first.

// Error codes: the low 8 bits are the kind, the bits above name the failing place.
// Out of memory is never returned in practice: tbAllocate ends the process first.
enum DecoderErrorKind : int {
    DECODE_READ_ERROR = 2,
    DECODE_OUT_OF_MEMORY = 5,
    DECODE_FILE_BROKEN = 6,
    DECODE_INVALID_ARGUMENT = 7,
};
inline constexpr int errorKind(int code) { return code & 0xFF; }

inline constexpr int CompressedBlockBits = 13;
inline constexpr uint32_t CompressedBlockSize = 1u << CompressedBlockBits;
// Matches are copied in 16-byte steps that may run up to 15 bytes past the block's end.
inline constexpr uint32_t DecoderSpareBytes = 36;
inline constexpr uint32_t DecoderOutputBytes = CompressedBlockSize + DecoderSpareBytes;
inline constexpr int MatchDistanceCount = 24;
inline constexpr int MainSymbolCount = 1024;
inline constexpr int MainTableBits = 13;
inline constexpr int MaxCodeLength = 31;
inline constexpr uint32_t CompressedFileMagic = 0x004001F5;
inline constexpr uint32_t DecoderStateTag = 0x79A3F29D;
inline constexpr int DecoderStateCount = 8;
// Banner, header length, block bits, distance count, block count, magic.
inline constexpr uint32_t HeaderFixedBytes = 80;

// The first 64 bytes of every compressed file: 60 characters ending in CR LF, then 4 zeros.
// Files are compared against all 64 bytes.
inline constexpr char CompressedBanner[64] =
    "Brinz compressed endgame table: 8192-byte blocks, format 1\r\n\0\0\0";
static_assert(CompressedBanner[59] == '\n' && CompressedBanner[60] == 0 && CompressedBanner[63] == 0);

// Table of the header check value. The bit test is the reverse of the common CRC-32's
// (an odd value shifts plainly), and files carry values made with exactly this table.
constexpr std::array<uint32_t, 256> makeCheckTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int i = 0; i < 8; i++) c = (c & 1) ? c >> 1 : (c >> 1) ^ 0xEDB88320u;
        table[n] = c;
    }
    return table;
}
inline constexpr std::array<uint32_t, 256> CheckTable = makeCheckTable();

// The check value of `size` bytes, continuing from `value` (0 for a fresh start); no final
// inversion.
uint32_t checkValue(const uint8_t* data, size_t size, uint32_t value = 0);

// Reads a byte area most significant bit first. Past the end it supplies zero bits and counts
// them, so a corrupt stream can never read outside its area; readPastEnd tells whether any
// of those zeros were consumed.
struct BitReader {
    const uint8_t* next = nullptr;
    const uint8_t* end = nullptr;
    uint64_t bits = 0;  // left-aligned: the next bit is bit 63
    int count = 0;      // valid bits in `bits`
    uint32_t paddingBytes = 0;
};

inline BitReader makeBitReader(const uint8_t* data, size_t size) {
    BitReader reader;
    reader.next = data;
    reader.end = data + size;
    return reader;
}

// Brings the buffer to at least 56 valid bits.
inline void refillBits(BitReader& r) {
    if (r.end - r.next >= 8) {
        uint64_t word;
        std::memcpy(&word, r.next, 8);
        // Bits of a byte only partly taken are ORed in again, identically, at the next refill.
        r.bits |= __builtin_bswap64(word) >> r.count;
        int taken = (63 - r.count) >> 3;
        r.next += taken;
        r.count += taken * 8;
        return;
    }
    while (r.count <= 56) {
        uint64_t byte = 0;
        if (r.next < r.end)
            byte = *r.next++;
        else
            r.paddingBytes++;
        r.bits |= byte << (56 - r.count);
        r.count += 8;
    }
}

inline void skipBits(BitReader& r, int n) {
    r.bits <<= n;
    r.count -= n;
}

// The next n bits (0 to 32) as a number.
inline uint32_t readBits(BitReader& r, int n) {
    if (n == 0) return 0;
    if (r.count < n) refillBits(r);
    uint32_t value = uint32_t(r.bits >> (64 - n));
    skipBits(r, n);
    return value;
}

inline bool readPastEnd(const BitReader& r) { return uint64_t(r.paddingBytes) * 8 > uint64_t(r.count); }

// Canonical Huffman decoding table: a direct lookup of `Bits` bits resolves every code up to
// that length; longer codes continue bit by bit through `tree`.
// lookup entry: length << 10 | symbol, or LongCode | node for a longer code.
// tree: children of node k at 2k and 2k + 1, each a node or LeafSymbol | symbol; node 0 is a
// leaf pair for symbol 0, so a walk always ends.
template <int Bits, int Symbols>
struct HuffmanTable {
    static constexpr int TableBits = Bits;
    uint16_t lookup[1 << Bits];
    uint16_t tree[2 * Symbols];
};
inline constexpr uint16_t LongCode = 0x8000;
inline constexpr uint16_t LeafSymbol = 0x8000;

using MainCodeTable = HuffmanTable<MainTableBits, MainSymbolCount>;
using LengthCodeTable = HuffmanTable<8, 64>;
static_assert(sizeof(MainCodeTable) == 20480);

// Builds `table` from `count` (at most Symbols) code lengths. All lengths 0: every decode
// yields symbol 0; one length (it must be 1): every decode yields that symbol; both cases
// consume no bits. Otherwise the code must be complete. Returns 0 or a "file broken" code.
template <int Bits, int Symbols>
int buildHuffmanTable(const uint8_t* lengths, int count, HuffmanTable<Bits, Symbols>& table);

// Canonical code values of valid lengths: shorter codes are smaller, and within one length
// codes rise with the symbol number. Codes of length 0 get 0.
void canonicalCodes(const uint8_t* lengths, int count, uint32_t* codes);

template <int Bits, int Symbols>
inline int decodeSymbol(const HuffmanTable<Bits, Symbols>& table, BitReader& r) {
    if (r.count < 32) refillBits(r);
    uint16_t entry = table.lookup[r.bits >> (64 - Bits)];
    if (!(entry & LongCode)) {
        skipBits(r, entry >> 10);
        return entry & 1023;
    }
    skipBits(r, Bits);
    int node = entry & 0x7FFF;
    for (;;) {
        uint16_t child = table.tree[2 * node + int(r.bits >> 63)];
        skipBits(r, 1);
        if (child & LeafSymbol) return child & 1023;
        node = child;
    }
}

// Reads `count` code lengths (0 to 31). Up to 128 lengths are written directly in a width
// given by the stream, zeros followed by a count of further zeros; above 128, two small codes
// (read first, by the same rule) give lengths and run lengths. Returns 0 or "file broken".
int readCodeLengths(BitReader& reader, uint8_t* lengths, int count);

// What the engine keeps of one compressed file. Read-only once open, shared by all threads.
struct CompressedFileInfo {
    MainCodeTable mainTable;
    uint32_t distances[MatchDistanceCount];
    // Block offsets, compact: groupBase[g] is the offset of block 16g and groupBase[groups]
    // the end of the last block; offsetStep[i] counts forward from its group's base for
    // blocks 0-7 of a group and backward from the next base for blocks 8-15 (0 there stands
    // for 65536, which eight stored blocks reach).
    uint64_t* groupBase;
    uint16_t* offsetStep;
    uint32_t blockBits;
    uint32_t blockSize;
    uint32_t lastBlockLength;  // 1 ... blockSize
    uint32_t blockCount;
    uint32_t maxCompressedLength;  // largest compressed block + 32, for buffer sizing
    size_t allocatedBytes;         // what this info holds, for the registry's accounting
};

// File offset of `block`, 0 ... blockCount (blockCount gives the end of the last block).
// Exact for block sizes up to 8192, the only ones this decoder reads.
inline uint64_t blockOffset(const CompressedFileInfo& info, uint32_t block) {
    if (block >= info.blockCount) return info.groupBase[(info.blockCount + 15) / 16];
    uint32_t group = block >> 4;
    if ((block & 15) < 8) return info.groupBase[group] + info.offsetStep[block];
    uint32_t back = info.offsetStep[block] ? info.offsetStep[block] : 65536;
    return info.groupBase[group + 1] - back;
}

// Reads and checks the header of an open compressed file from its current position (its
// start). On success stores a new info in `info` and returns 0; otherwise returns an error
// code (kind 2 short file or wrong banner, 6 broken header) and leaves `info` null.
int openCompressedFile(std::FILE* file, CompressedFileInfo*& info);
void freeCompressedFileInfo(CompressedFileInfo* info);

// Scratch state of one block being decoded; one thread at a time. 8 of them are shared by
// every compressed file. Offsets are counted from the output start.
struct DecoderState {
    uint32_t tag;
    uint32_t blockNumber;
    uint8_t* output;  // DecoderOutputBytes bytes: the block and the spare bytes after it
    uint32_t present;  // bytes of output already final
    uint32_t lengthToProduce;
    uint32_t compressedLength;
    uint32_t inputPosition;  // next input byte for the bit buffer
    uint64_t bitBuffer;
    uint32_t bitCount;
    uint32_t paddingBytes;
    uint32_t matchDistance;   // of a match cut short by a partial decode
    uint32_t matchRemaining;
    uint32_t reserved[2];
    uint8_t input[CompressedBlockSize];
};
static_assert(sizeof(DecoderState) == 8256);

// Tags `state` and gives it `output` (at least DecoderOutputBytes bytes) for the next block.
void prepareDecoderState(DecoderState& state, uint8_t* output);

// Starts a block whose compressedLength bytes are already in state.input. A block whose
// compressed length equals its length is stored plainly and is copied out at once.
// Returns 0 or kind 7 (untagged state, lengths outside 1 ... 8192).
int beginBlock(DecoderState& state, uint32_t block, uint32_t lengthToProduce, uint32_t compressedLength);

// Seeks to `block` and reads its compressed bytes into the state's input area (through
// beginBlock). Kinds: 7 untagged state, block out of range, or blocks larger than 8192;
// 2 seek or read failure. The caller holds the file's lock.
int readCompressedBlock(const CompressedFileInfo& info, DecoderState& state, std::FILE* file, uint32_t block);

// Makes the first `length` bytes of the block final in the output, going on from where an
// earlier call stopped. Writes nothing outside the output and its spare bytes: a match
// passing the block's end stops there; a distance reaching before the output start is
// "file broken", as are bits consumed past the compressed bytes. Kind 7: untagged state,
// length outside 1 ... the block's length.
int decodeBlock(const CompressedFileInfo& info, DecoderState& state, uint32_t length);

}  // namespace brinz
