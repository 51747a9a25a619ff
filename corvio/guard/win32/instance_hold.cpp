// The guard's Windows part: a named mutex in this session's namespace holds the name for
// as long as its handle is open (the system closes it when the holder ends in any way).
// Beside it, a small named shared memory tells a later start which window to bring up.
#include "corvio/guard/instance_hold.h"

#include <stdio.h>

#include <new>

#include "corvio/guard/activation_message.h"
#include "corvio/guard/instance_name.h"
#include "corvio/report.h"
#include "platform/win32.h"

namespace corvio {

namespace {

constexpr char kPrefix[] = "Local\\Corvio.";  // this session's namespace, as a desktop program
constexpr char kWindowSuffix[] = ".window";   // the shared memory beside the mutex

// What a later start reads. Only the holder writes, each field with one aligned store.
struct SharedWindow {
  volatile LONG process;  // the holder's process id
  volatile LONG window;   // its window as SetMainWindow gave it, 0 before there is one
};

// The kernel object's name, or false when it would pass the system's limit.
bool ObjectName(const std::string& escaped, const char* suffix, char (&out)[MAX_PATH]) {
  const int n = snprintf(out, sizeof out, "%s%s%s", kPrefix, escaped.c_str(), suffix);
  return n > 0 && static_cast<size_t>(n) < sizeof out;
}

// Windows keeps 32 bits of a window handle and widens them with their sign.
HWND ToWindow(LONG value) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(value)); }

// Asks the holder to bring up the window it published; says nothing when there is none
// (a holder still setting up, an older build), for a second start changes nothing then.
void BringHolderToFront(const std::string& escaped) {
  char name[MAX_PATH];
  if (!ObjectName(escaped, kWindowSuffix, name)) return;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
  if (!mapping) return;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(SharedWindow));
  LONG process = 0, window = 0;
  if (view) {
    const SharedWindow* shared = static_cast<const SharedWindow*>(view);
    window = shared->window;  // first: the holder writes its process id before it
    process = shared->process;
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  if (!window) return;
  // A handle the holder published may since name another program's window.
  const HWND target = ToWindow(window);
  DWORD owner = 0;
  if (!GetWindowThreadProcessId(target, &owner) || owner != static_cast<DWORD>(process)) return;
  // This start came from the player, so it may hand the foreground on to the holder.
  AllowSetForegroundWindow(owner);
  if (!PostMessageA(target, kMsgBringToFront, 0, 0))
    ReportF("[Corvio_Guard]", "cannot ask the first instance for its window: error %lu",
           GetLastError());
}

}  // namespace

struct HeldName {
  HANDLE mutex = nullptr;
  HANDLE mapping = nullptr;
  SharedWindow* shared = nullptr;  // null when it could not be made: no bringing to front
};

namespace {

void Publish(HeldName* held, const std::string& escaped, uint32_t window) {
  char name[MAX_PATH];
  if (!ObjectName(escaped, kWindowSuffix, name)) {
    ReportF("[Corvio_Guard]", "the name is too long for the window's shared memory; a second "
           "start will not bring this window to the front");
    return;
  }
  // An existing one was opened by a second start of an earlier holder: ours now.
  held->mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(SharedWindow), name);
  void* view = held->mapping
                   ? MapViewOfFile(held->mapping, FILE_MAP_WRITE, 0, 0, sizeof(SharedWindow))
                   : nullptr;
  if (!view) {
    ReportF("[Corvio_Guard]", "cannot make %s (error %lu); a second start will not bring this "
           "window to the front", name, GetLastError());
    if (held->mapping) CloseHandle(held->mapping);
    held->mapping = nullptr;
    return;
  }
  held->shared = static_cast<SharedWindow*>(view);
  InterlockedExchange(&held->shared->process, static_cast<LONG>(GetCurrentProcessId()));
  InterlockedExchange(&held->shared->window, static_cast<LONG>(window));
}

}  // namespace

Claim ClaimName(const std::string& name, uint32_t window, HeldName** held) {
  const std::string escaped = EscapeInstanceName(name);
  char mutexName[MAX_PATH];
  if (!ObjectName(escaped, "", mutexName)) {
    ReportF("[Corvio_Guard]", "the name \"%s\" is too long for a mutex; not guarded", name.c_str());
    return Claim::kUnguarded;
  }
  // Not owned: the object's existence is the guard, whichever thread made it.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName);
  const DWORD error = GetLastError();
  if (!mutex) {
    // Access denied: it exists, made by a process this user may not open (another user's,
    // or an elevated copy). A name nobody can open must not keep the player out.
    ReportF("[Corvio_Guard]", "cannot create the mutex %s (error %lu); not guarded", mutexName,
           error);
    return Claim::kUnguarded;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    BringHolderToFront(escaped);
    return Claim::kHeldElsewhere;
  }
  HeldName* hold = new (std::nothrow) HeldName;
  if (!hold) {
    CloseHandle(mutex);
    ReportF("[Corvio_Guard]", "out of memory holding \"%s\"; not guarded", name.c_str());
    return Claim::kUnguarded;
  }
  hold->mutex = mutex;
  Publish(hold, escaped, window);
  *held = hold;
  return Claim::kTaken;
}

void SetHeldWindow(HeldName* held, uint32_t window) {
  if (held->shared) InterlockedExchange(&held->shared->window, static_cast<LONG>(window));
}

void ReleaseName(HeldName* held) {
  if (!held) return;
  if (held->shared) {
    // A second start that still has the memory open finds no window to post to.
    InterlockedExchange(&held->shared->window, 0);
    UnmapViewOfFile(held->shared);
  }
  if (held->mapping) CloseHandle(held->mapping);
  CloseHandle(held->mutex);
  delete held;
}

}  // namespace corvio
