// Perft throughput on one thread, in million nodes per second. The last ply is counted
// without making its moves, so the figure measures generation and legality testing.
// Usage: bench-perft [repeats]   (each case runs `repeats` times, the best time counts)
// Both wall-clock and process CPU time are shown: on a shared machine the CPU figure is the
// one that reflects the code.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>

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
        int64_t bestWall = -1;
        double bestCpu = -1;
        uint64_t nodes = 0;
        for (int r = 0; r < repeats; ++r) {
            int64_t start = tickCount();
            std::clock_t cpuStart = std::clock();
            nodes = Perft(pos, c.depth);
            double cpu = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
            int64_t wall = tickCount() - start;
            if (bestWall < 0 || wall < bestWall) bestWall = wall;
            if (bestCpu < 0 || cpu < bestCpu) bestCpu = cpu;
        }
        bool right = nodes == c.nodes;
        allRight = allRight && right;
        auto mnps = [nodes](double ms) { return ms > 0 ? double(nodes) / ms / 1000.0 : 0.0; };
        std::printf("%-9s depth %d  %11" PRIu64 " nodes %s  wall %6" PRId64 " ms %6.1f Mnps  cpu %6.0f ms %6.1f Mnps\n",
                    c.name, c.depth, nodes, right ? "(right)" : "(WRONG)", bestWall, mnps(double(bestWall)), bestCpu,
                    mnps(bestCpu));
    }
    return allRight ? 0 : 1;
}
