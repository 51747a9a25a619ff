// The HttpFetcher on libcurl.
#pragma once

#include "corvio/download/http_fetcher.h"

namespace corvio {

class CurlFetcher final : public HttpFetcher {
 public:
  CurlFetcher();  // libcurl itself is loaded by the first transfer
  FetchResult Fetch(const FetchRequest& request, const BodySink& body,
                    CancelToken* cancel) override;
};

}  // namespace corvio
