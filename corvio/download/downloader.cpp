// Downloader: each StartDownload gets a worker thread; the worker's outcome travels to
// the sink's thread through a UiDispatcher, so sinks never need a lock.
#include "corvio/download/downloader.h"

#include <chrono>
#include <utility>

#include "components/program_directory.h"
#include "corvio/download/cancel_token.h"
#include "corvio/download/download_job.h"
#include "corvio/download/download_settings.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/download/part_files.h"
#include "corvio/registry.h"
#include "corvio/report.h"
#include "corvio/runtime/first_paint.h"
#include "corvio/runtime/ui_dispatcher.h"
#include "platform/win32.h"

namespace corvio {

namespace {

// A real district list is a few kilobytes; anything near this is not one.
constexpr size_t kMaxListBytes = 1024 * 1024;
// A list's signature file is 128 hexadecimal digits and a line end.
constexpr size_t kMaxSignatureBytes = 1024;

size_t MaxBodyBytesFor(const std::string& fileName) {
  const std::string suffix = ".sig";
  const bool signature = fileName.size() >= suffix.size() &&
                         fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) == 0;
  return signature ? kMaxSignatureBytes : kMaxListBytes;
}

// How long a release waits for cancelled workers before leaving them behind.
constexpr std::chrono::milliseconds kJoinWait(300);

const char kPrefix[] = "[Corvio_Download]";

}  // namespace

DownloaderImpl::DownloaderImpl(std::shared_ptr<HttpFetcher> fetcher)
    : fetcher_(std::move(fetcher)), channel_(std::make_shared<Channel>()) {}

DownloaderImpl::~DownloaderImpl() {
  for (Task& task : tasks_) task.cancel->Cancel();
  // A cancelled worker ends at once unless the system holds it (a look-up, a disk); the
  // window's close must not wait for that, so such a worker is left to end on its own.
  const auto deadline = std::chrono::steady_clock::now() + kJoinWait;
  for (Task& task : tasks_) {
    while (!task.done->load() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!task.thread.joinable()) continue;
    if (task.done->load()) task.thread.join();
    else task.thread.detach();
  }
  {
    std::lock_guard<std::mutex> lock(channel_->mutex);
    channel_->dispatcher.reset();  // drops notifications not yet delivered
  }
  for (auto& entry : settings_) {
    if (entry.second) entry.second->Release(0);
  }
}

int DownloaderImpl::Release(int) {
  delete this;
  return 0;
}

int DownloaderImpl::AddSettings(const char* settingsName, DownloadSettings* settings) {
  if (!settingsName) {
    if (settings) settings->Release(0);  // owned now, and nowhere to keep it
    return 0;
  }
  const bool kept = Guarded([&] {
    DownloadSettings*& slot = settings_[settingsName];
    if (slot && slot != settings) slot->Release(0);
    slot = settings;
    if (!settings) settings_.erase(settingsName);
  });
  if (kept) return 1;
  if (settings) settings->Release(0);
  return 0;
}

int DownloaderImpl::SetDownloadSink(DownloadEventSink* sink, int) {
  sink_ = sink;
  std::lock_guard<std::mutex> lock(channel_->mutex);
  if (!channel_->dispatcher) {
    if (!Guarded([&] { channel_->dispatcher.reset(new UiDispatcher()); })) return 0;
  }
  return 1;
}

void DownloaderImpl::SetTimeoutsForTesting(long connectMs, long totalMs) {
  connectMs_ = connectMs;
  totalMs_ = totalMs;
}

void DownloaderImpl::SetProgramDirectoryForTesting(const std::string& directory) {
  programDirectory_ = directory;
  for (char& c : programDirectory_) {
    if (c == '/') c = '\\';
  }
  while (programDirectory_.size() > 1 && programDirectory_.back() == '\\') {
    programDirectory_.pop_back();
  }
}

std::string DownloaderImpl::ProgramFolder() {
  return programDirectory_.empty() ? std::string(ProgramDirectory()) : programDirectory_;
}

int DownloaderImpl::DownloadsInFlight() {
  int count = 0;
  for (Task& task : tasks_) count += task.done->load() ? 0 : 1;
  return count;
}

