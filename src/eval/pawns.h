#pragma once

#include <cstdint>
#include <memory>

#include "board/position.h"
#include "platform/threads.h"

namespace brinz {

// Everything that depends on the pawns alone, kept per pawn configuration.
struct PawnEntry {
    uint32_t keyLow, keyHigh;      // halves of the position's pawnKey
    int16_t structureMg[2];        // by colour, 1/256 pawn, before the weights
    int16_t structureEg[2];
    uint8_t passed[2][8];          // passed-pawn squares in list order, ended by 0 when fewer than 8
    uint8_t openFiles[2];          // bit f set: that colour has no pawn on file f
    int16_t kingsideStorm[2];      // wider than a byte so extreme storms cannot wrap
    int16_t queensideStorm[2];
    uint8_t danger[2];             // central pawn danger, at most 24
    uint8_t centreType;            // 0..6, see CentreType
};

// Classification of the d- and e-file pawns.
enum CentreType : int {
    CENTRE_OPEN = 1,
    CENTRE_HALF_OPEN = 2,
    CENTRE_CLOSED = 3,
    CENTRE_LOCKED_FILE = 4,
    CENTRE_TENSION = 5,
    CENTRE_FULL = 6,
};

// By file a..h. Isolated, doubled and backward pawns cost the same.
inline constexpr int IsolatedPenalty[8] = {7, 10, 14, 20, 20, 14, 10, 7};
inline constexpr int DoubledPenalty[8] = {7, 10, 14, 20, 20, 14, 10, 7};
inline constexpr int BackwardPenalty[8] = {7, 10, 14, 20, 20, 14, 10, 7};
// By the number of weaknesses of one colour; more than 8 count as 8.
inline constexpr int WeaknessCount[9] = {0, 0, 3, 10, 25, 50, 60, 60, 60};
// By relative rank.
inline constexpr int CandidateBonus[8] = {0, 10, 10, 20, 33, 53, 0, 0};
inline constexpr int PassedBase[8] = {0, 30, 30, 60, 100, 160, 256, 0};

// By relative square: [rank][file], own back rank first, files a..h.
inline constexpr int KingsideStorm[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, -3, -9, -15, -18, -18},
    {0, 0, 0, -3, -6, -9, -12, -12},
    {0, 0, 0, 0, 6, 6, 6, 6},
    {0, 0, 0, 0, 6, 12, 18, 18},
    {0, 0, 0, 0, 6, 18, 27, 24},
    {0, 0, 0, 0, 0, 21, 27, 21},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
inline constexpr int QueensideStorm[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-15, -15, -15, -9, -3, 0, 0, 0},
    {-3, -6, -6, -6, -3, 0, 0, 0},
    {6, 12, 15, 12, 6, 0, 0, 0},
    {15, 21, 21, 15, 0, 0, 0, 0},
    {21, 27, 27, 21, 0, 0, 0, 0},
    {21, 27, 27, 21, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
inline constexpr int CentreDanger[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 2, 2, 0, 0, 0},
    {0, 0, 2, 4, 4, 2, 0, 0},
    {0, 0, 2, 4, 4, 2, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
// King near a pawn. Rows by the king's rank difference +4 down to -3, seen from the pawn
// (positive: the king stands in front of it), columns by file difference -3..+3.
inline constexpr int KingPawnProximityRows[8][7] = {
    {2, 7, 10, 10, 10, 7, 2},
    {7, 14, 22, 22, 22, 14, 7},
    {10, 22, 33, 35, 33, 22, 10},
    {10, 25, 40, 40, 40, 25, 10},
    {8, 20, 30, 0, 30, 20, 8},
    {5, 13, 22, 25, 22, 13, 5},
    {0, 5, 10, 15, 10, 5, 0},
    {0, 0, 5, 8, 5, 0, 0},
};

inline constexpr int PawnTableEntries = 65536; // indexed by the low 16 bits of pawnKey

// One search thread's pawn analyses; only that thread reads or writes it.
struct PawnTable {
    PawnEntry entry[PawnTableEntries];
    // Forgets every entry. Not a zero fill: an all-zero entry would match a pawnless board.
    void clear();
};
static_assert(sizeof(PawnTable) <= 3 * 1024 * 1024);

// A new, empty table; null when the system has no memory for it (its thread then
// analyses the pawns afresh at every probe).
std::unique_ptr<PawnTable> NewPawnTable();

// Starts loading the entry of `pawnKey` in `table` (nothing without a table).
inline void PrefetchPawnEntry(uint64_t pawnKey, const PawnTable* table) {
    if (table) Prefetch(&table->entry[pawnKey & (PawnTableEntries - 1)]);
}

// Analyses the pawns of `pos` from scratch into `entry`.
void ComputePawnEntry(const Position& pos, PawnEntry& entry);
// The entry of `pos` in `table`, computed and stored on a miss. Without a table the
// analysis is made afresh in `scratch` (nothing is stored).
const PawnEntry& ProbePawnTable(const Position& pos, PawnTable* table, PawnEntry& scratch);

// Weight of a king's nearness to a pawn of `pawnColour`, oriented from the pawn's side.
int KingPawnProximity(int king, int pawn, int pawnColour);

// Half the proximity of each king to every pawn on the board, by the king's colour.
void KingProximityToPawns(const Position& pos, int kingProx[2]);

// Scores the passed pawns of `entry` against the pieces on the board: adds each colour's
// value to passed[colour], twice each king's proximity to them to kingProx, and the
// unstoppable-pawn bonus when exactly one colour has such a pawn. 1/256 pawn, unweighted.
void ScorePassedPawns(const Position& pos, const PawnEntry& entry, int passed[2], int kingProx[2]);

}  // namespace brinz
