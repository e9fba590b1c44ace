#include "eval/pieces.h"

#include <type_traits>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/lines.h"
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

// What a square in front of a king adds to its shelter, by board code: own pawn 4,
// bishop 2, knight 1 on the next rank, half of that (rounded down) on the one beyond.
struct ShelterValues {
    int8_t next[2][OFFBOARD + 1], beyond[2][OFFBOARD + 1];
    constexpr ShelterValues() : next(), beyond() {
        for (int colour = WHITE; colour <= BLACK; ++colour) {
            next[colour][MakeCode(PAWN, colour)] = 4;
            next[colour][MakeCode(BISHOP, colour)] = 2;
            next[colour][MakeCode(KNIGHT, colour)] = 1;
            for (int code = 0; code <= OFFBOARD; ++code) beyond[colour][code] = int8_t(next[colour][code] / 2);
        }
    }
};
constexpr ShelterValues Shelter;

inline int Relative(const int table[8][8], int colour, int square) {
    int rel = square ^ (colour * 0x70);
    return table[rel >> 4][rel & 7];
}

inline int SquareColour(int square) { return (FileOf(square) + RankOf(square)) & 1; }

inline int Clamped(int count, int last) { return count < 0 ? 0 : count > last ? last : count; }

constexpr int KnightSteps[8] = {33, 31, 18, 14, -14, -18, -31, -33};

int KnightCount(const Position& pos, int colour, int square) {
    const int8_t* value = MobilityValue.value[colour];
    int count = 0;
    for (int d : KnightSteps) count += value[pos.board[square + d]];
    return count < 0 ? 0 : count;
}

// The empty squares up to the nearest occupied one (or the edge) in direction D, and what
// that square adds; a ray that leaves the board at once adds nothing.
template <int D>
inline int LineCount(const Position& pos, const int8_t* value, int index) {
    const int nearest = NearestOnLine<D>(pos.occupied, index);
    const int steps = D == EAST ? nearest - index
                      : D == WEST ? index - nearest
                      : D < 4     ? (nearest >> 3) - (index >> 3)
                                  : (index >> 3) - (nearest >> 3);
    // On an empty ray the stop is the slider's own square: 0 steps, value 0.
    return steps == 0 ? 0 : steps - 1 + value[pos.board[SquareFrom64(nearest)]];
}

template <int... Directions>
int SliderCount(const Position& pos, int colour, int square) {
    const int8_t* value = MobilityValue.value[colour];
    const int index = Index64(square);
    const int count = (LineCount<Directions>(pos, value, index) + ...);
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

// The king zone of a king of each colour on each index: its neighbours, and the three
// squares two ranks in front of it.
struct KingZoneMasks {
    uint64_t adjacent[64];
    uint64_t zone[2][64];
    constexpr KingZoneMasks() : adjacent(), zone() {
        for (int index = 0; index < 64; ++index) {
            const int rank = index >> 3, file = index & 7;
            for (int dr = -1; dr <= 1; ++dr)
                for (int df = -1; df <= 1; ++df)
                    if (dr || df) adjacent[index] |= BitAt(rank + dr, file + df);
            for (int colour = 0; colour < 2; ++colour) {
                const int far = rank + (colour == 0 ? 2 : -2);
                zone[colour][index] = adjacent[index] | BitAt(far, file - 1) | BitAt(far, file) | BitAt(far, file + 1);
            }
        }
    }
};
constexpr KingZoneMasks KingZones;

// What a slider on `index` attacks of `zone` along the given directions; a line that
// misses the zone on an empty board is not followed.
template <int... Directions>
inline uint64_t ZoneAttacks(uint64_t occupied, int index, uint64_t zone) {
    return (((LineTables.ray[Directions][index] & zone) ? LineAttacks<Directions>(occupied, index) & zone : 0) | ...);
}

inline bool Attacks(const Position& pos, int code, int from, int target) {
    const AttackEntry& entry = AttackBetween(from, target);
    if (!(AttackBit[code] & entry.mask)) return false;
    return !SliderKind[code] || !(SquaresBetween(from, target, entry.step) & pos.occupied);
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
        int count = SliderCount<NORTH_EAST, NORTH_WEST, SOUTH_WEST, SOUTH_EAST>(pos, colour, s);
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
        int count = SliderCount<NORTH, EAST, SOUTH, WEST>(pos, colour, s);
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
        int count = SliderCount<NORTH, EAST, NORTH_EAST, NORTH_WEST, SOUTH, WEST, SOUTH_WEST, SOUTH_EAST>(pos, colour, s);
        terms.mobilityMg += QueenMobilityMg[Clamped(count, 31)];
        terms.mobilityEg += QueenMobilityEg[Clamped(count, 31)];
    }

    // Promoted knights at home can count past the table.
    terms.development = DevelopmentValue(terms.undeveloped);
}

