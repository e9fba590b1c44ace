#pragma once

#include <cstdint>

namespace brinz {

// The standard 32-bit Mersenne Twister (MT19937).
class Mt19937 {
public:
    void seed(uint32_t value);
    void seedByArray(const uint32_t* key, int length);
    uint32_t next();

private:
    uint32_t state[624];
    int index = 625;  // 625: never seeded
};

// Zobrist keys, drawn once at start-up in a fixed order, so every run has the same keys.
extern uint64_t PieceKeys[16][64];  // by piece code and Index64
extern uint64_t EnPassantKeys[64];  // entry 0 is 0: no en-passant square
extern uint64_t CastleKeys[16];     // by castleLost
extern uint64_t SideKey;            // black to move

void InitKeys();

}  // namespace brinz
