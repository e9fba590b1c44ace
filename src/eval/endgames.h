#pragma once

#include "board/position.h"
#include "eval/pawns.h"

namespace brinz {

// What the classifier decided for a low-material position.
enum EndgameSelector : int {
    ENDGAME_CONTINUE = 0,        // go on with the full evaluation and the scale factors
    ENDGAME_BARE_KING = 1,       // enough material against the bare king
    ENDGAME_ROOK_BISHOP = 2,     // rook against bishop
    ENDGAME_ROOK_KNIGHT = 3,     // rook against knight
    ENDGAME_ROOK_PAWN = 4,       // rook against pawn
    ENDGAME_BISHOP_KNIGHT = 5,   // bishop and knight against the bare king
    ENDGAME_ROOK_PAWN_ROOK = 6,  // rook and pawn against rook
    ENDGAME_QUEEN_ROOK = 7,      // queen against rook
    ENDGAME_TABLEBASE = 8,       // a tablebase score
};

// Scale factor of a side (128 = its advantage counts whole, 0 = none); the driver sets
// both to 128 before asking the classifier.
inline constexpr int FullScale = 128;

// Classifies a position whose total material (pawns included) is at most EndgameMaterial.
// Probes the tablebases first: a hit gives ENDGAME_TABLEBASE with the score, for the side
// to move and counted from the search root, in `tablebaseScore` (the caller's own storage,
// so no other thread's probe can replace it). Otherwise it names a specialised evaluator,
// or gives ENDGAME_CONTINUE after damping `scale` for drawish endings. `entry` is the pawn
// analysis of `pos`. Evaluators are chosen by exact material only, so each finds the men it reads.
int endgameClassifier(const Position& pos, int scale[2], const PawnEntry& entry, int& tablebaseScore,
                      int plyFromRoot);

// A specialised evaluator: the score of `pos` for the side to move, 1/256 pawn. Each
// expects the material its selector stands for (see EndgameSelector).
using EndgameEvaluatorFunction = int (*)(const Position& pos);
// By selector 1..7; entry 0 is null.
extern const EndgameEvaluatorFunction EndgameEvaluator[8];

}  // namespace brinz
