// Threads and time: CreateThread on pthreads with waitable handles, Sleep, GetTickCount
// and the thread and process ids.
#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "platform/win32.h"

namespace {

constexpr DWORD kStillActive = 259;  // STILL_ACTIVE, what a running thread reports

struct ThreadState {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  DWORD exitCode = kStillActive;
  DWORD id = 0;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
};

// The handle table. Never destroyed: detached threads may still run while the process
// exits, and must not find it gone.
struct HandleTable {
  std::mutex mutex;
  std::map<uintptr_t, std::shared_ptr<ThreadState>> threads;
  uintptr_t next = 0x100;
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;
  return *table;
}

std::shared_ptr<ThreadState> FindThread(HANDLE handle) {
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.threads.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.threads.end() ? nullptr : it->second;
}

void* ThreadMain(void* raw) {
  // The thread holds its own reference, so the state outlives any CloseHandle.
  std::unique_ptr<std::shared_ptr<ThreadState>> holder(
      static_cast<std::shared_ptr<ThreadState>*>(raw));
  ThreadState& state = **holder;
  DWORD code = state.start(state.parameter);
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.exitCode = code;
    state.done = true;
  }
  state.finished.notify_all();
  return nullptr;
}

struct StartGate {
  std::mutex mutex;
  std::condition_variable ready;
  bool known = false;
};

}  // namespace

// The thread always runs detached; the handle only keeps its exit code, so a caller
// that never waits loses nothing by closing the handle at once. CREATE_SUSPENDED is
// refused: nothing in this layer could resume the thread.
extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                               LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                               LPDWORD threadId) {
  if (!start || (flags & CREATE_SUSPENDED)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<ThreadState>();
  state->start = start;
  state->parameter = parameter;

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stackSize > 0) {
    SIZE_T size = stackSize < static_cast<SIZE_T>(PTHREAD_STACK_MIN) ? static_cast<SIZE_T>(PTHREAD_STACK_MIN) : stackSize;
    size = (size + 0xFFFF) & ~static_cast<SIZE_T>(0xFFFF);  // Windows rounds to 64 KiB
    pthread_attr_setstacksize(&attr, size);
  }
  // The id must be known before CreateThread returns, so the new thread reports it
  // through a small gate before running the start routine.
  struct Launch {
    std::shared_ptr<ThreadState> state;
    StartGate gate;
  };
  auto* launch = new Launch{state, {}};
  auto trampoline = [](void* raw) -> void* {
    auto* l = static_cast<Launch*>(raw);
    auto* holder = new std::shared_ptr<ThreadState>(l->state);
    {
      std::lock_guard<std::mutex> lock(l->gate.mutex);
      l->state->id = static_cast<DWORD>(syscall(SYS_gettid));
      l->gate.known = true;
      // Notified under the lock: once it is released, `l` belongs to the creator.
      l->gate.ready.notify_one();
    }
    return ThreadMain(holder);
  };
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, trampoline, launch);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete launch;
    SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  {
    std::unique_lock<std::mutex> lock(launch->gate.mutex);
    launch->gate.ready.wait(lock, [&] { return launch->gate.known; });
  }
  DWORD id = state->id;
  delete launch;

  HandleTable& table = Handles();
  uintptr_t value;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    value = table.next;
    table.next += 4;  // Windows handles are multiples of four
    table.threads.emplace(value, state);
  }
  if (threadId) *threadId = id;
  return reinterpret_cast<HANDLE>(value);
}

// Only thread handles are waitable here; others fail with ERROR_INVALID_HANDLE.
extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<ThreadState> state = FindThread(handle);
  if (!state) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> lock(state->mutex);
  if (milliseconds == INFINITE) {
    state->finished.wait(lock, [&] { return state->done; });
    return WAIT_OBJECT_0;
  }
  bool done = state->finished.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [&] { return state->done; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

// A running thread reports STILL_ACTIVE (259).
extern "C" BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  std::shared_ptr<ThreadState> state = FindThread(thread);
  if (!state || !exitCode) {
    SetLastError(state ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(state->mutex);
  *exitCode = state->exitCode;
  return TRUE;
}

// Closing does not stop the thread; a second close of the same handle fails.
extern "C" BOOL CloseHandle(HANDLE handle) {
  HandleTable& table = Handles();
  std::shared_ptr<ThreadState> released;  // dropped after the lock
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.threads.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.threads.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    released = std::move(it->second);
    table.threads.erase(it);
  }
  return TRUE;
}

// Sleep(0) gives up the rest of the time slice; interrupted sleeps resume.
extern "C" void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// Milliseconds of the monotonic clock; wraps after 49.7 days like the Windows counter.
extern "C" DWORD GetTickCount(void) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

// The kernel thread id: unique among the live threads of the whole system.
extern "C" DWORD GetCurrentThreadId(void) {
  static thread_local DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

extern "C" DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
