#pragma once

// Positions of a tablebase signature for tests and benchmarks: the men a name implies, legal
// placements in the table's own orientation (first side playing up), board symmetries.

#include <cstdint>
#include <cstring>

#include "tablebases/index.h"

namespace brinz::support {

// Types in SquareList slot order: pawn, knight, bishop, rook, queen.
inline constexpr int TB_TYPE_COUNT = 5;

struct TableMen {
    struct Man {
        int list, type, slot;
    };
    int count[2][TB_TYPE_COUNT] = {};
    int menCount = 0;  // besides the kings
    Man men[4] = {};   // listed by side, then type; like men next to each other
    bool pawns = false;
};

inline TableMen tableMen(const char* name) {
    TableMen t;
    int list = 0;
    for (const char* c = name + 1; *c; ++c) {
        if (*c == 'k') {
            list = 1;
            continue;
        }
        int type = *c == 'p' ? 0 : *c == 'n' ? 1 : *c == 'b' ? 2 : *c == 'r' ? 3 : 4;
        t.count[list][type]++;
        t.pawns |= type == 0;
    }
    for (int l = 0; l < 2; ++l)
        for (int type = 0; type < TB_TYPE_COUNT; ++type)
            for (int i = 0; i < t.count[l][type]; ++i) t.men[t.menCount++] = {l, type, 3 * type + i};
    return t;
}

struct TbPosition {
    SquareList list[2];
};

inline int squareFile(int s) { return s & 7; }
inline int squareRank(int s) { return s >> 3; }

// The eight board symmetries: bit 0 mirrors files, bit 1 mirrors ranks, bit 2 exchanges file
// and rank (applied last). 0-3 are plain square ^ 0/7/56/63 and keep ranks as ranks.
inline int transformSquare(int s, int symmetry) {
    s ^= (symmetry & 1 ? 7 : 0) ^ (symmetry & 2 ? 56 : 0);
    return symmetry & 4 ? (squareFile(s) << 3) | squareRank(s) : s;
}

inline TbPosition transformPosition(const TbPosition& p, const TableMen& t, int symmetry) {
    TbPosition q = p;
    for (int l = 0; l < 2; ++l) q.list[l].square[SLOT_KING] = transformSquare(p.list[l].square[SLOT_KING], symmetry);
    for (int i = 0; i < t.menCount; ++i) {
        const auto& m = t.men[i];
        q.list[m.list].square[m.slot] = transformSquare(p.list[m.list].square[m.slot], symmetry);
    }
    return q;
}

inline uint32_t tbIndex(int table, int side, const TbPosition& p, int invert = 0) {
    return tableDescriptors[table].indexFunction[side](p.list[0], p.list[1], NO_EN_PASSANT, invert);
}

// Attack geometry on 0..63 squares, built once.
struct TbGeometry {
    uint64_t between[64][64];  // squares strictly between two squares on one line, else 0
    uint8_t line[64][64];      // 1 orthogonal, 2 diagonal, 0 none
    uint64_t knight[64];
    TbGeometry() {
        std::memset(this, 0, sizeof(*this));
        for (int a = 0; a < 64; ++a)
            for (int b = 0; b < 64; ++b) {
                int df = squareFile(b) - squareFile(a), dr = squareRank(b) - squareRank(a);
                if (a == b) continue;
                if (df * df + dr * dr == 5) knight[a] |= 1ull << b;
                bool orthogonal = df == 0 || dr == 0, diagonal = df == dr || df == -dr;
                if (!orthogonal && !diagonal) continue;
                line[a][b] = orthogonal ? 1 : 2;
                int step = (df > 0) - (df < 0) + 8 * ((dr > 0) - (dr < 0));
                for (int s = a + step; s != b; s += step) between[a][b] |= 1ull << s;
            }
    }
};

inline const TbGeometry& tbGeometry() {
    static const TbGeometry geometry;
    return geometry;
}

// True when a man of `type` belonging to `list` (list 0 plays up) on `from` attacks `target`.
inline bool tbAttacks(int list, int type, int from, int target, uint64_t occupied) {
    const TbGeometry& g = tbGeometry();
    switch (type) {
    case 0: {
        int up = list == 0 ? 8 : -8;
        return (squareFile(from) != 0 && target == from + up - 1) || (squareFile(from) != 7 && target == from + up + 1);
    }
    case 1:
        return g.knight[from] >> target & 1;
    default: {
        int line = g.line[from][target];
        bool fits = type == 4 ? line != 0 : type == 3 ? line == 1 : line == 2;
        return fits && !(g.between[from][target] & occupied);
    }
    }
}

inline bool kingsTouch(int a, int b) {
    int df = squareFile(a) - squareFile(b), dr = squareRank(a) - squareRank(b);
    return df >= -1 && df <= 1 && dr >= -1 && dr <= 1;
}

// Calls visit(position) for every legal position of the table with `side` to move whose
// kings pass keep(moverKing, otherKing): men on distinct squares, kings apart, pawns on
// ranks 2-7, the side not to move not in check. Like men are placed in rising square order,
// so each position comes once. No en-passant square.
template <typename Keep, typename Visit>
void forEachLegalPosition(const TableMen& t, int side, Keep&& keep, Visit&& visit) {
    TbPosition p;
    std::memset(&p, 0, sizeof(p));
    int mover = side, other = 1 - side;
    auto legal = [&](uint64_t occupied) {
        int target = p.list[other].square[SLOT_KING];
        for (int i = 0; i < t.menCount; ++i) {
            const auto& m = t.men[i];
            if (m.list == mover && tbAttacks(mover, m.type, p.list[mover].square[m.slot], target, occupied))
                return false;
        }
        return true;
    };
    auto place = [&](auto& self, int i, uint64_t occupied) -> void {
        if (i == t.menCount || i == 4) {
            if (legal(occupied)) visit(static_cast<const TbPosition&>(p));
            return;
        }
        const auto& m = t.men[i];
        int low = m.type == 0 ? 8 : 0, high = m.type == 0 ? 55 : 63;
        if (i > 0 && t.men[i - 1].list == m.list && t.men[i - 1].type == m.type)
            low = p.list[m.list].square[m.slot - 1] + 1;
        for (int s = low; s <= high; ++s) {
            if (occupied >> s & 1) continue;
            p.list[m.list].square[m.slot] = s;
            self(self, i + 1, occupied | 1ull << s);
        }
    };
    for (int k = 0; k < 64; ++k)
        for (int o = 0; o < 64; ++o) {
            if (kingsTouch(k, o) || !keep(k, o)) continue;
            p.list[mover].square[SLOT_KING] = k;
            p.list[other].square[SLOT_KING] = o;
            place(place, 0, 1ull << k | 1ull << o);
        }
}

// Kings already in the index frame: the king to move on files a-d (pawns), or on the
// a1-d1-d4 triangle with the other king on or below the a1-h8 diagonal when it stands on it
// (pawnless). Every position is a symmetric image of one of these.
inline bool framedKings(bool pawns, int k, int o) {
    if (pawns) return squareFile(k) < 4;
    if (squareFile(k) >= 4 || squareRank(k) >= 4 || squareFile(k) < squareRank(k)) return false;
    return squareFile(k) != squareRank(k) || squareFile(o) >= squareRank(o);
}

}  // namespace brinz::support
