// Loading libcurl by its run-time name and binding the calls the framework makes.
#include "corvio/download/curl_api.h"

#include <dlfcn.h>

#include <mutex>

#include "corvio/report.h"

namespace corvio {

namespace {

const char kLibrary[] = "libcurl.so.4";

template <typename Fn>
bool Bind(void* library, const char* name, Fn* out) {
  *out = reinterpret_cast<Fn>(dlsym(library, name));
  if (*out) return true;
  ReportF("[Corvio_Download]", "%s has no %s", kLibrary, name);
  return false;
}

const CurlApi* Load() {
  // Kept loaded until the process ends: transfers on other threads may still use it.
  void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    ReportF("[Corvio_Download]", "cannot load the network library: %s", dlerror());
    return nullptr;
  }
  static CurlApi api;
  CURLcode (*globalInit)(long) = nullptr;
  bool ok = Bind(library, "curl_global_init", &globalInit) &&
            Bind(library, "curl_easy_init", &api.easy_init) &&
            Bind(library, "curl_easy_setopt", &api.easy_setopt) &&
            Bind(library, "curl_easy_perform", &api.easy_perform) &&
            Bind(library, "curl_easy_getinfo", &api.easy_getinfo) &&
            Bind(library, "curl_easy_cleanup", &api.easy_cleanup) &&
            Bind(library, "curl_easy_strerror", &api.easy_strerror) &&
            Bind(library, "curl_multi_init", &api.multi_init) &&
            Bind(library, "curl_multi_add_handle", &api.multi_add_handle) &&
            Bind(library, "curl_multi_remove_handle", &api.multi_remove_handle) &&
            Bind(library, "curl_multi_perform", &api.multi_perform) &&
            Bind(library, "curl_multi_poll", &api.multi_poll) &&
            Bind(library, "curl_multi_wakeup", &api.multi_wakeup) &&
            Bind(library, "curl_multi_info_read", &api.multi_info_read) &&
            Bind(library, "curl_multi_cleanup", &api.multi_cleanup) &&
            Bind(library, "curl_slist_append", &api.slist_append) &&
            Bind(library, "curl_slist_free_all", &api.slist_free_all);
  if (!ok) return nullptr;
  if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    ReportF("[Corvio_Download]", "the network library failed to start");
    return nullptr;
  }
  return &api;
}

}  // namespace

const CurlApi* Curl() {
  static std::once_flag once;
  static const CurlApi* api = nullptr;
  std::call_once(once, [] { api = Load(); });
  return api;
}

}  // namespace corvio
