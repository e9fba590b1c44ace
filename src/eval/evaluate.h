#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/pieces.h"

namespace brinz {

struct PawnTable;  // eval/pawns.h

// By-products of a full evaluation: the search compares them from parent to child and
// the evaluation cache keeps them with the score.
struct EvalExtras {
    int32_t kingSafety[2];   // by colour, <= 0; 0 when not computed
    int32_t passedPawns[2];  // by colour, unweighted, unstoppable-pawn bonus included
};

// Endgame king placement by the king's own square, for both colours alike (not mirrored);
// 0x88 layout, rank 1 first. The h2 entry is 1 where h7 holds 4.
inline constexpr struct KingEndgameTable {
    int8_t value[128];
    constexpr KingEndgameTable() : value() {
        constexpr int8_t ranks[8][8] = {
            {0, 4, 8, 10, 10, 8, 4, 0},         {4, 10, 16, 24, 24, 16, 10, 1},
            {8, 14, 28, 40, 40, 28, 14, 8},     {14, 24, 40, 56, 56, 40, 24, 14},
            {14, 24, 40, 56, 56, 40, 24, 14},   {8, 14, 28, 40, 40, 28, 14, 8},
            {4, 10, 16, 24, 24, 16, 10, 4},     {0, 4, 8, 10, 10, 8, 4, 0},
        };
        for (int rank = 0; rank < 8; ++rank)
            for (int file = 0; file < 8; ++file) value[16 * rank + file] = ranks[rank][file];
    }
    constexpr int operator[](int square) const { return value[square]; }
} KingEndgame;

// By the seventh-rank count (2 per rook, 1 per queen); larger counts read the last entry.
inline constexpr int SeventhRank[8] = {0, 16, 32, 64, 110, 150, 150, 150};
// By the number of poorly placed pieces; larger counts read the last entry.
inline constexpr int BadPieces[8] = {0, 2, 6, 20, 50, 80, 120, 120};
// Counts that promotions can push past their tables read the last entry.
inline int SeventhRankBonus(int count) { return SeventhRank[count < 7 ? count : 7]; }
inline int BadPiecesPenalty(int count) { return BadPieces[count < 7 ? count : 7]; }

// By CentreType 0..6.
inline constexpr int BishopPair[7] = {60, 100, 80, 0, 30, 70, 60};
inline constexpr int ShelterFactor[7] = {12, 16, 12, 6, 10, 12, 12};

// Total material (pawns included) at or below which the endgame dispatcher decides first.
inline constexpr int EndgameMaterial = 4688;
// Non-pawn material of both sides: from PhaseMiddle up only the middle-game score counts,
// from PhaseEnd down only the endgame score.
inline constexpr int PhaseMiddle = 13728;
inline constexpr int PhaseEnd = 6656;
inline constexpr int SideToMoveBonus = 40;

// The static score of `pos` for the side to move, 1/256 pawn, a multiple of 4 unless an
// endgame evaluator or a tablebase gave it. Fills `extras` on a full evaluation.
// `pawnTable` is the asking thread's pawn table (null: the pawns are analysed afresh);
// `tablebaseFlag` is 1 when the score comes from a tablebase probe, else 0. `plyFromRoot`
// is the position's distance from the root of the search that asks (0 outside a search):
// a tablebase mate counts from the root.
// Results other than tablebase scores are kept in the evaluation cache, and a cached one
// is returned as stored (flag 0). Allocates nothing.
int Evaluate(const Position& pos, EvalExtras& extras, PawnTable* pawnTable, uint8_t& tablebaseFlag,
             int plyFromRoot = 0);

enum EvalPhase : int { MG = 0, EG = 1 };

enum EvalTerm : int {
    TERM_MATERIAL,
    TERM_PIECE_SQUARE,   // the endgame uses KingEndgame for the kings
    TERM_PAWN_STRUCTURE,
    TERM_PASSED_PAWNS,
    TERM_KING_PROXIMITY,
    TERM_MOBILITY,
    TERM_DEVELOPMENT,
    TERM_PAWN_DANGER,
    TERM_KING_SAFETY,
    TERM_SHELTER,
    TERM_PAWN_STORM,
    TERM_PIECES,         // outposts, seventh rank, bad pieces, bishop pair, material balance
    TERM_PENALTY,        // rook files and trapped pieces, both phases
    TERM_SIDE_TO_MOVE,
    TERM_COUNT
};

enum EvalSource : int {
    SOURCE_FULL,       // the whole evaluation below
    SOURCE_NO_WINNER,  // both scale factors 0: a draw
    SOURCE_ENDGAME,    // a specialised endgame evaluator
    SOURCE_TABLEBASE,  // a tablebase probe
};

// Every step of one evaluation, for the "eval" command and for tests.
struct EvalBreakdown {
    int source;
    int byColour[TERM_COUNT][2][2];  // [term][colour][phase]: each colour's own value, unweighted
    int total[TERM_COUNT][2];        // [term][phase]: what the term adds for the side to move, weighted
    PieceTerms pieces[2];            // as the piece walk left them
    int npm[2];                      // non-pawn material by colour
    int npmTotal;
    int scale[2];                    // 128 = full
    int centreType;
    int mg, eg;                      // phase scores for the side to move
    int egScaled;                    // eg + 10, scaled for the side that is ahead
    int unrounded;                   // the blend before rounding down to a multiple of 4
    int score;
};

// Evaluate without the evaluation cache, recording every step in `terms`. With `scoreOnly`
// the terms that carry no weight into the score may be left out of `terms` (the queens'
// mobility); the score and extras are the same.
int EvaluateTerms(const Position& pos, EvalExtras& extras, PawnTable* pawnTable, uint8_t& tablebaseFlag,
                  EvalBreakdown& terms, bool scoreOnly = false, int plyFromRoot = 0);

}  // namespace brinz
