// Evaluations per second over a fixed set of positions, with the pawn table warm (every
// probe hits) and cold (every call analyses the pawns afresh).
// Usage: bench-eval_bench [rounds]
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "options/options.h"
#include "platform/clock.h"
#include "bench_support.h"

using namespace brinz;

namespace {

const char* const Fens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1",
    "2kr3r/ppp2ppp/2n5/2b1p3/4P1q1/2NP1N2/PPP2PPP/R2Q1RK1 b - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 0 1",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/3P4/1P1BPN2/PBPN1PPP/R2Q1RK1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/1p6/p1p1k3/P1P5/1P2K3/8/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/5pk1/6p1/8/8/4BPP1/6K1/8 w - - 0 1",
    "2r3k1/1P6/8/8/8/8/6K1/1R6 w - - 0 1",
    "3q2k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - 0 1",
    "r4rk1/pp3ppp/8/3p4/3P4/8/PP3PPP/R4RK1 w - - 0 1",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - - 0 1",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
};
constexpr int FenCount = int(sizeof Fens / sizeof Fens[0]);

// Evaluates every position `rounds` times; returns evaluations per second.
double Measure(const Position* positions, int rounds, PawnTable* pawns, long long& checksum) {
    int64_t start = tickCount();
    for (int round = 0; round < rounds; ++round)
        for (int i = 0; i < FenCount; ++i) {
            EvalExtras extras;
            uint8_t tablebase;
            checksum += Evaluate(positions[i], extras, pawns, tablebase);
        }
    int64_t elapsed = tickCount() - start;
    return elapsed > 0 ? double(rounds) * FenCount * 1000.0 / double(elapsed) : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 50000;
    if (rounds < 1) rounds = 1;
    bench::initialiseRoutines();
    // Warm runs probe a pawn table; cold ones analyse the pawns on every call.
    std::unique_ptr<PawnTable> pawns = NewPawnTable();
    if (!pawns) return 1;
    static Position positions[FenCount];
    for (int i = 0; i < FenCount; ++i) positions[i] = bench::benchPosition(Fens[i]);

    long long checksum = 0;
    Measure(positions, 1, pawns.get(), checksum);  // fills the table
    double warm = Measure(positions, rounds, pawns.get(), checksum);
    double cold = Measure(positions, rounds, nullptr, checksum);
    std::printf("positions %d, rounds %d, checksum %lld\n", FenCount, rounds, checksum);
    std::printf("pawn table warm: %.0f evaluations/s\n", warm);
    std::printf("pawn table cold: %.0f evaluations/s\n", cold);
    return 0;
}
