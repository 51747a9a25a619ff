// Tests of GlobalAlloc and GlobalFree; the same cases run against the real calls in the
// Windows build.
#include <gtest/gtest.h>

#include <string.h>

#include "platform/win32.h"

namespace {

TEST(PlatformMemory, zeroinit_block_is_zero_filled_and_writable) {
  for (SIZE_T size : {SIZE_T(1), SIZE_T(92), SIZE_T(4096), SIZE_T(1) << 20}) {
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GPTR, size));
    ASSERT_NE(block, nullptr) << size;
    bool zero = true;
    for (SIZE_T i = 0; i < size; ++i) zero = zero && block[i] == 0;
    EXPECT_TRUE(zero) << size;
    memset(block, 0xAB, size);
    EXPECT_EQ(GlobalFree(block), nullptr) << size;
  }
}

TEST(PlatformMemory, fixed_block_of_zero_bytes_can_be_freed) {
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, 0);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(PlatformMemory, impossible_size_fails_with_null) {
  SetLastError(0);
  EXPECT_EQ(GlobalAlloc(GPTR, ~SIZE_T(0) - 4096), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
