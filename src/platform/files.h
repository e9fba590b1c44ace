#pragma once

#include <cstdio>

namespace brinz {

// Opens `path` for binary reading only when it is a regular file: a directory, device or
// FIFO that bears the name is never opened (opening a FIFO would wait for a writer
// forever). Returns nullptr otherwise; `notRegular`, when given, is set to whether
// something other than a regular file stands at `path`.
std::FILE* openRegularFile(const char* path, bool* notRegular = nullptr);

}  // namespace brinz
