// The message loop: one queue per thread, posting from any thread, GetMessageA that
// blocks without spinning, and the hook through which a window backend shares the wait.
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/linux/message_hook.h"
#include "platform/linux/window_internal.h"
#include "platform/win32.h"

namespace {

constexpr size_t kPostLimit = 10000;        // Windows' default quota of posted messages
constexpr DWORD kErrorNotEnoughQuota = 1816;
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

// A message sent from another thread; its sender waits until `done`.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
};

struct Queue {
  DWORD threadId = 0;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  uint64_t generation = 0;  // bumped on every arrival, so a filtered wait cannot spin
  bool quit = false;
  int quitCode = 0;
  bool closed = false;  // the owning thread has ended
  // Written only by the owning thread, read by posters under hookMutex.
  std::mutex hookMutex;
  const PlatformMessageHook* hook = nullptr;
};

// Never destroyed: detached threads may still post while the process exits.
struct QueueRegistry {
  std::mutex mutex;
  std::map<DWORD, std::shared_ptr<Queue>> queues;
};

QueueRegistry& Registry() {
  static QueueRegistry* registry = new QueueRegistry;
  return *registry;
}

// Unregisters the thread's queue when the thread ends, and fails the sends still waiting.
struct QueueOwner {
  std::shared_ptr<Queue> queue;
  ~QueueOwner() {
    if (!queue) return;
    {
      QueueRegistry& registry = Registry();
      std::lock_guard<std::mutex> lock(registry.mutex);
      registry.queues.erase(queue->threadId);
    }
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      queue->closed = true;
      for (auto& s : queue->sent) s->done = true;
      queue->sent.clear();
      queue->posted.clear();
    }
    queue->changed.notify_all();
    PlatformForgetThreadWindows(queue->threadId);
  }
};

thread_local QueueOwner t_owner;

Queue& OwnQueue() {
  if (!t_owner.queue) {
    auto queue = std::make_shared<Queue>();
    queue->threadId = GetCurrentThreadId();
    QueueRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.queues[queue->threadId] = queue;
    t_owner.queue = queue;
  }
  return *t_owner.queue;
}

std::shared_ptr<Queue> FindQueue(DWORD threadId) {
  QueueRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.queues.find(threadId);
  return it == registry.queues.end() ? nullptr : it->second;
}

void Wake(Queue& queue) {
  queue.changed.notify_all();
  std::lock_guard<std::mutex> lock(queue.hookMutex);
  if (queue.hook) queue.hook->wake(queue.hook->context);
}

BOOL Post(Queue& queue, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (queue.closed) {
      SetLastError(ERROR_INVALID_THREAD_ID);
      return FALSE;
    }
    if (queue.posted.size() >= kPostLimit) {
      SetLastError(kErrorNotEnoughQuota);
      return FALSE;
    }
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    queue.posted.push_back(msg);
    ++queue.generation;
  }
  Wake(queue);
  return TRUE;
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

bool WindowMatches(HWND wanted, HWND actual) {
  if (!wanted) return true;
  if (wanted == kThreadMessagesOnly) return actual == nullptr;
  return wanted == actual;
}

LRESULT CallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = PlatformWindowProc(window);
  return proc ? proc(window, message, wParam, lParam) : 0;
}

// Sent messages from other threads are handled inside GetMessageA and PeekMessageA, as
// on Windows, and never returned to the caller.
void HandleSentMessages(Queue& queue) {
  for (;;) {
    std::shared_ptr<SentMessage> sent;
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      if (queue.sent.empty()) return;
      sent = queue.sent.front();
      queue.sent.pop_front();
    }
    LRESULT result = CallProc(sent->window, sent->message, sent->wParam, sent->lParam);
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      sent->result = result;
      sent->done = true;
    }
    queue.changed.notify_all();
  }
}

enum class Found { None, Message, Quit };

// Takes the first matching posted message, or the quit request once no posted message
// matches: WM_QUIT comes after everything posted before it, as on Windows.
Found TakeLocked(Queue& queue, MSG* msg, HWND window, UINT filterMin, UINT filterMax,
                 bool remove) {
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!WindowMatches(window, it->hwnd) || !InRange(it->message, filterMin, filterMax)) continue;
    *msg = *it;
    if (remove) queue.posted.erase(it);
    return msg->message == WM_QUIT ? Found::Quit : Found::Message;
  }
  if (queue.quit && InRange(WM_QUIT, filterMin, filterMax)) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(static_cast<intptr_t>(queue.quitCode));
    msg->time = GetTickCount();
    if (remove) queue.quit = false;
    return Found::Quit;
  }
  return Found::None;
}

