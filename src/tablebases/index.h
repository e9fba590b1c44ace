#pragma once

#include <array>
#include <cstdint>

// The supported tablebase signatures and the index that orders the positions of each file.

namespace brinz {

// One side's men as 0..63 squares (file + 8 * rank). Three slots per piece type, in the
// order of the position's piece list; slots of absent men are never read.
struct SquareList {
    int32_t square[16];
};
inline constexpr int SLOT_PAWN = 0;
inline constexpr int SLOT_KNIGHT = 3;
inline constexpr int SLOT_BISHOP = 6;
inline constexpr int SLOT_ROOK = 9;
inline constexpr int SLOT_QUEEN = 12;
inline constexpr int SLOT_KING = 15;

inline constexpr int NO_EN_PASSANT = 127;

// Answer of an index function for input that is no position of its table: a square outside
// 0..63, two men on one square, touching kings, a pawn on the first or last rank, a man
// giving contact, knight or pawn check to the king not to move, or a position the file does
// not store. It is above every table size.
inline constexpr uint32_t TB_INDEX_NONE = 0xFFFFFFFF;

// Index of a position in the file of its table and side to move. `first` holds the men of
// the side named first in the signature, `second` the other side's. `invert` 1 says the
// lists were taken from the colour-reversed position: pawn tables then mirror the ranks.
// Positions with an en-passant capture are indexed as if the capture did not exist, so
// `epSquare` (NO_EN_PASSANT from the probe) is not read. Pure and lock-free; needs
// buildEnumerationTables() to have run. Answers an index below the table's stored size, or
// TB_INDEX_NONE.
using IndexFunction = uint32_t (*)(const SquareList& first, const SquareList& second, int epSquare, int invert);

// Descriptor flags.
inline constexpr uint32_t TB_SYMMETRIC = 1;  // both sides have the same men; one file serves both sides to move
inline constexpr uint32_t TB_16BIT = 2;      // the file stores 16-bit values

struct TableDescriptor {
    int32_t number;                   // equal to the entry's position in tableDescriptors
    uint32_t flags;                   // TB_SYMMETRIC, TB_16BIT
    IndexFunction indexFunction[2];   // by side to move: 0 white, 1 black
    char name[8];                     // "k", first side's men (q r b n p), "k", second side's; the file stem
    uint32_t size[2];                 // stored positions by side to move; a symmetric table repeats white's
};

// Entries 1..243 are the supported tables; entry 0 ("kk") is a placeholder that no material
// maps to and whose functions answer TB_INDEX_NONE.
inline constexpr int TableCount = 244;
extern const std::array<TableDescriptor, TableCount> tableDescriptors;

// Number of index values the rule spans for a table and side to move: the group's placements
// over all king pairs times the radices of the other side's men. The stored size differs by
// trailing illegal positions left out and by the en-passant positions that follow in tables
// with pawns on both sides. Needs buildEnumerationTables().
uint64_t indexRange(int table, int side);

}  // namespace brinz
