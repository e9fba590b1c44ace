#pragma once

// The board's occupancy as 64 bits (bit Index64(square)) beside the 0x88 board. What a
// slider reaches along a line is then a mask and one bit scan, where a walk square by
// square ends in a mispredicted branch on every line.

#include <cstdint>

#include "board/types.h"

namespace brinz {

inline constexpr uint64_t SquareBit(int square) { return uint64_t(1) << Index64(square); }

// The bit of a square given by rank and file, 0 off the board: tables built from steps
// and jumps need not test their bounds themselves.
inline constexpr uint64_t BitAt(int rank, int file) {
    return rank >= 0 && rank < 8 && file >= 0 && file < 8 ? uint64_t(1) << (8 * rank + file) : 0;
}

// Line directions. The first four step to higher indices, where the nearest square of a
// set is its lowest bit; the last four to lower ones, where it is the highest.
enum LineDirection : int { NORTH, EAST, NORTH_EAST, NORTH_WEST, SOUTH, WEST, SOUTH_WEST, SOUTH_EAST };
inline constexpr bool IsDiagonal(int direction) { return (direction & 2) != 0; }

// Which slider's empty-board reach a `LineTableSet::reach` row holds.
enum SliderReach : int { REACH_BISHOP, REACH_ROOK, REACH_QUEEN };

struct LineTableSet {
    // The squares from an index (itself excluded) to the board's edge.
    uint64_t ray[8][64];
    // The last square of that ray; the index itself when the ray is empty. Added to the
    // occupied squares of a ray, it makes "nearest occupied square" always defined.
    uint64_t stop[8][64];
    uint64_t knight[64];
    // The squares a bishop, rook or queen reaches from an index on an empty board.
    uint64_t reach[3][64];

    constexpr LineTableSet() : ray(), stop(), knight(), reach() {
        constexpr int Steps[8][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}, {-1, 0}, {0, -1}, {-1, -1}, {-1, 1}};
        constexpr int Jumps[8][2] = {{2, 1}, {2, -1}, {-2, 1}, {-2, -1}, {1, 2}, {1, -2}, {-1, 2}, {-1, -2}};
        for (int index = 0; index < 64; ++index) {
            const int rank = index >> 3, file = index & 7;
            for (int d = 0; d < 8; ++d) {
                uint64_t last = uint64_t(1) << index;
                for (int r = rank + Steps[d][0], f = file + Steps[d][1]; BitAt(r, f) != 0;
                     r += Steps[d][0], f += Steps[d][1]) {
                    last = BitAt(r, f);
                    ray[d][index] |= last;
                }
                stop[d][index] = last;
                reach[IsDiagonal(d) ? REACH_BISHOP : REACH_ROOK][index] |= ray[d][index];
            }
            reach[REACH_QUEEN][index] = reach[REACH_BISHOP][index] | reach[REACH_ROOK][index];
            for (const auto& jump : Jumps) knight[index] |= BitAt(rank + jump[0], file + jump[1]);
        }
    }
};
inline constexpr LineTableSet LineTables;

// The line direction of a 0x88 step along a rank, file or diagonal, by step + 17.
inline constexpr struct StepLineTable {
    int8_t line[35];
    constexpr StepLineTable() : line() {
        constexpr int Steps[8] = {16, 1, 17, 15, -16, -1, -17, -15};  // in LineDirection order
        for (int d = 0; d < 8; ++d) line[Steps[d] + 17] = int8_t(d);
    }
} StepLine;

// The squares strictly between `from` and `target`, which `step` joins along a line.
inline uint64_t SquaresBetween(int from, int target, int step) {
    const int d = StepLine.line[step + 17];
    return LineTables.ray[d][Index64(from)] ^ LineTables.ray[d][Index64(target)] ^ SquareBit(target);
}

// The nearest occupied square from `index` in direction D, or the ray's stop square.
template <int D>
inline int NearestOnLine(uint64_t occupied, int index) {
    const uint64_t seen = (occupied & LineTables.ray[D][index]) | LineTables.stop[D][index];
    return D < 4 ? __builtin_ctzll(seen) : 63 - __builtin_clzll(seen);
}

// The squares a slider on `index` attacks in direction D: up to and including the first
// occupied square.
template <int D>
inline uint64_t LineAttacks(uint64_t occupied, int index) {
    return LineTables.ray[D][index] & ~LineTables.ray[D][NearestOnLine<D>(occupied, index)];
}

// What a slider on `index` attacks along the given directions.
template <int... Directions>
inline uint64_t SliderAttacks(uint64_t occupied, int index) {
    return (LineAttacks<Directions>(occupied, index) | ...);
}

}  // namespace brinz