Found Retrieve(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove, bool wait) {
  Queue& queue = OwnQueue();
  for (;;) {
    const PlatformMessageHook* hook = queue.hook;
    if (hook) hook->pump(hook->context);
    HandleSentMessages(queue);
    {
      std::unique_lock<std::mutex> lock(queue.mutex);
      Found found = TakeLocked(queue, msg, window, filterMin, filterMax, remove);
      if (found != Found::None || !wait) return found;
      if (!hook) {
        uint64_t seen = queue.generation;
        queue.changed.wait(lock, [&] { return queue.generation != seen; });
        continue;
      }
    }
    // The backend remembers a wake() that comes before this wait, so a post made since
    // the check above still ends it.
    hook->wait(hook->context, -1);
  }
}

bool ValidFilterWindow(HWND window) {
  if (!window || window == kThreadMessagesOnly || IsWindow(window)) return true;
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return false;
}

}  // namespace

void PlatformEnsureMessageQueue() { OwnQueue(); }

extern "C" void PlatformSetMessageHook(const PlatformMessageHook* hook) {
  Queue& queue = OwnQueue();
  std::lock_guard<std::mutex> lock(queue.hookMutex);
  queue.hook = hook;
}

// Blocks until a message arrives; 0 for WM_QUIT (wParam holds the exit code), -1 for an
// invalid window filter. A null window takes messages of every window of the thread and
// thread messages; (HWND)-1 takes thread messages only.
extern "C" BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!ValidFilterWindow(window)) return -1;
  return Retrieve(msg, window, filterMin, filterMax, true, true) == Found::Quit ? FALSE : TRUE;
}

// Like GetMessageA without waiting; WM_QUIT is returned as a message (TRUE).
extern "C" BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                             UINT removeFlags) {
  if (!msg || !ValidFilterWindow(window)) {
    if (!msg) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Retrieve(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, false) !=
                 Found::None
             ? TRUE
             : FALSE;
}

// No accelerator tables exist here: nothing is ever translated or consumed.
extern "C" int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg) { return 0; }

// No keyboard messages reach this queue, so there is nothing to turn into characters.
extern "C" BOOL TranslateMessage(const MSG* msg) { return FALSE; }

// Calls the window procedure of msg->hwnd; a thread message (null window) gives 0.
extern "C" LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// Ends the thread's loop once the messages posted before it have been taken.
extern "C" void PostQuitMessage(int exitCode) {
  Queue& queue = OwnQueue();
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.quit = true;
    queue.quitCode = exitCode;
    ++queue.generation;
  }
  queue.changed.notify_all();
}

// Queues the message for the thread that owns the window; a null window posts a thread
// message to the calling thread. Fails once 10000 messages wait (ERROR_NOT_ENOUGH_QUOTA).
extern "C" BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window) return Post(OwnQueue(), nullptr, message, wParam, lParam);
  DWORD owner = GetWindowThreadProcessId(window, nullptr);
  std::shared_ptr<Queue> queue = owner ? FindQueue(owner) : nullptr;
  if (!queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Post(*queue, window, message, wParam, lParam);
}

// The thread must have a queue: it gets one with its first message call or window.
extern "C" BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Queue> queue = FindQueue(threadId);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return Post(*queue, nullptr, message, wParam, lParam);
}

// On the owning thread a direct call. From another thread the message waits in the
// owner's queue until its next GetMessageA or PeekMessageA; 0 if the owner ends first.
extern "C" LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD owner = GetWindowThreadProcessId(window, nullptr);
  if (!owner) return 0;
  if (owner == GetCurrentThreadId()) return CallProc(window, message, wParam, lParam);
  std::shared_ptr<Queue> queue = FindQueue(owner);
  if (!queue) return 0;
  auto sent = std::make_shared<SentMessage>();
  sent->window = window;
  sent->message = message;
  sent->wParam = wParam;
  sent->lParam = lParam;
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->closed) return 0;
    queue->sent.push_back(sent);
    ++queue->generation;
  }
  Wake(*queue);
  std::unique_lock<std::mutex> lock(queue->mutex);
  queue->changed.wait(lock, [&] { return sent->done; });
  return sent->result;
}
