#include "eval/pawns.h"

#include <cstring>
#include <memory>
#include <new>

#include "board/attacks.h"
#include "board/exchange.h"

namespace brinz {

namespace {

// The proximity rows laid out by 0x88 square difference + 128, so one look-up serves.
struct ProximityTable {
    int8_t value[256];
    constexpr ProximityTable() : value() {
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 7; ++column)
                value[(4 - row) * 16 + (column - 3) + 128] = int8_t(KingPawnProximityRows[row][column]);
    }
};
constexpr ProximityTable Proximity;

inline int Relative(const int table[8][8], int colour, int square) {
    int rel = square ^ (colour * 0x70);
    return table[rel >> 4][rel & 7];
}

// Rank masks of one file, seen from a colour: the ranks strictly ahead of / behind `rank`.
struct RankMasks {
    uint8_t ahead[2][8], behind[2][8];
    constexpr RankMasks() : ahead(), behind() {
        for (int rank = 0; rank < 8; ++rank) {
            uint8_t above = uint8_t(0xFE << rank), below = uint8_t((1 << rank) - 1);
            ahead[WHITE][rank] = above;
            behind[WHITE][rank] = below;
            ahead[BLACK][rank] = below;
            behind[BLACK][rank] = above;
        }
    }
};
constexpr RankMasks Masks;

// A zeroed entry would pass for the analysis of a pawnless board (pawnKey 0) with no open
// files. An entry only serves keys whose low 16 bits equal its index, so this key fits none.
// Multiplies a storm value when an enemy pawn stands ahead on the neighbouring file
// (a lever that opens it): by `alone` eighths, or `backed` eighths when that pawn has
// a neighbour of its own. Each fraction truncates separately.
int LeverStorm(const Position& pos, int colour, int square, int side, int v, int alone, int backed) {
    int push = PawnPush[colour];
    int enemyPawn = MakeCode(PAWN, colour ^ 1);
    for (int sq = square + push + side; OnBoard(sq); sq += push) {
        if (pos.board[sq] != enemyPawn) continue;
        bool beside = pos.board[sq - 1] == enemyPawn || pos.board[sq + 1] == enemyPawn;
        int eighths = beside ? backed : alone;
        // Eighths 20, 16, 14, 12, 10: 2.5, 2, 1.75, 1.5, 1.25.
        switch (eighths) {
            case 20: return 2 * v + v / 2;
            case 16: return 2 * v;
            case 14: return v + v / 2 + v / 4;
            case 12: return v + v / 2;
            default: return v + v / 4;
        }
    }
    return v;
}

bool Backward(const Position& pos, int colour, int square) {
    int push = PawnPush[colour];
    int own = MakeCode(PAWN, colour), enemy = MakeCode(PAWN, colour ^ 1);
    const uint8_t* ownFiles = pos.pawnFiles[colour];
    int file = FileOf(square), rank = RankOf(square);
    uint8_t levelOrBehind = uint8_t(Masks.behind[colour][rank] | (1 << rank));
    if ((ownFiles[file - 1] | ownFiles[file + 1]) & levelOrBehind) return false;
    if (pos.board[square + push - 1] == enemy || pos.board[square + push + 1] == enemy) return false;
    for (int sq = square + push; OnBoard(sq); sq += push) {
        if (pos.board[sq + push - 1] == enemy || pos.board[sq + push + 1] == enemy) return true;
        if (pos.board[sq - 1] == own || pos.board[sq + 1] == own) return false;
    }
    return true;
}

int ClassifyCentre(const Position& pos) {
    const int d = 3, e = 4;
    int n = 0;
    for (int colour = WHITE; colour <= BLACK; ++colour)
        n += (pos.pawnFiles[colour][d] != 0) + (pos.pawnFiles[colour][e] != 0);
    if (n < 2) return CENTRE_OPEN;
    auto white = [&](int file, int rank) { return pos.board[MakeSquare(file, rank)] == WHITE_PAWN; };
    auto black = [&](int file, int rank) { return pos.board[MakeSquare(file, rank)] == BLACK_PAWN; };
    for (int rank = 1; rank <= 5; ++rank)
        if ((white(d, rank) && black(e, rank + 1)) || (white(e, rank) && black(d, rank + 1)))
            return CENTRE_TENSION;
    if (n < 4) {
        for (int rank = 1; rank <= 6; ++rank)
            if ((white(d, rank) && black(d, rank + 1)) || (white(e, rank) && black(e, rank + 1)))
                return CENTRE_LOCKED_FILE;
        return CENTRE_HALF_OPEN;
    }
    int type = CENTRE_FULL;
    for (int rank = 1; rank <= 5; ++rank)
        if (white(d, rank) && black(d, rank + 1)) type = CENTRE_LOCKED_FILE;
    for (int rank = 1; rank <= 5; ++rank)
        if (white(e, rank) && black(e, rank + 1)) {
            type = type == CENTRE_FULL ? CENTRE_LOCKED_FILE : CENTRE_CLOSED;
            break;
        }
    return type;
}

void AnalyseColour(const Position& pos, int colour, PawnEntry& entry, int& kingside, int& queenside,
                   int& danger) {
    int push = PawnPush[colour];
    int x = colour ^ 1;
    int own = MakeCode(PAWN, colour);
    const uint8_t* ownFiles = pos.pawnFiles[colour];
    const uint8_t* enemyFiles = pos.pawnFiles[x];
    int mg = 0, eg = 0, weaknesses = 0, passedCount = 0;

    for (int q = pos.links[LIST_HEAD + own][1]; q <= 119; q = pos.links[q][1]) {
        int file = FileOf(q), rank = RankOf(q), r = RelativeRank[colour][q];
        uint8_t ahead = Masks.ahead[colour][rank], behind = Masks.behind[colour][rank];
        entry.openFiles[colour] &= uint8_t(~(1 << file));

        int v = Relative(KingsideStorm, colour, q);
        if (v != 0) {
            if (file == 5) v = LeverStorm(pos, colour, q, +1, v, 12, 10);
            else if (file == 6) v = LeverStorm(pos, colour, q, +1, v, 20, 14);
            else if (file == 7) v = LeverStorm(pos, colour, q, -1, v, 16, 12);
            kingside += v;
        }
        v = Relative(QueensideStorm, colour, q);
        if (v != 0) {
            if (file == 0) v = LeverStorm(pos, colour, q, +1, v, 16, 12);
            else if (file == 1) v = LeverStorm(pos, colour, q, -1, v, 20, 14);
            else if (file == 2) v = LeverStorm(pos, colour, q, -1, v, 12, 10);
            queenside += v;
        }

        v = Relative(CentreDanger, colour, q);
        if (v != 0) {
            danger += v;
            if (pos.board[q - 1] == own || pos.board[q + 1] == own) danger += v;
            else if (pos.board[q - push - 1] == own || pos.board[q - push + 1] == own) danger += v / 2;
        }

        bool passed = ((enemyFiles[file - 1] | enemyFiles[file] | enemyFiles[file + 1]) & ahead) == 0;
        bool isolated = (ownFiles[file - 1] | ownFiles[file + 1]) == 0;
        bool candidate = false;
        if (!passed && !isolated) {
            uint8_t levelOrBehind = uint8_t(behind | (1 << rank));
            candidate = ((ownFiles[file] | enemyFiles[file]) & ahead) == 0 &&
                        BitCount8[enemyFiles[file - 1] & ahead] + BitCount8[enemyFiles[file + 1] & ahead] <= 1 &&
                        ((ownFiles[file - 1] | ownFiles[file + 1]) & levelOrBehind) != 0;
        }
        bool doubled = (ownFiles[file] & behind) != 0;
        bool isProtected = pos.board[q - 1] == own || pos.board[q + 1] == own || pos.board[q - push - 1] == own ||
                           pos.board[q - push + 1] == own;
        bool backward = !isolated && !passed && !isProtected && Backward(pos, colour, q);

        if (passed && passedCount < 8) entry.passed[colour][passedCount++] = uint8_t(q);
        if (doubled) mg -= DoubledPenalty[file], eg -= DoubledPenalty[file], ++weaknesses;
        if (isolated) mg -= IsolatedPenalty[file], eg -= IsolatedPenalty[file], ++weaknesses;
        if (backward) mg -= BackwardPenalty[file], eg -= BackwardPenalty[file], ++weaknesses;
        if (isProtected) mg += 10, eg += 10;
        if (candidate) mg += CandidateBonus[r] / 2, eg += CandidateBonus[r];
    }

    if (passedCount < 8) entry.passed[colour][passedCount] = 0;
    int weakness = WeaknessCount[weaknesses < 8 ? weaknesses : 8];
    entry.structureMg[colour] = int16_t(mg - weakness);
    entry.structureEg[colour] = int16_t(eg - weakness);

    // Files without own pawns open lines for the storm.
    uint8_t open = entry.openFiles[colour];
    if (open & 0x80) kingside += 30;
    if (open & 0x40) kingside += 30;
    if (open & 0x20) kingside += 20;
    if (open & 0x01) queenside += 20;
    if (open & 0x02) queenside += 30;
    if (open & 0x04) queenside += 20;
}

}  // namespace

