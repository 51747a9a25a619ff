// The Downloader (ComponentId 148) and its second interface DownloadNotifier: downloads
// on worker threads, notifications on the thread that registered the sink.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/interfaces.h"

namespace corvio {

class CancelToken;
class HttpFetcher;
class UiDispatcher;

class DownloaderImpl final : public Downloader, public DownloadNotifier {
 public:
  explicit DownloaderImpl(std::shared_ptr<HttpFetcher> fetcher);
  // Cancels downloads in flight; their notifications never arrive. A worker that does not
  // end within a moment is left to end by itself: it holds nothing of this object.
  int Release(int) override;
  int Initialize(int) override { return 0; }
  // Fetches fileName from the server of the named settings into the settings' local
  // folder. Returns the task number (> 0), or 0 for unknown settings, a file name with a
  // folder part, or no thread. The four numbers are accepted and not used.
  int StartDownload(const char* settingsName, const char* fileName, int a, int b, int c,
                    int d) override;
  // Takes ownership; a settings object replaced under the same name is released.
  int AddSettings(const char* settingsName, DownloadSettings* settings) override;
  // Notifications go to the sink through the message loop of the first caller's thread.
  int SetDownloadSink(DownloadEventSink* sink, int reserved) override;

  // For tests: time limits in milliseconds, and the folder that stands for the program
  // directory (Windows or POSIX form).
  void SetTimeoutsForTesting(long connectMs, long totalMs);
  void SetProgramDirectoryForTesting(const std::string& directory);
  int DownloadsInFlight();

 private:
  struct Task {
    std::thread thread;
    std::shared_ptr<CancelToken> cancel;
    std::shared_ptr<std::atomic<bool>> done;
  };

  ~DownloaderImpl();
  void Deliver(int task, bool stored, long status);  // on the sink's thread
  void JoinFinished();
  std::string ProgramFolder();  // the program folder, or the one a test set

  std::shared_ptr<HttpFetcher> fetcher_;
  std::map<std::string, DownloadSettings*> settings_;
  DownloadEventSink* sink_ = nullptr;
  // Shared with the workers, so one left behind at release never touches this object.
  struct Channel {
    std::mutex mutex;
    std::unique_ptr<UiDispatcher> dispatcher;
  };
  std::shared_ptr<Channel> channel_;
  std::vector<Task> tasks_;
  int nextTask_ = 1;
  long connectMs_ = 5000;
  long totalMs_ = 20000;
  std::string programDirectory_;
};

}  // namespace corvio
