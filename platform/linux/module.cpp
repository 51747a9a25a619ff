// Modules: GetModuleHandleA, GetModuleFileNameA, LoadLibraryA, GetProcAddress and
// FreeLibrary over dlopen, plus the built-in modules served from this library.
//
// Windows rules kept here: names compare without regard to case; a name without an
// extension means ".dll"; on Linux "x.dll" also finds "x.so", and where both files exist
// the library for this system, "x.so", is taken (a Windows DLL beside it is no ELF
// file). A bare name is searched among loaded modules, then in the program's folder, the
// system's library path and the current directory (PATH is not searched: it names
// program folders on Linux). Names arrive in GBK and host file names are UTF-8; both
// are compared as UTF-8.
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <link.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/builtin_modules.h"
#include "platform/linux/codepage.h"
#include "platform/linux/gbk_chars.h"
#include "platform/linux/path.h"
#include "platform/linux/report.h"

namespace {

// The modules served from inside this library, matched by base name.
struct BuiltinModule {
  const char* name;
  FARPROC (*lookup)(const char* name);
  int loads;  // GetModuleHandleA finds a built-in module only while it is loaded
};
BuiltinModule g_builtins[] = {{"ICMP.DLL", PlatformIcmpLookup, 0}};
std::mutex g_builtinMutex;

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The name a module is compared by: lower case, ".so" counted as ".dll", ".dll"
// added when there is no extension, a final dot (Windows: "no extension") dropped.
std::string ModuleKey(const std::string& baseName) {
  std::string key = Lower(baseName);
  if (!key.empty() && key.back() == '.') {
    key.pop_back();
    return key;
  }
  if (EndsWith(key, ".so")) return key.substr(0, key.size() - 3) + ".dll";
  if (key.find('.') == std::string::npos) return key + ".dll";
  return key;
}

// Called with g_builtinMutex held; utf8Name is a bare name.
BuiltinModule* FindBuiltin(const std::string& utf8Name) {
  const std::string key = ModuleKey(utf8Name);
  for (BuiltinModule& module : g_builtins) {
    if (ModuleKey(module.name) == key) return &module;
  }
  return nullptr;
}

BuiltinModule* AsBuiltin(HMODULE module) {
  for (BuiltinModule& m : g_builtins) {
    if (reinterpret_cast<HMODULE>(&m) == module) return &m;
  }
  return nullptr;
}

std::string ExecutablePath() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return std::string();
    // A result that fills the buffer may have been cut: try again with more room.
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    if (buffer.size() >= (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

HMODULE MainHandle() {
  static void* handle = dlopen(nullptr, RTLD_NOW);
  return static_cast<HMODULE>(handle);
}

struct LoadedObject {
  std::string path;  // "" for the program itself
};

int CollectObject(struct dl_phdr_info* info, size_t, void* data) {
  auto* out = static_cast<std::vector<LoadedObject>*>(data);
  out->push_back(LoadedObject{info->dlpi_name ? info->dlpi_name : ""});
  return 0;
}

std::vector<LoadedObject> LoadedObjects() {
  std::vector<LoadedObject> objects;
  dl_iterate_phdr(CollectObject, &objects);
  return objects;
}

// True when module is the program or a library that is loaded now; guards every use
// of a handle, so a stale or foreign value fails instead of crashing.
bool IsLoadedHandle(HMODULE module) {
  struct link_map* map = nullptr;
  if (dlinfo(MainHandle(), RTLD_DI_LINKMAP, &map) != 0 || !map) return false;
  while (map->l_prev) map = map->l_prev;
  for (; map; map = map->l_next) {
    if (reinterpret_cast<HMODULE>(map) == module) return true;
  }
  return module == MainHandle();
}

// The handle of a loaded object without adding a reference, or null.
HMODULE HandleOfLoaded(const std::string& path) {
  if (path.empty()) return MainHandle();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return nullptr;
  dlclose(handle);  // the object stays: it was loaded before this call
  return static_cast<HMODULE>(handle);
}

// wantedBase is a bare name in UTF-8.
bool NamesModule(const std::string& wantedBase, const std::string& objectPath) {
  const std::string objectBase = objectPath.empty() ? PlatformHostBaseName(ExecutablePath())
                                                    : PlatformHostBaseName(objectPath);
  const std::string want = ModuleKey(wantedBase);
  if (ModuleKey(objectBase) == want) return true;
  // The program has no extension on Linux; "Name.exe" names it as on Windows.
  return objectPath.empty() && Lower(objectBase) + ".exe" == want;
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return std::string();
  return buffer;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Windows-form file names to try for a name, in order: for a ".dll" (given, or added to
// a name without extension) the same base ending in ".so" first, then the ".dll" itself.
// '.' is never a GBK trail byte, so the extension tests hold for GBK names too.
std::vector<std::string> NameVariants(const std::string& windowsName) {
  std::string name = windowsName;
  const std::string base = PlatformBaseName(name);
  if (base.empty()) return {};  // a folder ("dir\") names no module
  if (base.back() == '.') name.pop_back();
  else if (base.find('.') == std::string::npos) name += ".dll";
  if (!EndsWith(Lower(name), ".dll")) return {name};
  return {name.substr(0, name.size() - 4) + ".so", name};
}

// The first existing file among the variants of the Windows-form name, relative to the
// host folder (empty: the current directory, unless the name is absolute).
std::string FindFile(const std::string& folder, const std::string& name) {
  for (const std::string& variant : NameVariants(name)) {
    std::string host;
    if (!PlatformHostPathIn("LoadLibraryA", folder, variant.c_str(), &host)) return std::string();
    if (IsRegularFile(host)) return RealPath(host);
  }
  return std::string();
}

// The caller's name in UTF-8, or false after reporting that it is not GBK text.
bool HostName(const char* function, const char* name, std::string* utf8) {
  if (PlatformAnsiToUtf8(name, utf8)) return true;
  PlatformFailUntranslatable(function, name, false);
  return false;
}

HMODULE OpenLibrary(const std::string& path) {
  // Every import bound now, as Windows binds a DLL's: a missing function fails the load.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    // The loader's own reason (a missing dependency, a wrong format) helps whoever
    // has to repair the installation; Windows would only give the code.
    const char* why = dlerror();
    PlatformReport("LoadLibraryA: %s", why ? why : path.c_str());
    // A function its imports name is missing: Windows says so with its own code.
    SetLastError(why && strstr(why, "undefined symbol") ? ERROR_PROC_NOT_FOUND : ERROR_BAD_FORMAT);
    return nullptr;
  }
  return static_cast<HMODULE>(handle);
}

}  // namespace

// Null gives the program. Only modules already loaded are found; no reference is added.
extern "C" HMODULE GetModuleHandleA(LPCSTR name) {
  if (!name) return MainHandle();
  std::string utf8Name;
  if (!HostName("GetModuleHandleA", name, &utf8Name)) return nullptr;
  if (!PlatformPathHasSeparator(name)) {
    std::lock_guard<std::mutex> lock(g_builtinMutex);
    BuiltinModule* builtin = FindBuiltin(utf8Name);
    if (builtin && builtin->loads > 0) return reinterpret_cast<HMODULE>(builtin);
  }
  const std::vector<LoadedObject> objects = LoadedObjects();
  if (PlatformPathHasSeparator(name)) {
    const std::string file = FindFile(std::string(), name);
    for (const LoadedObject& object : objects) {
      const std::string objectPath = object.path.empty() ? ExecutablePath() : object.path;
      if (!file.empty() && RealPath(objectPath) == file) return HandleOfLoaded(object.path);
    }
  } else {
    for (const LoadedObject& object : objects) {
      if (NamesModule(utf8Name, object.path)) {
        if (HMODULE handle = HandleOfLoaded(object.path)) return handle;
      }
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Returns the length copied. A buffer too small gets as many whole characters as fit
// in size - 1 bytes and a NUL, and the call returns size with ERROR_INSUFFICIENT_BUFFER,
// so a caller can tell a cut path from a whole one. The path is GBK: a file name that
// GBK cannot hold fails (0, ERROR_NO_UNICODE_TRANSLATION) rather than naming another file.
extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size) {
  std::string path;
  if (!module || module == MainHandle()) {
    path = ExecutablePath();
  } else if (AsBuiltin(module)) {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&GetModuleFileNameA), &info) && info.dli_fname) {
      path = RealPath(info.dli_fname);
    }
  } else if (IsLoadedHandle(module)) {
    struct link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map) {
      path = map->l_name && *map->l_name ? map->l_name : ExecutablePath();
    }
  } else {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string windows;
  if (!PlatformWindowsPath("GetModuleFileNameA", path, &windows)) return 0;
  if (!out || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (windows.size() >= size) {
    size_t fit = 0;
    while (fit < windows.size()) {
      const size_t next = fit + GbkCharLength(windows.data(), windows.size(), fit);
      if (next > size - 1) break;
      fit = next;
    }
    memcpy(out, windows.data(), fit);
    out[fit] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  memcpy(out, windows.c_str(), windows.size() + 1);
  return static_cast<DWORD>(windows.size());
}

// A bare name: built-in and loaded modules by base name, then the program's folder,
// the system's library path, the current directory. A name with a path: that file.
extern "C" HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string utf8Name;
  if (!HostName("LoadLibraryA", fileName, &utf8Name)) return nullptr;
  if (PlatformPathHasSeparator(fileName)) {
    const std::string file = FindFile(std::string(), fileName);
    if (!file.empty()) return OpenLibrary(file);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(g_builtinMutex);
    if (BuiltinModule* builtin = FindBuiltin(utf8Name)) {
      ++builtin->loads;
      return reinterpret_cast<HMODULE>(builtin);
    }
  }
  for (const LoadedObject& object : LoadedObjects()) {
    if (!object.path.empty() && NamesModule(utf8Name, object.path)) {
      if (void* handle = dlopen(object.path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        return static_cast<HMODULE>(handle);  // one more reference, as Windows counts
      }
    }
  }
  std::string file = FindFile(FolderOf(ExecutablePath()), fileName);
  if (!file.empty()) return OpenLibrary(file);
  for (const std::string& variant : NameVariants(utf8Name)) {
    if (!EndsWith(Lower(variant), ".so")) continue;
    if (void* handle = dlopen(variant.c_str(), RTLD_NOW | RTLD_LOCAL)) return static_cast<HMODULE>(handle);
  }
  file = FindFile(std::string(), fileName);
  if (!file.empty()) return OpenLibrary(file);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Only the module's own exports are found, not those of the libraries it uses.
extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (!name || reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // ordinals: Linux libraries have none
    return nullptr;
  }
  if (!module) module = MainHandle();
  if (BuiltinModule* builtin = AsBuiltin(module)) {
    FARPROC proc = builtin->lookup(name);
    if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
    return proc;
  }
  if (!IsLoadedHandle(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = dlsym(module, name);
  struct link_map* own = nullptr;
  struct link_map* found = nullptr;
  Dl_info info;
  if (symbol && dlinfo(module, RTLD_DI_LINKMAP, &own) == 0 &&
      dladdr1(symbol, &info, reinterpret_cast<void**>(&found), RTLD_DL_LINKMAP) && found == own) {
    return reinterpret_cast<FARPROC>(symbol);
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

// A built-in module stays; its count of loads drops. Others are dlclose'd.
extern "C" BOOL FreeLibrary(HMODULE module) {
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (BuiltinModule* builtin = AsBuiltin(module)) {
    std::lock_guard<std::mutex> lock(g_builtinMutex);
    if (builtin->loads > 0) --builtin->loads;
    return TRUE;
  }
  if (module == MainHandle()) return TRUE;
  if (!IsLoadedHandle(module) || dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
