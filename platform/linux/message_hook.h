// How a window backend joins the platform message loop on Linux: GetMessageA of a thread
// with a hook waits on the backend's events and wakes up on a post from any thread, so
// one loop serves window events and posted messages alike. Not a Windows API: only
// window backends include this header.
#pragma once

struct PlatformMessageHook {
  void* context;
  // Handles the backend's pending events (may post or dispatch messages); returns at
  // once when there are none.
  void (*pump)(void* context);
  // Blocks until the backend has an event or wake() was called; timeoutMs < 0 waits
  // without limit. Must not spin.
  void (*wait)(void* context, int timeoutMs);
  // Called from any thread, after a message was queued for the hooked thread, to make a
  // blocked wait() return.
  void (*wake)(void* context);
};

// Installs the hook for the calling thread (null removes it). The hook must stay valid
// while installed.
extern "C" void PlatformSetMessageHook(const PlatformMessageHook* hook);
