#include "encoder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "tablebases/decoder.h"

namespace brinz::tbcompress {

namespace {

constexpr uint32_t BlockSize = CompressedBlockSize;
constexpr int BlockBits = CompressedBlockBits;
// Shorter matches rarely beat literals of the small alphabets tables use.
constexpr uint32_t MinMatch = 3;
// Codes longer than the decoder's direct lookup are slow; keep them rare and short.
constexpr int MainCodeLimit = 20;
constexpr int LengthCodeLimit = 15;
// Distance choice looks at this many blocks spread over the file, each with a hash-chain
// search of this depth.
constexpr uint32_t SampleBlocks = 256;
constexpr int ChainDepth = 48;
constexpr int HashBits = 15;

class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; i--) {
            if (used == 0) bytes.push_back(0);
            bytes.back() |= uint8_t(((value >> i) & 1) << (7 - used));
            used = (used + 1) & 7;
        }
    }
    const std::vector<uint8_t>& data() const { return bytes; }
    void clear() {
        bytes.clear();
        used = 0;
    }

private:
    std::vector<uint8_t> bytes;
    int used = 0;  // bits used in the last byte
};

// Code lengths from symbol frequencies, no longer than `limit`; deterministic on ties.
std::vector<uint8_t> huffmanLengths(std::vector<uint64_t> frequency, int limit) {
    int n = int(frequency.size());
    std::vector<uint8_t> lengths(size_t(n), 0);
    std::vector<int> symbols;
    for (int s = 0; s < n; s++)
        if (frequency[size_t(s)]) symbols.push_back(s);
    if (symbols.empty()) return lengths;
    if (symbols.size() == 1) {
        lengths[size_t(symbols[0])] = 1;
        return lengths;
    }
    for (;;) {
        std::vector<int> leaves = symbols;
        std::stable_sort(leaves.begin(), leaves.end(),
                         [&](int a, int b) { return frequency[size_t(a)] < frequency[size_t(b)]; });
        // Nodes 0..m-1 are leaves in weight order, then internal nodes in creation order:
        // two queues merged by weight, leaves first on ties.
        size_t m = leaves.size();
        std::vector<uint64_t> weight(2 * m - 1);
        std::vector<int> parent(2 * m - 1, -1);
        for (size_t i = 0; i < m; i++) weight[i] = frequency[size_t(leaves[i])];
        size_t nextLeaf = 0, nextInner = m, made = m;
        auto take = [&] {
            if (nextLeaf < m && (nextInner >= made || weight[nextLeaf] <= weight[nextInner])) return nextLeaf++;
            return nextInner++;
        };
        while (made < 2 * m - 1) {
            size_t a = take(), b = take();
            weight[made] = weight[a] + weight[b];
            parent[a] = parent[b] = int(made);
            made++;
        }
        std::vector<int> depth(2 * m - 1, 0);
        int deepest = 0;
        for (size_t i = 2 * m - 1; i-- > 0;) {
            if (parent[i] >= 0) depth[i] = depth[size_t(parent[i])] + 1;
            if (i < m) deepest = std::max(deepest, depth[i]);
        }
        if (deepest <= limit) {
            for (size_t i = 0; i < m; i++) lengths[size_t(leaves[i])] = uint8_t(depth[i]);
            return lengths;
        }
        // Flatten the distribution and try again; all weights 1 give a balanced code.
        for (int s : symbols) frequency[size_t(s)] = (frequency[size_t(s)] + 1) / 2;
    }
}

// Codes ready to write: a lone code costs no bits, as the decoder reads it.
struct EncodeCode {
    std::vector<uint32_t> code;
    std::vector<uint8_t> bits;

    explicit EncodeCode(const std::vector<uint8_t>& lengths) : code(lengths.size()), bits(lengths) {
        canonicalCodes(lengths.data(), int(lengths.size()), code.data());
        if (std::count_if(lengths.begin(), lengths.end(), [](uint8_t l) { return l != 0; }) == 1)
            std::fill(bits.begin(), bits.end(), uint8_t(0));
    }
    void put(BitWriter& out, int symbol) const { out.put(code[size_t(symbol)], bits[size_t(symbol)]); }
};

