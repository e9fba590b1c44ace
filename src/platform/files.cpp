#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brinz {

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

}  // namespace brinz