int ShelterAt(const Position& pos, int colour, int kingSquare) {
    const int8_t* nextValue = Shelter.next[colour];
    const int8_t* beyondValue = Shelter.beyond[colour];
    const uint8_t* next = pos.board + kingSquare + PawnPush[colour];
    const uint8_t* beyond = next + PawnPush[colour];
    return nextValue[next[-1]] + nextValue[next[0]] + nextValue[next[1]] + beyondValue[beyond[-1]] +
           beyondValue[beyond[0]] + beyondValue[beyond[1]];
}

bool IsDefended(const Position& pos, int square, int colour) {
    // Two board reads answer for every pawn.
    const int pawn = MakeCode(PAWN, colour), behind = square - PawnPush[colour];
    if (pos.board[behind - 1] == pawn || pos.board[behind + 1] == pawn) return true;
    // From the queen head the chain runs through the pieces, and the pawns come last.
    const int pawnHead = LIST_HEAD + pawn;
    for (int node = pos.links[LIST_HEAD + MakeCode(QUEEN, colour)][1]; node != pawnHead; node = pos.links[node][1])
        if (node <= 119 && Attacks(pos, pos.board[node], node, square)) return true;
    return false;
}

int KingDangerIndex(const Position& pos, int colour, int shelter, uint8_t enemyOpenFiles) {
    int x = colour ^ 1;
    if (pos.pieceCount[MakeCode(QUEEN, x)] == 0) return 0;
    int k = pos.kingSquare(colour);
    int p = PawnPush[colour];
    const int kingIndex = Index64(k);
    const uint64_t zone = KingZones.zone[colour][kingIndex], near = KingZones.adjacent[kingIndex];

    // Whether each neighbour of the king is defended, found when first asked: several
    // attackers often bear on the same square.
    uint64_t asked = 0, defended = 0;
    auto undefendedAt = [&](int sq) {
        const uint64_t bit = SquareBit(sq);
        if (!(asked & bit)) {
            asked |= bit;
            if (IsDefended(pos, sq, colour)) defended |= bit;
        }
        return !(defended & bit);
    };

    int attackers = 0, kinds = 0, adjacent = 0, undefended = 0;
    // One walk per kind of piece, the kind known when it is compiled.
    auto walk = [&](auto typeTag, int kind) {
        constexpr int type = decltype(typeTag)::value;
        for (int s = pos.links[LIST_HEAD + MakeCode(type, x)][1]; s <= 119; s = pos.links[s][1]) {
            const int index = Index64(s);
            uint64_t attacks = 0;
            if constexpr (type == KNIGHT) {
                attacks = LineTables.knight[index] & zone;
            } else {
                constexpr int reach = type == QUEEN ? REACH_QUEEN : type == ROOK ? REACH_ROOK : REACH_BISHOP;
                // Only a piece that reaches the zone on an empty board can hit it.
                if (LineTables.reach[reach][index] & zone) {
                    const uint64_t occupied = pos.occupied;
                    if constexpr (type != BISHOP) attacks |= ZoneAttacks<NORTH, EAST, SOUTH, WEST>(occupied, index, zone);
                    if constexpr (type != ROOK)
                        attacks |= ZoneAttacks<NORTH_EAST, NORTH_WEST, SOUTH_WEST, SOUTH_EAST>(occupied, index, zone);
                }
            }
            for (uint64_t next = attacks & near; next; next &= next - 1) {
                ++adjacent;
                if (undefendedAt(SquareFrom64(__builtin_ctzll(next)))) ++undefended;
            }
            bool hit = attacks != 0;
            // A heavy piece on a file without its own pawns next to the king bears on it anyway.
            if constexpr (type == QUEEN || type == ROOK) {
                if (!hit) {
                    int fileGap = FileOf(s) - FileOf(k);
                    hit = ((enemyOpenFiles >> FileOf(s)) & 1) && fileGap >= -1 && fileGap <= 1;
                }
            }
            if (hit) {
                ++attackers;
                kinds |= kind;
            }
        }
    };
    walk(std::integral_constant<int, QUEEN>{}, KIND_QUEEN);
    walk(std::integral_constant<int, ROOK>{}, KIND_ROOK);
    walk(std::integral_constant<int, BISHOP>{}, KIND_BISHOP);
    walk(std::integral_constant<int, KNIGHT>{}, KIND_KNIGHT);

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