// Up to 128 lengths, each in a fixed width; a zero is followed by 4 bits of further zeros.
void writeDirectLengths(BitWriter& out, const uint8_t* lengths, int count) {
    uint8_t longest = *std::max_element(lengths, lengths + count);
    if (longest == 0) {
        out.put(1, 1);
        return;
    }
    int width = 0;
    while ((1u << width) <= longest) width++;
    out.put(0, 1);
    out.put(uint32_t(width), 5);
    for (int i = 0; i < count;) {
        out.put(lengths[i], width);
        if (lengths[i++] != 0) continue;
        int run = 0;
        while (run < 15 && i + run < count && lengths[i + run] == 0) run++;
        out.put(uint32_t(run), 4);
        i += run;
    }
}

// The 1024 main code lengths: a code of length symbols (0-31 a length, 32-63 a run of
// length s - 32) and a code of run lengths (t + 2 up to 33, then 2^k + k extra bits + 33).
std::vector<uint8_t> writeMainLengths(const std::vector<uint8_t>& lengths) {
    struct Token {
        int symbol, run, extraBits;
        uint32_t extra;
    };
    std::vector<Token> tokens;
    std::vector<uint64_t> symbolFrequency(64, 0), runFrequency(64, 0);
    int n = int(lengths.size());
    for (int i = 0; i < n;) {
        int value = lengths[size_t(i)], run = 1;
        while (i + run < n && lengths[size_t(i + run)] == value) run++;
        if (run < 3) {
            tokens.push_back({value, -1, 0, 0});
            symbolFrequency[size_t(value)]++;
            i++;
            continue;
        }
        Token token{32 + value, run - 2, 0, 0};
        if (run > 33) {
            int k = 0;
            while ((2u << k) <= uint32_t(run - 33)) k++;
            token = {32 + value, 32 + k, k, uint32_t(run - 33) - (1u << k)};
        }
        tokens.push_back(token);
        symbolFrequency[size_t(token.symbol)]++;
        runFrequency[size_t(token.run)]++;
        i += run;
    }
    std::vector<uint8_t> small = huffmanLengths(symbolFrequency, LengthCodeLimit);
    std::vector<uint8_t> runLengths = huffmanLengths(runFrequency, LengthCodeLimit);
    small.insert(small.end(), runLengths.begin(), runLengths.end());

    BitWriter out;
    out.put(0, 1);
    writeDirectLengths(out, small.data(), 128);
    EncodeCode symbolCode(std::vector<uint8_t>(small.begin(), small.begin() + 64));
    EncodeCode runCode(runLengths);
    for (const Token& token : tokens) {
        symbolCode.put(out, token.symbol);
        if (token.run < 0) continue;
        runCode.put(out, token.run);
        out.put(token.extra, token.extraBits);
    }
    return out.data();
}

uint32_t matchLength(const uint8_t* data, uint32_t p, uint32_t d, uint32_t end) {
    uint32_t len = 0;
    while (p + len < end && data[p + len] == data[p + len - d]) len++;
    return len;
}

// Greedy parse of one block over the chosen distances; calls emit(symbol, extraBits, extra).
template <typename Emit>
void parseBlock(const uint8_t* data, uint32_t n, const uint32_t* distances, Emit emit) {
    for (uint32_t p = 0; p < n;) {
        uint32_t best = 0, bestSlot = 0;
        for (uint32_t slot = 0; slot < MatchDistanceCount; slot++) {
            uint32_t d = distances[slot];
            if (d > p || data[p] != data[p - d]) continue;
            uint32_t len = matchLength(data, p, d, n);
            if (len > best) {
                best = len;
                bestSlot = slot;
            }
        }
        if (best < MinMatch) {
            emit(int(data[p++]), 0, 0u);
            continue;
        }
        // Length code c: c + 1 up to 15 bytes, else 2^k + k extra bits + 14 with k = c - 14.
        int c = int(best) - 1, bits = 0;
        uint32_t extra = 0;
        if (best > 15) {
            int k = 1;
            while ((2u << k) <= best - 14) k++;
            c = 14 + k;
            bits = k;
            extra = best - 14 - (1u << k);
        }
        emit(256 + int(bestSlot) * 32 + c, bits, extra);
        p += best;
    }
}

class InputTable {
public:
    explicit InputTable(std::FILE* file, uint64_t size) : file(file), size(size) {}
    uint32_t blocks() const { return uint32_t((size + BlockSize - 1) / BlockSize); }
    uint32_t length(uint32_t block) const {
        return uint32_t(std::min<uint64_t>(BlockSize, size - uint64_t(block) * BlockSize));
    }
    bool read(uint32_t block, uint8_t* data) const {
        uint32_t n = length(block);
        return seekFile(file, int64_t(uint64_t(block) * BlockSize)) &&
               std::fread(data, 1, n, file) == n;
    }

private:
    std::FILE* file;
    uint64_t size;
};

