#pragma once

#include <atomic>
#include <cstdint>

namespace brinz {

// Shared tables are read and written without locks; relaxed atomics keep that defined.
inline constexpr auto Relaxed = std::memory_order_relaxed;

// 0x88 squares: 16 * rank + file, a1 = 0, h8 = 119; on the board when (square & 0x88) == 0.
enum Colour : int { WHITE = 0, BLACK = 1 };

enum PieceType : int { NO_TYPE = 0, PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6 };

// Piece codes: type | colour << 3. entry >> 3 is 0 white, 1 black, 2 empty, 4 off board.
enum PieceCode : int {
    WHITE_PAWN = 1, WHITE_KNIGHT, WHITE_BISHOP, WHITE_ROOK, WHITE_QUEEN, WHITE_KING,
    BLACK_PAWN = 9, BLACK_KNIGHT, BLACK_BISHOP, BLACK_ROOK, BLACK_QUEEN, BLACK_KING,
    EMPTY = 16,
    OFFBOARD = 32,
};

inline constexpr int MakeCode(int type, int colour) { return type | (colour << 3); }
inline constexpr int TypeOf(int code) { return code & 7; }
inline constexpr int ColourOf(int code) { return code >> 3; }

// Square helpers.
inline constexpr bool OnBoard(int square) { return (square & 0x88) == 0; }
inline constexpr int RankOf(int square) { return square >> 4; }
inline constexpr int FileOf(int square) { return square & 15; }
inline constexpr int MakeSquare(int file, int rank) { return 16 * rank + file; }
inline constexpr int Mirror(int square) { return square ^ 0x70; }
inline constexpr int Index64(int square) { return (square + (square & 7)) >> 1; }
inline constexpr int SquareFrom64(int index) { return index + (index & ~7); }

// A move word (fields in board/move.h). 0 after a null move, 1 for "no move".
using Move = uint32_t;
inline constexpr Move MOVE_NULL = 0;
inline constexpr Move MOVE_NONE = 1;

// Piece-list nodes: 0..119 are squares, 128 + code heads the list of that code.
inline constexpr int LIST_HEAD = 128;
inline constexpr int LIST_END = 143;

// Piece values in 1/256 pawn. Kings carry KingExchangeValue only for exchange arithmetic.
inline constexpr int PawnValue = 256;
inline constexpr int KnightValue = 832;
inline constexpr int BishopValue = 848;
inline constexpr int RookValue = 1280;
inline constexpr int QueenValue = 2560;
inline constexpr int KingExchangeValue = 4096;
// By piece code.
inline constexpr int PieceValue[16] = {
    0, PawnValue, KnightValue, BishopValue, RookValue, QueenValue, KingExchangeValue, 0,
    0, PawnValue, KnightValue, BishopValue, RookValue, QueenValue, KingExchangeValue, 0};
// 1 diagonal slider, 2 orthogonal, 3 both.
inline constexpr int SliderKind[16] = {0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0};
inline constexpr int AttackBit[16] = {0,    0x01, 0x04, 0x10, 0x20, 0x40, 0x08, 0,
                                      0,    0x02, 0x04, 0x10, 0x20, 0x40, 0x08, 0};
// Direction lists end with 0. Pawns list their capture directions only.
// The order is the generators' emission order.
inline constexpr int PieceDirections[16][9] = {
    {0},
    {15, 17, 0},
    {33, 31, 18, 14, -14, -18, -31, -33, 0},
    {17, 15, -15, -17, 0},
    {16, 1, -1, -16, 0},
    {17, 16, 15, 1, -1, -15, -16, -17, 0},
    {17, 16, 15, 1, -1, -15, -16, -17, 0},
    {0},
    {0},
    {-15, -17, 0},
    {-33, -31, -18, -14, 14, 18, 31, 33, 0},
    {-17, -15, 15, 17, 0},
    {-16, -1, 1, 16, 0},
    {-17, -16, -15, -1, 1, 15, 16, 17, 0},
    {-17, -16, -15, -1, 1, 15, 16, 17, 0},
    {0},
};
inline constexpr int PawnPush[2] = {16, -16};

// Starts loading the cache line of `address`, so a look-up soon after finds it there.
inline void Prefetch(const void* address) { __builtin_prefetch(address); }

// Castling rights, as bits of castleLost: a set bit means the right is gone.
inline constexpr int LOST_WHITE_KINGSIDE = 1;
inline constexpr int LOST_WHITE_QUEENSIDE = 2;
inline constexpr int LOST_BLACK_KINGSIDE = 4;
inline constexpr int LOST_BLACK_QUEENSIDE = 8;

}  // namespace brinz
