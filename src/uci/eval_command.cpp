#include "uci/eval_command.h"

#include <cstdio>

#include "board/position.h"
#include "eval/evaluate.h"
#include "options/options.h"
#include "tablebases/probe.h"

namespace brinz {

namespace {

constexpr const char* TermNames[TERM_COUNT] = {
    "Material",    "Piece-square", "Pawn structure", "Passed pawns", "King proximity",
    "Mobility",    "Development",  "Pawn danger",    "King safety",  "Shelter",
    "Pawn storm",  "Other pieces", "Penalties",      "Side to move",
};

// Pawns with two decimals, from 1/256 pawn.
double Pawns(int value) { return value / 256.0; }

}  // namespace

void handleEval() {
    // No search runs, so the side to move stands for the engine's colour.
    applyOptions(RootPosition.side);
    const Position& pos = RootPosition;
    EvalExtras extras{};
    EvalBreakdown terms;
    uint8_t tablebase = 0;
    int score = EvaluateTerms(pos, extras, nullptr, tablebase, terms);
    int sign = pos.side == WHITE ? 1 : -1;

    if (terms.source == SOURCE_FULL) {
        std::printf("%-16s %9s %9s %9s %9s %9s %9s\n", "Term", "White MG", "White EG", "Black MG", "Black EG",
                    "Total MG", "Total EG");
        for (int term = 0; term < TERM_COUNT; ++term)
            std::printf("%-16s %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f\n", TermNames[term],
                        Pawns(terms.byColour[term][WHITE][MG]), Pawns(terms.byColour[term][WHITE][EG]),
                        Pawns(terms.byColour[term][BLACK][MG]), Pawns(terms.byColour[term][BLACK][EG]),
                        Pawns(sign * terms.total[term][MG]), Pawns(sign * terms.total[term][EG]));
        for (int c = WHITE; c <= BLACK; ++c) {
            const PieceTerms& pieces = terms.pieces[c];
            std::printf("%s pieces: poorly placed %d, undeveloped %d, seventh rank %d\n", c == WHITE ? "White" : "Black",
                        pieces.badPieces, pieces.undeveloped, pieces.seventh);
        }
        std::printf("Weights (128 = 100%%): pawn structure %d/%d, passed pawns %d/%d, king safety white %d black %d\n",
                    Parameters.pawnStructureMiddle, Parameters.pawnStructureEnd, Parameters.passedPawnsMiddle,
                    Parameters.passedPawnsEnd, Parameters.kingSafetyWeight[WHITE], Parameters.kingSafetyWeight[BLACK]);
    }
    int middleShare = (terms.npmTotal - PhaseEnd) * 100 / (PhaseMiddle - PhaseEnd);
    middleShare = middleShare < 0 ? 0 : middleShare > 100 ? 100 : middleShare;
    std::printf("Phase: non-pawn material %d, middle game %d%%, centre type %d\n", terms.npmTotal, middleShare,
                terms.centreType);
    std::printf("Scale: white %d, black %d (128 = full)\n", terms.scale[WHITE], terms.scale[BLACK]);
    switch (terms.source) {
        case SOURCE_FULL:
            std::printf("Middle game %.2f, endgame %.2f, endgame scaled %.2f\n", Pawns(sign * terms.mg),
                        Pawns(sign * terms.eg), Pawns(sign * terms.egScaled));
            break;
        case SOURCE_NO_WINNER: std::printf("Neither side can win\n"); break;
        case SOURCE_ENDGAME: std::printf("Scored by a specialised endgame evaluator\n"); break;
        case SOURCE_TABLEBASE: std::printf("Scored by a tablebase\n"); break;
    }
    // The tables' own verdict, as stored, for positions they can hold.
    if (withinTablebaseReach(pos)) {
        char verdict[24];
        std::printf("Tablebase: %s\n", describeTableValue(lookupTableValue(pos), verdict));
    }
    std::printf("Evaluation: %d\n", sign * score * 100 / 256);
}

}  // namespace brinz