void PawnTable::clear() {
    std::memset(static_cast<void*>(entry), 0, sizeof entry);
    // A key that cannot belong to the slot it sits in: slot i only takes keys whose low bits are i.
    for (uint32_t i = 0; i < uint32_t(PawnTableEntries); ++i) entry[i].keyLow = i ^ 1;
}

std::unique_ptr<PawnTable> NewPawnTable() {
    std::unique_ptr<PawnTable> table(new (std::nothrow) PawnTable);
    if (table) table->clear();
    return table;
}

void ComputePawnEntry(const Position& pos, PawnEntry& entry) {
    std::memset(static_cast<void*>(&entry), 0, sizeof entry);
    entry.keyLow = uint32_t(pos.pawnKey);
    entry.keyHigh = uint32_t(pos.pawnKey >> 32);
    entry.openFiles[WHITE] = entry.openFiles[BLACK] = 0xFF;
    for (int colour = WHITE; colour <= BLACK; ++colour) {
        int kingside = 0, queenside = 0, danger = 0;
        AnalyseColour(pos, colour, entry, kingside, queenside, danger);
        entry.kingsideStorm[colour] = int16_t(kingside);
        entry.queensideStorm[colour] = int16_t(queenside);
        entry.danger[colour] = uint8_t(danger < 24 ? danger : 24);
    }
    entry.centreType = uint8_t(ClassifyCentre(pos));
}

