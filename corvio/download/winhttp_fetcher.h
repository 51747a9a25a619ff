// The HttpFetcher on WinHTTP, for Windows.
#pragma once

#include "corvio/download/http_fetcher.h"

namespace corvio {

class WinHttpFetcher final : public HttpFetcher {
 public:
  FetchResult Fetch(const FetchRequest& request, const BodySink& body,
                    CancelToken* cancel) override;
};

}  // namespace corvio
