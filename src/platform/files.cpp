#include "platform/files.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace brinz {

#ifdef _WIN32

std::FILE* openRegularFile(const char* path, bool* notRegular) {
    if (notRegular) *notRegular = false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return nullptr;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (notRegular) *notRegular = true;
        return nullptr;
    }
    // Devices ("con", "nul") and pipes open as handles of another type: checked once open.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        if (notRegular) *notRegular = true;
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(intptr_t(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);  // closes the handle too
    return file;
}

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

std::FILE* openRegularFile(const char* path, bool* notRegular) {
    if (notRegular) *notRegular = false;
    struct stat info;
    if (stat(path, &info) != 0) return nullptr;
    if (!S_ISREG(info.st_mode)) {
        if (notRegular) *notRegular = true;
        return nullptr;
    }
    // Non-blocking, and checked again once open: the name may have been replaced since.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (notRegular) *notRegular = true;
        close(fd);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
}

bool seekFile(std::FILE* file, int64_t offset) { return fseeko(file, off_t(offset), SEEK_SET) == 0; }
bool seekFileEnd(std::FILE* file) { return fseeko(file, 0, SEEK_END) == 0; }
int64_t tellFile(std::FILE* file) { return int64_t(ftello(file)); }
bool driveReachable(const char*) { return true; }

#endif

}  // namespace brinz
