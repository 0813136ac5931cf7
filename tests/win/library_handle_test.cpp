/* LoadLibraryA's result: null and the 16-bit loader's error codes (up to 32)
 * are failures, anything above is a module. */
#include <gtest/gtest.h>

#include "../../platform/platform.h"
#include "../../platform/win/library_handle.h"

namespace {

TEST(LibraryHandle, ValuesUpToThirtyTwoAreFailures)
{
    const struct {
        uintptr_t handle;
        bool loaded;
    } cases[] = {{0, false}, {1, false}, {2, false}, {32, false}, {33, true}, {0x10000000, true}};
    for (const auto &c : cases)
        EXPECT_EQ(LibraryHandleLoaded(c.handle), c.loaded) << c.handle;
}

TEST(LibraryHandle, PlatformLoadGivesAModuleOrNull)
{
    void *kernel = PlatformLoadLibrary("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(PlatformLookupSymbol(kernel, "GetTickCount"), nullptr);
    EXPECT_EQ(PlatformLookupSymbol(kernel, "NoSuchFunctionZRK"), nullptr);
    EXPECT_EQ(PlatformLoadLibrary("no-such-library-zrk.dll"), nullptr);
}

}  // namespace
