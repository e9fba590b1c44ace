#pragma once

#include <atomic>
#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "search/search.h"

namespace brinz {

// Score bands of the main pass: larger is searched earlier.
inline constexpr int32_t CandidateScore = 1000000000;
inline constexpr int32_t MateKillerScore = 999999999;
inline constexpr int32_t GoodRecaptureBase = 100000000;  // + SEE; also queen promotions + captured type
inline constexpr int32_t CaptureBase = 90000000;         // + SEE, for SEE >= 0
inline constexpr int32_t Killer1Score = 90000000;
inline constexpr int32_t Killer2Score = 89999999;
inline constexpr int32_t GrandKiller1Score = 89999998;
inline constexpr int32_t GrandKiller2Score = 89999997;
// A history counter reaching this halves the table, so history never reaches the killer bands.
inline constexpr uint32_t HistoryLimit = 89999997;
// Quiescence bands.
inline constexpr int32_t QuiescenceCandidateScore = 100000000;
inline constexpr int32_t QuiescencePromotionBase = 10000000;
inline constexpr int32_t QuiescenceRecaptureBase = 10000000;
inline constexpr int32_t QuiescenceCaptureBase = 9000000;
// pickMove never returns a move scored at or below this; no move is ever scored so low.
inline constexpr int32_t PickFloor = -10000000;

// Counts of cutoffs by quiet moves, by side * 4096 + from64 * 64 + to64. Shared without
// a lock; lost updates are accepted.
extern std::atomic<uint32_t> History[2 * 4096];

// Per moving piece code (1..14) and target square: cutoffs by a quiet move and quiet
// moves searched before another move cut off.
struct CutoffCounters {
    std::atomic<uint32_t> cutoffs, failures;
};
extern CutoffCounters CutoffStats[14 * 64];

inline int historyIndex(int side, Move m) { return side * 4096 + Index64(MoveFrom(m)) * 64 + Index64(MoveTo(m)); }
inline CutoffCounters& cutoffCounters(int code, int to) { return CutoffStats[(code - 1) * 64 + Index64(to)]; }

inline bool isQuiet(Move m) { return MoveCaptured(m) == 0 && MovePromotion(m) == 0; }

void clearHistory();
void clearCutoffStats();

// Scores the list of `ply` for a full-width node or a node in check. `candidate` (hash
// or internal-deepening move, MOVE_NONE for none) is matched by its 17 bits, since the
// table keeps no more. May set the node's goodRecapture.
void scoreMoves(PlyRecord* stack, const Position& pos, int ply, Move candidate);
// Scores a quiescence capture list (most valuable victim first); hands nodes in check to scoreMoves.
void scoreQuiescenceMoves(PlyRecord* stack, const Position& pos, int ply, Move candidate);

// Next move from `cursor` (advanced by one). With `select`, brings the best remaining
// move forward first and returns 0 when none is left; without it the caller has made
// sure the cursor is before `end`.
Move pickMove(MoveListEntry*& cursor, MoveListEntry* end, bool select);

// History, killers and mate killer for move m that scored at least beta at `ply`.
void recordCutoff(int side, Move m, PlyRecord* stack, int ply, int depth, int score);
// At a node that failed high through `best`: credits a quiet best move and debits the
// quiet moves searched before it. Reads piece codes from the board after the moves are unmade.
void recordCutoffStats(const Position& pos, Move best, const Move* searched, int searchedCount);

}  // namespace brinz
