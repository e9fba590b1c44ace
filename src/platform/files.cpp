#include "platform/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/types.h>
#endif

namespace brinz {

#ifdef _WIN32

bool seekFile(std::FILE* file, int64_t offset) { return _fseeki64(file, offset, SEEK_SET) == 0; }
bool seekFileEnd(std::FILE* file) { return _fseeki64(file, 0, SEEK_END) == 0; }
int64_t tellFile(std::FILE* file) { return _ftelli64(file); }

bool driveReachable(const char* directory) {
    const char letter = directory[0] | 0x20;
    if (letter < 'a' || letter > 'z' || directory[1] != ':') return true;
    const DWORD drives = GetLogicalDrives();
    if (drives != 0 && !(drives & (DWORD(1) << (letter - 'a')))) return false;
    // A removable drive without a medium answers "not ready"; anything else is tried.
    const char pattern[] = {directory[0], ':', '\\', '*', '\0'};
    WIN32_FIND_DATAA found;
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HANDLE search = FindFirstFileA(pattern, &found);
    const DWORD error = search == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    SetErrorMode(oldMode);
    return error != ERROR_NOT_READY;
}

#else

static_assert(sizeof(off_t) == 8, "table files pass 2 GiB");

bool seekFile(std::FILE* file, int64_t offset) { return fseeko(file, off_t(offset), SEEK_SET) == 0; }
bool seekFileEnd(std::FILE* file) { return fseeko(file, 0, SEEK_END) == 0; }
int64_t tellFile(std::FILE* file) { return int64_t(ftello(file)); }
bool driveReachable(const char*) { return true; }

#endif

}  // namespace brinz
