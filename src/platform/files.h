#pragma once

#include <cstdint>
#include <cstdio>

namespace brinz {

// Opens `path` for binary reading only when it is a regular file: a directory, device,
// FIFO or pipe that bears the name is never opened (opening a FIFO would wait for a
// writer forever). Returns nullptr otherwise; `notRegular`, when given, is set to whether
// something other than a regular file stands at `path`.
std::FILE* openRegularFile(const char* path, bool* notRegular = nullptr);

// Moves `file` to `offset` bytes from its start. 64-bit on every platform, so table files
// past 2 GiB are reached where long has 32 bits. True on success.
bool seekFile(std::FILE* file, int64_t offset);

// Moves `file` to its end. True on success.
bool seekFileEnd(std::FILE* file);

// The position of `file` in bytes from its start, or -1 on failure.
int64_t tellFile(std::FILE* file);

// False when `directory` names a drive ("d:..." on Windows) that is absent or holds no
// medium, so that the caller skips it without asking for each of its files. Always true
// for a directory without a drive letter and on platforms without drives.
bool driveReachable(const char* directory);

}  // namespace brinz
