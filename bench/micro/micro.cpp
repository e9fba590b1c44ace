// Micro-benchmarks of the hot routines on fixed positions, with Google Benchmark.
// Each figure is per call over the whole position set; compare runs of one build with
// another, on an otherwise quiet machine, or count instructions under callgrind.
// Usage: bench-micro [--benchmark_filter=REGEX] [other Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/generate.h"
#include "board/keys.h"
#include "board/make_move.h"
#include "board/position.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "options/options.h"
#include "search/hash.h"
#include "../bench_support.h"

using namespace brinz;

namespace {

const char* const Fens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkb1r/1p2pppp/p2p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
    "rnbqkb1r/pppp1ppp/8/4P3/6n1/7P/PPPNPPP1/R1BQKBNR b KQkq - 0 1",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "3q2k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - 0 1",
};
// A king in check in each, for the evasion generator.
const char* const CheckFens[] = {
    "rnbqkbnr/ppp2ppp/8/1B1pp3/4P3/8/PPPP1PPP/RNBQK1NR b KQkq - 1 3",
    "r3k2r/p1ppqpb1/bn2pnp1/1B1PN3/1p2P3/2N2Q1p/PPPB1PPP/R3K2R b KQkq - 0 1",
    "4r1k1/5ppp/8/8/8/8/5PPP/4QK2 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/6P1/4P3/8 b - - 0 1",
};

struct Fixture {
    std::vector<Position> positions, checks;
    std::unique_ptr<PawnTable> pawns;
    Fixture() {
        bench::initialiseRoutines();
        pawns = NewPawnTable();
        for (const char* fen : Fens) positions.push_back(bench::benchPosition(fen));
        for (const char* fen : CheckFens) checks.push_back(bench::benchPosition(fen));
    }
};

const Fixture& Setup() {
    static Fixture fixture;
    return fixture;
}

void BM_Evaluate(benchmark::State& state) {
    const Fixture& f = Setup();
    for (auto _ : state)
        for (const Position& pos : f.positions) {
            EvalExtras extras;
            uint8_t tablebase;
            benchmark::DoNotOptimize(Evaluate(pos, extras, f.pawns.get(), tablebase));
        }
}
BENCHMARK(BM_Evaluate);

// Each call analyses the pawns afresh (the pawn table is bypassed).
void BM_ComputePawnEntry(benchmark::State& state) {
    const Fixture& f = Setup();
    for (auto _ : state)
        for (const Position& pos : f.positions) {
            PawnEntry entry;
            ComputePawnEntry(pos, entry);
            benchmark::DoNotOptimize(entry);
        }
}
BENCHMARK(BM_ComputePawnEntry);

void BM_ScorePassedPawns(benchmark::State& state) {
    const Fixture& f = Setup();
    std::vector<PawnEntry> entries(f.positions.size());
    for (size_t i = 0; i < entries.size(); ++i) ComputePawnEntry(f.positions[i], entries[i]);
    for (auto _ : state)
        for (size_t i = 0; i < entries.size(); ++i) {
            int passed[2] = {0, 0}, kingProx[2] = {0, 0};
            ScorePassedPawns(f.positions[i], entries[i], passed, kingProx);
            benchmark::DoNotOptimize(passed);
        }
}
BENCHMARK(BM_ScorePassedPawns);

void BM_KingProximityToPawns(benchmark::State& state) {
    const Fixture& f = Setup();
    for (auto _ : state)
        for (const Position& pos : f.positions) {
            int kingProx[2] = {0, 0};
            KingProximityToPawns(pos, kingProx);
            benchmark::DoNotOptimize(kingProx);
        }
}
BENCHMARK(BM_KingProximityToPawns);

// The knight, bishop, rook and queen terms of both colours.
void BM_EvaluatePieces(benchmark::State& state) {
    const Fixture& f = Setup();
    for (auto _ : state)
        for (const Position& pos : f.positions)
            for (int c = WHITE; c <= BLACK; ++c) {
                PieceTerms terms;
                EvaluatePieces(pos, c, terms);
                benchmark::DoNotOptimize(terms);
            }
}
BENCHMARK(BM_EvaluatePieces);

void BM_ShelterAt(benchmark::State& state) {
    const Fixture& f = Setup();
    for (auto _ : state)
        for (const Position& pos : f.positions)
            for (int c = WHITE; c <= BLACK; ++c) benchmark::DoNotOptimize(ShelterAt(pos, c, pos.kingSquare(c)));
}
BENCHMARK(BM_ShelterAt);

void BM_KingDangerIndex(benchmark::State& state) {
    const Fixture& f = Setup();
    for (auto _ : state)
        for (const Position& pos : f.positions)
            for (int c = WHITE; c <= BLACK; ++c)
                benchmark::DoNotOptimize(KingDangerIndex(pos, c, ShelterAt(pos, c, pos.kingSquare(c)), 0x81));
}
BENCHMARK(BM_KingDangerIndex);

