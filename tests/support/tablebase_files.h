#pragma once

// Table files for tablebase tests: scratch directories, synthetic files, and real tables made
// by brinz-tbgen and brinz-tbcompress once per build tree.

#include <cstdint>
#include <string>
#include <vector>

namespace brinz::support {

// An empty directory of this process's own (any earlier content is removed). No trailing "/".
std::string freshDirectory(const std::string& name);

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readBytes(const std::string& path);

// `size` bytes whose values follow the offset, so any misplaced read shows.
std::vector<uint8_t> patternBytes(size_t size, int seed = 0);

// Runs brinz-<tool> from the build tree with `arguments` (a shell word list), its output
// discarded; the exit status.
int runTool(const std::string& tool, const std::string& arguments);

// Compresses `plainFile` into `directory` (as <name>.emd); false on failure.
bool compressInto(const std::string& plainFile, const std::string& directory);

// Real tables, generated (with brinz-tbgen's check pass) on first use into the build tree and
// kept there for later runs; plain in one directory, compressed in the other.
struct TableSet {
    std::string plain, compressed;  // both empty when the set is not at hand
    std::string reason;             // why not
};
// Every 3-man table.
const TableSet& threeManTables();
// kqkr and kpkp (compressed), with every table they lead to (plain). Generating them takes
// about a minute, so only optimised builds without sanitizers do it.
const TableSet& fourManTables();

}  // namespace brinz::support
