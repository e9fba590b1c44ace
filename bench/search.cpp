// Fixed-depth search of a fixed set of positions on one thread, each from an empty 16 MB
// table. The node total is the search's signature: it changes only when the search or
// the evaluation does. Wall-clock and process CPU time are both shown: on a shared machine
// the CPU figure is the steadier one. Usage: bench-search [depth]
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "bench_support.h"

namespace {

const char* const Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R b KQkq - 2 5",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/R2Q1RK1 w - - 0 10",
    "2rq1rk1/pb2bppp/1pn1pn2/2pp4/2PP4/1PNBPN2/PB1Q1PPP/2R2RK1 w - - 4 12",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPP3PP/R2Q1R1K w - - 0 14",
    "2kr3r/pp1q1ppp/2n1bn2/2bpp3/4P3/2PP1N2/PP1NBPPP/R1BQ1RK1 w - - 0 10",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
    "r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PPR/2KR4 w - - 0 1",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 1",
    "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 0",
    "3r1rk1/p4ppp/1pp1b3/8/2P5/1P4P1/P3PPBP/2RR2K1 w - - 0 20",
    "8/8/4k3/8/2p5/8/B2K4/8 w - - 0 1",
    "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - - 0 40",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/8/1p1k4/p1p5/P1P2K2/1P6/8/8 w - - 0 45",
    "4r1k1/1p3ppp/p7/2Pq4/3Q4/8/PP3PPP/4R1K1 w - - 0 25",
    "2r3k1/5ppp/4p3/1p1pP3/1P1P4/2R2P2/5KPP/8 w - - 0 30",
    "8/4kp2/4p3/3pP1p1/3P2P1/5K2/8/8 w - - 0 50",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
    "8/8/8/8/4k3/8/3Q4/6K1 w - - 0 1",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/3P1N2/PPP2PPP/RNBQK2R w KQkq - 1 5",
    "rnbqkb1r/ppp1pppp/5n2/3p4/2PP4/8/PP2PPPP/RNBQKBNR w KQkq - 1 3",
};

}  // namespace

int main(int argc, char** argv) {
    using namespace brinz;
    int depth = argc > 1 ? std::atoi(argv[1]) : 9;
    bench::initialise(16);
    uint64_t totalNodes = 0;
    int64_t start = tickCount();
    std::clock_t cpuStart = std::clock();
    for (const char* fen : Positions) {
        if (!bench::searchFen(fen, depth, 0)) {
            std::printf("bad position: %s\n", fen);
            return 1;
        }
        totalNodes += nodeCount.load();
    }
    int64_t elapsed = tickCount() - start;
    double cpu = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("positions %d depth %d\n", int(sizeof Positions / sizeof *Positions), depth);
    std::printf("nodes %" PRIu64 "\n", totalNodes);
    std::printf("time %" PRId64 " ms\n", elapsed);
    std::printf("nps %" PRIu64 "\n", elapsed > 0 ? totalNodes * 1000 / uint64_t(elapsed) : 0);
    std::printf("cpu %.0f ms, nps %.0f\n", cpu, cpu > 0 ? double(totalNodes) * 1000.0 / cpu : 0.0);
    return 0;
}