// The 24 distances, in increasing order: those that a free hash-chain search of sample
// blocks uses most, topped up with the shortest unused ones.
bool chooseDistances(const InputTable& table, uint32_t* distances) {
    std::vector<uint64_t> gain(BlockSize, 0);
    std::vector<uint8_t> data(BlockSize);
    std::vector<int32_t> head(size_t(1) << HashBits), previous(BlockSize);
    uint32_t blocks = table.blocks();
    uint32_t samples = std::min(blocks, SampleBlocks);
    for (uint32_t i = 0; i < samples; i++) {
        uint32_t block = uint32_t(uint64_t(i) * blocks / samples);
        if (!table.read(block, data.data())) return false;
        uint32_t n = table.length(block);
        std::fill(head.begin(), head.end(), -1);
        auto hash = [&](uint32_t p) {
            uint32_t v = uint32_t(data[p]) | uint32_t(data[p + 1]) << 8 | uint32_t(data[p + 2]) << 16;
            return (v * 2654435761u) >> (32 - HashBits);
        };
        auto insert = [&](uint32_t p) {
            if (p + 3 > n) return;
            uint32_t h = hash(p);
            previous[p] = head[h];
            head[h] = int32_t(p);
        };
        for (uint32_t p = 0; p < n;) {
            uint32_t best = 0, bestDistance = 0;
            if (p + 3 <= n) {
                int32_t q = head[hash(p)];
                for (int depth = 0; q >= 0 && depth < ChainDepth; depth++, q = previous[size_t(q)]) {
                    uint32_t d = p - uint32_t(q);
                    uint32_t len = matchLength(data.data(), p, d, n);
                    if (len > best) {
                        best = len;
                        bestDistance = d;
                    }
                }
            }
            if (best < MinMatch) {
                insert(p++);
                continue;
            }
            gain[bestDistance] += best;
            for (uint32_t j = 0; j < best; j++) insert(p + j);
            p += best;
        }
    }
    std::vector<uint32_t> order;
    for (uint32_t d = 1; d < BlockSize; d++)
        if (gain[d]) order.push_back(d);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return gain[a] > gain[b]; });
    order.resize(std::min<size_t>(order.size(), MatchDistanceCount));
    for (uint32_t d = 1; order.size() < MatchDistanceCount; d++)
        if (std::find(order.begin(), order.end(), d) == order.end()) order.push_back(d);
    std::sort(order.begin(), order.end());
    std::copy(order.begin(), order.end(), distances);
    return true;
}

void putBigEndian32(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

struct InfoDeleter {
    void operator()(CompressedFileInfo* info) const { delete info; }
};

}  // namespace