// Every capture of every position, exchanged out.
void BM_StaticExchange(benchmark::State& state) {
    const Fixture& f = Setup();
    std::vector<std::pair<size_t, Move>> captures;
    MoveListEntry list[MaxMoves];
    for (size_t i = 0; i < f.positions.size(); ++i) {
        MoveListEntry* end = GenerateCaptures(f.positions[i], list);
        for (MoveListEntry* e = list; e < end; ++e) captures.push_back({i, e->move});
    }
    for (auto _ : state)
        for (const auto& [i, m] : captures)
            benchmark::DoNotOptimize(StaticExchange(f.positions[i], MoveTo(m), MoveFrom(m)));
}
BENCHMARK(BM_StaticExchange);

void BM_GenerateMoves(benchmark::State& state) {
    const Fixture& f = Setup();
    MoveListEntry list[MaxMoves];
    for (auto _ : state)
        for (const Position& pos : f.positions) benchmark::DoNotOptimize(GenerateMoves(pos, list));
}
BENCHMARK(BM_GenerateMoves);

void BM_GenerateCaptures(benchmark::State& state) {
    const Fixture& f = Setup();
    MoveListEntry list[MaxMoves];
    for (auto _ : state)
        for (const Position& pos : f.positions) benchmark::DoNotOptimize(GenerateCaptures(pos, list));
}
BENCHMARK(BM_GenerateCaptures);

void BM_GenerateQuietChecks(benchmark::State& state) {
    const Fixture& f = Setup();
    MoveListEntry list[MaxMoves];
    for (auto _ : state)
        for (const Position& pos : f.positions) benchmark::DoNotOptimize(GenerateQuietChecks(pos, list));
}
BENCHMARK(BM_GenerateQuietChecks);

void BM_GenerateEvasions(benchmark::State& state) {
    std::vector<Position> checks = Setup().checks;
    MoveListEntry list[MaxMoves];
    for (auto _ : state)
        for (Position& pos : checks) benchmark::DoNotOptimize(GenerateEvasions(pos, list));
}
BENCHMARK(BM_GenerateEvasions);

// Every legal move of every position, made and unmade.
void BM_MakeUnmakeMove(benchmark::State& state) {
    std::vector<Position> positions = Setup().positions;
    std::vector<std::pair<size_t, Move>> moves;
    MoveListEntry list[MaxMoves];
    for (size_t i = 0; i < positions.size(); ++i) {
        MoveListEntry* end = GenerateMoves(positions[i], list);
        for (MoveListEntry* e = list; e < end; ++e)
            if (IsLegal(positions[i], e->move)) moves.push_back({i, e->move});
    }
    for (auto _ : state)
        for (const auto& [i, m] : moves) {
            UndoRecord undo;
            MakeMove(positions[i], undo, m);
            benchmark::DoNotOptimize(positions[i].key);
            UnmakeMove(positions[i], undo, m);
        }
}
BENCHMARK(BM_MakeUnmakeMove);

// Positions after every legal move of the set: more keys than fit the caches' lines.
std::vector<Position> ChildPositions() {
    std::vector<Position> children;
    MoveListEntry list[MaxMoves];
    for (Position pos : Setup().positions) {
        MoveListEntry* end = GenerateMoves(pos, list);
        for (MoveListEntry* e = list; e < end; ++e)
            if (IsLegal(pos, e->move)) {
                UndoRecord undo;
                MakeMove(pos, undo, e->move);
                children.push_back(pos);
                UnmakeMove(pos, undo, e->move);
            }
    }
    return children;
}

// Half the keys stored, in a 16 MB table.
void BM_probeHash(benchmark::State& state) {
    Setup();
    resizeHash(16);
    clearHash();
    std::vector<Position> children = ChildPositions();
    for (size_t i = 0; i < children.size(); i += 2) storeHash(children[i], 0, 0, 5 * 60, BOUND_EXACT, false, 0);
    for (auto _ : state)
        for (const Position& pos : children) {
            int alpha = -100, beta = 100;
            Move move;
            bool mateThreat, nullAllowed = true;
            benchmark::DoNotOptimize(probeHash(pos, alpha, beta, 4 * 60, move, mateThreat, nullAllowed, 0));
        }
}
BENCHMARK(BM_probeHash);

// Half the keys stored, in a 4 MB cache.
void BM_ProbeEvalCache(benchmark::State& state) {
    Setup();
    ConfigureEvalCache(true, 4);
    std::vector<Position> children = ChildPositions();
    EvalExtras extras{};
    for (size_t i = 0; i < children.size(); i += 2) StoreEvalCache(children[i], 100, extras);
    for (auto _ : state)
        for (const Position& pos : children) {
            int score;
            benchmark::DoNotOptimize(ProbeEvalCache(pos, score, extras));
        }
    ConfigureEvalCache(false, 0);
}
BENCHMARK(BM_ProbeEvalCache);

}  // namespace

BENCHMARK_MAIN();
