#include "tablebases/decoder.h"

#include <algorithm>

#include "platform/files.h"
#include "tablebases/memory.h"

namespace brinz {

namespace {

// Failing places, kept in the error code above the kind.
enum FailPlace : int {
    AT_HEADER_READ = 1,
    AT_BANNER,
    AT_HEADER_LENGTH,
    AT_BLOCK_BITS,
    AT_DISTANCE_COUNT,
    AT_MAGIC,
    AT_HEADER_LAYOUT,
    AT_HEADER_REST,
    AT_CHECK_VALUE,
    AT_FIELDS,
    AT_LENGTH_ABOVE_31,
    AT_SINGLE_CODE,
    AT_INCOMPLETE_CODE,
    AT_TREE_FULL,
    AT_DIRECT_RUN,
    AT_LENGTH_CODES,
    AT_CODED_RUN,
    AT_STREAM_END,
    AT_STATE_TAG,
    AT_BLOCK_NUMBER,
    AT_BLOCK_SIZE,
    AT_BLOCK_LENGTHS,
    AT_SEEK,
    AT_BLOCK_READ,
    AT_DECODE_LENGTH,
    AT_DISTANCE,
    AT_BLOCK_END,
};

constexpr int fail(FailPlace place, DecoderErrorKind kind) { return int(place) << 8 | int(kind); }

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Copies a match of n bytes from d bytes back, with the meaning of a byte-by-byte copy in
// increasing order (a distance below the length repeats a pattern). May write up to 15 bytes
// past dst + n.
inline void copyMatch(uint8_t* dst, uint32_t d, uint32_t n) {
    const uint8_t* src = dst - d;
    if (d >= 16) {
        for (uint32_t i = 0; i < n; i += 16) std::memcpy(dst + i, src + i, 16);
        return;
    }
    if (d == 1) {
        std::memset(dst, *src, n);
        return;
    }
    // Block copies must not read bytes they have not written yet: lay the first stretch out
    // byte by byte, then copy from a multiple of the period at least 16 back.
    uint32_t far = d * ((16 + d - 1) / d);
    uint32_t head = std::min(n, far);
    for (uint32_t i = 0; i < head; i++) dst[i] = src[i];
    const uint8_t* periodBack = dst - far;
    for (uint32_t i = far; i < n; i += 16) std::memcpy(dst + i, periodBack + i, 16);
}

}  // namespace

uint32_t checkValue(const uint8_t* data, size_t size, uint32_t value) {
    for (size_t i = 0; i < size; i++) value = (value >> 8) ^ CheckTable[(value ^ data[i]) & 0xFF];
    return value;
}

void canonicalCodes(const uint8_t* lengths, int count, uint32_t* codes) {
    uint32_t lengthCount[MaxCodeLength + 1] = {};
    for (int i = 0; i < count; i++) lengthCount[lengths[i]]++;
    lengthCount[0] = 0;
    uint32_t nextCode[MaxCodeLength + 2] = {};
    uint32_t code = 0;
    for (int len = 1; len <= MaxCodeLength; len++) {
        code = (code + lengthCount[len - 1]) << 1;
        nextCode[len] = code;
    }
    for (int i = 0; i < count; i++) codes[i] = lengths[i] ? nextCode[lengths[i]]++ : 0;
}

template <int Bits, int Symbols>
int buildHuffmanTable(const uint8_t* lengths, int count, HuffmanTable<Bits, Symbols>& table) {
    constexpr int TableSize = 1 << Bits;
    int used = 0, onlySymbol = 0;
    uint32_t lengthCount[MaxCodeLength + 1] = {};
    for (int i = 0; i < count; i++) {
        if (lengths[i] > MaxCodeLength) return fail(AT_LENGTH_ABOVE_31, DECODE_FILE_BROKEN);
        if (lengths[i]) {
            used++;
            onlySymbol = i;
            lengthCount[lengths[i]]++;
        }
    }
    std::fill(std::begin(table.tree), std::end(table.tree), uint16_t(LeafSymbol | 0));
    if (used <= 1) {
        if (used == 1 && lengths[onlySymbol] != 1) return fail(AT_SINGLE_CODE, DECODE_FILE_BROKEN);
        // Length 0 in the entry: the symbol costs no bits.
        std::fill(std::begin(table.lookup), std::end(table.lookup), uint16_t(onlySymbol));
        return 0;
    }
    // Complete: from the longest length up, every level pairs off exactly, ending in one root.
    uint32_t sum = 0;
    for (int len = MaxCodeLength; len >= 1; len--) {
        sum += lengthCount[len];
        if (sum & 1) return fail(AT_INCOMPLETE_CODE, DECODE_FILE_BROKEN);
        sum >>= 1;
    }
    if (sum != 1) return fail(AT_INCOMPLETE_CODE, DECODE_FILE_BROKEN);

    uint32_t codes[Symbols];
    canonicalCodes(lengths, count, codes);
    std::fill(std::begin(table.lookup), std::end(table.lookup), uint16_t(0));
    int nextNode = 1;
    for (int symbol = 0; symbol < count; symbol++) {
        int len = lengths[symbol];
        if (len == 0) continue;
        uint32_t code = codes[symbol];
        if (len <= Bits) {
            uint32_t first = code << (Bits - len);
            uint32_t last = (code + 1) << (Bits - len);
            uint16_t entry = uint16_t(len << 10 | symbol);
            for (uint32_t i = first; i < last && i < uint32_t(TableSize); i++) table.lookup[i] = entry;
            continue;
        }
        uint16_t& slot = table.lookup[code >> (len - Bits)];
        if (!(slot & LongCode)) {
            if (nextNode >= Symbols) return fail(AT_TREE_FULL, DECODE_FILE_BROKEN);
            table.tree[2 * nextNode] = table.tree[2 * nextNode + 1] = 0;
            slot = uint16_t(LongCode | nextNode++);
        }
        int node = slot & 0x7FFF;
        for (int bit = len - Bits - 1; bit > 0; bit--) {
            uint16_t& child = table.tree[2 * node + ((code >> bit) & 1)];
            if (child == 0) {
                if (nextNode >= Symbols) return fail(AT_TREE_FULL, DECODE_FILE_BROKEN);
                table.tree[2 * nextNode] = table.tree[2 * nextNode + 1] = 0;
                child = uint16_t(nextNode++);
            }
            node = child;
        }
        table.tree[2 * node + (code & 1)] = uint16_t(LeafSymbol | symbol);
    }
    return 0;
}

template int buildHuffmanTable(const uint8_t*, int, MainCodeTable&);
template int buildHuffmanTable(const uint8_t*, int, LengthCodeTable&);

int readCodeLengths(BitReader& reader, uint8_t* lengths, int count) {
    if (readBits(reader, 1)) {
        std::memset(lengths, 0, size_t(count));
        return 0;
    }
    int done = 0;
    if (count <= 128) {
        int width = int(readBits(reader, 5));
        while (done < count) {
            uint32_t len = readBits(reader, width);
            if (len > MaxCodeLength) return fail(AT_LENGTH_ABOVE_31, DECODE_FILE_BROKEN);
            lengths[done++] = uint8_t(len);
            if (len == 0) {
                uint32_t run = readBits(reader, 4);
                if (run > uint32_t(count - done)) return fail(AT_DIRECT_RUN, DECODE_FILE_BROKEN);
                std::memset(lengths + done, 0, run);
                done += int(run);
            }
            if (readPastEnd(reader)) return fail(AT_STREAM_END, DECODE_FILE_BROKEN);
        }
        return 0;
    }
    // Lengths 0-63 make the code of length symbols, 64-127 the code of run lengths.
    uint8_t small[128];
    if (int error = readCodeLengths(reader, small, 128)) return error;
    LengthCodeTable symbols, runs;
    if (buildHuffmanTable(small, 64, symbols) || buildHuffmanTable(small + 64, 64, runs))
        return fail(AT_LENGTH_CODES, DECODE_FILE_BROKEN);
    while (done < count) {
        int s = decodeSymbol(symbols, reader);
        if (s < 32) {
            lengths[done++] = uint8_t(s);
        } else {
            int t = decodeSymbol(runs, reader);
            uint64_t run = uint64_t(t) + 2;
            if (t > 31) {
                int k = t - 32;
                run = (uint64_t(1) << k) + readBits(reader, k) + 33;
            }
            if (run > uint64_t(count - done)) return fail(AT_CODED_RUN, DECODE_FILE_BROKEN);
            std::memset(lengths + done, s - 32, size_t(run));
            done += int(run);
        }
        if (readPastEnd(reader)) return fail(AT_STREAM_END, DECODE_FILE_BROKEN);
    }
    return 0;
}

void freeCompressedFileInfo(CompressedFileInfo* info) {
    if (!info) return;
    tbFree(info->groupBase);
    tbFree(info->offsetStep);
    tbFree(info);
}

namespace {

// The header after its first 80 bytes have passed their checks: builds the info.
int readHeaderBody(const uint8_t* header, uint32_t headerLength, uint32_t blockBits, uint32_t blocks,
                   uint64_t fieldsEnd, CompressedFileInfo& info) {
    uint64_t fieldsStart = HeaderFixedBytes + 8 * uint64_t(blocks);
    BitReader fields = makeBitReader(header + fieldsStart, size_t(fieldsEnd - fieldsStart));
    uint32_t fullLength = 1u << blockBits;
    auto field = [&] {
        uint32_t value = readBits(fields, int(blockBits));
        return value ? value : fullLength;
    };

    info.blockBits = blockBits;
    info.blockSize = fullLength;
    info.blockCount = blocks;
    uint32_t largest = 0;
    uint64_t offset = headerLength;
    for (uint32_t group = 0; group * 16 < blocks; group++) {
        uint32_t first = group * 16;
        uint32_t inGroup = std::min<uint32_t>(16, blocks - first);
        uint32_t lengths[16];
        for (uint32_t j = 0; j < inGroup; j++) {
            lengths[j] = field();
            largest = std::max(largest, lengths[j]);
        }
        info.groupBase[group] = offset;
        uint64_t end = offset;
        for (uint32_t j = 0; j < inGroup; j++) end += lengths[j];
        uint64_t at = offset;
        for (uint32_t j = 0; j < inGroup; j++) {
            // Blocks 8-15 count back from the next base; 65536 wraps to 0 and reads back as 65536.
            info.offsetStep[first + j] = uint16_t(j < 8 ? at - offset : end - at);
            at += lengths[j];
        }
        offset = end;
    }
    info.groupBase[(blocks + 15) / 16] = offset;
    info.lastBlockLength = field();
    for (uint32_t& distance : info.distances) distance = readBits(fields, int(blockBits));
    info.maxCompressedLength = largest + 32;
    if (readPastEnd(fields)) return fail(AT_FIELDS, DECODE_FILE_BROKEN);

    uint8_t lengths[MainSymbolCount];
    BitReader codeStream = makeBitReader(header + fieldsEnd, size_t(headerLength - 4 - fieldsEnd));
    if (int error = readCodeLengths(codeStream, lengths, MainSymbolCount)) return error;
    return buildHuffmanTable(lengths, MainSymbolCount, info.mainTable);
}

}  // namespace

int openCompressedFile(std::FILE* file, CompressedFileInfo*& info) {
    info = nullptr;
    uint8_t head[HeaderFixedBytes];
    if (std::fread(head, 1, HeaderFixedBytes, file) != HeaderFixedBytes) return fail(AT_HEADER_READ, DECODE_READ_ERROR);
    if (std::memcmp(head, CompressedBanner, sizeof CompressedBanner) != 0) return fail(AT_BANNER, DECODE_READ_ERROR);
    uint32_t headerLength = bigEndian32(head + 64);
    uint32_t blockBits = head[70];
    uint32_t blocks = bigEndian32(head + 72);
    if (headerLength < HeaderFixedBytes + 4) return fail(AT_HEADER_LENGTH, DECODE_FILE_BROKEN);
    if (blockBits > 16) return fail(AT_BLOCK_BITS, DECODE_FILE_BROKEN);
    if (head[71] != MatchDistanceCount) return fail(AT_DISTANCE_COUNT, DECODE_FILE_BROKEN);
    if (bigEndian32(head + 76) != CompressedFileMagic) return fail(AT_MAGIC, DECODE_FILE_BROKEN);
    // The block count comes from the file: its check words, fields and at least one byte of
    // code lengths must fit before the check value, or they would be read outside the header.
    uint64_t fieldBits = (uint64_t(blocks) + 1 + MatchDistanceCount) * blockBits;
    uint64_t fieldsEnd = HeaderFixedBytes + 8 * uint64_t(blocks) + (fieldBits + 7) / 8;
    if (fieldsEnd + 1 + 4 > headerLength) return fail(AT_HEADER_LAYOUT, DECODE_FILE_BROKEN);

    // A header longer than the file is a short read; found before allocating that length.
    int64_t here = tellFile(file);
    if (here >= 0 && seekFileEnd(file)) {
        int64_t size = tellFile(file);
        bool seekBack = seekFile(file, here);
        if (!seekBack) return fail(AT_HEADER_REST, DECODE_READ_ERROR);
        if (size >= 0 && uint64_t(size - here) < headerLength - HeaderFixedBytes)
            return fail(AT_HEADER_REST, DECODE_READ_ERROR);
    }
    auto* header = static_cast<uint8_t*>(tbAllocate(headerLength));
    std::memcpy(header, head, HeaderFixedBytes);
    size_t rest = headerLength - HeaderFixedBytes;
    if (std::fread(header + HeaderFixedBytes, 1, rest, file) != rest) {
        tbFree(header);
        return fail(AT_HEADER_REST, DECODE_READ_ERROR);
    }
    if (checkValue(header, headerLength - 4) != bigEndian32(header + headerLength - 4)) {
        tbFree(header);
        return fail(AT_CHECK_VALUE, DECODE_FILE_BROKEN);
    }

    auto* built = static_cast<CompressedFileInfo*>(tbAllocate(sizeof(CompressedFileInfo)));
    size_t groups = (size_t(blocks) + 15) / 16;
    built->groupBase = static_cast<uint64_t*>(tbAllocate((groups + 1) * sizeof(uint64_t)));
    built->offsetStep = static_cast<uint16_t*>(tbAllocate(size_t(blocks) * sizeof(uint16_t)));
    built->allocatedBytes = sizeof(CompressedFileInfo) + (groups + 1) * sizeof(uint64_t) + blocks * sizeof(uint16_t);
    int error = readHeaderBody(header, headerLength, blockBits, blocks, fieldsEnd, *built);
    tbFree(header);
    if (error) {
        freeCompressedFileInfo(built);
        return error;
    }
    info = built;
    return 0;
}

void prepareDecoderState(DecoderState& state, uint8_t* output) {
    state.tag = DecoderStateTag;
    state.output = output;
    state.present = state.lengthToProduce = state.compressedLength = 0;
    state.matchRemaining = 0;
}

int beginBlock(DecoderState& state, uint32_t block, uint32_t lengthToProduce, uint32_t compressedLength) {
    if (state.tag != DecoderStateTag) return fail(AT_STATE_TAG, DECODE_INVALID_ARGUMENT);
    if (lengthToProduce - 1 >= CompressedBlockSize || compressedLength - 1 >= CompressedBlockSize)
        return fail(AT_BLOCK_LENGTHS, DECODE_INVALID_ARGUMENT);
    state.blockNumber = block;
    state.lengthToProduce = lengthToProduce;
    state.compressedLength = compressedLength;
    state.inputPosition = 0;
    state.bitBuffer = 0;
    state.bitCount = 0;
    state.paddingBytes = 0;
    state.matchDistance = state.matchRemaining = 0;
    state.present = 0;
    if (compressedLength == lengthToProduce) {
        std::memcpy(state.output, state.input, lengthToProduce);
        state.present = lengthToProduce;
    }
    return 0;
}

int readCompressedBlock(const CompressedFileInfo& info, DecoderState& state, std::FILE* file, uint32_t block) {
    if (state.tag != DecoderStateTag) return fail(AT_STATE_TAG, DECODE_INVALID_ARGUMENT);
    if (block >= info.blockCount) return fail(AT_BLOCK_NUMBER, DECODE_INVALID_ARGUMENT);
    if (info.blockSize > CompressedBlockSize) return fail(AT_BLOCK_SIZE, DECODE_INVALID_ARGUMENT);
    uint32_t length = block == info.blockCount - 1 ? info.lastBlockLength : info.blockSize;
    uint64_t start = blockOffset(info, block);
    uint64_t compressed = blockOffset(info, block + 1) - start;
    if (compressed - 1 >= CompressedBlockSize) return fail(AT_BLOCK_LENGTHS, DECODE_FILE_BROKEN);
    if (!seekFile(file, int64_t(start))) return fail(AT_SEEK, DECODE_READ_ERROR);
    if (std::fread(state.input, 1, size_t(compressed), file) != compressed) return fail(AT_BLOCK_READ, DECODE_READ_ERROR);
    return beginBlock(state, block, length, uint32_t(compressed));
}

int decodeBlock(const CompressedFileInfo& info, DecoderState& state, uint32_t length) {
    if (state.tag != DecoderStateTag) return fail(AT_STATE_TAG, DECODE_INVALID_ARGUMENT);
    uint32_t limit = state.lengthToProduce;
    if (length == 0 || length > limit) return fail(AT_DECODE_LENGTH, DECODE_INVALID_ARGUMENT);
    uint8_t* out = state.output;
    uint32_t pos = state.present;
    if (pos >= length) return 0;

    if (state.matchRemaining) {
        uint32_t now = std::min(state.matchRemaining, length - pos);
        copyMatch(out + pos, state.matchDistance, now);
        pos += now;
        state.matchRemaining -= now;
    }
    BitReader r;
    r.next = state.input + state.inputPosition;
    r.end = state.input + state.compressedLength;
    r.bits = state.bitBuffer;
    r.count = int(state.bitCount);
    r.paddingBytes = state.paddingBytes;
    const MainCodeTable& code = info.mainTable;
    int error = 0;
    while (pos < length) {
        int s = decodeSymbol(code, r);
        if (s < 256) {
            out[pos++] = uint8_t(s);
            continue;
        }
        uint32_t m = uint32_t(s) - 256;
        uint32_t c = m & 31;
        uint32_t matchLength = c + 1;
        if (c > 14) {
            int k = int(c) - 14;
            matchLength = (1u << k) + readBits(r, k) + 14;
        }
        uint32_t distance = info.distances[m >> 5];
        // Distance 0 would read the byte being written; either way, nothing before the start.
        if (distance - 1 >= pos) {
            error = fail(AT_DISTANCE, DECODE_FILE_BROKEN);
            break;
        }
        matchLength = std::min(matchLength, limit - pos);
        uint32_t now = std::min(matchLength, length - pos);
        copyMatch(out + pos, distance, now);
        pos += now;
        if (now < matchLength) {
            state.matchDistance = distance;
            state.matchRemaining = matchLength - now;
        }
    }
    if (!error && readPastEnd(r)) error = fail(AT_BLOCK_END, DECODE_FILE_BROKEN);
    state.present = pos;
    state.inputPosition = uint32_t(r.next - state.input);
    state.bitBuffer = r.bits;
    state.bitCount = uint32_t(r.count);
    state.paddingBytes = r.paddingBytes;
    return error;
}

}  // namespace brinz
