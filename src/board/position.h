#pragma once

#include <cstdint>

#include "board/types.h"

namespace brinz {

// Rank seen from a colour (0 = own first rank), by 0x88 square, off-board indices included.
inline constexpr struct RelativeRankTable {
    uint8_t rank[2][128];
    constexpr RelativeRankTable() : rank() {
        for (int sq = 0; sq < 128; ++sq) {
            rank[WHITE][sq] = uint8_t(sq >> 4);
            rank[BLACK][sq ^ 0x70] = uint8_t(sq >> 4);
        }
    }
    constexpr const uint8_t* operator[](int colour) const { return rank[colour]; }
} RelativeRank;

// Set bits of every byte value.
inline constexpr struct BitCountTable {
    uint8_t count[256];
    constexpr BitCountTable() : count() {
        for (int b = 0; b < 256; ++b)
            for (int v = b; v; v &= v - 1) ++count[b];
    }
    constexpr uint8_t operator[](int b) const { return count[b]; }
} BitCount8;

inline constexpr int KeyHistorySize = 1024;

// The whole state of one position. Fixed size, no allocation; a copy re-points its
// three views (board and both pawn-file views) at its own arrays.
struct Position {
    uint8_t boardFrame[256];   // 64 frame entries, squares 0..127, 64 frame entries
    uint8_t* board;            // view at square 0 (boardFrame + 64)
    uint8_t links[256][2];     // piece-list links: [node][0] previous, [node][1] next
    Move lastMove;
    int32_t epSquare;          // 0 when none
    int32_t castleLost;        // set bit: right lost (LOST_...)
    int32_t fifty;
    int32_t ply;               // index into keyHistory
    int32_t side;
    int32_t xside;
    int32_t pieceCount[16];    // pawns..queens of both colours; kings are not counted
    int32_t material[2];       // without the king
    int32_t pstSum[2];         // king included
    int32_t checkerCount;
    int32_t checkers[2];
    uint64_t key;
    uint64_t pawnKey;
    uint64_t occupied;         // bit Index64(square) of every square that holds a man
    uint64_t keyHistory[KeyHistorySize];
    uint8_t pawnFileBytes[2][16];  // 4 spare bytes, files a..h, 4 spare bytes
    uint8_t* pawnFiles[2];         // views at file a
    // Castling geometry of the game, shared by both colours: the king's and the castling
    // rooks' start files (e, h and a in standard chess). Set by the castling field of a FEN;
    // a FEN that names no right keeps what the position held.
    int8_t kingFile, kingsideRookFile, queensideRookFile;

    Position();
    Position(const Position& other);
    Position& operator=(const Position& other);

    int kingSquare(int colour) const { return links[LIST_HEAD + MakeCode(KING, colour)][1]; }
};

// Chess960 castling as interfaces speak it: moves written as the king taking its own rook
// (e1h1, b1a1) rather than its destination (e1g1, b1c1), and the FEN letters K and Q
// naming the outermost rook on that side of the king (X-FEN) rather than the corner rook
// of a king on the e-file. Set from the "UCI_Chess960" option by the command thread,
// between searches.
extern bool Chess960Castling;

// The position set by the "position" command; searches copy it and never write it.
extern Position RootPosition;

inline constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w AHah - 0 0";

// Parses a FEN into `pos`: fields parted by runs of blanks and tabs, a placement of
// eight ranks of exactly eight files. On failure prints "Error FEN\n", leaves `pos` and
// the castling geometry as they were, and returns false. What follows the half-move
// clock is not read.
bool SetPositionFromFen(Position& pos, const char* text);

// Rebuilds the piece lists and the occupancy from the board. Links every occupied square
// after the head of its code, scanning squares upwards, so each code's list runs in
// descending square order.
void RebuildPieceLists(Position& pos);
void RebuildPawnFiles(Position& pos);
void CountPieces(Position& pos);
int SumPieceSquare(const Position& pos, int colour);
uint64_t ComputeKey(const Position& pos);
uint64_t ComputePawnKey(const Position& pos);

// Keeps repetition detection working in games longer than keyHistory: when the root
// ply nears the end of the history, the most recent KeyHistoryKeep keys move to the
// front and ply follows them. Called between searches only, so a search always has
// at least KeyHistorySize - KeyHistoryCompactAt entries of headroom.
inline constexpr int KeyHistoryCompactAt = 768;
inline constexpr int KeyHistoryKeep = 256;
void CompactKeyHistory(Position& pos);

// Debug aid: recomputes every incremental field from the board and compares.
// Returns nullptr when all agree, else the name of the first field that differs.
const char* CheckPositionConsistency(const Position& pos);

}  // namespace brinz