void DownloaderImpl::JoinFinished() {
  for (auto it = tasks_.begin(); it != tasks_.end();) {
    if (it->done->load()) {
      if (it->thread.joinable()) it->thread.join();
      it = tasks_.erase(it);
    } else {
      ++it;
    }
  }
}

int DownloaderImpl::StartDownload(const char* settingsName, const char* fileName, int, int,
                                  int, int) {
  const int started = Guarded([&] {
    JoinFinished();
    auto found = settingsName ? settings_.find(settingsName) : settings_.end();
    if (found == settings_.end()) {
      Report(kPrefix, std::string("no settings named \"") + (settingsName ? settingsName : "") + "\"");
      return 0;
    }
    DownloadSettingsImpl* settings = AsSettingsImpl(found->second);
    const DownloadTarget* target = settings ? settings->Target() : nullptr;
    if (!target) {
      Report(kPrefix, std::string("settings \"") + settingsName + "\" hold no accepted record");
      return 0;
    }
    if (!IsPlainFileName(fileName)) {
      Report(kPrefix, std::string("not a plain file name: \"") + (fileName ? fileName : "") + "\"");
      return 0;
    }
    const std::string base = ProgramFolder();
    if (base.empty()) {
      Report(kPrefix, "the program directory is unknown");
      return 0;
    }
    const int task = nextTask_++;
    if (nextTask_ <= 0) nextTask_ = 1;

    DownloadJob job;
    job.request.url = BuildDownloadUrl(*target, fileName);
    job.request.connectTimeoutMs = connectMs_;
    job.request.totalTimeoutMs = totalMs_;
    job.request.maxBodyBytes = MaxBodyBytesFor(fileName);
    job.folder = target->localDir.empty() ? base : base + "\\" + target->localDir;
    job.fileName = fileName;
    job.finalPath = job.folder + "\\" + fileName;
    job.tempPath = PartFilePath(job.finalPath, GetCurrentProcessId(), task);

    Task entry;
    entry.cancel = std::make_shared<CancelToken>();
    entry.done = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<HttpFetcher> fetcher = fetcher_;
    std::shared_ptr<CancelToken> cancel = entry.cancel;
    std::shared_ptr<std::atomic<bool>> done = entry.done;
    std::shared_ptr<Channel> channel = channel_;
    tasks_.reserve(tasks_.size() + 1);  // so the push below cannot fail after the start
    // The worker holds only shared state: `this` is used on the sink's thread alone, by
    // work the channel drops once this object goes.
    entry.thread = std::thread([this, task, job, fetcher, cancel, done, channel] {
      DownloadOutcome outcome;
      const bool ran = Guarded([&] {
        WaitForFirstPaint(cancel.get());
        outcome = RunDownloadJob(*fetcher, job, cancel.get());
      });
      if (!ran)
        outcome.message = "unexpected failure";
      if (!outcome.stored && !cancel->Cancelled()) {
        Guarded([&] { Report(kPrefix, "download of " + job.request.url + " failed: " + outcome.message); });
      }
      if (!cancel->Cancelled()) {
        const bool stored = outcome.stored;
        const long status = outcome.httpStatus;
        std::lock_guard<std::mutex> lock(channel->mutex);
        if (channel->dispatcher)  // else nobody asked to hear about it
          channel->dispatcher->Post([this, task, stored, status] { Deliver(task, stored, status); });
      }
      done->store(true);
    });
    tasks_.push_back(std::move(entry));
    return task;
  }, -1);
  if (started >= 0) return started;
  Report(kPrefix, "cannot start a download");
  return 0;
}

void DownloaderImpl::Deliver(int task, bool stored, long status) {
  DownloadEventSink* sink = sink_;
  if (!sink) return;
  // Nothing of this object is touched after the call: the sink may release it.
  Guarded([&] {
    if (!sink->IsSinkEnabled()) return;
    if (stored) {
      sink->OnDownloadFinished(task, 0);
    } else {
      sink->OnDownloadFailed(task, static_cast<int32_t>(status));
    }
  });
}

}  // namespace corvio

namespace {

Component* MakeDownloader() {
  return new corvio::DownloaderImpl(corvio::SystemFetcher());
}

}  // namespace

CORVIO_REGISTER_COMPONENT(148, MakeDownloader);
