// The store-then-rename step of a download, through the platform's file calls so that
// Windows-form paths resolve the same way the launcher resolves them.
#include "corvio/download/download_job.h"

#include <stdio.h>

#include "corvio/download/cancel_token.h"
#include "corvio/download/part_files.h"
#include "platform/win32.h"

namespace corvio {

namespace {

// Creates each missing folder of a Windows-form path, outermost first.
void EnsureFolder(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '\\') continue;
    const std::string prefix = folder.substr(0, i);
    if (prefix.empty() || prefix.back() == ':') continue;
    if (GetFileAttributesA(prefix.c_str()) == INVALID_FILE_ATTRIBUTES) {
      CreateDirectoryA(prefix.c_str(), nullptr);
    }
  }
}

bool IsIdentity(const std::string& encoding) {
  static const char kIdentity[] = "identity";
  if (encoding.size() != sizeof kIdentity - 1) return false;
  for (size_t i = 0; i < encoding.size(); ++i) {
    const char c = encoding[i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kIdentity[i]) return false;
  }
  return true;
}

DownloadOutcome Fail(const DownloadJob& job, long status, const std::string& why) {
  DeleteFileA(job.tempPath.c_str());
  DownloadOutcome outcome;
  outcome.httpStatus = status;
  outcome.message = why;
  return outcome;
}

}  // namespace

DownloadOutcome RunDownloadJob(HttpFetcher& fetcher, const DownloadJob& job,
                               CancelToken* cancel) {
  EnsureFolder(job.folder);
  RemoveStaleParts(job.folder, job.fileName);
  FILE* out = PlatformOpenFile(job.tempPath.c_str(), "wb");
  if (!out) return Fail(job, 0, "cannot create " + job.tempPath);

  bool diskError = false;
  const BodySink body = [&](const char* data, size_t size) {
    if (size && fwrite(data, 1, size, out) != size) diskError = true;
    return !diskError;
  };
  const FetchResult result = fetcher.Fetch(job.request, body, cancel);
  const bool wanted = result.complete && result.httpStatus == 200 && !diskError;
  if (wanted && !FlushToDisk(out)) diskError = true;
  if (fclose(out) != 0) diskError = true;

  if (cancel && cancel->Cancelled()) return Fail(job, result.httpStatus, "cancelled");
  if (diskError) return Fail(job, result.httpStatus, "cannot write " + job.tempPath);
  if (!result.complete) return Fail(job, result.httpStatus, result.error);
  if (result.httpStatus != 200) {
    return Fail(job, result.httpStatus, "server answered " + std::to_string(result.httpStatus));
  }
  // Nothing here unpacks a compressed body: stored, it would only fail later without a word.
  if (!result.contentEncoding.empty() && !IsIdentity(result.contentEncoding)) {
    return Fail(job, result.httpStatus,
                "the answer is encoded (Content-Encoding: " + result.contentEncoding +
                    "), which is not unpacked");
  }
  if (!ReplaceWithPart(job.tempPath, job.finalPath)) {
    return Fail(job, result.httpStatus, "cannot replace " + job.finalPath);
  }
  DownloadOutcome outcome;
  outcome.stored = true;
  outcome.httpStatus = result.httpStatus;
  return outcome;
}

}  // namespace corvio
