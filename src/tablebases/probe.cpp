#include "tablebases/probe.h"

#include <cstdio>

#include "tablebases/block_cache.h"

namespace brinz {

namespace {

inline constexpr int KppkpTable = 36;

// Black-to-move kppkp entries whose value is fixed, whatever the file holds.
inline constexpr uint32_t KppkpFixedIndices[] = {56802428, 56811076, 56849992, 56858640,
                                                 59592489, 67775659, 71071628};
inline constexpr int KppkpFixedValue = -32639;

int menCount(const Position& pos) {
    int count = 2;
    for (int type = PAWN; type <= QUEEN; ++type)
        count += pos.pieceCount[MakeCode(type, WHITE)] + pos.pieceCount[MakeCode(type, BLACK)];
    return count;
}

// Slots 0-2 pawns, 3-5 knights, 6-8 bishops, 9-11 rooks, 12-14 queens, 15 the king, in
// piece-list order; at most three of a type.
void fillSquareList(const Position& pos, int colour, SquareList& list) {
    for (int type = PAWN; type <= QUEEN; ++type) {
        int slot = (type - PAWN) * 3;
        const int end = slot + 3;
        for (int node = pos.links[LIST_HEAD + MakeCode(type, colour)][1]; node <= 119 && slot < end;
             node = pos.links[node][1])
            list.square[slot++] = Index64(node);
    }
    list.square[15] = Index64(pos.kingSquare(colour));
}

// The value of `pos` once the piece-count test has passed.
int tableValue(const Position& pos) {
    TablePosition where;
    if (!locateTablePosition(pos, where)) return TableValueNone;
    const int fileSide = tableDescriptors[where.table].flags & TB_SYMMETRIC ? 0 : where.side;
    if (!tableFiles[where.table][fileSide].registered.load(Relaxed)) return TableValueNone;
    return readTableValue(where.table, where.side, where.index);
}

}  // namespace

bool locateTablePosition(const Position& pos, TablePosition& where) {
    int32_t counts[10];
    for (int type = PAWN; type <= QUEEN; ++type) {
        counts[type - PAWN] = pos.pieceCount[MakeCode(type, WHITE)];
        counts[type - PAWN + 5] = pos.pieceCount[MakeCode(type, BLACK)];
    }
    int table = lookupMaterial(counts);
    if (table == 0) return false;

    SquareList white, black;  // slots of absent men are never read
    fillSquareList(pos, WHITE, white);
    fillSquareList(pos, BLACK, black);
    const SquareList* first = &white;
    const SquareList* second = &black;
    int side = pos.side;
    int invert = 0;
    if (table < 0) {
        // The colour-reversed twin of a named table: black's men play white's part.
        table = -table;
        first = &black;
        second = &white;
        side = pos.xside;
        invert = 1;
    }
    where.table = table;
    where.side = side;
    // No en-passant square is passed: a position with an en-passant capture is read as without it.
    where.index = tableDescriptors[table].indexFunction[side](*first, *second, NO_EN_PASSANT, invert);
    return true;
}

int readTableValue(int table, int side, uint32_t index) {
    const TableDescriptor& descriptor = tableDescriptors[table];
    if (descriptor.flags & TB_SYMMETRIC) side = 0;
    if (cacheBlockCount() == 0 || !tableFiles[table][side].directory) return TableValueNone;
    // An index past the table would read another table's block or disable this one.
    if (index >= descriptor.size[side]) return TableValueNone;

    if (descriptor.flags & TB_16BIT) {
        const uint32_t block = index / (TableBlockBytes / 2);
        const uint32_t offset = index % (TableBlockBytes / 2) * 2;
        const int lo = readCachedByte(table, side, block, offset);
        const int hi = readCachedByte(table, side, block, offset + 1);
        if (lo == TableValueMissing || hi == TableValueMissing) return TableValueNone;
        return hi * 256 + (lo & 0xFF);
    }
    if (table == KppkpTable && side == BLACK)
        for (uint32_t fixed : KppkpFixedIndices)
            if (index == fixed) return KppkpFixedValue;
    const int b = readCachedByte(table, side, index / TableBlockBytes, index % TableBlockBytes);
    if (b == TableValueMissing) return TableValueNone;
    if (b == 0) return 0;
    if (b == 127) return TableValueNone;
    if (b == -128) return TableValueWonLong;
    if (b == -127) return -TableValueWonLong;
    return b > 0 ? b + 32640 : b - 32640;
}

int tableValueToScore(int value, int ply) {
    if (value > 0) return 2 * value - 35533 - ply;
    if (value < 0) return 2 * value + 35532 + ply;
    return 0;
}

bool plausibleTableValue(int value, int ply) {
    constexpr int Mate = 30000;  // a mate given at ply p scores Mate - p
    const int score = tableValueToScore(value, ply);
    if (value > 0) return score > 0 && score <= Mate - 1 - ply;
    if (value < 0) return score < 0 && score >= ply - Mate;
    return true;
}

bool withinTablebaseReach(const Position& pos) {
    return Nalimov.maxPieces > 0 && menCount(pos) <= Nalimov.maxPieces;
}

bool probeTablebase(const Position& pos, int ply, int& score) {
    if (!withinTablebaseReach(pos)) return false;
    Nalimov.probeCount.store(Nalimov.probeCount.load(Relaxed) + 1, Relaxed);
    const int value = tableValue(pos);
    if (value == TableValueNone || !plausibleTableValue(value, ply)) return false;
    score = tableValueToScore(value, ply);
    Nalimov.tbHits.store(Nalimov.tbHits.load(Relaxed) + 1, Relaxed);
    return true;
}

int lookupTableValue(const Position& pos) {
    return withinTablebaseReach(pos) ? tableValue(pos) : TableValueNone;
}

const char* describeTableValue(int value, char* buffer) {
    if (value == TableValueNone) std::snprintf(buffer, 24, "not found");
    else if (value == 0) std::snprintf(buffer, 24, "draw");
    else if (value > 0) std::snprintf(buffer, 24, "win in %d", 32767 - value);
    else std::snprintf(buffer, 24, "loss in %d", value + 32766);
    return buffer;
}

}  // namespace brinz
