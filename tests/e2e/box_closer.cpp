// A player at a Windows machine, for the end-to-end tests under Wine: reads every system
// message box that appears ("caption: text", UTF-8, one a line, into a file) and presses
// its OK button, so a test can check what the player was told and the program goes on.
// Usage: box_closer OUT_FILE MILLISECONDS
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

struct Seen {
  FILE* out;
  std::set<HWND> boxes;
};

BOOL CALLBACK OnWindow(HWND window, LPARAM context) {
  auto* seen = reinterpret_cast<Seen*>(context);
  wchar_t name[64] = {0};
  if (!IsWindowVisible(window) || !GetClassNameW(window, name, 64) || wcscmp(name, L"#32770") != 0)
    return TRUE;
  if (!seen->boxes.insert(window).second) return TRUE;
  wchar_t caption[512] = {0}, text[4096] = {0};
  GetWindowTextW(window, caption, 512);
  GetDlgItemTextW(window, 0xFFFF, text, 4096);  // the message's static control
  std::string line = Utf8(caption) + ": " + Utf8(text);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  fprintf(seen->out, "%s\n", line.c_str());
  fflush(seen->out);
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: box_closer OUT_FILE MILLISECONDS\n");
    return 2;
  }
  FILE* out = fopen(argv[1], "wb");
  if (!out) return 3;
  Seen seen{out, {}};
  const DWORD limit = static_cast<DWORD>(atoi(argv[2]));
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < limit) {
    EnumWindows(OnWindow, reinterpret_cast<LPARAM>(&seen));
    Sleep(50);
  }
  fclose(out);
  return 0;
}
