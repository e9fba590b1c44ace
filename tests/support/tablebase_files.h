#pragma once

// Table files for tablebase tests: scratch directories, synthetic files, and real tables made
// by brinz-tbgen and brinz-tbcompress once per build tree.

#include <cstdint>
#include <string>
#include <vector>

namespace brinz::support {

// An empty directory of this test's own (any earlier content is removed). No trailing "/".
std::string freshDirectory(const std::string& name);

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readBytes(const std::string& path);

// `size` bytes whose values follow the offset, so any misplaced read shows.
std::vector<uint8_t> patternBytes(size_t size, int seed = 0);

// Runs brinz-<tool> from the build tree with `arguments`, its output discarded; the exit status.
int runTool(const std::string& tool, const std::string& arguments);

// Compresses `plainFile` into `directory` (as <name>.emd); false on failure.
bool compressInto(const std::string& plainFile, const std::string& directory);

// Directories of real tables, generated on first use into the build tree and kept there:
// every 3-man table and the 4-man tables of FourManTables, plain in one directory and
// compressed in the other. Empty when the tools failed.
inline const char* const FourManTables = "kqkr kpkp";
const std::string& plainTableDirectory();
const std::string& compressedTableDirectory();

}  // namespace brinz::support
