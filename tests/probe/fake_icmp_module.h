// A stand-in for the built-in ICMP.DLL that the probe tests register in its place: each
// entry point can be left out, and the echo can fail, report a status, or block until
// released. Restore() puts the real module back.
#pragma once

#include <string.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/win32.h"
#include "tests/platform/platform_test_hooks.h"

struct FakeIcmp {
  std::atomic<bool> omitCreate{false}, omitClose{false}, omitSend{false};
  std::atomic<bool> createFails{false};
  std::atomic<DWORD> replies{1};
  std::atomic<ULONG> status{IP_SUCCESS};
  std::atomic<ULONG> roundTrip{7};
  std::atomic<int> sends{0}, closes{0};
  // Arguments of the last echo.
  std::atomic<DWORD> replySize{0}, timeout{0};
  std::atomic<WORD> requestSize{0};
  std::atomic<bool> requestAllAA{false}, replyZeroed{false}, optionsNull{false};
  // Blocking: the echo waits inside until Release().
  std::mutex mutex;
  std::condition_variable changed;
  bool block = false;
  int entered = 0;

  static FakeIcmp& Get() {
    static FakeIcmp* fake = new FakeIcmp;
    return *fake;
  }
  void Reset() {
    omitCreate = omitClose = omitSend = createFails = false;
    replies = 1;
    status = IP_SUCCESS;
    roundTrip = 7;
    sends = closes = 0;
    std::lock_guard<std::mutex> lock(mutex);
    block = false;
    entered = 0;
  }
  void WaitEntered(int count) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return entered >= count; });
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      block = false;
    }
    changed.notify_all();
  }

  static HANDLE WINAPI Create() {
    return Get().createFails ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(0x7770);
  }
  static BOOL WINAPI Close(HANDLE) {
    ++Get().closes;
    return TRUE;
  }
  static DWORD WINAPI Send(HANDLE, IPAddr, LPVOID request, WORD size, PIP_OPTION_INFORMATION options,
                           LPVOID reply, DWORD replySize, DWORD timeout) {
    FakeIcmp& f = Get();
    ++f.sends;
    f.requestSize = size;
    f.replySize = replySize;
    f.timeout = timeout;
    f.optionsNull = options == nullptr;
    bool allAA = request != nullptr;
    for (WORD i = 0; allAA && i < size; ++i) allAA = static_cast<unsigned char*>(request)[i] == 0xAA;
    f.requestAllAA = allAA;
    bool zeroed = true;
    for (DWORD i = 0; i < replySize; ++i) zeroed &= static_cast<unsigned char*>(reply)[i] == 0;
    f.replyZeroed = zeroed;
    {
      std::unique_lock<std::mutex> lock(f.mutex);
      ++f.entered;
      f.changed.notify_all();
      f.changed.wait(lock, [&] { return !f.block; });
    }
    ICMP_ECHO_REPLY* record = static_cast<ICMP_ECHO_REPLY*>(reply);
    record->Status = f.status;
    record->RoundTripTime = f.roundTrip;
    return f.replies;
  }

  template <typename F>
  static FARPROC Proc(F* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
  }
  static FARPROC Lookup(const char* name) {
    FakeIcmp& f = Get();
    if (!strcmp(name, "IcmpCreateFile")) return f.omitCreate ? nullptr : Proc(&Create);
    if (!strcmp(name, "IcmpCloseHandle")) return f.omitClose ? nullptr : Proc(&Close);
    if (!strcmp(name, "IcmpSendEcho")) return f.omitSend ? nullptr : Proc(&Send);
    return nullptr;
  }
  static void Install() {
    Get().Reset();
    PlatformRegisterBuiltinModule("ICMP.DLL", Lookup);
  }
  // The platform's own ICMP.DLL is found again.
  static void Restore() { PlatformRegisterBuiltinModule("ICMP.DLL", nullptr); }
};
