#include "board/generate.h"

#include <cassert>
#include <cstdlib>

#include "board/attacks.h"
#include "board/lines.h"
#include "board/make_move.h"

namespace brinz {

namespace {

constexpr int PromotionOrder[4] = {QUEEN, ROOK, BISHOP, KNIGHT};
constexpr int KnightJumps[8] = {33, 31, 18, 14, -14, -18, -31, -33};
constexpr int KingSteps[8] = {17, 16, 15, 1, -1, -15, -16, -17};

inline MoveListEntry* Add(MoveListEntry* list, Move move) {
    list->move = move;
    return list + 1;
}

// The four promotions of one pawn move, queen first.
inline MoveListEntry* AddPromotions(MoveListEntry* list, int from, int to, int captured) {
    for (int type : PromotionOrder) list = Add(list, EncodeMove(from, to, PAWN, captured, type));
    return list;
}

// Captures of a piece of `code` on `from` onto enemies of `enemy` in `directions`; a slider
// takes the first occupied square of each ray.
template <int Count>
inline MoveListEntry* AddCaptures(const Position& pos, MoveListEntry* list, int code, int enemy,
                                  const int (&directions)[Count]) {
    const int type = TypeOf(code);
    for (int node = pos.links[LIST_HEAD + code][1]; node <= 119; node = pos.links[node][1]) {
        for (int d : directions) {
            int to = node + d;
            if (SliderKind[code])
                while (pos.board[to] == EMPTY) to += d;
            if (ColourOf(pos.board[to]) == enemy) list = Add(list, EncodeMove(node, to, type, TypeOf(pos.board[to])));
        }
    }
    return list;
}

// The capture, if any, of a slider of `type` on `from` along direction D: onto the first
// occupied square, when an enemy stands there.
template <int D>
inline MoveListEntry* AddLineCapture(const Position& pos, MoveListEntry* list, int from, int type, int enemy) {
    const int to = SquareFrom64(NearestOnLine<D>(pos.occupied, Index64(from)));
    if (ColourOf(pos.board[to]) == enemy) list = Add(list, EncodeMove(from, to, type, TypeOf(pos.board[to])));
    return list;
}

// AddCaptures for sliders, the lines in the order given: the first occupied square of a
// line comes from the occupancy instead of a walk.
template <int... Directions>
inline MoveListEntry* AddSliderCaptures(const Position& pos, MoveListEntry* list, int code, int enemy) {
    const int type = TypeOf(code);
    for (int node = pos.links[LIST_HEAD + code][1]; node <= 119; node = pos.links[node][1])
        ((list = AddLineCapture<Directions>(pos, list, node, type, enemy)), ...);
    return list;
}

// En-passant captures onto pos.epSquare, from the squares an enemy pawn there would attack.
inline MoveListEntry* AddEnPassant(const Position& pos, MoveListEntry* list) {
    if (!pos.epSquare) return list;
    const int ownPawn = MakeCode(PAWN, pos.side);
    for (const int* d = PieceDirections[MakeCode(PAWN, pos.xside)]; *d; ++d)
        if (pos.board[pos.epSquare + *d] == ownPawn)
            list = Add(list, EncodeMove(pos.epSquare + *d, pos.epSquare, PAWN, PAWN, 0, EN_PASSANT));
    return list;
}

// Whether castling from king square `king` to `kingTo` with the rook from `rook` to
// `rookTo` is allowed: both paths empty but for king and rook, and no square of the king's
// path attacked while the king still stands on its square.
bool CastlingAllowed(const Position& pos, int king, int kingTo, int rook, int rookTo) {
    // Rights are dropped whenever king or rook leaves its square; this only guards against
    // a castling geometry changed by a later FEN under a position that still has rights.
    if (pos.board[king] != MakeCode(KING, pos.side) || pos.board[rook] != MakeCode(ROOK, pos.side)) return false;
    int low = king < kingTo ? king : kingTo, high = king < kingTo ? kingTo : king;
    for (int sq = low; sq <= high; ++sq)
        if (sq != king && sq != rook && pos.board[sq] != EMPTY) return false;
    int rookLow = rook < rookTo ? rook : rookTo, rookHigh = rook < rookTo ? rookTo : rook;
    for (int sq = rookLow; sq <= rookHigh; ++sq)
        if (sq != king && sq != rook && pos.board[sq] != EMPTY) return false;
    for (int sq = low; sq <= high; ++sq)
        if (IsAttacked(pos, sq, pos.xside)) return false;
    return true;
}

inline bool Allowed(int direction, int pin) { return !pin || std::abs(direction) == std::abs(pin); }

}  // namespace

MoveListEntry* GenerateMoves(const Position& pos, MoveListEntry* list) {
    MoveListEntry* const start = list;
    const int side = pos.side, enemy = pos.xside;
    const uint8_t* board = pos.board;

    for (int from = pos.links[LIST_HEAD + MakeCode(KING, side)][1]; from != LIST_END; from = pos.links[from][1]) {
        if (from > 119) continue;
        const int code = board[from], type = TypeOf(code);
        if (type == PAWN) {
            const int push = PawnPush[side], rank = RelativeRank[side][from];
            if (rank < 6) {
                if (board[from + push] == EMPTY) {
                    list = Add(list, EncodeMove(from, from + push, PAWN));
                    if (rank == 1 && board[from + 2 * push] == EMPTY)
                        list = Add(list, EncodeMove(from, from + 2 * push, PAWN));
                }
                for (const int* d = PieceDirections[code]; *d; ++d)
                    if (ColourOf(board[from + *d]) == enemy)
                        list = Add(list, EncodeMove(from, from + *d, PAWN, TypeOf(board[from + *d])));
            } else {
                if (board[from + push] == EMPTY) list = AddPromotions(list, from, from + push, 0);
                for (const int* d = PieceDirections[code]; *d; ++d)
                    if (ColourOf(board[from + *d]) == enemy)
                        list = AddPromotions(list, from, from + *d, TypeOf(board[from + *d]));
            }
            continue;
        }
        const Move base = EncodeMove(from, 0, type);
        if (SliderKind[code]) {
            for (const int* d = PieceDirections[code]; *d; ++d) {
                int to = from + *d;
                for (; board[to] == EMPTY; to += *d) list = Add(list, base | Move(to));
                if (ColourOf(board[to]) == enemy) list = Add(list, base | Move(to) | Move(TypeOf(board[to])) << 20);
            }
        } else {
            for (const int* d = PieceDirections[code]; *d; ++d) {
                const int to = from + *d, target = board[to];
                // EMPTY has type 0, so one test covers quiet moves and captures.
                if (target == EMPTY || ColourOf(target) == enemy)
                    list = Add(list, base | Move(to) | Move(TypeOf(target)) << 20);
            }
        }
    }

    list = AddEnPassant(pos, list);

    if (pos.checkerCount == 0) {
        const int base = side * 112, king = base + pos.kingFile;
        if (!(pos.castleLost & (LOST_WHITE_KINGSIDE << 2 * side)) &&
            CastlingAllowed(pos, king, base + 6, base + pos.kingsideRookFile, base + 5))
            list = Add(list, EncodeMove(king, base + 6, KING, 0, 0, CASTLE));
        if (!(pos.castleLost & (LOST_WHITE_QUEENSIDE << 2 * side))) {
            // With the rook on b1 a rook or queen on a1 is masked until the rook leaves,
            // and would then attack the king on c1.
            const int corner = board[base];
            const bool cornerAttacker = pos.queensideRookFile == 1 && ColourOf(corner) == enemy &&
                                        (TypeOf(corner) == ROOK || TypeOf(corner) == QUEEN);
            if (!cornerAttacker && CastlingAllowed(pos, king, base + 2, base + pos.queensideRookFile, base + 3))
                list = Add(list, EncodeMove(king, base + 2, KING, 0, 0, CASTLE));
        }
    }
    assert(list - start <= MaxMoves);
    (void)start;
    return list;
}

MoveListEntry* GenerateCaptures(const Position& pos, MoveListEntry* list) {
    MoveListEntry* const start = list;
    const int side = pos.side, enemy = pos.xside;
    const uint8_t* board = pos.board;
    const int push = PawnPush[side];

    for (int from = pos.links[LIST_HEAD + MakeCode(PAWN, side)][1]; from <= 119; from = pos.links[from][1]) {
        // Both colours look at the lower capture square first.
        const int left = from + push - 1, right = from + push + 1;
        if (RelativeRank[side][from] < 6) {
            if (ColourOf(board[left]) == enemy) list = Add(list, EncodeMove(from, left, PAWN, TypeOf(board[left])));
            if (ColourOf(board[right]) == enemy) list = Add(list, EncodeMove(from, right, PAWN, TypeOf(board[right])));
        } else {
            if (board[from + push] == EMPTY) list = Add(list, EncodeMove(from, from + push, PAWN, 0, QUEEN));
            if (ColourOf(board[left]) == enemy)
                list = Add(list, EncodeMove(from, left, PAWN, TypeOf(board[left]), QUEEN));
            if (ColourOf(board[right]) == enemy)
                list = Add(list, EncodeMove(from, right, PAWN, TypeOf(board[right]), QUEEN));
        }
    }
    list = AddCaptures(pos, list, MakeCode(KNIGHT, side), enemy, KnightJumps);
    // Line order as 0x88 steps: bishop 17, 15, -15, -17; rook 16, 1, -1, -16; queen both.
    list = AddSliderCaptures<NORTH_EAST, NORTH_WEST, SOUTH_EAST, SOUTH_WEST>(pos, list, MakeCode(BISHOP, side), enemy);
    list = AddSliderCaptures<NORTH, EAST, WEST, SOUTH>(pos, list, MakeCode(ROOK, side), enemy);
    list = AddSliderCaptures<NORTH_EAST, NORTH_WEST, SOUTH_EAST, SOUTH_WEST, NORTH, EAST, WEST, SOUTH>(
        pos, list, MakeCode(QUEEN, side), enemy);
    list = AddCaptures(pos, list, MakeCode(KING, side), enemy, KingSteps);
    list = AddEnPassant(pos, list);
    assert(list - start <= MaxMoves);
    (void)start;
    return list;
}

MoveListEntry* GenerateEvasions(Position& pos, MoveListEntry* list) {
    assert(pos.checkerCount > 0);
    MoveListEntry* const start = list;
    const int side = pos.side, enemy = pos.xside;
    uint8_t* board = pos.board;
    const int king = pos.kingSquare(side);

    // Lifted, the king no longer hides the square behind it from the slider checking it.
    const uint8_t kingCode = board[king];
    board[king] = EMPTY;
    for (int d : KingSteps) {
        const int to = king + d, target = board[to];
        if ((target == EMPTY || ColourOf(target) == enemy) && !IsAttacked(pos, to, enemy))
            list = Add(list, EncodeMove(king, to, KING, TypeOf(target)));
    }
    board[king] = kingCode;
    if (pos.checkerCount != 1) return list;

    const int checker = pos.checkers[0];
    const bool sliderCheck = SliderKind[board[checker]] != 0;
    const int line = AttackBetween(checker, king).step;
    // A square strictly between checker and king on their line, or the checker itself.
    auto useful = [&](int to) {
        return to == checker || (AttackBetween(to, king).step == line && (to - checker) * (to - king) < 0);
    };

    for (int from = pos.links[king][1]; from != LIST_END; from = pos.links[from][1]) {
        if (from > 119) continue;
        const int code = board[from], type = TypeOf(code);
        const int pin = PinDirection(pos, from);
        if (type == PAWN) {
            const int push = PawnPush[side], rank = RelativeRank[side][from];
            if (sliderCheck && Allowed(push, pin) && board[from + push] == EMPTY) {
                if (rank == 6) {
                    if (useful(from + push)) list = AddPromotions(list, from, from + push, 0);
                } else {
                    if (useful(from + push)) list = Add(list, EncodeMove(from, from + push, PAWN));
                    if (rank == 1 && board[from + 2 * push] == EMPTY && useful(from + 2 * push))
                        list = Add(list, EncodeMove(from, from + 2 * push, PAWN));
                }
            }
            for (const int* d = PieceDirections[code]; *d; ++d) {
                if (!Allowed(*d, pin) || from + *d != checker) continue;
                if (RelativeRank[side][checker] == 7)
                    list = AddPromotions(list, from, checker, TypeOf(board[checker]));
                else
                    list = Add(list, EncodeMove(from, checker, PAWN, TypeOf(board[checker])));
            }
            continue;
        }
        for (const int* d = PieceDirections[code]; *d; ++d) {
            if (!Allowed(*d, pin)) continue;
            int to = from + *d;
            if (SliderKind[code]) {
                for (; board[to] == EMPTY; to += *d)
                    if (sliderCheck && useful(to)) list = Add(list, EncodeMove(from, to, type));
                if (to == checker) list = Add(list, EncodeMove(from, to, type, TypeOf(board[to])));
            } else if (to == checker) {
                list = Add(list, EncodeMove(from, to, type, TypeOf(board[to])));
            } else if (sliderCheck && board[to] == EMPTY && useful(to)) {
                list = Add(list, EncodeMove(from, to, type));
            }
        }
    }

    if (pos.epSquare) {
        const int ownPawn = MakeCode(PAWN, side);
        for (const int* d = PieceDirections[MakeCode(PAWN, enemy)]; *d; ++d) {
            if (board[pos.epSquare + *d] != ownPawn) continue;
            const Move move = EncodeMove(pos.epSquare + *d, pos.epSquare, PAWN, PAWN, 0, EN_PASSANT);
            if (IsLegalByMaking(pos, move)) list = Add(list, move);
        }
    }
    assert(list - start <= MaxMoves);
    (void)start;
    return list;
}

MoveListEntry* GenerateQuietChecks(const Position& pos, MoveListEntry* list) {
    MoveListEntry* const start = list;
    const int side = pos.side;
    const uint8_t* board = pos.board;
    const int enemyKing = pos.kingSquare(pos.xside);

    for (int from = pos.links[LIST_HEAD + MakeCode(KING, side)][1]; from != LIST_END; from = pos.links[from][1]) {
        if (from > 119) continue;
        const int code = board[from], type = TypeOf(code);
        const int discovery = DiscoveryDirection(pos, from);
        auto attacksKing = [&](int to) { return (AttackBit[code] & AttackBetween(to, enemyKing).mask) != 0; };
        if (type == PAWN) {
            const int push = PawnPush[side], rank = RelativeRank[side][from];
            if (rank >= 6) continue;
            const bool discovered = discovery && std::abs(discovery) != std::abs(push);
            const int to = from + push;
            if (board[to] != EMPTY) continue;
            if (discovered || attacksKing(to)) list = Add(list, EncodeMove(from, to, PAWN));
            if (rank == 1 && board[to + push] == EMPTY && (discovered || attacksKing(to + push)))
                list = Add(list, EncodeMove(from, to + push, PAWN));
            continue;
        }
        for (const int* d = PieceDirections[code]; *d; ++d) {
            const bool discovered = discovery && std::abs(*d) != std::abs(discovery);
            int to = from + *d;
            if (SliderKind[code]) {
                for (; board[to] == EMPTY; to += *d)
                    if (discovered || (attacksKing(to) && RayReaches(pos, to, enemyKing)))
                        list = Add(list, EncodeMove(from, to, type));
            } else if (board[to] == EMPTY && (discovered || attacksKing(to))) {
                list = Add(list, EncodeMove(from, to, type));
            }
        }
    }
    assert(list - start <= MaxMoves);
    (void)start;
    return list;
}

}  // namespace brinz
