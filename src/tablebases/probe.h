#pragma once

#include <cstdint>

#include "board/position.h"
#include "tablebases/registry.h"

namespace brinz {

// Table values, from the side to move: 32767 - n mates in n moves, -32766 + n is mated in
// n moves (n = 0: mated now), 0 a draw. 32767 itself: no valid value.
inline constexpr int TableValueNone = 32767;
inline constexpr int TableValueWonLong = 32640;  // won or lost, too long to count in a byte

// Where a position is stored: the table, the side to move in the table's orientation (the
// colour-reversed twin of a table swaps the colours) and the index, TB_INDEX_NONE for a
// placement the table does not hold.
struct TablePosition {
    int table;
    int side;
    uint32_t index;
};
// False when no table holds the material of `pos` (counts beyond four men besides the kings
// included). Needs the MaterialTree; reads no file.
bool locateTablePosition(const Position& pos, TablePosition& where);

// The value stored for `index` of table `table` (1..243) with `side` to move (0 white,
// 1 black), read through the block cache; TableValueNone when it cannot be had.
int readTableValue(int table, int side, uint32_t index);

// The search's door to the tables. When a registered table holds `pos`, stores its score
// for the side to move in `score` and answers true. `ply` is the distance of `pos` from the
// search root: a win in n moves scores as mate given at ply + 2n - 1, a loss in n as mate
// suffered at ply + 2n, so a mate found in the tables reads the same at every depth.
// Counts probeCount once the piece-count test passes, tbHits on a score. Any thread;
// allocates nothing; never changes `pos`.
bool probeTablebase(const Position& pos, int ply, int& score);

// Zeroes probeCount and tbHits; the root search calls it as a search starts, before any
// thread probes.
inline void resetTablebaseCounters() {
    Nalimov.probeCount.store(0, Relaxed);
    Nalimov.tbHits.store(0, Relaxed);
}

// The table value of `pos` without counting, or TableValueNone when no registered table
// holds it; for the "eval" command.
int lookupTableValue(const Position& pos);

// True when `pos` has few enough men for the registered tables (maxPieces, kings included).
bool withinTablebaseReach(const Position& pos);

// "win in N", "loss in N", "draw" or "not found" for a table value; the buffer holds 24.
const char* describeTableValue(int value, char* buffer);

// The score probeTablebase gives for table value `value` found at `ply`.
int tableValueToScore(int value, int ply);
// False for a value no sound table holds: a win or loss whose score at `ply` would leave
// the search's score range or change sign (a damaged block can hold any bytes).
bool plausibleTableValue(int value, int ply);

}  // namespace brinz
