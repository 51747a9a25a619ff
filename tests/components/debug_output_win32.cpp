// Windows only: sends the driver's debugger output to standard error, as the Linux
// platform layer does, so the tests read the loader's reports the same way on both.
#include <windows.h>

#include <stdio.h>

namespace {

LONG CALLBACK CopyDebugOutput(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  const char* text = nullptr;
  if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
    text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  } else if (record->ExceptionCode == 0x4001000AL && record->NumberParameters >= 4) {
    // The wide form carries the ANSI text as well.
    text = reinterpret_cast<const char*>(record->ExceptionInformation[3]);
  }
  if (!text) return EXCEPTION_CONTINUE_SEARCH;
  fputs(text, stderr);
  fflush(stderr);
  return EXCEPTION_CONTINUE_EXECUTION;
}

struct Installer {
  Installer() { AddVectoredExceptionHandler(1, CopyDebugOutput); }
} installer;

}  // namespace
