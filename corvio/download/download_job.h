// One download from request to stored file: the body goes to a temporary file beside
// the target, which replaces the target only after a complete HTTP 200 answer.
#pragma once

#include <string>

#include "corvio/download/http_fetcher.h"

namespace corvio {

class CancelToken;

struct DownloadJob {
  FetchRequest request;   // its maxBodyBytes bounds the stored file
  std::string folder;     // Windows form; created when missing
  std::string fileName;   // the target's name in folder
  std::string finalPath;  // Windows form
  std::string tempPath;   // Windows form, in the same folder so the rename is atomic
};

struct DownloadOutcome {
  bool stored = false;
  long httpStatus = 0;
  std::string message;  // why it failed
};

// Runs on a worker thread. First removes temporary files of the target that ended
// processes left behind. On any failure the temporary file is gone and an earlier file
// at finalPath is untouched.
DownloadOutcome RunDownloadJob(HttpFetcher& fetcher, const DownloadJob& job,
                               CancelToken* cancel);

}  // namespace corvio
