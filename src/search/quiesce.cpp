#include <cassert>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/node_rules.h"
#include "search/search.h"

namespace brinz {

namespace {

constexpr uint32_t CheckZoneNodes = 400;   // quiescence nodes after which the check zone closes
constexpr int CheckZoneAlpha = 1664;       // with alpha this high, checks and the table are not worth it
constexpr int BareEndingMargin = 2560;
constexpr int SelectedMoves = 4;

// How far below alpha a capture's material gain may leave the static evaluation before it
// is not worth trying: wider with little material left, widest when a side is bare.
int futilityMargin(const Position& pos) {
    const int margin = Parameters.futilityMargin0;
    if (pos.material[WHITE] + pos.material[BLACK] > FutilityEndgameMaterial) return margin;
    return pos.material[WHITE] > PawnValue && pos.material[BLACK] > PawnValue ? 2 * margin : BareEndingMargin;
}

}  // namespace

int quiesce(Position& pos, PlyRecord* stack, int ply, int alpha, int beta, int depth, int checkPly,
            SearchThread& thread) {
    PlyRecord& node = stack[ply];
    const int alpha0 = alpha, beta0 = beta;
    const bool pvNode = beta - alpha > 1;

    nodeEntry(pos, stack, ply, thread);
    if (stopping(thread)) return 0;
    if (alpha > MATE - 1 - ply) return alpha;
    if (ply >= MaxPly) return evaluate(pos, node, ply, thread);
    if (isDraw(pos)) return 0;

    ++thread.quiescenceNodes;
    const bool inZone = ply <= checkPly && thread.quiescenceNodes < CheckZoneNodes &&
                        depth > -Parameters.checksInQuiescence * ONE_PLY && alpha < CheckZoneAlpha;
    const bool useTable = inZone && Parameters.hashQuiescence;

    Move hashMove = 0;
    if (useTable) {
        bool mateThreat = false, nullAllowed = true;
        probeHash(pos, alpha, beta, 0, hashMove, mateThreat, nullAllowed, ply);
        if (pvNode) {
            alpha = alpha0;
            beta = beta0;
        }
        if (alpha >= beta) {
            node.currentMove = hashMove;
            return alpha;
        }
    }
    Move candidate = hashMove ? hashMove : MOVE_NONE;

    if (!node.evalDone) {
        node.staticEval = evaluate(pos, node, ply, thread);
        node.evalDone = 1;
    }

    MoveListEntry* start = node.moveListStart;
    MoveListEntry* end;
    int best;
    assert(start + MaxMovesPerPly <= thread.moveBufferEnd);
    if (node.inCheck) {
        end = GenerateEvasions(pos, start);
        node.evasionCount = int(end - start);
        if (node.evasionCount == 0) return ply - MATE;
        // A forced reply keeps the checks coming two plies longer.
        if (node.evasionCount == 1) checkPly += 2;
        best = -INFINITE_SCORE;
    } else {
        if (node.staticEval >= beta) return node.staticEval;
        if (node.staticEval > alpha) alpha = node.staticEval;
        end = GenerateCaptures(pos, start);
        best = node.staticEval;
    }
    assert(end - start <= MaxMovesPerPly);
    stack[ply + 1].moveListStart = end;
    scoreQuiescenceMoves(stack, pos, ply, candidate);

    const int side = pos.side;
    const bool futility = (Parameters.futilityPruning == 0 || (Parameters.futilityPruning == 1 && !pvNode)) &&
                          node.staticEval > FutilityFloor && !MovePromotion(pos.lastMove) && pos.material[side] != 0;
    const int margin = futilityMargin(pos);

    auto searchMove = [&](Move m) {
        node.currentMove = m;
        UndoRecord undo;
        MakeMove(pos, undo, m);
        prefetchChild(pos, thread);
        stack[ply + 1].evalDone = 0;
        int v = -quiesce(pos, stack, ply + 1, -beta, -alpha, depth - ONE_PLY, checkPly, thread);
        UnmakeMove(pos, undo, m);
        if (v > best) {
            best = v;
            if (v > alpha) {
                alpha = v;
                updatePv(ply, stack);
            }
        }
    };

    int searched = 0;
    MoveListEntry* cursor = start;
    while (alpha < beta) {
        if (thread.abort.load(Relaxed) || cursor >= end) break;
        Move m = pickMove(cursor, end, searched < SelectedMoves);
        if (!m) break;
        if (futility && !MovePromotion(m) && node.staticEval + moveGain(pos, m) < alpha - margin &&
            !(inZone && alpha < CheckZoneAlpha && GivesCheck(pos, m)))
            continue;
        if (!IsLegal(pos, m)) continue;
        // A capture by a more valuable piece must not lose material; cheaper attackers never do.
        if (!node.inCheck && PieceValue[MovePiece(m)] > PieceValue[MoveCaptured(m)] && See(pos, m) < 0) continue;
        ++searched;
        searchMove(m);
    }

    if (inZone && alpha < CheckZoneAlpha && alpha < beta && !node.inCheck) {
        end = GenerateQuietChecks(pos, start);
        assert(end - start <= MaxMovesPerPly);
        stack[ply + 1].moveListStart = end;
        scoreMoves(stack, pos, ply, candidate);
        searched = 0;
        cursor = start;
        while (alpha < beta) {
            if (thread.abort.load(Relaxed) || cursor >= end) break;
            Move m = pickMove(cursor, end, searched < SelectedMoves);
            if (!m) break;
            // A check that hangs material is not tried.
            if (!IsLegal(pos, m) || See(pos, m) != 0) continue;
            ++searched;
            searchMove(m);
        }
    }

    if (stopping(thread)) return 0;
    if (useTable) storeNodeResult(pos, node.pv[ply], best, alpha0, alpha, beta, 0, false, ply);
    return alpha;
}

}  // namespace brinz
