#include "eval/pieces.h"

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/piece_square.h"

namespace brinz {

namespace {

// What a square reached by a piece of a colour adds to its mobility, by board code:
// empty or enemy +1, own pawn -1, own piece and off board 0.
struct MobilityValues {
    int8_t value[2][OFFBOARD + 1];
    constexpr MobilityValues() : value() {
        for (int colour = WHITE; colour <= BLACK; ++colour) {
            value[colour][EMPTY] = 1;
            for (int type = PAWN; type <= KING; ++type) {
                value[colour][MakeCode(type, colour ^ 1)] = 1;
                value[colour][MakeCode(type, colour)] = type == PAWN ? -1 : 0;
            }
        }
    }
};
constexpr MobilityValues MobilityValue;

// What a square in front of a king adds to its shelter: own pawn 4, bishop 2, knight 1.
inline int ShelterValue(int colour, int code) {
    if (code == MakeCode(PAWN, colour)) return 4;
    if (code == MakeCode(BISHOP, colour)) return 2;
    if (code == MakeCode(KNIGHT, colour)) return 1;
    return 0;
}

inline int Relative(const int table[8][8], int colour, int square) {
    int rel = square ^ (colour * 0x70);
    return table[rel >> 4][rel & 7];
}

inline int SquareColour(int square) { return (FileOf(square) + RankOf(square)) & 1; }

inline int Clamped(int count, int last) { return count < 0 ? 0 : count > last ? last : count; }

// Fixed step lists, so the compiler can unroll the walks; a count does not depend on the
// order of the steps.
constexpr int KnightSteps[8] = {33, 31, 18, 14, -14, -18, -31, -33};
constexpr int BishopSteps[4] = {17, 15, -15, -17};
constexpr int RookSteps[4] = {16, 1, -1, -16};
constexpr int QueenSteps[8] = {17, 15, -15, -17, 16, 1, -1, -16};

int KnightCount(const Position& pos, int colour, int square) {
    const int8_t* value = MobilityValue.value[colour];
    int count = 0;
    for (int d : KnightSteps) count += value[pos.board[square + d]];
    return count < 0 ? 0 : count;
}

template <int Count>
int SliderCount(const Position& pos, int colour, int square, const int (&steps)[Count]) {
    const int8_t* value = MobilityValue.value[colour];
    int count = 0;
    for (int d : steps) {
        int sq = square + d;
        while (pos.board[sq] == EMPTY) ++count, sq += d;
        count += value[pos.board[sq]];
    }
    return count < 0 ? 0 : count;
}

// No enemy pawn ahead of `square` on the neighbouring files: no pawn can chase the piece off.
bool OutpostSquare(const Position& pos, int colour, int square) {
    int file = FileOf(square), rank = RankOf(square);
    uint8_t ahead = colour == WHITE ? uint8_t(0xFE << rank) : uint8_t((1 << rank) - 1);
    const uint8_t* enemy = pos.pawnFiles[colour ^ 1];
    return ((enemy[file - 1] | enemy[file + 1]) & ahead) == 0;
}

int Outpost(const Position& pos, int colour, int square, int type) {
    const auto& table = type == KNIGHT ? KnightOutpost : type == BISHOP ? BishopOutpost : RookOutpost;
    int b = Relative(table, colour, square);
    if (b == 0 || !OutpostSquare(pos, colour, square)) return 0;
    int x = colour ^ 1, p = PawnPush[colour];
    int own = MakeCode(PAWN, colour);
    bool guarded = pos.board[square - p - 1] == own || pos.board[square - p + 1] == own;
    if (type == BISHOP && (FileOf(square) == 0 || FileOf(square) == 7)) guarded = false;
    int value = guarded ? b + b / 4 : b;
    int knights = pos.pieceCount[MakeCode(KNIGHT, x)], bishops = pos.pieceCount[MakeCode(BISHOP, x)];
    if (type == ROOK) {
        if (knights == 0 && bishops == 0) {
            if (pos.pieceCount[MakeCode(ROOK, x)] != 0) value += b / 4 + (guarded ? b / 2 : 0);
            else value += b / 2 + (guarded ? b : 0);
        }
    } else if (knights == 0) {
        bool unchallenged = bishops == 0;
        if (bishops == 1) {
            int enemyBishop = pos.links[LIST_HEAD + MakeCode(BISHOP, x)][1];
            unchallenged = SquareColour(enemyBishop) != SquareColour(square);
        }
        if (unchallenged) value += b / 2 + (guarded ? b : 0);
    }
    return value;
}

// A knight or bishop on d3/e3 (d6/e6 for black) in front of its own centre pawn blocks it.
bool BlocksCentrePawn(const Position& pos, int colour, int square) {
    int file = FileOf(square);
    return RelativeRank[colour][square] == 2 && (file == 3 || file == 4) &&
           pos.board[square - PawnPush[colour]] == MakeCode(PAWN, colour);
}

// A bishop on a7 (h7) shut in by pawns on b6 (g6), or on a6 (h6) by a pawn on b5 (g5);
// squares for white, mirrored for black. Returns the deduction from `penalty`.
int TrappedBishop(const Position& pos, int colour, int square) {
    struct Trap { int bishop, pawn, wall, escape, cost; };
    // wall: the pawn that seals the trap for good; escape: the retreat square; -1 when none.
    static constexpr Trap Traps[4] = {
        {96, 81, 98, 113, 300},    // a7, pawns b6 and c7, retreat b8
        {103, 86, 101, 118, 300},  // h7, pawns g6 and f7, retreat g8
        {80, 65, -1, -1, 120},     // a6, pawn b5
        {87, 70, -1, -1, 120},     // h6, pawn g5
    };
    int flip = colour * 0x70;
    int enemyPawn = MakeCode(PAWN, colour ^ 1);
    for (const Trap& trap : Traps) {
        if ((trap.bishop ^ flip) != square) continue;
        int pawn = trap.pawn ^ flip;
        if (pos.board[pawn] != enemyPawn) return 0;
        if (trap.wall < 0) return StaticExchange(pos, pawn, square) < 0 ? trap.cost : 0;
        if (pos.board[trap.wall ^ flip] == enemyPawn) return trap.cost;
        if (StaticExchange(pos, pawn, square) >= 0) return 0;
        // The retreat counts only when the bishop can step there: not onto its own men.
        int escape = trap.escape ^ flip;
        if (ColourOf(pos.board[escape]) != colour && StaticExchange(pos, escape, square) >= 0) return 0;
        return trap.cost;
    }
    return 0;
}

// A rook shut in beside its own king, behind an unbroken pawn wall on the way to its corner.
int TrappedRook(const Position& pos, int colour, int square, int count) {
    int king = pos.kingSquare(colour);
    int kf = FileOf(king), f = FileOf(square);
    int step;
    if (kf > 3 && kf < f) step = 1;
    else if (kf < 4 && f < kf) step = -1;
    else return 0;
    if (RelativeRank[colour][king] != 0 && RankOf(king) != RankOf(square)) return 0;
    for (int file = kf + step; file >= 0 && file <= 7; file += step)
        if (pos.pawnFiles[colour][file] == 0) return 0;
    int cost = 180 - 16 * count;
    bool canCastle = ((~pos.castleLost >> (2 * colour)) & 3) != 0;
    return canCastle ? cost / 2 : cost;
}

// Geometry of a king zone by square difference (square - king + ZoneOrigin), per colour of
// the king: the zone is the king's 8 neighbours and the three squares two ranks in front.
constexpr int ZoneOrigin = 119;
constexpr int ZoneSpan = 2 * ZoneOrigin + 1;
constexpr int ZONE_NONE = 0, ZONE_FAR = 1, ZONE_ADJACENT = 2;
// Line steps (0..3 orthogonal, 4..7 diagonal) and knight jumps, as rank and file changes.
constexpr int LineSteps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr int KnightJumps[8][2] = {{2, 1}, {2, -1}, {-2, 1}, {-2, -1}, {1, 2}, {1, -2}, {-1, 2}, {-1, -2}};
constexpr uint16_t ROOK_RAYS = 0x000F, BISHOP_RAYS = 0x00F0, QUEEN_RAYS = 0x00FF, KNIGHT_RAYS = 0xFF00;

struct KingZoneTables {
    // ZONE_* of each square difference.
    uint8_t kind[2][ZoneSpan];
    // For a piece at a square difference from the king: the line steps (bits 0..7) and
    // knight jumps (bits 8..15) that reach some zone square on an empty, edgeless board.
    // Rays towards zone squares off the real board are included: their walk meets no zone
    // square, so they change no count.
    uint16_t rays[2][ZoneSpan];
    // Neighbour number 0..7 of a square difference, -1 for a non-neighbour.
    int8_t neighbour[ZoneSpan];
    int step[16];

