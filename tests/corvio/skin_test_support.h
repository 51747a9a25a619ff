// Shared helpers of the skin engine's window tests: offscreen video, components from
// the framework's own factory table, a recording sink and a bounded message loop.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
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

// Every window of these tests is drawn without a display.
struct OffscreenVideo {
  OffscreenVideo() { setenv("SDL_VIDEODRIVER", "offscreen", 1); }
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
    DispatchMessageA(&msg);
    ok = done();
  }
  stop = true;
  ticker.join();
  // Leftover empty messages are harmless; take them so the next test starts clean.
  while (PeekMessageA(&msg, nullptr, WM_NULL, WM_NULL, PM_REMOVE)) {
  }
  return done();
}

// Writes an automation script and starts it.
inline void RunScript(const std::string& text) {
  char pattern[] = "/tmp/skin_script_XXXXXX";
  int fd = mkstemp(pattern);
  if (fd >= 0) close(fd);
  std::ofstream(pattern) << text;
  corvio::skin::StartAutomation(pattern);
  unlink(pattern);
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

}  // namespace skintest
