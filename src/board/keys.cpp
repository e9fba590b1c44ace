#include "board/keys.h"

namespace brinz {

uint64_t PieceKeys[16][64];
uint64_t EnPassantKeys[64];
uint64_t CastleKeys[16];
uint64_t SideKey;

void Mt19937::seed(uint32_t value) {
    state[0] = value;
    for (int i = 1; i < 624; ++i) state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + uint32_t(i);
    index = 624;
}

void Mt19937::seedByArray(const uint32_t* key, int length) {
    seed(19650218u);
    int i = 1, j = 0;
    for (int k = (624 > length ? 624 : length); k; --k) {
        state[i] = (state[i] ^ ((state[i - 1] ^ (state[i - 1] >> 30)) * 1664525u)) + key[j] + uint32_t(j);
        ++i;
        ++j;
        if (i >= 624) {
            state[0] = state[623];
            i = 1;
        }
        if (j >= length) j = 0;
    }
    for (int k = 623; k; --k) {
        state[i] = (state[i] ^ ((state[i - 1] ^ (state[i - 1] >> 30)) * 1566083941u)) - uint32_t(i);
        ++i;
        if (i >= 624) {
            state[0] = state[623];
            i = 1;
        }
    }
    state[0] = 0x80000000u;
    index = 624;
}

uint32_t Mt19937::next() {
    constexpr uint32_t Upper = 0x80000000u, Lower = 0x7fffffffu, MatrixA = 0x9908b0dfu;
    if (index >= 624) {
        if (index == 625) seed(5489u);
        for (int k = 0; k < 624; ++k) {
            uint32_t y = (state[k] & Upper) | (state[(k + 1) % 624] & Lower);
            state[k] = state[(k + 397) % 624] ^ (y >> 1) ^ ((y & 1) ? MatrixA : 0u);
        }
        index = 0;
    }
    uint32_t y = state[index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

namespace {

uint64_t drawKey(Mt19937& generator) {
    uint64_t high = generator.next();
    return (high << 32) | generator.next();
}

}  // namespace

void InitKeys() {
    static const uint32_t Seed[4] = {0x123, 0x234, 0x345, 0x456};
    Mt19937 generator;
    generator.seedByArray(Seed, 4);
    for (int code = 1; code <= 14; ++code)
        for (int sq = 0; sq < 64; ++sq) PieceKeys[code][sq] = drawKey(generator);
    EnPassantKeys[0] = 0;
    for (int sq = 1; sq < 64; ++sq) EnPassantKeys[sq] = drawKey(generator);
    for (int i = 0; i < 16; ++i) CastleKeys[i] = drawKey(generator);
    SideKey = drawKey(generator);
}

}  // namespace brinz