const PawnEntry& ProbePawnTable(const Position& pos, PawnTable* table, PawnEntry& scratch) {
    if (!table) {
        ComputePawnEntry(pos, scratch);
        return scratch;
    }
    PawnEntry& entry = table->entry[pos.pawnKey & (PawnTableEntries - 1)];
    if (entry.keyLow != uint32_t(pos.pawnKey) || entry.keyHigh != uint32_t(pos.pawnKey >> 32))
        ComputePawnEntry(pos, entry);
    return entry;
}

int KingPawnProximity(int king, int pawn, int pawnColour) {
    int difference = pawnColour == WHITE ? king - pawn : pawn - king;
    return Proximity.value[difference + 128];
}

void KingProximityToPawns(const Position& pos, int kingProx[2]) {
    for (int king = WHITE; king <= BLACK; ++king) {
        int ksq = pos.kingSquare(king), sum = 0;
        for (int colour = WHITE; colour <= BLACK; ++colour)
            for (int q = pos.links[LIST_HEAD + MakeCode(PAWN, colour)][1]; q <= 119; q = pos.links[q][1])
                sum += KingPawnProximity(ksq, q, colour);
        kingProx[king] = sum / 2;
    }
}

void ScorePassedPawns(const Position& pos, const PawnEntry& entry, int passed[2], int kingProx[2]) {
    bool unstoppable[2] = {false, false};
    int fewestMoves[2] = {9, 9};
    int kings[2] = {pos.kingSquare(WHITE), pos.kingSquare(BLACK)};

    for (int c = WHITE; c <= BLACK; ++c) {
        int x = c ^ 1, p = PawnPush[c];
        int own = MakeCode(PAWN, c);
        int enemyKing = kings[x];
        bool enemyQueen = pos.pieceCount[MakeCode(QUEEN, x)] != 0;
        bool loneKnight = !enemyQueen && pos.pieceCount[MakeCode(ROOK, x)] == 0 &&
                          pos.pieceCount[MakeCode(BISHOP, x)] == 0 && pos.pieceCount[MakeCode(KNIGHT, x)] == 1;
        int enemyPieces = pos.material[x] - 256 * pos.pieceCount[MakeCode(PAWN, x)];
        auto blocker = [&](int sq) {
            int code = pos.board[sq];
            return code == MakeCode(KING, x) || code == MakeCode(BISHOP, x) || code == MakeCode(KNIGHT, x);
        };

        for (int i = 0; i < 8 && entry.passed[c][i]; ++i) {
            int q = entry.passed[c][i];
            int r = RelativeRank[c][q], b = PassedBase[r];
            int stop = q + p, file = FileOf(q);
            int value = b;
            if (ColourOf(pos.board[stop]) == x) {
                value = b / 2;
            } else if (r >= 5 && pos.board[stop] == EMPTY && !enemyQueen && StaticExchange(pos, stop, q) == 0) {
                bool toMove = pos.side == c;
                value += r == 6 ? (toMove ? 200 : 100) : (toMove ? 40 : 16);
            }

            if (pos.board[q - 1] == own || pos.board[q + 1] == own) {
                value += b;
            } else {
                for (int guard : {q - p - 1, q - p + 1})
                    if (pos.board[guard] == own) value += blocker(stop) || blocker(guard + p) ? b / 2 : b;
            }

            int fileGap = FileOf(enemyKing) - file;
            if (fileGap >= -1 && fileGap <= 1 && RelativeRank[c][enemyKing] >= r) value -= b / 4;

            int behind = q - p;
            while (pos.board[behind] == EMPTY) behind -= p;
            if (pos.board[behind] == MakeCode(ROOK, c)) value += b / 4;
            else if (pos.board[behind] == MakeCode(ROOK, x)) value -= b / 4;

            if (loneKnight && (file == 0 || file == 7)) value += value / 2;
            passed[c] += value;

            if (enemyPieces == 0) {
                int promotion = x * 112 + file;
                int d = KingDistance(q, promotion) - KingDistance(enemyKing, promotion) + (pos.side == x);
                if (d < 0) {
                    int moves = 7 - r;
                    for (int sq = q + p; OnBoard(sq); sq += p)
                        if (pos.board[sq] != EMPTY) ++moves, ++d;
                    if (d < 0) {
                        unstoppable[c] = true;
                        if (moves < fewestMoves[c]) fewestMoves[c] = moves;
                    }
                }
            }

            kingProx[WHITE] += 2 * KingPawnProximity(kings[WHITE], q, c);
            kingProx[BLACK] += 2 * KingPawnProximity(kings[BLACK], q, c);
        }
    }

    if (unstoppable[WHITE] != unstoppable[BLACK]) {
        int c = unstoppable[WHITE] ? WHITE : BLACK;
        passed[c] += (20 - fewestMoves[c]) * 64;
    }
}

}  // namespace brinz
