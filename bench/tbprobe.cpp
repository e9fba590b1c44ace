// Tablebase probes per second: on hits (every block already cached) and on misses
// (compressed files, a 1 MiB cache far smaller than the tables, so most probes load and
// decode a block), with one thread and with two.
// Usage: bench-tbprobe [DIR]   DIR holds plain/ and compressed/ table directories; by
// default the 4-man tables the tests leave beside this program (test-tables/4), else the
// 3-man ones (test-tables/3), else fresh 3-man tables made with brinz-tbgen.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/attacks.h"
#include "board/keys.h"
#include "board/position.h"
#include "platform/clock.h"
#include "tablebases/block_cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

using namespace brinz;

namespace {

namespace fs = std::filesystem;

constexpr int64_t MinimumMilliseconds = 1500;
constexpr size_t PositionCount = 4000;

std::string findTables(const char* program) {
    const fs::path here = fs::path(program).parent_path();
    for (const char* set : {"test-tables/4", "test-tables/3"})
        if (fs::exists(here / set / "complete")) return (here / set).string();
    const fs::path dir = fs::temp_directory_path() / "brinz-bench-tbprobe";
    fs::create_directories(dir / "plain");
    fs::create_directories(dir / "compressed");
    const std::string tools = here.string();
    std::string command = "'" + tools + "/brinz-tbgen' -o '" + (dir / "plain").string() + "' all3 >/dev/null";
    if (std::system(command.c_str()) != 0) return "";
    for (const auto& entry : fs::directory_iterator(dir / "plain")) {
        command = "'" + tools + "/brinz-tbcompress' -o '" + (dir / "compressed").string() + "' '" +
                  entry.path().string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) return "";
    }
    return dir.string();
}

// Random legal positions of the materials the directory holds in both forms.
std::vector<Position> makePositions(const std::string& compressed) {
    const std::vector<std::vector<int>> materials4 = {{WHITE_KING, BLACK_KING, WHITE_QUEEN, BLACK_ROOK},
                                                      {WHITE_KING, BLACK_KING, WHITE_PAWN, BLACK_PAWN}};
    const std::vector<std::vector<int>> materials3 = {{WHITE_KING, BLACK_KING, WHITE_QUEEN},
                                                      {WHITE_KING, BLACK_KING, WHITE_ROOK},
                                                      {WHITE_KING, BLACK_KING, BLACK_PAWN}};
    const auto& materials = fs::exists(compressed + "/kpkp.nbw.emd") ? materials4 : materials3;
    std::mt19937 random(3);
    std::vector<Position> positions;
    Position pos;
    while (positions.size() < PositionCount) {
        const std::vector<int>& codes = materials[random() % materials.size()];
        for (int sq = 0; sq < 120; ++sq)
            if (OnBoard(sq)) pos.board[sq] = EMPTY;
        bool clash = false;
        for (int code : codes) {
            const int sq = SquareFrom64(int(random() % 64));
            clash |= pos.board[sq] != EMPTY || (TypeOf(code) == PAWN && (RankOf(sq) == 0 || RankOf(sq) == 7));
            pos.board[sq] = uint8_t(code);
        }
        if (clash) continue;
        RebuildPieceLists(pos);
        CountPieces(pos);
        pos.side = int(random() % 2);
        pos.xside = pos.side ^ 1;
        if (IsAttacked(pos, pos.kingSquare(pos.xside), pos.side)) continue;
        positions.push_back(pos);
    }
    return positions;
}

struct Result {
    double probesPerSecond;     // wall clock, all threads together
    double probesPerCpuSecond;  // process time: steadier on a shared machine
    double loadsPerProbe;
};

// Probes the positions round after round on `threads` threads until enough time has passed.
Result measure(const std::vector<Position>& positions, int threads) {
    std::atomic<bool> stop{false};
    std::vector<uint64_t> probes(size_t(threads), 0);
    const uint64_t loadsBefore = cacheLoadCount();
    const std::clock_t cpuStart = std::clock();
    const int64_t start = tickCount();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            int score = 0;
            uint64_t found = 0;
            // Each thread walks the list from its own starting point.
            for (size_t i = size_t(t) * positions.size() / size_t(threads); !stop.load(std::memory_order_relaxed);) {
                for (int k = 0; k < 256; ++k) {
                    found += probeTablebase(positions[i], 0, score);
                    if (++i == positions.size()) i = 0;
                }
                probes[size_t(t)] += 256;
            }
            if (found == 0) std::printf("nothing found\n");
        });
    while (tickCount() - start < MinimumMilliseconds) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    for (std::thread& worker : workers) worker.join();
    const int64_t elapsed = tickCount() - start;
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    uint64_t total = 0;
    for (uint64_t p : probes) total += p;
    return {double(total) * 1000.0 / double(elapsed), double(total) / cpuSeconds,
            double(cacheLoadCount() - loadsBefore) / double(total)};
}

}  // namespace

int main(int argc, char** argv) {
    InitKeys();
    InitAttacks();
    const std::string root = argc > 1 ? argv[1] : findTables(argv[0]);
    if (root.empty()) {
        std::fprintf(stderr, "bench-tbprobe: no tables (brinz-tbgen and brinz-tbcompress must sit beside me)\n");
        return 1;
    }
    const std::string plain = root + "/plain", compressed = root + "/compressed";
    const std::vector<Position> positions = makePositions(compressed);
    std::printf("tables: %s, %zu positions\n", root.c_str(), positions.size());

    const struct {
        const char* name;
        const std::string& directory;
        uint32_t megabytes;
    } setups[] = {{"hits, plain, cache warm", plain, 128},
                  {"hits, compressed, cache warm", compressed, 128},
                  {"misses, compressed, 1 MiB cache", compressed, 1}};
    for (const auto& setup : setups)
        for (int threads : {1, 2}) {
            if (initTablebases(setup.megabytes, setup.directory.c_str()) == 0) {
                std::fprintf(stderr, "bench-tbprobe: nothing registered in %s\n", setup.directory.c_str());
                return 1;
            }
            // Warms the cache (and opens the files) before the count.
            for (const Position& pos : positions) {
                int score;
                probeTablebase(pos, 0, score);
            }
            const Result result = measure(positions, threads);
            std::printf("%-32s %d thread%s %10.0f probes/s %10.0f per CPU second  %.3f block loads per probe\n",
                        setup.name, threads, threads > 1 ? "s" : " ", result.probesPerSecond,
                        result.probesPerCpuSecond, result.loadsPerProbe);
        }
    return 0;
}
