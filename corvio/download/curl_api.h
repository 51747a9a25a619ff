// The network library, loaded on first use rather than with the framework: it pulls in
// dozens of libraries (TLS, Kerberos, LDAP, SSH, ...) whose loading would otherwise come
// before the first window. The first transfer loads it on its worker thread.
#pragma once

#include <curl/curl.h>

namespace corvio {

struct CurlApi {
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
  CURLcode (*easy_perform)(CURL*);
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
  void (*easy_cleanup)(CURL*);
  const char* (*easy_strerror)(CURLcode);
  CURLM* (*multi_init)();
  CURLMcode (*multi_add_handle)(CURLM*, CURL*);
  CURLMcode (*multi_remove_handle)(CURLM*, CURL*);
  CURLMcode (*multi_perform)(CURLM*, int*);
  CURLMcode (*multi_poll)(CURLM*, struct curl_waitfd*, unsigned int, int, int*);
  CURLMcode (*multi_wakeup)(CURLM*);
  CURLMsg* (*multi_info_read)(CURLM*, int*);
  CURLMcode (*multi_cleanup)(CURLM*);
  struct curl_slist* (*slist_append)(struct curl_slist*, const char*);
  void (*slist_free_all)(struct curl_slist*);
};

// The loaded and initialised library, the same table for every caller; nullptr when it
// cannot be loaded (said once on standard error). Safe from any thread.
const CurlApi* Curl();

}  // namespace corvio
