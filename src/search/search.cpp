#include "search/search.h"

#include <cassert>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/piece_square.h"
#include "options/options.h"
#include "search/hash.h"
#include "search/node_rules.h"
#include "search/ordering.h"
#include "tablebases/probe.h"
#include "search/root.h"
#include "smp/split.h"
#include "smp/threads.h"

namespace brinz {

alignas(64) std::atomic<int32_t> SearchState{Idle};
std::atomic<uint8_t> quitRequested{0};
std::unique_ptr<SearchThread> SearchThreads[MaxThreads];
SearchClock searchClock;
alignas(64) std::atomic<uint64_t> nodeCount{0};
uint32_t pollCounter = 0;
SearchHooks searchHooks;

namespace {

// Knowledge tests at a reduced child: evaluation swings (1/256 pawn) that cancel the reduction.
constexpr int KingSafetySwing = 128;
constexpr int PassedPawnSwing = 64;
constexpr int NullMoveMiddlegame = 5120;     // non-pawn material above which the larger reduction applies
constexpr int NullVerifyMaterial = 3392;     // with more than this the null move is trusted unverified
constexpr int NullVerifyDepth = 420;
constexpr int IidMateBound = 29900;
constexpr int SelectedMoves = 16;            // moves picked by selection before list order takes over
constexpr uint32_t NodeBatch = 1024;         // a helper's nodes added to nodeCount at once
constexpr int LastSplitIteration = 60;       // deeper iterations search alone

// Knowledge-based reduction control is on for "KNOWLEDGE" and "KNOWLEDGE_AND_HISTORY".
bool knowledgeOn() { return Parameters.reduceOn == 1 || Parameters.reduceOn == 3; }

int pawnsOf(const Position& pos, int colour) { return pos.pieceCount[MakeCode(PAWN, colour)]; }

bool onlyPawns(const Position& pos) {
    return pos.material[WHITE] == PawnValue * pawnsOf(pos, WHITE) &&
           pos.material[BLACK] == PawnValue * pawnsOf(pos, BLACK);
}

// A pawn whose way to promotion no enemy pawn can bar: no enemy pawn ahead on its file or beside it.
bool passedPawnMove(const Position& pos, Move m, int side) {
    if (MovePiece(m) != PAWN) return false;
    int to = MoveTo(m);
    int file = FileOf(to), rank = RankOf(to);
    int ahead = side == WHITE ? (0xFF << (rank + 1)) & 0xFF : (1 << rank) - 1;
    const uint8_t* enemy = pos.pawnFiles[side ^ 1];
    return ((enemy[file - 1] | enemy[file] | enemy[file + 1]) & ahead) == 0;
}

// History pruning, for quiet move m before it is made.
bool historyPrunable(const Position& pos, Move m) {
    if (!isQuiet(m) || passedPawnMove(pos, m, pos.side)) return false;
    const CutoffCounters& c = cutoffCounters(pos.board[MoveFrom(m)], MoveTo(m));
    return 4 * c.cutoffs.load(Relaxed) < c.failures.load(Relaxed);
}

// The opponent's null-move reply `threat` follows from its previous move `previous`:
// the same piece, a line it opened, support it gives, or a discovered attack it set up.
bool connectedThreat(const Position& pos, Move previous, Move threat) {
    if (threat == MOVE_NONE || threat == MOVE_NULL || previous == MOVE_NONE || previous == MOVE_NULL) return false;
    int tFrom = MoveFrom(threat), tTo = MoveTo(threat);
    int pFrom = MoveFrom(previous), pTo = MoveTo(previous);
    // A table move may be a stale hint: only squares on the board are looked at.
    if (!OnBoard(tFrom) || !OnBoard(tTo) || !OnBoard(pFrom) || !OnBoard(pTo) || tFrom == tTo) return false;
    if (tFrom == pTo || tTo == pFrom) return true;

    int threatPiece = pos.board[tFrom];
    if (threatPiece < EMPTY && SliderKind[threatPiece]) {
        int step = AttackBetween(tFrom, tTo).step;
        if (step && (AttackBetween(tFrom, tTo).mask & AttackBit[threatPiece]))
            for (int sq = tFrom + step; sq != tTo && OnBoard(sq); sq += step)
                if (sq == pFrom) return true;
    }

    int mover = pos.board[pTo];
    if (mover >= EMPTY || pTo == tTo) return false;
    if (AttackBetween(pTo, tTo).mask & AttackBit[mover]) {
        if (!SliderKind[mover]) return true;
        int step = AttackBetween(pTo, tTo).step;
        bool clear = step != 0;
        for (int sq = pTo + step; clear && sq != tTo; sq += step)
            if (!OnBoard(sq) || (pos.board[sq] != EMPTY && sq != tFrom)) clear = false;
        if (clear) return true;
    }

    int king = pos.kingSquare(pos.side);
    if (SliderKind[mover] && pTo != king && (AttackBetween(pTo, king).mask & AttackBit[mover])) {
        int step = AttackBetween(pTo, king).step;
        int sq = pTo + step;
        while (OnBoard(sq) && sq != king && pos.board[sq] == EMPTY) sq += step;
        if (sq != tFrom) return false;
        int leaveStep = AttackBetween(tFrom, tTo).step;
        if (leaveStep == step || leaveStep == -step) return false;
        sq += step;
        while (OnBoard(sq) && sq != king && pos.board[sq] == EMPTY) sq += step;
        return sq == king;
    }
    return false;
}

bool staticNullMovePrune(const Position& pos, const PlyRecord* stack, int ply, int depth, int beta, int delta) {
    if (!Parameters.nullMoveEnabled) return false;
    const PlyRecord& node = stack[ply];
    int margin = depth <= ONE_PLY ? 40 : depth + 40;
    int excess = node.staticEval - margin - beta;
    if (excess <= 0 || depth > Parameters.staticPruningDepth || ply < 5 || delta <= -50) return false;
    if (stack[ply - 1].extension || stack[ply - 2].extension) return false;
    return !HasCaptureThreat(pos, pos.xside, excess);
}

// After a reduced move: the position turned worse for the mover's opponent's king or passers
// (the side to move here), or better for the mover's, by more than a swing. The reduction
// may have hidden something: the node fails low at once so that the move is searched again
// in full.
bool reducedMoveBackfired(const PlyRecord& node, const PlyRecord& parent, int side) {
    if (!parent.reduced || !knowledgeOn()) return false;
    const EvalExtras &now = node.evalTerms, &before = parent.evalTerms;
    const int other = side ^ 1;
    auto kingSafety = [&](int c) { return now.kingSafety[c] - before.kingSafety[c]; };
    auto passedPawns = [&](int c) { return now.passedPawns[c] - before.passedPawns[c]; };
    return kingSafety(side) <= -KingSafetySwing || passedPawns(other) >= PassedPawnSwing ||
           kingSafety(other) >= KingSafetySwing || passedPawns(side) <= -PassedPawnSwing;
}

// The null move, for a node whose static evaluation reaches beta: when passing still holds
// beta, so does the node (verified by a shallower search when little material is left).
// A null move that fails shows a mate threat, or a threat that follows from the reduced
// move before it; that move is then searched in full. True, with `result`, when the node
// is decided.
bool nullMoveDecides(Position& pos, PlyRecord* stack, int ply, int alpha, int beta, int depth, bool pvNode,
                     int kingSafetyChange, bool& mateThreat, int& result, SearchThread& thread) {
    PlyRecord& node = stack[ply];
    const PlyRecord& parent = stack[ply - 1];
    const int side = pos.side;
    if (node.inCheck || mateThreat || node.staticEval < beta || pos.material[WHITE] <= 0 ||
        pos.material[BLACK] <= 0 || onlyPawns(pos) || !(pawnsOf(pos, side) > 0 || pos.material[side] > RookValue) ||
        node.evalFlag)
        return false;
    if (!pvNode && staticNullMovePrune(pos, stack, ply, depth, beta, kingSafetyChange)) {
        result = beta;
        return true;
    }
    int pieces = pos.material[WHITE] + pos.material[BLACK] - PawnValue * (pawnsOf(pos, WHITE) + pawnsOf(pos, BLACK));
    int reduction = pieces > NullMoveMiddlegame ? Parameters.nullMoveReductionMiddle : Parameters.nullMoveReductionEnd;
    UndoRecord undo;
    MakeNullMove(pos, undo);
    stack[ply + 1].moveListStart = node.moveListStart;
    node.currentMove = MOVE_NULL;
    stack[ply + 1].evalDone = 0;
    int v = -search(pos, stack, ply + 1, -beta, -beta + 1, depth - (reduction + 1) * ONE_PLY, false, thread);
    UnmakeNullMove(pos, undo);
    if (v >= beta) {
        result = v;
        if (depth < NullVerifyDepth || pos.material[side] > NullVerifyMaterial) return true;
        return search(pos, stack, ply, alpha, beta, depth - 6 * ONE_PLY, false, thread) >= beta;
    }
    // Passing lets the opponent mate at once: the node is under a mate threat.
    if (v <= ply - (MATE - 2)) mateThreat = true;
    if (parent.reduced && depth <= Parameters.threatDepth &&
        connectedThreat(pos, parent.currentMove, stack[ply + 1].currentMove)) {
        result = alpha;
        return true;
    }
    return false;
}

// Futility pruning near the leaves (three plies and less, not in check, no mate threat, the
// evaluation sure enough): a quiet move, not a check nor a pawn push to the sixth rank or
// beyond, whose material gain leaves the evaluation a margin below alpha is not searched,
// nor, after the first move, one that history says rarely cuts off.
struct Futility {
    bool active;
    int margin1, margin2;  // one and two plies from the horizon; doubled in the endgame

