#include "search/ordering.h"

#include "board/exchange.h"

namespace brinz {

std::atomic<uint32_t> History[2 * 4096];
CutoffCounters CutoffStats[14 * 64];

namespace {

// 17 bits: to, from and promotion, all a table entry keeps of a move.
constexpr Move LowBits = 0x1FFFF;

Move previousMove(const PlyRecord* stack, int ply) { return ply > 0 ? stack[ply - 1].currentMove : MOVE_NONE; }

// A previous move that is a real move (not null, not none) has a to-square to recapture on.
bool isRealMove(Move m) { return m != MOVE_NULL && m != MOVE_NONE; }

// The table move, known only by its low bits, is the full move whose low bits match.
bool isCandidate(Move m, Move candidate) { return isRealMove(candidate) && (m & LowBits) == (candidate & LowBits); }

}  // namespace

void clearHistory() {
    for (auto& h : History) h.store(0, Relaxed);
}

void clearCutoffStats() {
    for (auto& c : CutoffStats) {
        c.cutoffs.store(0, Relaxed);
        c.failures.store(0, Relaxed);
    }
}

void scoreMoves(PlyRecord* stack, const Position& pos, int ply, Move candidate) {
    PlyRecord& node = stack[ply];
    Move previous = previousMove(stack, ply);
    bool recaptureOpen = ply > 0 && isRealMove(previous);
    int previousTo = recaptureOpen ? MoveTo(previous) : -1;
    for (MoveListEntry* e = node.moveListStart; e < stack[ply + 1].moveListStart; ++e) {
        Move m = e->move;
        if (isCandidate(m, candidate)) {
            e->score = CandidateScore;
            if (MoveTo(m) == previousTo && See(pos, m) > 0) node.goodRecapture = 1;
        } else if (m == node.mateKiller) {
            e->score = MateKillerScore;
        } else if (MovePromotion(m) == QUEEN && See(pos, m) >= 0) {
            e->score = GoodRecaptureBase + MoveCaptured(m);
        } else if (MoveCaptured(m)) {
            int s = See(pos, m);
            if (s > 0 && MoveTo(m) == previousTo) {
                e->score = GoodRecaptureBase + s;
                node.goodRecapture = 1;
            } else {
                e->score = s >= 0 ? CaptureBase + s : s;
            }
        } else if (m == node.killer1) {
            e->score = Killer1Score;
        } else if (m == node.killer2) {
            e->score = Killer2Score;
        } else if (ply >= 2 && m == stack[ply - 2].killer1) {
            e->score = GrandKiller1Score;
        } else if (ply >= 2 && m == stack[ply - 2].killer2) {
            e->score = GrandKiller2Score;
        } else {
            e->score = int32_t(History[historyIndex(pos.side, m)].load(Relaxed));
        }
    }
}

void scoreQuiescenceMoves(PlyRecord* stack, const Position& pos, int ply, Move candidate) {
    if (stack[ply].inCheck) return scoreMoves(stack, pos, ply, candidate);
    Move previous = previousMove(stack, ply);
    int previousTo = ply > 0 && isRealMove(previous) ? MoveTo(previous) : -1;
    for (MoveListEntry* e = stack[ply].moveListStart; e < stack[ply + 1].moveListStart; ++e) {
        Move m = e->move;
        if (isCandidate(m, candidate))
            e->score = QuiescenceCandidateScore;
        else if (MovePromotion(m) == QUEEN && See(pos, m) >= 0)
            e->score = QuiescencePromotionBase + MoveCaptured(m);
        else if (MoveCaptured(m))
            e->score = MoveTo(m) == previousTo
                           ? QuiescenceRecaptureBase - MovePiece(m)
                           : QuiescenceCaptureBase + PieceValue[MoveCaptured(m)] - MovePiece(m);
        else
            e->score = 0;
    }
}

Move pickMove(MoveListEntry*& cursor, MoveListEntry* end, bool select) {
    if (select) {
        MoveListEntry* best = nullptr;
        int32_t bestScore = PickFloor;
        for (MoveListEntry* e = cursor; e < end; ++e)
            if (e->score > bestScore) {
                bestScore = e->score;
                best = e;
            }
        if (!best) return 0;
        MoveListEntry chosen = *best;
        *best = *cursor;
        *cursor = chosen;
    }
    return (cursor++)->move;
}

void recordCutoff(int side, Move m, PlyRecord* stack, int ply, int depth, int score) {
    PlyRecord& node = stack[ply];
    if (isQuiet(m)) {
        std::atomic<uint32_t>& counter = History[historyIndex(side, m)];
        uint32_t value = counter.load(Relaxed) + uint32_t(depth);
        counter.store(value, Relaxed);
        if (value >= HistoryLimit)
            for (auto& h : History) h.store(h.load(Relaxed) >> 1, Relaxed);
        if (m != node.killer1) {
            node.killer2 = node.killer1;
            node.killer1 = m;
        }
    }
    if (score == MATE - 1 - ply) node.mateKiller = m;
}

void recordCutoffStats(const Position& pos, Move best, const Move* searched, int searchedCount) {
    if (!isQuiet(best)) return;
    auto bump = [](std::atomic<uint32_t>& c) { c.store(c.load(Relaxed) + 1, Relaxed); };
    bump(cutoffCounters(pos.board[MoveFrom(best)], MoveTo(best)).cutoffs);
    for (int i = 0; i + 1 < searchedCount; ++i)
        if (isQuiet(searched[i])) bump(cutoffCounters(pos.board[MoveFrom(searched[i])], MoveTo(searched[i])).failures);
}

}  // namespace brinz
