// The test-only failure hooks: definitions that the test program puts in front of the C
// library's pthread_create and socket and of the platform's module calls, each passing
// on to the next definition (dlsym RTLD_NEXT) unless a test asked for a failure.
#include "tests/platform/platform_test_hooks.h"

#include <dlfcn.h>
#include <errno.h>
#include <netinet/in.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::atomic<int> g_failThreads{0};
std::atomic<int> g_icmpKind{0};

// The next definition of a function this file puts in front of; a missing one is a
// broken test set-up, not a test result.
template <typename F>
F Next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (!symbol) {
    fprintf(stderr, "platform test hooks: no next definition of %s\n", name);
    abort();
  }
  return reinterpret_cast<F>(symbol);
}

// The load address of the platform library, to tell its calls from everyone else's.
void* PlatformBase() {
  static void* base = [] {
    void* self = dlsym(RTLD_NEXT, "CreateThread");
    Dl_info info;
    return self && dladdr(self, &info) ? info.dli_fbase : nullptr;
  }();
  return base;
}

bool CalledFromPlatform(void* returnAddress) {
  Dl_info info;
  return PlatformBase() && dladdr(returnAddress, &info) && info.dli_fbase == PlatformBase();
}

// Takes one failure from the count, if any is left.
bool TakeFailure(std::atomic<int>& counter) {
  int left = counter.load();
  while (left > 0 && !counter.compare_exchange_weak(left, left - 1)) {
  }
  return left > 0;
}

struct StandIn {
  std::string key;
  FARPROC (*lookup)(const char* name) = nullptr;  // null: no stand-in (maybe only hidden)
  bool hidden = false;
  int loads = 0;
};

// Entries are never freed: their addresses are the module handles tests hold.
std::mutex g_modulesMutex;
std::vector<StandIn*>& Modules() {
  static std::vector<StandIn*>* modules = new std::vector<StandIn*>;
  return *modules;
}

// The name a bare module name is compared by: lower case, ".dll" when it has no dot.
// Names with a separator are never served here.
bool BareKey(const char* name, std::string* key) {
  if (!name || strpbrk(name, "\\/:")) return false;
  *key = name;
  for (char& c : *key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (key->find('.') == std::string::npos) *key += ".dll";
  return true;
}

// Called with g_modulesMutex held.
StandIn* Find(const std::string& key, bool create) {
  for (StandIn* m : Modules()) {
    if (m->key == key) return m;
  }
  if (!create) return nullptr;
  Modules().push_back(new StandIn{key});
  return Modules().back();
}

StandIn* AsStandIn(HMODULE module) {
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  for (StandIn* m : Modules()) {
    if (reinterpret_cast<HMODULE>(m) == module && m->lookup) return m;
  }
  return nullptr;
}

}  // namespace

extern "C" void PlatformFailThreadCreation(int count) { g_failThreads.store(count < 0 ? 0 : count); }

extern "C" void PlatformForceIcmpSocketKind(int kind) { g_icmpKind.store(kind); }

extern "C" void PlatformRegisterBuiltinModule(const char* baseName, FARPROC (*lookup)(const char* name)) {
  std::string key;
  if (!BareKey(baseName, &key)) return;
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  StandIn* m = Find(key, true);
  m->lookup = lookup;
  m->loads = 0;
}

extern "C" void PlatformHideBuiltinModule(const char* baseName, int hidden) {
  std::string key;
  if (!BareKey(baseName, &key)) return;
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  Find(key, true)->hidden = hidden != 0;
}

// EAGAIN is what the system answers when it cannot make one more thread.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                              void* (*start)(void*), void* argument) {
  static const auto next = Next<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>(
      "pthread_create");
  if (CalledFromPlatform(__builtin_return_address(0)) && TakeFailure(g_failThreads)) return EAGAIN;
  return next(thread, attr, start, argument);
}

// An unprivileged user gets EACCES for the datagram kind outside ping_group_range and
// EPERM for the raw kind without CAP_NET_RAW.
extern "C" int socket(int domain, int type, int protocol) {
  static const auto next = Next<int (*)(int, int, int)>("socket");
  if (domain == AF_INET && protocol == IPPROTO_ICMP) {
    const int kind = type & ~(SOCK_CLOEXEC | SOCK_NONBLOCK);
    const int forced = g_icmpKind.load();
    if (forced == 1 && kind == SOCK_RAW) {
      errno = EPERM;
      return -1;
    }
    if (forced == 2 && kind == SOCK_DGRAM) {
      errno = EACCES;
      return -1;
    }
  }
  return next(domain, type, protocol);
}

extern "C" HMODULE LoadLibraryA(LPCSTR fileName) {
  static const auto next = Next<HMODULE (*)(LPCSTR)>("LoadLibraryA");
  std::string key;
  if (BareKey(fileName, &key)) {
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    if (StandIn* m = Find(key, false)) {
      if (m->hidden) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
      }
      if (m->lookup) {
        ++m->loads;
        return reinterpret_cast<HMODULE>(m);
      }
    }
  }
  return next(fileName);
}

extern "C" HMODULE GetModuleHandleA(LPCSTR name) {
  static const auto next = Next<HMODULE (*)(LPCSTR)>("GetModuleHandleA");
  std::string key;
  if (BareKey(name, &key)) {
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    if (StandIn* m = Find(key, false)) {
      if (m->hidden || (m->lookup && m->loads == 0)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
      }
      if (m->lookup) return reinterpret_cast<HMODULE>(m);
    }
  }
  return next(name);
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  static const auto next = Next<FARPROC (*)(HMODULE, LPCSTR)>("GetProcAddress");
  if (StandIn* m = AsStandIn(module)) {
    FARPROC proc = name ? m->lookup(name) : nullptr;
    if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
    return proc;
  }
  return next(module, name);
}

extern "C" BOOL FreeLibrary(HMODULE module) {
  static const auto next = Next<BOOL (*)(HMODULE)>("FreeLibrary");
  if (StandIn* m = AsStandIn(module)) {
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    if (m->loads > 0) --m->loads;
    return TRUE;
  }
  return next(module);
}