    constexpr KingZoneTables() : kind(), rays(), neighbour(), step() {
        for (int i = 0; i < 8; ++i) {
            step[i] = 16 * LineSteps[i][0] + LineSteps[i][1];
            step[8 + i] = 16 * KnightJumps[i][0] + KnightJumps[i][1];
        }
        for (int d = 0; d < ZoneSpan; ++d) neighbour[d] = -1;
        int next = 0;
        for (int dr = -1; dr <= 1; ++dr)
            for (int df = -1; df <= 1; ++df)
                if (dr || df) neighbour[16 * dr + df + ZoneOrigin] = int8_t(next++);
        for (int colour = 0; colour < 2; ++colour) {
            const int forward = colour == 0 ? 1 : -1;
            int zone[11][2], size = 0;
            for (int dr = -1; dr <= 1; ++dr)
                for (int df = -1; df <= 1; ++df)
                    if (dr || df) zone[size][0] = dr, zone[size][1] = df, ++size;
            for (int df = -1; df <= 1; ++df) zone[size][0] = 2 * forward, zone[size][1] = df, ++size;
            for (int i = 0; i < size; ++i)
                kind[colour][16 * zone[i][0] + zone[i][1] + ZoneOrigin] = i < 8 ? ZONE_ADJACENT : ZONE_FAR;
            for (int dr = -7; dr <= 7; ++dr)
                for (int df = -7; df <= 7; ++df) {
                    uint16_t bits = 0;
                    for (int i = 0; i < size; ++i) {
                        const int tr = zone[i][0] - dr, tf = zone[i][1] - df;
                        for (int j = 0; j < 8; ++j) {
                            for (int n = 1; n <= 7; ++n)
                                if (n * LineSteps[j][0] == tr && n * LineSteps[j][1] == tf) bits |= uint16_t(1 << j);
                            if (KnightJumps[j][0] == tr && KnightJumps[j][1] == tf) bits |= uint16_t(1 << (8 + j));
                        }
                    }
                    rays[colour][16 * dr + df + ZoneOrigin] = bits;
                }
        }
    }
};
constexpr KingZoneTables KingZones;

inline bool Attacks(const Position& pos, int code, int from, int target) {
    const AttackEntry& entry = AttackBetween(from, target);
    if (!(AttackBit[code] & entry.mask)) return false;
    if (!SliderKind[code]) return true;
    int sq = from + entry.step;
    while (sq != target && pos.board[sq] == EMPTY) sq += entry.step;
    return sq == target;
}

}  // namespace

void EvaluatePieces(const Position& pos, int colour, PieceTerms& terms, bool queenMobility) {
    terms = PieceTerms{};

    int code = MakeCode(KNIGHT, colour);
    for (int s = pos.links[LIST_HEAD + code][1]; s <= 119; s = pos.links[s][1]) {
        if (RelativeRank[colour][s] == 0) terms.undeveloped += 2;
        if (BlocksCentrePawn(pos, colour, s)) terms.mgTerms -= 45;
        int count = KnightCount(pos, colour, s);
        terms.mobilityMg += KnightMobility[Clamped(count, 8)];
        terms.mobilityEg += KnightMobility[Clamped(count, 8)];
        if (count < 3 && PieceSquare[code][s] < 10) ++terms.badPieces;
        int outpost = Outpost(pos, colour, s, KNIGHT);
        terms.mgTerms += outpost;
        terms.egTerms += outpost;
    }

    code = MakeCode(BISHOP, colour);
    for (int s = pos.links[LIST_HEAD + code][1]; s <= 119; s = pos.links[s][1]) {
        terms.bishopColours |= 1 << SquareColour(s);
        if (BlocksCentrePawn(pos, colour, s)) terms.mgTerms -= 45;
        int count = SliderCount(pos, colour, s, BishopSteps);
        terms.mobilityMg += BishopMobility[Clamped(count, 15)];
        terms.mobilityEg += BishopMobility[Clamped(count, 15)];
        if (count < 3) ++terms.badPieces;
        if (RelativeRank[colour][s] == 0) terms.undeveloped += count < 3 ? 2 : 1;
        if (count < 4) terms.penalty -= TrappedBishop(pos, colour, s);
        int outpost = Outpost(pos, colour, s, BISHOP);
        terms.mgTerms += outpost;
        terms.egTerms += outpost;
    }

    code = MakeCode(ROOK, colour);
    for (int s = pos.links[LIST_HEAD + code][1]; s <= 119; s = pos.links[s][1]) {
        int count = SliderCount(pos, colour, s, RookSteps);
        terms.mobilityMg += RookMobilityMg[Clamped(count, 15)];
        terms.mobilityEg += RookMobilityEg[Clamped(count, 15)];
        bool ownPawnOnFile = pos.pawnFiles[colour][FileOf(s)] != 0;
        if (count < 4 && ownPawnOnFile) ++terms.badPieces;
        if (RelativeRank[colour][s] > 5) terms.seventh += 2;
        if (!ownPawnOnFile) {
            terms.penalty += 30;
        } else if (count < 5) {
            int cost = TrappedRook(pos, colour, s, count);
            if (cost) {
                ++terms.undeveloped;
                terms.penalty -= cost;
            }
        }
        int outpost = Outpost(pos, colour, s, ROOK);
        terms.mgTerms += outpost;
        terms.egTerms += outpost;
    }

    code = MakeCode(QUEEN, colour);
    for (int s = pos.links[LIST_HEAD + code][1]; s <= 119; s = pos.links[s][1]) {
        int r = RelativeRank[colour][s];
        if (r > 5) terms.seventh += 1;
        // Out early while the minor pieces still sleep.
        if (r != 0) terms.mgTerms -= 8 * terms.undeveloped;
        if (!queenMobility) continue;
        int count = SliderCount(pos, colour, s, QueenSteps);
        terms.mobilityMg += QueenMobilityMg[Clamped(count, 31)];
        terms.mobilityEg += QueenMobilityEg[Clamped(count, 31)];
    }

    // Promoted knights at home can count past the table.
    terms.development = DevelopmentValue(terms.undeveloped);
}

int ShelterAt(const Position& pos, int colour, int kingSquare) {
    int p = PawnPush[colour];
    int front = kingSquare + p, far = kingSquare + 2 * p;
    int shelter = 0;
    for (int side = -1; side <= 1; ++side)
        shelter += ShelterValue(colour, pos.board[front + side]) + ShelterValue(colour, pos.board[far + side]) / 2;
    return shelter;
}

bool IsDefended(const Position& pos, int square, int colour) {
    // From the queen head the chain runs through every piece but the king.
    for (int node = pos.links[LIST_HEAD + MakeCode(QUEEN, colour)][1]; node != LIST_END; node = pos.links[node][1])
        if (node <= 119 && Attacks(pos, pos.board[node], node, square)) return true;
    return false;
}

int KingDangerIndex(const Position& pos, int colour, int shelter, uint8_t enemyOpenFiles) {
    int x = colour ^ 1;
    if (pos.pieceCount[MakeCode(QUEEN, x)] == 0) return 0;
    int k = pos.kingSquare(colour);
    int p = PawnPush[colour];

    const uint8_t* zoneKind = KingZones.kind[colour] + ZoneOrigin - k;
    // Whether each neighbour of the king is defended: -1 until asked, since several
    // attackers often bear on the same square.
    int8_t defended[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    auto undefendedAt = [&](int sq) {
        int8_t& known = defended[KingZones.neighbour[sq - k + ZoneOrigin]];
        if (known < 0) known = IsDefended(pos, sq, colour);
        return known == 0;
    };

    int attackers = 0, kinds = 0, adjacent = 0, undefended = 0;
    struct Kind { int type, kind; uint16_t rays; };
    static constexpr Kind Kinds[4] = {
        {QUEEN, KIND_QUEEN, QUEEN_RAYS}, {ROOK, KIND_ROOK, ROOK_RAYS},
        {BISHOP, KIND_BISHOP, BISHOP_RAYS}, {KNIGHT, KIND_KNIGHT, KNIGHT_RAYS}};
    for (const Kind& kindOf : Kinds) {
        const int type = kindOf.type;
        int code = MakeCode(type, x);
        for (int s = pos.links[LIST_HEAD + code][1]; s <= 119; s = pos.links[s][1]) {
            // Only directions that reach the zone on an empty board can hit it.
            unsigned rays = KingZones.rays[colour][s - k + ZoneOrigin] & kindOf.rays;
            bool hit = false;
            while (rays) {
                const int step = KingZones.step[__builtin_ctz(rays)];
                rays &= rays - 1;
                for (int sq = s + step; pos.board[sq] != OFFBOARD; sq += step) {
                    if (int zone = zoneKind[sq]) {
                        hit = true;
                        if (zone == ZONE_ADJACENT) {
                            ++adjacent;
                            if (undefendedAt(sq)) ++undefended;
                        }
                    }
                    if (pos.board[sq] != EMPTY || type == KNIGHT) break;
                }
            }
            // A heavy piece on a file without its own pawns next to the king bears on it anyway.
            if (!hit && (type == QUEEN || type == ROOK)) {
                int fileGap = FileOf(s) - FileOf(k);
                hit = ((enemyOpenFiles >> FileOf(s)) & 1) && fileGap >= -1 && fileGap <= 1;
            }
            if (hit) {
                ++attackers;
                kinds |= kindOf.kind;
            }
        }
    }

    if (adjacent >= 1) {
        // Enemy pawns storming the king: {rank ahead, file offset} of the pawn, the weight,
        // and the squares next to the king it attacks.
        struct PawnThreat { int rank, file, weight, tests, test[2][2]; };
        static constexpr PawnThreat Threats[6] = {
            {1, 0, 2, 2, {{0, -1}, {0, 1}}},
            {2, 0, 2, 2, {{1, 1}, {1, -1}}},
            {2, -1, 1, 1, {{1, 0}, {0, 0}}},
            {2, 1, 1, 1, {{1, 0}, {0, 0}}},
            {2, -2, 1, 1, {{1, -1}, {0, 0}}},
            {2, 2, 1, 1, {{1, 1}, {0, 0}}},
        };
        int enemyPawn = MakeCode(PAWN, x);
        for (const PawnThreat& threat : Threats) {
            if (pos.board[k + threat.rank * p + threat.file] != enemyPawn) continue;
            adjacent += threat.weight;
            kinds |= KIND_PAWN;
            for (int i = 0; i < threat.tests; ++i) {
                int sq = k + threat.test[i][0] * p + threat.test[i][1];
                // Beside a king on the edge there is no square to defend.
                if (OnBoard(sq) && undefendedAt(sq)) ++undefended;
            }
        }
    }

    if (attackers > 7) attackers = 7;
    int index = Relative(KingSquareDanger, colour, k) + 2 * AttackerWeight[kinds][attackers] +
                3 * (adjacent + undefended) - shelter / 2;
    // The sum has no upper bound of its own; past the table every index reads the last entry.
    return Clamped(index, DangerTableSize - 1);
}

int KingSafety(const Position& pos, int colour, int shelter, uint8_t enemyOpenFiles) {
    int x = colour ^ 1;
    if (pos.pieceCount[MakeCode(QUEEN, x)] == 0) return 0;
    int npm = pos.material[x] - 256 * pos.pieceCount[MakeCode(PAWN, x)];
    return -(npm * DangerTable[KingDangerIndex(pos, colour, shelter, enemyOpenFiles)] / 4096);
}

}  // namespace brinz
