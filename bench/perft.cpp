// Perft throughput on one thread, in million nodes per second. The last ply is counted
// without making its moves, so the figure measures generation and legality testing.
// Usage: bench-perft [repeats]   (each case runs `repeats` times, the best time counts)
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/perft.h"
#include "board/position.h"
#include "platform/clock.h"

namespace {

struct BenchCase {
    const char* name;
    const char* fen;
    int depth;
    uint64_t nodes;
};

const BenchCase Cases[] = {
    {"start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6, 119060324},
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5, 193690690},
};

}  // namespace

int main(int argc, char** argv) {
    using namespace brinz;
    int repeats = argc > 1 ? std::atoi(argv[1]) : 1;
    if (repeats < 1) repeats = 1;
    InitKeys();
    InitAttacks();
    bool allRight = true;
    for (const BenchCase& c : Cases) {
        Position pos;
        if (!SetPositionFromFen(pos, c.fen)) return 1;
        int64_t best = -1;
        uint64_t nodes = 0;
        for (int r = 0; r < repeats; ++r) {
            int64_t start = tickCount();
            nodes = Perft(pos, c.depth);
            int64_t elapsed = tickCount() - start;
            if (best < 0 || elapsed < best) best = elapsed;
        }
        bool right = nodes == c.nodes;
        allRight = allRight && right;
        double mnps = best > 0 ? double(nodes) / double(best) / 1000.0 : 0.0;
        std::printf("%-9s depth %d  %11" PRIu64 " nodes %s  %6" PRId64 " ms  %6.1f Mnps\n", c.name, c.depth, nodes,
                    right ? "(right)" : "(WRONG)", best, mnps);
    }
    return allRight ? 0 : 1;
}
