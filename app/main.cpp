// The launcher's entry point: single-instance check, the launcher window, the message
// loop, and the shutdown in its fixed order.
#include <new>

#include "app/launcher_dialog.h"
#include "components/corvio_ptr.h"
#include "components/safe_string.h"
#include "platform/win32.h"
#include "ui/hint_box.h"

namespace {

// Runs the thread's message loop until the quit message; its code is the exit code.
int RunMessageLoop() {
  MSG msg = {};
  BOOL result;
  while ((result = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
    if (result == -1) return 0;  // a broken queue ends the launcher rather than spin
    TranslateAcceleratorA(msg.hwnd, nullptr, &msg);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  TCorvioPtr<InstanceGuard> guard;
  if (InstanceGuard* g = guard.component) {
    g->SetName("KIWAZENTDISTRICT");
    if (g->IsFirstInstance() == 0) return 0;  // the handle releases the guard
  }

  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartupInput gdiplusInput;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

  // The object embeds the whole district table: it lives in this function's storage, and
  // is destroyed explicitly after the guard is closed and before the guard goes.
  alignas(LauncherDialog) unsigned char storage[sizeof(LauncherDialog)];
  LauncherDialog* launcher = new (storage) LauncherDialog();
  g_safeString.CopyN(launcher->cmdLine, sizeof launcher->cmdLine, commandLine ? commandLine : "",
                     sizeof launcher->cmdLine - 1);
  launcher->cmdLine[sizeof launcher->cmdLine - 1] = '\0';

  launcher->SetUpWindow();
  const uint32_t window = launcher->GetMainWindowHandle();
  if (guard.component) guard.component->SetMainWindow(window);

  // Without a dialog component there is no window and nothing could ever end the loop;
  // the player is told what is missing, and the exit code stays 0 as callers expect.
  if (!launcher->dialog.component) ShowStartFailure(FrameworkMissingText(LastFactoryLibrary()));
  const int exitCode = launcher->dialog.component ? RunMessageLoop() : 0;
  // The player asked to leave: the window goes now, not after the probes have stopped.
  if (launcher->dialog.component)
    if (WindowObject* shown = launcher->dialog.component->GetMainWindow()) shown->Show(0);

  if (guard.component) guard.component->Close();
  launcher->~LauncherDialog();
  return exitCode;
}
