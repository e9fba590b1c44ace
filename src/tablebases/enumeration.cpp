#include "tablebases/enumeration.h"

#include <cstring>

#include "tablebases/memory.h"

namespace brinz {

EnumerationTables Enumeration;

namespace {

// True when a man of `kind` on `square` would give a check that the tables leave out to a
// king on `king`: contact checks, knight checks and pawn checks. Checks along open lines
// stay in; those positions are illegal but keep their index.
bool excluded(int kind, int king, int square) {
    int fileGap = (king & 7) - (square & 7), rankGap = (king >> 3) - (square >> 3);
    fileGap = fileGap < 0 ? -fileGap : fileGap;
    rankGap = rankGap < 0 ? -rankGap : rankGap;
    switch (kind) {
    case KIND_PAWN:  // a pawn moving up attacks square + 7 and square + 9
        return (king == square + 7 && (square & 7) != 0) || (king == square + 9 && (square & 7) != 7);
    case KIND_KNIGHT:
        return fileGap * rankGap == 2;
    case KIND_BISHOP:
        return fileGap == 1 && rankGap == 1;
    case KIND_ROOK:
        return fileGap + rankGap == 1;
    case KIND_QUEEN:
        return fileGap <= 1 && rankGap <= 1 && fileGap + rankGap > 0;
    default:
        return false;
    }
}

bool isPawnKind(int kind) { return kind == KIND_OTHER_PAWN || kind == KIND_PAWN; }

void buildRanks() {
    for (int kind = 0; kind < KindCount; ++kind) {
        auto* rank = static_cast<uint8_t*>(tbAllocate(64 * 64));
        auto* count = static_cast<uint8_t*>(tbAllocate(64));
        Enumeration.bytes += 64 * 64 + 64;
        std::memset(rank, 255, 64 * 64);
        int first = isPawnKind(kind) ? 8 : 0, last = isPawnKind(kind) ? 55 : 63;
        for (int king = 0; king < 64; ++king) {
            int next = 0;
            for (int square = first; square <= last; ++square)
                if (square != king && !excluded(kind, king, square)) rank[king * 64 + square] = uint8_t(next++);
            count[king] = uint8_t(next);
        }
        Enumeration.rank[kind] = rank;
        Enumeration.count[kind] = count;
    }
}

void buildGroup(int numbering, int key) {
    auto* offset = static_cast<uint32_t*>(tbAllocate(sizeof(uint32_t) * KingPairCount[numbering]));
    Enumeration.bytes += sizeof(uint32_t) * KingPairCount[numbering];
    uint64_t sum = 0;
    for (int mover = 0; mover < 64; ++mover)
        for (int other = 0; other < 64; ++other) {
            int pair = KingPairIndex[numbering][mover][other];
            if (pair == NO_KING_PAIR) continue;
            int usable[KindCount];
            for (int kind = 0; kind < KindCount; ++kind)
                usable[kind] = placementCount(kind, other) - (placementRank(kind, other, mover) != 255);
            offset[pair] = uint32_t(sum);
            sum += groupPlacements(key, usable);
        }
    Enumeration.offset[numbering][key] = offset;
    Enumeration.total[numbering][key] = uint32_t(sum);
}

// Every single kind, every pair and triple of kinds whose smallest is a pawn of the side to
// move or a piece, and the pair and triple of the other side's pawns (the group of a side
// to move without men); the pawnless numbering needs pieces only.
void buildOffsets(int numbering, int lowest) {
    for (int a = lowest; a < KindCount; ++a) {
        buildGroup(numbering, groupKey(a));
        for (int b = lowest > 1 ? lowest : 1; b <= a; ++b) {
            buildGroup(numbering, groupKey(a, b));
            for (int c = lowest > 1 ? lowest : 1; c <= b; ++c) buildGroup(numbering, groupKey(a, b, c));
        }
    }
    if (lowest == KIND_OTHER_PAWN) {
        buildGroup(numbering, groupKey(KIND_OTHER_PAWN, KIND_OTHER_PAWN));
        buildGroup(numbering, groupKey(KIND_OTHER_PAWN, KIND_OTHER_PAWN, KIND_OTHER_PAWN));
    }
}

}  // namespace

void buildEnumerationTables() {
    if (Enumeration.built) return;
    buildRanks();
    buildOffsets(PAIRS_PAWN, KIND_OTHER_PAWN);
    buildOffsets(PAIRS_PAWNLESS, KIND_KNIGHT);
    Enumeration.built = true;
}

}  // namespace brinz