    Futility(const Position& pos, const PlyRecord& node, int depth, bool pvNode, bool mateThreat)
        : active(depth <= 3 * ONE_PLY &&
                 (Parameters.futilityPruning == 0 || (Parameters.futilityPruning == 1 && !pvNode)) &&
                 !node.inCheck && node.staticEval > FutilityFloor && !MovePromotion(pos.lastMove) && !mateThreat),
          margin1(Parameters.futilityMargin1),
          margin2(Parameters.futilityMargin2) {
        if (pos.material[WHITE] + pos.material[BLACK] <= FutilityEndgameMaterial) {
            margin1 *= 2;
            margin2 *= 2;
        }
    }

    // For the `moveNumber`-th legal move m of the node, before it is made.
    bool prunes(const Position& pos, Move m, int staticEval, int depth, int alpha, int moveNumber) const {
        if (!active || GivesCheck(pos, m) || (MovePiece(m) == PAWN && RelativeRank[pos.side][MoveTo(m)] >= 5))
            return false;
        int gain = staticEval + moveGain(pos, m);
        return (depth < 3 * ONE_PLY && gain < alpha - margin2) || (depth < 2 * ONE_PLY && gain < alpha - margin1) ||
               (moveNumber >= 2 && Parameters.lateMoveReduction != 2 && historyPrunable(pos, m));
    }
};

// Internal deepening: a node without a move to try first searches two plies less for one.
// A result beyond the window's mate-side bounds decides the node at once. True, with
// `result`, when it does; else `candidate` is the move found.
bool internalDeepeningDecides(Position& pos, PlyRecord* stack, int ply, int alpha, int beta, int depth, bool pvNode,
                              Move& candidate, int& result, SearchThread& thread) {
    const PlyRecord& node = stack[ply];
    if (candidate != MOVE_NONE ||
        !((pvNode && depth > 3 * ONE_PLY) || (depth > 6 * ONE_PLY && node.staticEval > alpha - 512)))
        return false;
    int w = search(pos, stack, ply, alpha, beta, depth - 2 * ONE_PLY, false, thread);
    if (w >= (beta > IidMateBound ? beta : IidMateBound) || w < (alpha < -IidMateBound ? alpha : -IidMateBound)) {
        result = w;
        return true;
    }
    candidate = node.pv[ply];
    return false;
}

}  // namespace

bool reductionAllowed(const Position& pos, Move m, int side, bool pvNode) {
    if (Parameters.lateMoveReduction == 1 && pvNode) return false;
    if (!isQuiet(m) || passedPawnMove(pos, m, side)) return false;
    if (Parameters.reduceOn == 1) return true;
    const CutoffCounters& c = cutoffCounters(pos.board[MoveTo(m)], MoveTo(m));
    uint32_t cutoffs = c.cutoffs.load(Relaxed), failures = c.failures.load(Relaxed);
    return Parameters.reduceOn == 2 ? cutoffs <= 2 * failures : cutoffs <= 4 * failures;
}

void flushNodes(SearchThread& thread) {
    if (thread.pendingNodes) nodeCount.fetch_add(thread.pendingNodes, Relaxed);
    thread.pendingNodes = 0;
}

void nodeEntry(const Position& pos, PlyRecord* stack, int ply, SearchThread& thread) {
    assert(ply + 2 < StackSize);
    if (thread.index == 0) {
        nodeCount.store(nodeCount.load(Relaxed) + 1, Relaxed);
        if (++pollCounter >= searchClock.pollInterval) {
            if (searchHooks.pollInput && SearchState.load(Relaxed) != Stopping) searchHooks.pollInput();
            if (searchHooks.checkLimits) searchHooks.checkLimits();
            pollCounter = 0;
        }
    } else if (++thread.pendingNodes >= NodeBatch) {
        // Helpers count in batches: one shared line written at every node by every
        // thread would cost more than the search it counts.
        flushNodes(thread);
    }
    PlyRecord& node = stack[ply];
    node.goodRecapture = 0;
    node.currentMove = MOVE_NONE;
    node.pv[ply] = MOVE_NONE;
    if (!node.evalDone) node.evalTerms = EvalExtras{};
    node.reduced = 0;
    stack[ply + 1].pv[ply + 1] = MOVE_NONE;
    stack[ply + 2].killer1 = stack[ply + 2].killer2 = stack[ply + 2].mateKiller = MOVE_NONE;
    node.inCheck = pos.checkerCount;
}

bool isDraw(const Position& pos) {
    if (pos.fifty > 100 || (pos.fifty == 100 && !pos.checkerCount)) return true;
    if (pos.material[WHITE] == 0 && pos.material[BLACK] == 0) return true;
    if (pawnsOf(pos, WHITE) == 0 && pawnsOf(pos, BLACK) == 0 && pos.material[WHITE] + pos.material[BLACK] < RookValue)
        return true;
    // The whole reversible stretch: back to the position right after the last capture or
    // pawn move, or to the first position of the known history.
    int limit = pos.ply < pos.fifty ? pos.ply : pos.fifty;
    for (int k = 2; k <= limit; k += 2)
        if (pos.keyHistory[pos.ply - k] == pos.key) return true;
    return false;
}

int moveExtension(PlyRecord& record, const Position& pos, bool mateThreat) {
    const EngineParameters& p = Parameters;
    Move m = record.currentMove;
    int e = pos.checkerCount ? p.checkExtension : 0;
    if (record.inCheck) {
        if (record.evasionCount == 1) e += p.replyToCheckExtension1;
        else if (record.evasionCount == 2) e += p.replyToCheckExtension2;
    }
    if (mateThreat) e += p.mateThreatExtension;
    // The mover is the side not to move now.
    if (MovePiece(m) == PAWN && RelativeRank[pos.xside][MoveTo(m)] == 6) e += p.pawnOn7thExtension;
    int captured = MoveCaptured(m);
    if (captured >= KNIGHT && captured <= QUEEN && onlyPawns(pos) && !record.evalFlag)
        e = captured == QUEEN ? 150 : captured == ROOK ? 90 : 60;
    else if (e > ONE_PLY)
        e = ONE_PLY;
    record.extension = e;
    return e;
}

void copyPv(Move* line, int ply, Move m, const Move* child) {
    line[ply] = m;
    int i = ply + 1;
    for (; i < StackSize - 1 && child[i] != MOVE_NONE; ++i) line[i] = child[i];
    line[i] = MOVE_NONE;
}

int searchLaterMove(Position& pos, PlyRecord* stack, int ply, Move m, int moveNumber, int depth, int extension,
                    bool pvNode, const NodeWindow& window, SearchThread& thread) {
    PlyRecord& node = stack[ply];
    const int childDepth = depth + extension - ONE_PLY;
    int alpha = window.currentAlpha();
    int v = alpha + 1;  // no reduced search: straight to full depth
    if (extension == 0 && moveNumber >= 4 && depth >= 2 * ONE_PLY && Parameters.lateMoveReduction != 2 &&
        reductionAllowed(pos, m, pos.xside, pvNode)) {
        node.reduced = 1;
        v = -search(pos, stack, ply + 1, -alpha - 1, -alpha, depth - 2 * ONE_PLY, true, thread);
        node.reduced = 0;
    }
    if (v > window.currentAlpha()) {
        alpha = window.currentAlpha();
        v = -search(pos, stack, ply + 1, -alpha - 1, -alpha, childDepth, true, thread);
        alpha = window.currentAlpha();
        const int beta = window.currentBeta();
        if (v > alpha && v < beta) v = -search(pos, stack, ply + 1, -beta, -alpha, childDepth, true, thread);
    }
    return v;
}

int moveGain(const Position& pos, Move m) {
    int side = pos.side, to = MoveTo(m), from = MoveFrom(m);
    int mover = MakeCode(MovePiece(m), side);
    int victim = MakeCode(MoveCaptured(m), side ^ 1);
    int gain = PieceValue[victim] + PieceSquare[victim][to] - PieceSquare[mover][from];
    if (int promotion = MovePromotion(m)) {
        int promoted = MakeCode(promotion, side);
        return gain + PieceValue[promoted] - PawnValue + PieceSquare[promoted][to];
    }
    return gain + PieceSquare[mover][to];
}

void resetSearchCounters() {
    nodeCount.store(0, Relaxed);
    pollCounter = 0;
    clearHistory();
    clearCutoffStats();
    for (auto& t : SearchThreads)
        if (t) {
            t->pendingNodes = 0;
            t->abort.store(0, Relaxed);
        }
    resetTablebaseCounters();
}

int search(Position& pos, PlyRecord* stack, int ply, int alpha, int beta, int depth, bool nullAllowed,
           SearchThread& thread) {
    PlyRecord& node = stack[ply];
    PlyRecord& parent = stack[ply - 1];
    const int alpha0 = alpha, beta0 = beta;
    const bool pvNode = beta - alpha > 1;

    nodeEntry(pos, stack, ply, thread);
    if (stopping(thread)) return 0;
    if (alpha > MATE - 1 - ply) return alpha;
    if (ply >= MaxPly) return evaluate(pos, node, ply, thread);
    if (depth < ONE_PLY) {
        thread.quiescenceNodes = 0;
        return quiesce(pos, stack, ply, alpha, beta, depth, ply, thread);
    }
    if (isDraw(pos)) return 0;

    Move hashMove = 0;
    bool mateThreat = false;
    probeHash(pos, alpha, beta, depth, hashMove, mateThreat, nullAllowed, ply);
    // PV nodes, and reduced children whose bound would hide a fail high, keep their window.
    if (pvNode || (parent.reduced && alpha > alpha0)) {
        alpha = alpha0;
        beta = beta0;
    }
    if (alpha >= beta) {
        node.currentMove = hashMove;
        return alpha;
    }
    Move candidate = hashMove ? hashMove : MOVE_NONE;

    if (!node.evalDone) {
        node.staticEval = evaluate(pos, node, ply, thread);
        node.evalDone = 1;
    }
    const int side = pos.side;
    if (reducedMoveBackfired(node, parent, side)) return alpha;

    int decided = 0;
    const int kingSafetyChange = node.evalTerms.kingSafety[side] - parent.evalTerms.kingSafety[side];
    if (nullAllowed &&
        nullMoveDecides(pos, stack, ply, alpha, beta, depth, pvNode, kingSafetyChange, mateThreat, decided, thread))
        return decided;
    if (internalDeepeningDecides(pos, stack, ply, alpha, beta, depth, pvNode, candidate, decided, thread))
        return decided;

    MoveListEntry* start = node.moveListStart;
    MoveListEntry* end;
    assert(start + MaxMovesPerPly <= thread.moveBufferEnd);
    if (node.inCheck) {
        end = GenerateEvasions(pos, start);
        node.evasionCount = int(end - start);
        if (node.evasionCount == 0) return ply - MATE;
    } else {
        end = GenerateMoves(pos, start);
    }
    assert(end - start <= MaxMovesPerPly);
    stack[ply + 1].moveListStart = end;
    scoreMoves(stack, pos, ply, candidate);

    if (knowledgeOn() && parent.reduced && !node.goodRecapture && node.staticEval <= alpha + 256 &&
        node.staticEval < -parent.staticEval)
        return alpha;

    int best = -INFINITE_SCORE;
    const Futility futility(pos, node, depth, pvNode, mateThreat);

    Move searched[MaxMovesPerPly];
    int n = 0;
    MoveListEntry* cursor = start;
    const bool mayShare = depth >= Parameters.minimumSplitDepth * ONE_PLY && !mateThreat &&
                          iterationNumber <= LastSplitIteration;
    while (alpha < beta) {
        if (thread.abort.load(Relaxed) || cursor >= end) break;
        // Young brothers wait: once a move is searched, idle threads may take the rest.
        if (n >= 1 && mayShare && activeThreads.load(Relaxed) > 1 && idleThreadAvailable(thread.index)) {
            if (split(pos, stack, ply, alpha, beta, pvNode, best, depth, n, cursor, end, thread)) {
                // The cutoff statistics credit the move that failed high and debit ours before it.
                if (best >= beta && n < MaxMovesPerPly) searched[n++] = node.pv[ply];
                break;
            }
        }
        Move m = pickMove(cursor, end, n < SelectedMoves);
        if (!m) break;
        if (!IsLegal(pos, m)) continue;
        searched[n++] = m;

        if (futility.prunes(pos, m, node.staticEval, depth, alpha, n)) continue;

        node.currentMove = m;
        UndoRecord undo;
        MakeMove(pos, undo, m);
        prefetchChild(pos, thread);
        stack[ply + 1].evalDone = 0;
        int extension = moveExtension(node, pos, mateThreat);
        int v = n == 1 ? -search(pos, stack, ply + 1, -beta, -alpha, depth + extension - ONE_PLY, true, thread)
                       : searchLaterMove(pos, stack, ply, m, n, depth, extension, pvNode,
                                         NodeWindow{alpha, beta}, thread);
        UnmakeMove(pos, undo, m);

        if (v > best) {
            best = v;
            if (v > alpha) {
                alpha = v;
                updatePv(ply, stack);
                if (v >= beta) recordCutoff(side, m, stack, ply, depth, v);
            }
        }
    }

    if (n == 0) return 0;  // no legal move and not in check: stalemate
    if (stopping(thread)) return 0;
    storeNodeResult(pos, node.pv[ply], best, alpha0, alpha, beta, depth, mateThreat, ply);
    if (best == -INFINITE_SCORE) return alpha0;
    if (best >= beta) recordCutoffStats(pos, node.pv[ply], searched, n);
    return alpha;
}

}  // namespace brinz
