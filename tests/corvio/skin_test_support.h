// Shared helpers of the skin engine's tests: temporary folders, offscreen video,
// components from the framework's own factory table, a recording sink and a bounded
// message loop. The same on Linux and on Windows.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "components/interfaces.h"
#include "corvio/registry.h"
#include "corvio/skin/automation.h"
#include "corvio/skin/skin_dialog_impl.h"
#include "platform/win32.h"

namespace skintest {

inline const std::string& Skins() {
  static const std::string dir = std::string(ZENT_SOURCE_DIR) + "/tests/corvio/skins";
  return dir;
}

// A fresh folder for a test's files, removed again with everything in it. Paths use '/'
// on every system, as the engine writes them.
class TempDir {
 public:
  TempDir() {
    static int made = 0;
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate =
          base / ("skin_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++made));
      if (std::filesystem::create_directory(candidate, ec)) {
        path_ = candidate.generic_string();
        break;
      }
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  bool Made() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Every window of these tests is drawn without a display: SDL's offscreen driver on Linux.
// Under Wine the tests have a virtual display without a window manager, where hiding a
// window that the manager would own waits two seconds for it: this program's windows are
// left to Wine itself (a setting of this program only, read when its first window opens).
struct OffscreenVideo {
#ifdef _WIN32
  OffscreenVideo() {
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return;
    char exe[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, exe, MAX_PATH - 1);
    const char* base = strrchr(exe, '\\') ? strrchr(exe, '\\') + 1 : exe;
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + base + "\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
      return;
    RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(handle);
  }
#else
  OffscreenVideo() { setenv("SDL_VIDEODRIVER", "offscreen", 1); }
#endif
};

template <class T>
T* Make() {
  Component* c = corvio::MakeRegisteredComponent(T::kId);
  T* typed = c ? dynamic_cast<T*>(c) : nullptr;
  if (typed) typed->Initialize(0);
  return typed;
}

inline corvio::skin::SkinDialogImpl* Impl(SkinDialog* d) {
  return dynamic_cast<corvio::skin::SkinDialogImpl*>(d);
}

struct Recorded {
  int sender, code, message;
  std::string url;
};

class RecordingSink : public UiEventSink {
 public:
  void OnUiEvent(int senderId, UiEvent* event) override {
    Recorded r{senderId, event->GetParam(EventParamCode, 0), event->GetParam(EventParamMessage, 0), ""};
    char url[260] = {0};
    if (event->GetStringParam(BrowserUrlKey, url, sizeof url, 0)) r.url = url;
    events.push_back(r);
    if (then) then(r);
  }
  std::vector<Recorded> events;
  std::function<void(const Recorded&)> then;
};

// Runs the thread's message loop until done() holds or the time is up; a helper thread
// posts an empty message now and then so that done() is looked at. Returns done().
inline bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 5000,
                         int* quitCode = nullptr) {
  DWORD self = GetCurrentThreadId();
  std::atomic<bool> stop{false};
  std::thread ticker([&] {
    while (!stop) {
      PostThreadMessageA(self, WM_NULL, 0, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  MSG msg;
  bool ok = done();
  while (!ok && std::chrono::steady_clock::now() < deadline) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      if (quitCode) *quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ok = done();
  }
  stop = true;
  ticker.join();
  // What is still queued (the ticker's empty messages among it) is served now, so that the
  // next test starts clean. A filter of 0, 0 takes every message, WM_PAINT too, which stays
  // until it is dispatched: so everything is dispatched, a bounded number of them.
  for (int left = 1000; left > 0 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); --left) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the caller's loop decides
      break;
    }
    if (msg.message == WM_NULL) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return done();
}

// Writes an automation script and starts it (the script is read at once).
inline void RunScript(const std::string& text) {
  TempDir dir;
  const std::string file = dir.File("script.txt");
  std::ofstream(file, std::ios::binary) << text;
  corvio::skin::StartAutomation(file);
}

inline void SetNamed(SkinDialog* dialog, int id, const char* name, const char* value, bool image) {
  PropertyWriter* writer = Make<PropertyWriter>();
  PropertyBag* bag = Make<PropertyBag>();
  ASSERT_TRUE(writer && bag);
  if (image) writer->BeginValue(ValueKindImage);
  writer->SetProperty(name, value, bag);
  if (image) writer->EndValue();
  dialog->ApplyProperties(id, bag);
  bag->Release(0);
  writer->Release(0);
}

// A 256x256 picture of noise: it does not compress, and no two rows are alike.
inline corvio::skin::Canvas Noise(uint32_t seed) {
  corvio::skin::Canvas c;
  c.Resize(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      seed = seed * 1103515245u + 12345u;
      c.FillRect(corvio::skin::Rect{x, y, 1, 1},
                 corvio::skin::Color{uint8_t(seed >> 8), uint8_t(seed >> 16), uint8_t(seed >> 24), 255},
                 corvio::skin::Rect{0, 0, 256, 256});
    }
  return c;
}

}  // namespace skintest
