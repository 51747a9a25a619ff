// Tests of OutputDebugStringA, which writes to standard error on Linux.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"

namespace {

// Runs fn with standard error sent to a file and returns what was written.
template <typename Fn>
std::string CaptureStandardError(const CoreTempDir& dir, Fn fn) {
  fflush(stderr);
  const int saved = dup(2);
  const int fd = open((dir.path() + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(fd, 2);
  close(fd);
  fn();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  return dir.Read("err.txt");
}

TEST(PlatformDebug, text_reaches_standard_error_unchanged) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  // "[Corvio_Error] " line, then GBK bytes of "大区" and no added line end.
  const std::string got = CaptureStandardError(dir, [] {
    OutputDebugStringA("[Corvio_Error] Load CorvFact.dll Fail.\n");
    OutputDebugStringA("\xb4\xf3\xc7\xf8");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("");
  });
  EXPECT_EQ(got, "[Corvio_Error] Load CorvFact.dll Fail.\n\xb4\xf3\xc7\xf8");
}

}  // namespace