CompressResult compressTableFile(const std::string& input, const std::string& output, CompressStats& stats) {
    std::error_code error;
    if (!std::filesystem::exists(input, error)) return CompressResult::MissingFile;
    if (!std::filesystem::is_regular_file(input, error)) return CompressResult::UnreadableFile;
    FilePointer in(std::fopen(input.c_str(), "rb"));
    if (!in) return CompressResult::UnreadableFile;
    if (!seekFileEnd(in.get())) return CompressResult::UnreadableFile;
    int64_t end = tellFile(in.get());
    if (end < 0) return CompressResult::UnreadableFile;
    uint64_t size = uint64_t(end);
    stats.inputBytes = size;
    if (size == 0 || size > MaxInputBytes) return CompressResult::WrongSize;

    InputTable table(in.get(), size);
    uint32_t blocks = table.blocks();
    uint32_t distances[MatchDistanceCount];
    if (!chooseDistances(table, distances)) return CompressResult::UnreadableFile;

    std::vector<uint8_t> data(BlockSize);
    std::vector<uint64_t> frequency(MainSymbolCount, 0);
    for (uint32_t block = 0; block < blocks; block++) {
        if (!table.read(block, data.data())) return CompressResult::UnreadableFile;
        parseBlock(data.data(), table.length(block), distances,
                   [&](int symbol, int, uint32_t) { frequency[size_t(symbol)]++; });
    }
    std::vector<uint8_t> mainLengths = huffmanLengths(frequency, MainCodeLimit);
    EncodeCode mainCode(mainLengths);
    std::vector<uint8_t> lengthStream = writeMainLengths(mainLengths);

    // The decoder checks each block this program writes.
    std::unique_ptr<CompressedFileInfo, InfoDeleter> info(new CompressedFileInfo());
    if (buildHuffmanTable(mainLengths.data(), MainSymbolCount, info->mainTable) != 0) return CompressResult::CannotWrite;
    std::copy(distances, distances + MatchDistanceCount, info->distances);
    auto state = std::make_unique<DecoderState>();
    std::vector<uint8_t> decoded(DecoderOutputBytes);

    uint64_t fieldBytes = ((uint64_t(blocks) + 1 + MatchDistanceCount) * BlockBits + 7) / 8;
    uint64_t headerLength = HeaderFixedBytes + 8 * uint64_t(blocks) + fieldBytes + lengthStream.size() + 4;
    std::vector<uint32_t> compressedLength(blocks);
    std::vector<uint8_t> checkWords(8 * size_t(blocks));

    FilePointer out(std::fopen(output.c_str(), "wb"));
    if (!out) return CompressResult::CannotWrite;
    auto abandon = [&](CompressResult result) {
        out.reset();
        std::remove(output.c_str());
        return result;
    };
    std::vector<uint8_t> header(headerLength, 0);
    if (std::fwrite(header.data(), 1, header.size(), out.get()) != header.size())
        return abandon(CompressResult::CannotWrite);

    BitWriter writer;
    stats.blocks = blocks;
    stats.storedBlocks = 0;
    uint64_t outputBytes = headerLength;
    for (uint32_t block = 0; block < blocks; block++) {
        if (!table.read(block, data.data())) return abandon(CompressResult::UnreadableFile);
        uint32_t n = table.length(block);
        writer.clear();
        parseBlock(data.data(), n, distances, [&](int symbol, int bits, uint32_t extra) {
            mainCode.put(writer, symbol);
            writer.put(extra, bits);
        });
        std::vector<uint8_t> packed = writer.data();
        // A block of nothing but a lone zero-bit code still needs a byte: length 0 means 8192.
        if (packed.empty()) packed.push_back(0);
        if (packed.size() >= n) {
            packed.assign(data.begin(), data.begin() + n);
            stats.storedBlocks++;
        }
        prepareDecoderState(*state, decoded.data());
        std::copy(packed.begin(), packed.end(), state->input);
        if (beginBlock(*state, block, n, uint32_t(packed.size())) != 0 || decodeBlock(*info, *state, n) != 0 ||
            !std::equal(data.begin(), data.begin() + n, decoded.begin())) {
            std::fprintf(stderr, "brinz-tbcompress: internal error: block %u does not decode back\n", block);
            return abandon(CompressResult::CannotWrite);
        }
        compressedLength[block] = uint32_t(packed.size());
        putBigEndian32(&checkWords[8 * size_t(block)], checkValue(data.data(), n));
        putBigEndian32(&checkWords[8 * size_t(block) + 4], checkValue(packed.data(), packed.size()));
        if (std::fwrite(packed.data(), 1, packed.size(), out.get()) != packed.size())
            return abandon(CompressResult::CannotWrite);
        outputBytes += packed.size();
    }

    std::copy(CompressedBanner, CompressedBanner + sizeof CompressedBanner, header.begin());
    putBigEndian32(&header[64], uint32_t(headerLength));
    header[70] = BlockBits;
    header[71] = MatchDistanceCount;
    putBigEndian32(&header[72], blocks);
    putBigEndian32(&header[76], CompressedFileMagic);
    std::copy(checkWords.begin(), checkWords.end(), header.begin() + HeaderFixedBytes);
    BitWriter fields;
    // Lengths of 8192 are written as 0.
    for (uint32_t length : compressedLength) fields.put(length & (BlockSize - 1), BlockBits);
    fields.put(table.length(blocks - 1) & (BlockSize - 1), BlockBits);
    for (uint32_t d : distances) fields.put(d, BlockBits);
    size_t at = HeaderFixedBytes + checkWords.size();
    std::copy(fields.data().begin(), fields.data().end(), header.begin() + long(at));
    at += fieldBytes;
    std::copy(lengthStream.begin(), lengthStream.end(), header.begin() + long(at));
    putBigEndian32(&header[headerLength - 4], checkValue(header.data(), headerLength - 4));
    if (std::fseek(out.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), out.get()) != header.size())
        return abandon(CompressResult::CannotWrite);
    if (std::fclose(out.release()) != 0) {
        std::remove(output.c_str());
        return CompressResult::CannotWrite;
    }
    stats.outputBytes = outputBytes;
    return CompressResult::Done;
}

}  // namespace brinz::tbcompress
