#include "eval/evaluate.h"

#include "board/attacks.h"
#include "board/piece_square.h"
#include "eval/endgames.h"
#include "eval/eval_cache.h"
#include "eval/pawns.h"
#include "options/options.h"

namespace brinz {

namespace {

// A side without pawns and with at most this much material, no more than a knight ahead
// in pieces, keeps only PawnlessScale / 128 of an endgame advantage.
constexpr int PawnlessMaterial = 3408;
constexpr int PawnlessMargin = KnightValue;
constexpr int PawnlessScale = 48;
// Opposite-coloured bishops: alone on the board, and with other pieces.
constexpr int TwoBishopsMaterial = 2 * BishopValue;
constexpr int BareBishopsScale = 64;
constexpr int BishopsScale = 96;
// The pawn danger counts only above this much non-pawn material of its own side.
constexpr int DangerMaterialFloor = 4688;
// Added to the endgame score before it is scaled.
constexpr int EndgameOffset = 10;

// At low material: the classifier's verdict, and for a specialised evaluator its score.
int DispatchEndgame(const Position& pos, int scale[2], const PawnEntry& entry, int& score, int plyFromRoot) {
    int selector = endgameClassifier(pos, scale, entry, score, plyFromRoot);
    if (selector >= ENDGAME_BARE_KING && selector <= ENDGAME_QUEEN_ROOK) score = EndgameEvaluator[selector](pos);
    return selector;
}

// Counts past a table's end read its last entry.
inline int AtMost(int count, int last) { return count > last ? last : count; }

// The shelter of each king: `now` where it stands, `expected` the mean of that and of the
// better castled square while a right to it remains.
void Shelters(const Position& pos, const int kings[2], int now[2], int expected[2]) {
    for (int c = WHITE; c <= BLACK; ++c) {
        int here = ShelterAt(pos, c, kings[c]);
        int back = c * 112;
        int shortLost = c == WHITE ? LOST_WHITE_KINGSIDE : LOST_BLACK_KINGSIDE;
        int longLost = c == WHITE ? LOST_WHITE_QUEENSIDE : LOST_BLACK_QUEENSIDE;
        int castledShort = (pos.castleLost & shortLost) ? here : ShelterAt(pos, c, back + 6);
        int castledLong = (pos.castleLost & longLost) ? here : ShelterAt(pos, c, back + 2);
        now[c] = here;
        expected[c] = (here + (castledShort > castledLong ? castledShort : castledLong)) / 2;
    }
}

// Colour c's piece terms beyond the piece walk: the seventh rank (in the endgame only
// against a king on its back rank), bad pieces, the bishop pair, and the material balance
// of rooks and knights against the pawns left.
void PieceGroupTerms(const Position& pos, int c, const PieceTerms& own, const PawnEntry& entry, int pawns,
                     const int kings[2], int& mgTerm, int& egTerm) {
    const int xc = c ^ 1;
    mgTerm = own.mgTerms;
    egTerm = own.egTerms;
    // Promoted rooks and queens can count past these tables.
    int seventh = SeventhRankBonus(own.seventh);
    mgTerm += seventh;
    if (RelativeRank[xc][kings[xc]] == 0) egTerm += seventh;
    mgTerm -= BadPiecesPenalty(own.badPieces);

    if (own.bishopColours == 3) {
        int pair = BishopPair[AtMost(entry.centreType, 6)];
        if (pos.pieceCount[MakeCode(KNIGHT, xc)] == 0 && pos.pieceCount[MakeCode(BISHOP, xc)] == 0) pair += 30;
        mgTerm += pair;
        egTerm += pair;
    }

    // Rooks gain as pawns come off, knights lose; several heavy pieces overlap.
    int rooks = pos.pieceCount[MakeCode(ROOK, c)], knights = pos.pieceCount[MakeCode(KNIGHT, c)];
    int queens = pos.pieceCount[MakeCode(QUEEN, c)];
    int balance = (5 - pawns) * rooks * 32 + (pawns - 6) * knights * 16;
    if (rooks >= 1) balance += (2 - 2 * rooks - queens) * 16;
    mgTerm += balance;
    egTerm += balance;
}

// Colour c's king terms while enough pieces remain: its safety, the storm of its pawns
// against an enemy king castled on the other wing, and the danger of its own pawn mass.
void KingAttackTerms(const Position& pos, int c, const PawnEntry& entry, const int shelterNow[2], const int npm[2],
                     const int kings[2], int& kingSafety, int& storm, int& danger) {
    const int xc = c ^ 1;
    kingSafety = KingSafety(pos, c, shelterNow[c], entry.openFiles[xc]);
    int file = FileOf(kings[c]), enemyFile = FileOf(kings[xc]);
    // Kings on opposite wings: c storms the wing of the enemy king.
    if (file >= 5 && enemyFile <= 3) storm = entry.queensideStorm[c];
    else if (file < 4 && enemyFile > 4) storm = entry.kingsideStorm[c];
    int value = (npm[c] - DangerMaterialFloor) * entry.danger[c] / 256;
    danger = value > 0 ? value : 0;
}

// Each term's difference for the side to move, weighted; each product is divided on its
// own, truncating towards zero.
void WeightTerms(EvalBreakdown& t, int s, const int kingSafety[2], int centreType) {
    const int x = s ^ 1;
    const EngineParameters& w = Parameters;
    auto diff = [&](int term, int phase) { return t.byColour[term][s][phase] - t.byColour[term][x][phase]; };
    auto total = [&](int term, int mgValue, int egValue) {
        t.total[term][MG] = mgValue;
        t.total[term][EG] = egValue;
    };
    total(TERM_MATERIAL, diff(TERM_MATERIAL, MG), diff(TERM_MATERIAL, EG));
    total(TERM_PIECE_SQUARE, diff(TERM_PIECE_SQUARE, MG), diff(TERM_PIECE_SQUARE, EG));
    total(TERM_PAWN_STRUCTURE, diff(TERM_PAWN_STRUCTURE, MG) * w.pawnStructureMiddle / 128,
          diff(TERM_PAWN_STRUCTURE, EG) * w.pawnStructureEnd / 128);
    total(TERM_PASSED_PAWNS, diff(TERM_PASSED_PAWNS, MG) * w.passedPawnsMiddle / 128,
          diff(TERM_PASSED_PAWNS, EG) * w.passedPawnsEnd / 128);
    total(TERM_KING_PROXIMITY, 0, diff(TERM_KING_PROXIMITY, EG));
    total(TERM_MOBILITY, diff(TERM_MOBILITY, MG) * w.mobilityMiddle / 128, diff(TERM_MOBILITY, EG) * w.mobilityEnd / 128);
    total(TERM_DEVELOPMENT, diff(TERM_DEVELOPMENT, MG) * w.development / 128, 0);
    total(TERM_PAWN_DANGER, diff(TERM_PAWN_DANGER, MG) * w.pawnDanger / 128, 0);
    total(TERM_KING_SAFETY, (w.kingSafetyWeight[s] * kingSafety[s] - w.kingSafetyWeight[x] * kingSafety[x]) / 128, 0);
    total(TERM_SHELTER, diff(TERM_SHELTER, MG) * ShelterFactor[AtMost(centreType, 6)], 0);
    total(TERM_PAWN_STORM, diff(TERM_PAWN_STORM, MG), 0);
    total(TERM_PIECES, diff(TERM_PIECES, MG), diff(TERM_PIECES, EG));
    total(TERM_PENALTY, diff(TERM_PENALTY, MG), diff(TERM_PENALTY, EG));
    total(TERM_SIDE_TO_MOVE, diff(TERM_SIDE_TO_MOVE, MG), 0);
}

// The middle-game and (scaled) endgame scores blended by the non-pawn material left, and
// rounded down to a multiple of 4.
int BlendPhases(EvalBreakdown& t, int s, int npmTotal) {
    int mg = 0, eg = 0;
    for (int term = 0; term < TERM_COUNT; ++term) {
        mg += t.total[term][MG];
        eg += t.total[term][EG];
    }
    // Only the side that is ahead has its advantage damped.
    int egBiased = eg + EndgameOffset;
    int egScaled = egBiased * t.scale[egBiased > 0 ? s : s ^ 1] / 128;
    int score;
    if (npmTotal >= PhaseMiddle) {
        score = mg;
    } else if (npmTotal <= PhaseEnd) {
        score = egScaled;
    } else {
        const int span = PhaseMiddle - PhaseEnd;
        score = (PhaseMiddle - npmTotal) * egScaled / span + (npmTotal - PhaseEnd) * mg / span;
    }
    t.mg = mg;
    t.eg = eg;
    t.egScaled = egScaled;
    t.unrounded = score;
    // Rounded down (towards minus infinity): -5 becomes -8.
    score &= ~3;
    t.score = score;
    return score;
}

}  // namespace

int Evaluate(const Position& pos, EvalExtras& extras, PawnTable* pawnTable, uint8_t& tablebaseFlag, int plyFromRoot) {
    int score;
    if (ProbeEvalCache(pos, score, extras)) {
        tablebaseFlag = 0;
        return score;
    }
    EvalBreakdown terms;
    score = EvaluateTerms(pos, extras, pawnTable, tablebaseFlag, terms, true, plyFromRoot);
    // A tablebase score counts the plies from the root of the search that asked, so it is
    // not kept: at another ply, or in a later search, it would name the wrong mate.
    if (!tablebaseFlag) StoreEvalCache(pos, score, extras);
    return score;
}

int EvaluateTerms(const Position& pos, EvalExtras& extras, PawnTable* pawnTable, uint8_t& tablebaseFlag,
                  EvalBreakdown& t, bool scoreOnly, int plyFromRoot) {
    t = EvalBreakdown{};
    tablebaseFlag = 0;
    const int s = pos.side;
    int pawns[2], npm[2];
    for (int c = WHITE; c <= BLACK; ++c) {
        pawns[c] = pos.pieceCount[MakeCode(PAWN, c)];
        npm[c] = pos.material[c] - PawnValue * pawns[c];
        t.npm[c] = npm[c];
        t.scale[c] = FullScale;
    }
    const int npmTotal = npm[WHITE] + npm[BLACK];
    t.npmTotal = npmTotal;
    int* scale = t.scale;

    PawnEntry scratch;
    const PawnEntry& entry = ProbePawnTable(pos, pawnTable, scratch);
    t.centreType = entry.centreType;

    if (pos.material[WHITE] + pos.material[BLACK] <= EndgameMaterial) {
        int score = 0;
        int verdict = DispatchEndgame(pos, scale, entry, score, plyFromRoot);
        if (verdict != ENDGAME_CONTINUE) {
            if (verdict == ENDGAME_TABLEBASE) tablebaseFlag = 1;
            t.source = verdict == ENDGAME_TABLEBASE ? SOURCE_TABLEBASE : SOURCE_ENDGAME;
            t.unrounded = t.score = score;
            return score;
        }
    } else {
        for (int c = WHITE; c <= BLACK; ++c)
            if (pawns[c] == 0 && pos.material[c] <= PawnlessMaterial && npm[c] - npm[c ^ 1] <= PawnlessMargin)
                scale[c] = PawnlessScale;
    }
    if (scale[WHITE] == 0 && scale[BLACK] == 0) {
        t.source = SOURCE_NO_WINNER;
        return 0;
    }

    const int kings[2] = {pos.kingSquare(WHITE), pos.kingSquare(BLACK)};
    for (int c = WHITE; c <= BLACK; ++c) {
        t.byColour[TERM_MATERIAL][c][MG] = t.byColour[TERM_MATERIAL][c][EG] = pos.material[c];
        t.byColour[TERM_PIECE_SQUARE][c][MG] = pos.pstSum[c];
        t.byColour[TERM_PIECE_SQUARE][c][EG] =
            pos.pstSum[c] - PieceSquare[MakeCode(KING, c)][kings[c]] + KingEndgame[kings[c]];
    }

    int shelterNow[2], shelter[2];
    Shelters(pos, kings, shelterNow, shelter);

    int kingProx[2] = {0, 0};
    if (npmTotal < PhaseMiddle) KingProximityToPawns(pos, kingProx);

    PieceTerms* pieces = t.pieces;
    // Mobility enters the score with no weight; only the queens' count serves nothing else.
    const bool queenMobility = !scoreOnly || Parameters.mobilityMiddle != 0 || Parameters.mobilityEnd != 0;
    EvaluatePieces(pos, WHITE, pieces[WHITE], queenMobility);
    EvaluatePieces(pos, BLACK, pieces[BLACK], queenMobility);

    int mgTerms[2], egTerms[2], kingSafety[2] = {0, 0}, storm[2] = {0, 0}, danger[2] = {0, 0};
    for (int c = WHITE; c <= BLACK; ++c) {
        PieceGroupTerms(pos, c, pieces[c], entry, pawns[c], kings, mgTerms[c], egTerms[c]);
        if (npmTotal > PhaseEnd) KingAttackTerms(pos, c, entry, shelterNow, npm, kings, kingSafety[c], storm[c], danger[c]);
    }

    int passed[2] = {0, 0};
    ScorePassedPawns(pos, entry, passed, kingProx);

    extras.kingSafety[WHITE] = kingSafety[WHITE];
    extras.kingSafety[BLACK] = kingSafety[BLACK];
    extras.passedPawns[WHITE] = passed[WHITE];
    extras.passedPawns[BLACK] = passed[BLACK];
    for (int c = WHITE; c <= BLACK; ++c) kingProx[c] -= kingProx[c] / 4;

    for (int c = WHITE; c <= BLACK; ++c) {
        auto set = [&](int term, int mgValue, int egValue) {
            t.byColour[term][c][MG] = mgValue;
            t.byColour[term][c][EG] = egValue;
        };
        const PieceTerms& own = pieces[c];
        set(TERM_PAWN_STRUCTURE, entry.structureMg[c], entry.structureEg[c]);
        set(TERM_PASSED_PAWNS, passed[c], passed[c]);
        set(TERM_KING_PROXIMITY, 0, kingProx[c]);
        set(TERM_MOBILITY, own.mobilityMg, own.mobilityEg);
        set(TERM_DEVELOPMENT, own.development, 0);
        set(TERM_PAWN_DANGER, danger[c], 0);
        set(TERM_KING_SAFETY, kingSafety[c], 0);
        set(TERM_SHELTER, shelter[c], 0);
        set(TERM_PAWN_STORM, storm[c], 0);
        set(TERM_PIECES, mgTerms[c], egTerms[c]);
        set(TERM_PENALTY, own.penalty, own.penalty);
        set(TERM_SIDE_TO_MOVE, c == s ? SideToMoveBonus : 0, 0);
    }

    WeightTerms(t, s, kingSafety, entry.centreType);

    if (pos.pieceCount[WHITE_BISHOP] == 1 && pos.pieceCount[BLACK_BISHOP] == 1 &&
        pieces[WHITE].bishopColours != pieces[BLACK].bishopColours && scale[WHITE] == FullScale &&
        scale[BLACK] == FullScale)
        scale[WHITE] = scale[BLACK] = npmTotal == TwoBishopsMaterial ? BareBishopsScale : BishopsScale;
    return BlendPhases(t, s, npmTotal);
}

}  // namespace brinz
