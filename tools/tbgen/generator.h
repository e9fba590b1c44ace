#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brinz::tbgen {

// Tables this generator builds: every signature of at most four men (tables 1 to 35).
inline constexpr int MaxGeneratedTable = 35;

// The tables `table` needs first: those its captures and promotions lead to, smaller
// ones before the tables that use them, `table` itself last.
std::vector<int> generationOrder(const std::vector<int>& tables);

struct GenerationReport {
    uint64_t positions[2] = {};  // legal positions by side to move of the stored orientation
    int longestWin = 0;          // moves, over both sides
    int mismatches = 0;          // nodes the check pass found wrong (with `check`)
};

// Solves `table` by retrograde analysis, reading the values of the tables its captures and
// promotions lead to from memory (generated or loaded before). With `check`, every value is
// recomputed afterwards from its successors and compared. Values stay in memory for the
// tables generated later.
GenerationReport generateTable(int table, bool check);

// Keeps the values of a table file already on disk instead of generating it; false when
// the files are missing or of the wrong size.
bool loadTable(int table, const std::string& directory);

// Writes DIR/name.nbw and, unless the table is symmetric, DIR/name.nbb: one byte per index,
// 127 for indices no legal position reaches. False when a file cannot be written.
bool writeTable(int table, const std::string& directory);

// Drops a finished table's values.
void releaseTable(int table);

}  // namespace brinz::tbgen
