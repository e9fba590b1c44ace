#include "tablebases/memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace brinz {
namespace {

TEST(TablebaseMemory, AllocatesUsableBlocks) {
    auto* block = static_cast<unsigned char*>(tbAllocate(4096));
    block[0] = 1;
    block[4095] = 2;
    tbFree(block);
    tbFree(tbAllocate(0));
    tbFree(nullptr);
}

TEST(TablebaseMemoryDeathTest, FailureReportsTheSizeAndExits) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer allocators abort on impossible sizes instead of returning null";
#endif
    // The message goes to standard output; the death test reads standard error.
    const std::size_t huge = std::size_t(1) << 62;
    EXPECT_EXIT(
        {
            std::fflush(stdout);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            tbAllocate(huge);
        },
        testing::ExitedWithCode(1), "\\*\\*\\* No se pueden reservar 4611686018427387904 bytes de memoria\n");
}

}  // namespace
}  // namespace brinz
