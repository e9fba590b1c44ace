// Exhaustive checks of the tablebase index functions, too slow for the unit tests, and
// their speed.
//   bench-tablebase_index walk    every legal 3- and 4-man position, all symmetries
//   bench-tablebase_index tails   the last king pair of every 5- and 6-man table
//   bench-tablebase_index speed   nanoseconds per index call
// With no argument all three run; a second argument keeps one table ("tails krpkp").
// The exit status is 1 when a check fails.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../tests/support/tablebase_positions.h"
#include "platform/clock.h"
#include "tablebases/enumeration.h"
#include "tablebases/index.h"

using namespace brinz;
using support::TableMen;
using support::TbPosition;

namespace {

int menOf(const TableDescriptor& d) { return int(std::strlen(d.name)); }

bool pawnsOnBothSides(const TableMen& men) { return men.count[0][0] > 0 && men.count[1][0] > 0; }

// A file ends right after its largest legal index. With pawns on both sides en-passant
// positions follow the rule's range, so trailing illegal positions of the range stay.
bool endsRight(const TableMen& men, uint64_t largest, uint64_t range, uint64_t size) {
    return pawnsOnBothSides(men) ? largest < range : largest + 1 == size;
}

bool onMainDiagonal(int s) { return support::squareFile(s) == support::squareRank(s); }

// Every legal position in the index frame: stored, never sharing an index, matched by all
// its symmetric images and by the colour-reversed probe; the file ends after the largest.
bool walk(int table, int side) {
    const TableDescriptor& d = tableDescriptors[table];
    TableMen men = support::tableMen(d.name);
    uint64_t range = indexRange(table, side);
    std::vector<uint8_t> seen(range / 8 + 1);
    uint64_t visited = 0, failures = 0, largest = 0;
    support::forEachLegalPosition(
        men, side, [&](int k, int o) { return support::framedKings(men.pawns, k, o); },
        [&](const TbPosition& p) {
            ++visited;
            uint32_t index = support::tbIndex(table, side, p);
            if (index == TB_INDEX_NONE || (seen[index / 8] >> (index % 8) & 1)) {
                ++failures;
                return;
            }
            seen[index / 8] |= uint8_t(1 << (index % 8));
            if (index > largest) largest = index;
            failures += support::tbIndex(table, side, support::transformPosition(p, men, 2), 1) != index;
            int k = p.list[side].square[SLOT_KING], o = p.list[1 - side].square[SLOT_KING];
            bool diagonalKings = !men.pawns && onMainDiagonal(k) && onMainDiagonal(o);
            uint32_t reflected = diagonalKings ? support::tbIndex(table, side, support::transformPosition(p, men, 4)) : 0;
            for (int symmetry = 1; symmetry < (men.pawns ? 2 : 8); ++symmetry) {
                uint32_t image = support::tbIndex(table, side, support::transformPosition(p, men, symmetry));
                failures += image != (diagonalKings && symmetry >= 4 ? reflected : index);
            }
        });
    bool ok = failures == 0 && endsRight(men, largest, range, d.size[side]);
    std::printf("%-8s %s %10llu positions  largest %10llu  stored %10u  %s\n", d.name, side ? "black" : "white",
                (unsigned long long)visited, (unsigned long long)largest, d.size[side], ok ? "ok" : "FAILED");
    return ok;
}

// The largest legal index lies in the last king pair numbered. The last pair has the king to move on d4 and the other on h8 (pawnless), d8 and
// h8 (pawns), or d1 and h1 when the group is ranked upside down.
bool tail(int table, int side) {
    const TableDescriptor& d = tableDescriptors[table];
    TableMen men = support::tableMen(d.name);
    uint64_t largest = 0, visited = 0;
    bool stored = true;
    support::forEachLegalPosition(
        men, side,
        [&](int k, int o) { return men.pawns ? (k == 59 && o == 63) || (k == 3 && o == 7) : k == 27 && o == 63; },
        [&](const TbPosition& p) {
            ++visited;
            uint32_t index = support::tbIndex(table, side, p);
            stored &= index != TB_INDEX_NONE;
            if (index != TB_INDEX_NONE && index > largest) largest = index;
        });
    bool ok = stored && endsRight(men, largest, indexRange(table, side), d.size[side]);
    std::printf("%-8s %s %10llu positions  largest %10llu  stored %10u  %s\n", d.name, side ? "black" : "white",
                (unsigned long long)visited, (unsigned long long)largest, d.size[side], ok ? "ok" : "FAILED");
    return ok;
}

void speed() {
    // A spread of legal positions of a few tables, indexed over and over.
    const char* const tables[] = {"kqk", "kpkp", "kbnk", "kppkn", "kbnnkn", "kqqqkq"};
    struct Probe {
        int table, side;
        TbPosition p;
    };
    std::vector<Probe> probes;
    for (int t = 1; t < TableCount; ++t)
        for (const char* name : tables)
            if (std::strcmp(tableDescriptors[t].name, name) == 0)
                for (int side = 0; side < 2; ++side) {
                    TableMen men = support::tableMen(name);
                    uint64_t n = 0;
                    support::forEachLegalPosition(
                        men, side, [](int k, int o) { return (k * 64 + o) % 97 == 0; },
                        [&](const TbPosition& p) {
                            if (n++ % 32771 == 0) probes.push_back({t, side, p});
                        });
                }
    const int rounds = 2000;
    uint64_t sum = 0;
    int64_t start = tickCount();
    for (int round = 0; round < rounds; ++round)
        for (const Probe& probe : probes)
            sum += tableDescriptors[probe.table].indexFunction[probe.side](probe.p.list[0], probe.p.list[1],
                                                                             NO_EN_PASSANT, 0);
    int64_t elapsed = tickCount() - start;
    double calls = double(rounds) * double(probes.size());
    std::printf("%.0f index calls in %lld ms: %.1f ns per call (checksum %llu)\n", calls, (long long)elapsed,
                elapsed * 1e6 / calls, (unsigned long long)sum);
}

}  // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "all";
    const char* only = argc > 2 ? argv[2] : nullptr;
    buildEnumerationTables();
    bool ok = true;
    for (int t = 1; t < TableCount; ++t)
        for (int side = 0; side < 2; ++side) {
            if (only && std::strcmp(only, tableDescriptors[t].name) != 0) continue;
            int men = menOf(tableDescriptors[t]);
            if ((what == "walk" || what == "all") && men <= 4) ok &= walk(t, side);
            if ((what == "tails" || what == "all") && men >= 5) ok &= tail(t, side);
        }
    if (what == "speed" || what == "all") speed();
    std::printf("%s\n", ok ? "all checks passed" : "SOME CHECKS FAILED");
    return ok ? 0 : 1;
}
