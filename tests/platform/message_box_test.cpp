// MessageBoxA on Linux: caption and text reach standard error in UTF-8, and where no
// display is usable no box waits for a click.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"

namespace {

// Runs MessageBoxA with standard error going to a file; returns what was written.
std::string StandardErrorOf(const char* text, const char* caption, UINT type, int* result) {
  fflush(stderr);
  const std::string file = "stderr.txt";
  FILE* capture = fopen(file.c_str(), "w+");
  if (!capture) return "<no capture file>";
  const int saved = dup(2);
  dup2(fileno(capture), 2);
  *result = MessageBoxA(nullptr, text, caption, type);
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  fseek(capture, 0, SEEK_SET);
  std::string out;
  char chunk[256];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, capture)) > 0) out.append(chunk, n);
  fclose(capture);
  return out;
}

void SetOrUnset(const char* name, const char* value) {
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

TEST(PlatformMessageBox, text_goes_to_standard_error_without_a_usable_display) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  struct Row {
    const char* display;
    const char* wayland;
    const char* driver;
  } rows[] = {
      {nullptr, nullptr, nullptr},
      {"", "", nullptr},
      {":0", nullptr, "offscreen"},
      {nullptr, "wayland-0", "offscreen"},
  };
  const char* saved[3] = {getenv("DISPLAY"), getenv("WAYLAND_DISPLAY"), getenv("SDL_VIDEODRIVER")};
  const std::string keep[3] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
  int row = 0;
  for (const Row& r : rows) {
    SetOrUnset("DISPLAY", r.display);
    SetOrUnset("WAYLAND_DISPLAY", r.wayland);
    SetOrUnset("SDL_VIDEODRIVER", r.driver);
    int result = 0;
    // "提示" / "缺少文件 CorvFact.dll" in GBK.
    EXPECT_EQ(StandardErrorOf("\xc8\xb1\xc9\xd9\xce\xc4\xbc\xfe CorvFact.dll", "\xcc\xe1\xca\xbe",
                              MB_OK | MB_ICONERROR, &result),
              "提示: 缺少文件 CorvFact.dll\n")
        << "row " << row;
    EXPECT_EQ(result, IDOK) << "row " << row;
    ++row;
  }
  SetOrUnset("DISPLAY", saved[0] ? keep[0].c_str() : nullptr);
  SetOrUnset("WAYLAND_DISPLAY", saved[1] ? keep[1].c_str() : nullptr);
  SetOrUnset("SDL_VIDEODRIVER", saved[2] ? keep[2].c_str() : nullptr);
}

TEST(PlatformMessageBox, null_caption_reads_error_and_bad_bytes_read_as_question_marks) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  const char* saved = getenv("DISPLAY");
  const std::string keep = saved ? saved : "";
  unsetenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  const std::string keepWayland = wayland ? wayland : "";
  unsetenv("WAYLAND_DISPLAY");
  int result = 0;
  EXPECT_EQ(StandardErrorOf("a\xff" "b", nullptr, MB_OK, &result), "Error: a?b\n");
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(StandardErrorOf(nullptr, "c", MB_OK, &result), "c: \n");
  if (saved) setenv("DISPLAY", keep.c_str(), 1);
  if (wayland) setenv("WAYLAND_DISPLAY", keepWayland.c_str(), 1);
}

}  // namespace
