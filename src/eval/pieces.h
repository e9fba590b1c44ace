#pragma once

#include <cstdint>

#include "board/position.h"

namespace brinz {

// Mobility values by mobility count (a negative count is taken as 0).
inline constexpr int KnightMobility[9] = {-10, -4, 2, 8, 14, 18, 22, 24, 25};
inline constexpr int BishopMobility[16] = {-20, -10, 0, 10, 20, 30, 38, 44, 48, 52, 54, 57, 58, 59, 60, 60};
inline constexpr int RookMobilityMg[16] = {-12, -8, -4, 0, 4, 8, 11, 14, 16, 18, 19, 20, 21, 22, 23, 24};
inline constexpr int RookMobilityEg[16] = {-20, -12, -4, 4, 12, 20, 28, 36, 44, 50, 54, 56, 57, 58, 59, 60};
inline constexpr int QueenMobilityMg[32] = {-10, -8, -6, -4, -2, 0,  2,  4,  6,  8,  10, 12, 13, 14, 15, 16,
                                            16,  16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
inline constexpr int QueenMobilityEg[32] = {-20, -15, -10, -5, 0,  5,  10, 15, 19, 23, 27, 29, 30, 30, 30, 30,
                                            30,  30,  30,  30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30};

// By the number of undeveloped units; larger counts read the last entry.
inline constexpr int DevelopmentTable[13] = {0, -4, -12, -20, -30, -40, -50, -60, -70, -80, -90, -100, -110};
inline int DevelopmentValue(int undeveloped) { return DevelopmentTable[undeveloped < 12 ? undeveloped : 12]; }

// Outposts by relative square: [rank][file], own back rank first. Only ranks 3 to 6 score.
inline constexpr int KnightOutpost[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 2, 8, 8, 8, 8, 2, 0},
    {0, 8, 15, 20, 20, 15, 8, 0},
    {0, 12, 22, 25, 25, 22, 12, 0},
    {0, 4, 12, 15, 15, 12, 4, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
inline constexpr int BishopOutpost[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {4, 6, 6, 6, 6, 6, 6, 4},
    {8, 10, 12, 14, 14, 12, 10, 8},
    {10, 12, 14, 16, 16, 14, 12, 10},
    {4, 6, 8, 8, 8, 8, 6, 4},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
inline constexpr int RookOutpost[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {6, 6, 2, 2, 2, 2, 6, 6},
    {10, 10, 4, 2, 2, 4, 10, 10},
    {6, 6, 4, 4, 4, 4, 6, 6},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};

// By the king's relative square: [rank][file], own back rank first.
inline constexpr int KingSquareDanger[8][8] = {
    {2, 0, 2, 5, 5, 2, 0, 2},
    {2, 2, 4, 8, 8, 4, 2, 2},
    {7, 10, 12, 12, 12, 12, 10, 7},
    {15, 15, 15, 15, 15, 15, 15, 15},
    {15, 15, 15, 15, 15, 15, 15, 15},
    {15, 15, 15, 15, 15, 15, 15, 15},
    {15, 15, 15, 15, 15, 15, 15, 15},
    {0, 0, 0, 0, 0, 0, 0, 0},
};

// Kind bits of the attackers of a king zone.
inline constexpr int KIND_PAWN = 1, KIND_KNIGHT = 2, KIND_BISHOP = 4, KIND_ROOK = 8, KIND_QUEEN = 16;

// By attacker-kind mask and attacker count 0..7.
inline constexpr int AttackerWeight[32][8] = {
    {0, 2, 6, 9, 10, 11, 11, 11},      // none
    {0, 0, 0, 0, 0, 0, 0, 0},          // pawn
    {0, 0, 2, 4, 4, 4, 4, 4},          // knight
    {0, 0, 0, 0, 0, 0, 0, 0},          // pawn, knight
    {0, 0, 2, 4, 4, 4, 4, 4},          // bishop
    {0, 0, 0, 0, 0, 0, 0, 0},          // pawn, bishop
    {2, 2, 2, 4, 4, 4, 4, 4},          // knight, bishop
    {3, 3, 3, 3, 3, 3, 3, 3},          // pawn, knight, bishop
    {0, 0, 5, 5, 6, 7, 7, 7},          // rook
    {2, 2, 2, 2, 2, 2, 2, 2},          // pawn, rook
    {5, 5, 5, 5, 5, 5, 5, 5},          // knight, rook
    {5, 5, 5, 5, 5, 5, 5, 5},          // pawn, knight, rook
    {5, 5, 5, 5, 5, 5, 5, 5},          // bishop, rook
    {5, 5, 5, 5, 5, 5, 5, 5},          // pawn, bishop, rook
    {5, 5, 5, 5, 5, 5, 5, 5},          // knight, bishop, rook
    {5, 5, 5, 5, 5, 5, 5, 5},          // pawn, knight, bishop, rook
    {2, 2, 6, 9, 10, 11, 11, 11},      // queen
    {3, 3, 3, 3, 3, 3, 3, 3},          // pawn, queen
    {5, 5, 5, 8, 10, 10, 10, 10},      // knight, queen
    {7, 7, 7, 7, 7, 7, 7, 7},          // pawn, knight, queen
    {5, 5, 5, 8, 10, 10, 10, 10},      // bishop, queen
    {7, 7, 7, 7, 7, 7, 7, 7},          // pawn, bishop, queen
    {8, 8, 8, 8, 10, 10, 10, 10},      // knight, bishop, queen
    {8, 8, 8, 8, 8, 8, 8, 8},          // pawn, knight, bishop, queen
    {6, 6, 6, 9, 10, 11, 11, 11},      // rook, queen
    {7, 7, 7, 7, 7, 7, 7, 7},          // pawn, rook, queen
    {9, 9, 9, 9, 10, 11, 11, 11},      // knight, rook, queen
    {9, 9, 9, 9, 9, 9, 9, 9},          // pawn, knight, rook, queen
    {9, 9, 9, 9, 10, 11, 11, 11},      // bishop, rook, queen
    {9, 9, 9, 9, 9, 9, 9, 9},          // pawn, bishop, rook, queen
    {10, 10, 10, 10, 10, 11, 11, 11},  // knight, bishop, rook, queen
    {10, 10, 10, 10, 10, 10, 10, 10},  // pawn, knight, bishop, rook, queen
};

// King danger by danger index; larger indices read the last entry.
inline constexpr int DangerTableSize = 100;
inline constexpr struct DangerValues {
    int value[DangerTableSize];
    constexpr DangerValues() : value() {
        constexpr int start[24] = {0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 8, 10, 13, 16, 20, 25, 30, 36, 42, 48, 55, 62, 70, 80};
        for (int i = 0; i < DangerTableSize; ++i)
            value[i] = i < 24 ? start[i] : i <= 80 ? 90 + 10 * (i - 24) : 650;
    }
    constexpr int operator[](int index) const { return value[index]; }
} DangerTable;

// Per-colour sums of the knight, bishop, rook and queen terms, 1/256 pawn.
struct PieceTerms {
    int mgTerms, egTerms;      // middle-game / endgame only
    int penalty;               // both phases: rooks on files without own pawns, trapped pieces
    int mobilityMg, mobilityEg;
    int development;           // DevelopmentTable of the undeveloped count
    int undeveloped;           // 2 per knight at home, 1 or 2 per bishop, 1 per boxed rook
    int badPieces;             // poorly placed pieces
    int seventh;               // 2 per rook and 1 per queen on the seventh or eighth rank
    int bishopColours;         // bit 0: a bishop on a dark square, bit 1: on a light one
};

// Walks the knights, bishops, rooks and queens of `colour` and fills `terms`. Without
// `queenMobility` the queens add nothing to mobilityMg and mobilityEg (their count is
// needed by no other term).
void EvaluatePieces(const Position& pos, int colour, PieceTerms& terms, bool queenMobility = true);

// Pawn and minor-piece cover of the squares in front of a king of `colour` on `kingSquare`.
int ShelterAt(const Position& pos, int colour, int kingSquare);

// Whether a pawn, knight, bishop, rook or queen of `colour` attacks `square` (kings do not count).
bool IsDefended(const Position& pos, int square, int colour);

// The danger index into DangerTable for the king of `colour` (0..DangerTableSize - 1), from
// the enemy pieces and pawns around it, the king's own shelter and the enemy's open-file
// mask (bit f: the enemy has no pawn on file f). 0 when the enemy has no queen.
int KingDangerIndex(const Position& pos, int colour, int shelter, uint8_t enemyOpenFiles);

// King safety of `colour`, <= 0, 1/256 pawn: the enemy's non-pawn material scaled by
// DangerTable of KingDangerIndex.
int KingSafety(const Position& pos, int colour, int shelter, uint8_t enemyOpenFiles);

}  // namespace brinz
