// The downloader and this system's HttpFetcher against a real HTTP server on loopback:
// stored files, failures that leave the earlier file alone, hostile servers (cut short,
// silent, trickling, oversized), cancel, notifications on the UI thread, and temporary
// files left behind by ended processes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/interfaces.h"
#include "corvio/download/cancel_token.h"
#include "corvio/download/download_target.h"
#include "corvio/download/downloader.h"
#include "corvio/download/http_fetcher.h"
#include "platform/win32.h"
#include "tests/corvio/message_pump.h"
#include "tests/e2e/loopback_socket.h"
#include "tests/platform/core_temp_dir.h"

#ifdef _WIN32
#include <tlhelp32.h>
#else
#include <sys/select.h>
#include <unistd.h>
#endif

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

namespace {

namespace fs = std::filesystem;
using corvio::FetchFailure;

const char kListBody[] = "0123456789ABCDEF0123456789abcdef\n";
constexpr size_t kStreamTotal = 64u << 20;  // what stream.htm would send if nobody stopped it
constexpr unsigned long kDeadPid = 2147483645ul;  // above any Linux pid_max; odd, so no Windows id

// A small HTTP/1.0 server on 127.0.0.1; the requested file name picks the answer.
class TestServer {
 public:
  TestServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ == kNoSocket) return;
    const int port = BindLoopback(listener_);
    if (port == 0 || listen(listener_, 16) != 0) {
      CloseSocket(listener_);
      listener_ = kNoSocket;
      return;
    }
    port_ = port;
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~TestServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : connections_) t.join();
    if (listener_ != kNoSocket) CloseSocket(listener_);
  }
  int port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& file) const { return "http://" + Host() + "/zent/" + file; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // Waits until stream.htm's sender has stopped; the bytes it got out.
  size_t StreamedWhenDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(20), [this] { return streamsDone_ > 0; });
    return streamed_;
  }

 private:
  bool Stopping() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
  }
  // Sleeps up to ms, or less when the server stops; false once it stops.
  bool Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
  }
  void AcceptLoop() {
    while (!Stopping()) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_, &ready);
      timeval tick = {0, 100 * 1000};
      if (select(static_cast<int>(listener_) + 1, &ready, nullptr, nullptr, &tick) <= 0) continue;
      Socket s = accept(listener_, nullptr, nullptr);
      if (s == kNoSocket) continue;
      SetSocketTimeouts(s, 1000);
      std::lock_guard<std::mutex> lock(mutex_);
      connections_.emplace_back([this, s] {
        Serve(s);
        CloseSocket(s);
      });
    }
  }
  static bool SendAll(Socket s, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
      const int n = send(s, text.data() + sent, static_cast<int>(text.size() - sent), kSendFlags);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  // Sends total bytes of body in chunks; the count that went out.
  size_t SendBody(Socket s, size_t total) {
    const std::string chunk(64 * 1024, 'x');
    size_t sent = 0;
    while (sent < total && !Stopping()) {
      const size_t n = std::min(chunk.size(), total - sent);
      if (!SendAll(s, chunk.substr(0, n))) break;
      sent += n;
    }
    return sent;
  }
  void Serve(Socket s) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192) {
      const int n = recv(s, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    const std::string line = request.substr(0, request.find("\r\n"));
    const std::string path = line.size() > 4 ? line.substr(4, line.rfind(' ') - 4) : "";
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(path);
    }
    const std::string file = path.substr(path.rfind('/') + 1);
    if (file == "hang.htm") {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_; });
    } else if (file == "missing.htm") {
      SendAll(s, "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
    } else if (file == "error.htm") {
      SendAll(s, "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 5\r\n\r\nerror");
    } else if (file == "short.htm") {
      SendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nonly a few bytes");
    } else if (file == "trickle.htm") {
      // A byte every 200 ms: alive, but far below any useful speed.
      if (!SendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")) return;
      while (Pause(200) && SendAll(s, "x")) {
      }
    } else if (file == "huge.htm") {
      const size_t size = 2u << 20;
      if (SendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n")) {
        SendBody(s, size);
      }
    } else if (file == "stream.htm") {
      // No length announced: only counting what arrives can stop it.
      size_t sent = 0;
      if (SendAll(s, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n")) {
        sent = SendBody(s, kStreamTotal);
      }
      std::lock_guard<std::mutex> lock(mutex_);
      streamed_ = sent;
      ++streamsDone_;
      changed_.notify_all();
    } else if (file == "long.htm.sig") {  // well within a list's limit, not a signature's
      SendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: 1500\r\n\r\n" + std::string(1500, '0'));
    } else if (file == "redirect.htm") {
      SendAll(s, "HTTP/1.0 302 Found\r\nLocation: /zent/landed.htm\r\nContent-Length: 0\r\n\r\n");
    } else if (file == "loop.htm") {
      SendAll(s, "HTTP/1.0 302 Found\r\nLocation: /zent/loop.htm\r\nContent-Length: 0\r\n\r\n");
    } else {
      const std::string body = kListBody + file;
      SendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\n\r\n" + body);
    }
  }

  SocketLibrary sockets_;
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  size_t streamed_ = 0;
  int streamsDone_ = 0;
  std::vector<std::thread> connections_;
  std::vector<std::string> requests_;
};

// A running process other than this one, or 0.
unsigned long OtherLiveProcess() {
#ifdef _WIN32
  unsigned long found = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID != 0 && entry.th32ProcessID != GetCurrentProcessId()) {
      found = entry.th32ProcessID;
    }
  }
  CloseHandle(snapshot);
  return found;
#else
  return static_cast<unsigned long>(getppid());
#endif
}

struct Notice {
  bool finished;
  int task;
  DWORD thread;
};

class RecordingSink final : public DownloadEventSink {
 public:
  void OnDownloadFinished(int32_t task, int32_t) override {
    notices.push_back({true, task, GetCurrentThreadId()});
  }
  void OnDownloadFailed(int32_t task, int32_t) override {
    notices.push_back({false, task, GetCurrentThreadId()});
  }
  void OnDownloadNoticeA(int32_t, int32_t, int32_t) override {}
  void OnDownloadNoticeB(int32_t) override {}
  void OnDownloadNoticeC(int32_t, int32_t) override {}
  std::vector<Notice> notices;
};

// Settings that count their releases; not the framework's own kind.
class CountingSettings final : public DownloadSettings {
 public:
  explicit CountingSettings(int* releases) : releases_(releases) {}
  int Release(int) override {
    ++*releases_;
    return 0;
  }
  int Initialize(int) override { return 0; }
  int ApplySettings(const DownloadSettingsRecord*) override { return 1; }

 private:
  int* releases_;
};

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

DownloadSettingsRecord Record(const std::string& host, const char* path, const char* local) {
  DownloadSettingsRecord record;
  memset(&record, 0, sizeof record);
  strncpy(record.remotePath, path, sizeof record.remotePath - 1);
  strncpy(record.localDir, local, sizeof record.localDir - 1);
  strncpy(record.localDirAlt, local, sizeof record.localDirAlt - 1);
  record.serverCount = 1;
  strncpy(record.serverHost, host.c_str(), sizeof record.serverHost - 1);
  record.serverPort = 80;
  return record;
}

void KeepProxiesOut() {
#ifndef _WIN32
  for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                           "all_proxy", "ALL_PROXY"}) {
    unsetenv(name);  // every request of this test goes straight to loopback
  }
#endif
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepProxiesOut();
    ASSERT_TRUE(folder.ok());
    dir = folder.path();
    config = dir + "/config";
    ASSERT_TRUE(fs::create_directory(config));
    factory = CreateComponent(361, 0);
    ASSERT_NE(factory, nullptr);
    downloader = NewDownloader();
    ASSERT_NE(downloader, nullptr);
  }
  void TearDown() override {
    if (downloader) downloader->Release(0);
  }
  Downloader* NewDownloader() {
    Component* c = factory->NewComponent(Downloader::kId, nullptr);
    if (!c) return nullptr;
    c->Initialize(0);
    auto* d = static_cast<Downloader*>(c);
    auto* impl = dynamic_cast<corvio::DownloaderImpl*>(d);
    if (!impl) return nullptr;
    impl->SetProgramDirectoryForTesting(dir);
    impl->SetTimeoutsForTesting(2000, 1500);
    return d;
  }
  DownloadSettings* NewSettings(const DownloadSettingsRecord& record) {
    Component* c = factory->NewComponent(DownloadSettings::kId, nullptr);
    if (!c) return nullptr;
    c->Initialize(0);
    auto* s = static_cast<DownloadSettings*>(c);
    if (!s->ApplySettings(&record)) {
      s->Release(0);
      return nullptr;
    }
    return s;
  }
  // Registers the record's settings under "MyDefaultCfg" and the sink with `d`; true on
  // success.
  bool Configure(Downloader* d, const DownloadSettingsRecord& record, DownloadEventSink* sink) {
    DownloadSettings* settings = NewSettings(record);
    if (!settings) return false;
    if (NotifierOf(d)->SetDownloadSink(sink, 0) == 0) return false;
    d->AddSettings("MyDefaultCfg", settings);
    return true;
  }
  bool Configure(const std::string& host, RecordingSink* sink) {
    return Configure(downloader, Record(host, "zent", "config"), sink);
  }
  std::vector<std::string> PartFiles() {
    std::vector<std::string> parts;
    for (const std::string& name : FilesIn(config)) {
      if (name.find(".part") != std::string::npos) parts.push_back(name);
    }
    return parts;
  }

  CoreTempDir folder;
  std::string dir, config;
  ComponentFactory* factory = nullptr;
  Downloader* downloader = nullptr;
};

TEST_F(DownloadTest, success_stores_the_file_and_notifies_on_the_ui_thread) {
  TestServer server;
  ASSERT_GT(server.port(), 0);
  RecordingSink sink;
  ASSERT_TRUE(Configure(server.Host(), &sink));
  folder.Write("config/zentxmlwtz.htm", "older list\n");
  const int task = downloader->StartDownload("MyDefaultCfg", "zentxmlwtz.htm", -1, 0, 4, 0);
  ASSERT_GT(task, 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  ASSERT_EQ(sink.notices.size(), 1u);
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(sink.notices[0].task, task);
  EXPECT_EQ(sink.notices[0].thread, GetCurrentThreadId());
  EXPECT_EQ(folder.Read("config/zentxmlwtz.htm"), std::string(kListBody) + "zentxmlwtz.htm");
  EXPECT_TRUE(PartFiles().empty());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "/zent/zentxmlwtz.htm");
}

TEST_F(DownloadTest, failures_notify_and_leave_the_earlier_file_byte_identical) {
  TestServer server;
  ASSERT_GT(server.port(), 0);
  const std::string live = server.Host();
  const std::string refused = "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
  struct Row {
    const char* what;
    std::string host;
    const char* file;
  } rows[] = {{"404", live, "missing.htm"},
              {"500", live, "error.htm"},
              {"body cut short", live, "short.htm"},
              {"never answers", live, "hang.htm"},
              {"trickles", live, "trickle.htm"},
              {"announces more than a list can be", live, "huge.htm"},
              {"streams more than a list can be", live, "stream.htm"},
              {"a signature file over 1 KiB", live, "long.htm.sig"},
              {"connection refused", refused, "zentxmlwtz.htm"}};
  const std::string earlier("earlier list \x00\xff\r\n", 17);
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    Downloader* d = NewDownloader();
    ASSERT_NE(d, nullptr) << "row " << row;
    RecordingSink sink;
    ASSERT_TRUE(Configure(d, Record(rows[row].host, "zent", "config"), &sink)) << "row " << row;
    const std::string target = std::string("config/") + rows[row].file;
    folder.Write(target, earlier);
    const int task = d->StartDownload("MyDefaultCfg", rows[row].file, -1, 0, 4, 0);
    EXPECT_GT(task, 0) << "row " << row << " " << rows[row].what;
    EXPECT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000))
        << "row " << row << " " << rows[row].what;
    PumpUntil([] { return false; }, 50);  // a second notice would show up here
    ASSERT_EQ(sink.notices.size(), 1u) << "row " << row << " " << rows[row].what;
    EXPECT_FALSE(sink.notices[0].finished) << "row " << row << " " << rows[row].what;
    EXPECT_EQ(sink.notices[0].thread, GetCurrentThreadId()) << "row " << row;
    EXPECT_EQ(folder.Read(target), earlier) << "row " << row << " " << rows[row].what;
    EXPECT_TRUE(PartFiles().empty()) << "row " << row << " " << rows[row].what;
    d->Release(0);
  }
}

TEST_F(DownloadTest, a_start_removes_part_files_whose_process_is_gone) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure(server.Host(), &sink));
  const std::string self = std::to_string(GetCurrentProcessId());
  const std::string dead = std::to_string(kDeadPid);
  const unsigned long other = OtherLiveProcess();
  struct Row {
    std::string name;
    bool stays;
  } rows[] = {{"zentxmlwtz.htm." + dead + "-1.part", false},
              {"ZentXmlWtz.htm." + dead + "-7.part", false},
              {"zentxmlwtz.htm." + self + "-99.part", true},  // another download of this process
              {"zentxmlwtz.htm." + dead + "-1.part.keep", true},
              {"zentxmlwtz.htm.x" + dead + "-1.part", true},
              {"zentxmlwtz.htm." + dead + ".part", true},
              {"other.htm." + dead + "-1.part", true},
              {other ? "zentxmlwtz.htm." + std::to_string(other) + "-3.part" : "", true}};
  for (const Row& row : rows) {
    if (!row.name.empty()) folder.Write("config/" + row.name, "left behind");
  }
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "zentxmlwtz.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(folder.Read("config/zentxmlwtz.htm"), std::string(kListBody) + "zentxmlwtz.htm");
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    if (rows[row].name.empty()) continue;
    EXPECT_EQ(fs::exists(config + "/" + rows[row].name), rows[row].stays)
        << "row " << row << " " << rows[row].name;
  }
  if (!other) std::printf("no other process found: a live owner's file was not tried\n");
}

TEST_F(DownloadTest, several_downloads_run_at_once) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure(server.Host(), &sink));
  const char* files[] = {"a.htm", "b.htm", "c.htm", "hang.htm"};
  for (const char* file : files) {
    EXPECT_GT(downloader->StartDownload("MyDefaultCfg", file, -1, 0, 4, 0), 0) << file;
  }
  // Three finish while the fourth is still waiting for its answer.
  ASSERT_TRUE(PumpUntil([&] { return sink.notices.size() >= 3; }, 15000));
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(sink.notices[i].finished) << "notice " << i;
  for (const char* file : {"a.htm", "b.htm", "c.htm"}) {
    EXPECT_EQ(folder.Read(std::string("config/") + file), std::string(kListBody) + file) << file;
  }
  ASSERT_TRUE(PumpUntil([&] { return sink.notices.size() >= 4; }, 15000));
  EXPECT_FALSE(sink.notices[3].finished);
}

TEST_F(DownloadTest, release_with_a_download_in_flight_returns_and_never_notifies) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure(server.Host(), &sink));
  auto* impl = dynamic_cast<corvio::DownloaderImpl*>(downloader);
  impl->SetTimeoutsForTesting(20000, 60000);
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "hang.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !server.Requests().empty(); }, 10000));
  const DWORD start = GetTickCount();
  downloader->Release(0);
  downloader = nullptr;
  EXPECT_LT(GetTickCount() - start, 10000u);  // cancelled, not waited out
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(sink.notices.empty());
  EXPECT_TRUE(PartFiles().empty());
}

TEST_F(DownloadTest, unknown_settings_name_or_folder_in_file_name_gives_zero) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure(server.Host(), &sink));
  const char* names[][2] = {{"NoSuchCfg", "zentxmlwtz.htm"}, {nullptr, "zentxmlwtz.htm"},
                            {"MyDefaultCfg", "..\\escape.htm"}, {"MyDefaultCfg", "a/b.htm"},
                            {"MyDefaultCfg", ""}, {"MyDefaultCfg", nullptr}};
  for (size_t row = 0; row < sizeof names / sizeof names[0]; ++row) {
    EXPECT_EQ(downloader->StartDownload(names[row][0], names[row][1], -1, 0, 4, 0), 0)
        << "row " << row;
  }
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(sink.notices.empty());
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(DownloadTest, missing_local_folder_is_created) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure(downloader, Record(server.Host(), "\\zent\\", "cache\\lists"), &sink));
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "x.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(folder.Read("cache/lists/x.htm"), std::string(kListBody) + "x.htm");
  EXPECT_EQ(server.Requests()[0], "/zent/x.htm");
}

TEST_F(DownloadTest, local_folder_matches_an_existing_folder_of_other_case) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(fs::remove(config));
  ASSERT_TRUE(fs::create_directory(dir + "/Config"));
  ASSERT_TRUE(Configure(server.Host(), &sink));
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "zentxmlwtz.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(folder.Read("Config/zentxmlwtz.htm"),
            std::string(kListBody) + "zentxmlwtz.htm");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"Config"});
}

class DisabledSink final : public DownloadEventSink {
 public:
  int IsSinkEnabled() override { return 0; }
  void OnDownloadFinished(int32_t, int32_t) override { ++calls; }
  void OnDownloadFailed(int32_t, int32_t) override { ++calls; }
  void OnDownloadNoticeA(int32_t, int32_t, int32_t) override {}
  void OnDownloadNoticeB(int32_t) override {}
  void OnDownloadNoticeC(int32_t, int32_t) override {}
  int calls = 0;
};

TEST_F(DownloadTest, a_disabled_sink_hears_nothing_but_the_file_is_stored) {
  TestServer server;
  DisabledSink sink;
  ASSERT_TRUE(Configure(downloader, Record(server.Host(), "zent", "config"), &sink));
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "x.htm", -1, 0, 4, 0), 0);
  auto* impl = dynamic_cast<corvio::DownloaderImpl*>(downloader);
  ASSERT_TRUE(PumpUntil([&] { return impl->DownloadsInFlight() == 0; }, 15000));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(sink.calls, 0);
  EXPECT_EQ(folder.Read("config/x.htm"), std::string(kListBody) + "x.htm");
}

TEST_F(DownloadTest, unwritable_local_folder_fails_cleanly) {
  TestServer server;
  RecordingSink sink;
  folder.Write("blocked", "a file where the folder should be");
  ASSERT_TRUE(Configure(downloader, Record(server.Host(), "zent", "blocked"), &sink));
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "x.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_FALSE(sink.notices[0].finished);
  EXPECT_EQ(folder.Read("blocked"), "a file where the folder should be");
}

TEST_F(DownloadTest, replaced_settings_are_released_once) {
  int releases = 0;
  auto* first = new CountingSettings(&releases);
  auto* second = new CountingSettings(&releases);
  downloader->AddSettings("Cfg", first);
  downloader->AddSettings("Cfg", second);
  EXPECT_EQ(releases, 1);
  downloader->Release(0);
  downloader = nullptr;
  EXPECT_EQ(releases, 2);
  delete first;
  delete second;
}

TEST_F(DownloadTest, settings_without_host_are_refused) {
  Component* c = factory->NewComponent(DownloadSettings::kId, nullptr);
  ASSERT_NE(c, nullptr);
  auto* settings = static_cast<DownloadSettings*>(c);
  EXPECT_EQ(settings->ApplySettings(nullptr), 0);
  DownloadSettingsRecord record = Record("", "zent", "config");
  EXPECT_EQ(settings->ApplySettings(&record), 0);
  record = Record("   ", "zent", "config");
  EXPECT_EQ(settings->ApplySettings(&record), 0);
  record = Record("download.invalid", "zent", "config");
  EXPECT_EQ(settings->ApplySettings(&record), 1);
  settings->Release(0);
}

const char* FailureName(FetchFailure failure) {
  switch (failure) {
    case FetchFailure::kNone: return "none";
    case FetchFailure::kCancelled: return "cancelled";
    case FetchFailure::kConnect: return "connect";
    case FetchFailure::kTimeout: return "timeout";
    case FetchFailure::kTooSlow: return "too slow";
    case FetchFailure::kTooLarge: return "too large";
    case FetchFailure::kCutShort: return "cut short";
    case FetchFailure::kRefused: return "refused";
    case FetchFailure::kOther: return "other";
  }
  return "?";
}

TEST(DownloadFetcher, each_hostile_answer_ends_with_its_own_failure) {
  KeepProxiesOut();
  TestServer server;
  ASSERT_GT(server.port(), 0);
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/zent/x.htm";
  constexpr long kAny = -1;
  struct Row {
    const char* what;
    std::string url;
    long totalMs;
    long lowSpeed;  // bytes a second
    bool complete;
    long status;
    FetchFailure failure;
  } rows[] = {
      {"a list", server.Url("list.htm"), 20000, 1024, true, 200, FetchFailure::kNone},
      {"404 is an answer", server.Url("missing.htm"), 20000, 1024, true, 404, FetchFailure::kNone},
      {"redirect followed", server.Url("redirect.htm"), 20000, 1024, true, 200, FetchFailure::kNone},
      {"redirect loop", server.Url("loop.htm"), 20000, 1024, false, kAny, FetchFailure::kOther},
      {"cut short", server.Url("short.htm"), 20000, 1024, false, 200, FetchFailure::kCutShort},
      {"silent, no low speed", server.Url("hang.htm"), 1500, 0, false, 0, FetchFailure::kTimeout},
      {"silent", server.Url("hang.htm"), 20000, 1024, false, 0, FetchFailure::kTooSlow},
      {"trickles", server.Url("trickle.htm"), 20000, 1024, false, 200, FetchFailure::kTooSlow},
      {"announces 2 MiB", server.Url("huge.htm"), 20000, 1024, false, 200, FetchFailure::kTooLarge},
      {"streams 64 MiB", server.Url("stream.htm"), 20000, 1024, false, 200, FetchFailure::kTooLarge},
      {"refused", refused, 20000, 1024, false, 0, FetchFailure::kConnect},
      {"not http", "ftp://127.0.0.1/x", 20000, 1024, false, 0, FetchFailure::kOther},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    corvio::FetchRequest request;
    request.url = rows[row].url;
    request.totalTimeoutMs = rows[row].totalMs;
    request.lowSpeedBytesPerSecond = rows[row].lowSpeed;
    request.maxBodyBytes = 1u << 20;
    std::string body;
    const corvio::BodySink sink = [&body](const char* data, size_t size) {
      body.append(data, size);
      return true;
    };
    const corvio::FetchResult result = corvio::SystemFetcher()->Fetch(request, sink, nullptr);
    const std::string where = "row " + std::to_string(row) + " " + rows[row].what + ": " +
                              FailureName(result.failure) + ", " + result.error;
    EXPECT_EQ(result.complete, rows[row].complete) << where;
    EXPECT_EQ(result.failure, rows[row].failure) << where;
    if (rows[row].status != kAny) {
      EXPECT_EQ(result.httpStatus, rows[row].status) << where;
    }
    EXPECT_EQ(result.error.empty(), rows[row].complete) << where;
    EXPECT_LE(body.size(), request.maxBodyBytes) << where;
  }
  EXPECT_LT(server.StreamedWhenDone(), kStreamTotal);  // the transfer stopped, not drained
  const std::vector<std::string> requests = server.Requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), "/zent/landed.htm"), requests.end());
}

TEST(DownloadFetcher, cancel_from_another_thread_ends_a_waiting_transfer) {
  KeepProxiesOut();
  TestServer server;
  corvio::FetchRequest request;
  request.url = server.Url("hang.htm");
  request.totalTimeoutMs = 60000;
  request.lowSpeedBytesPerSecond = 0;
  corvio::CancelToken cancel;
  corvio::FetchResult result;
  std::thread worker([&] {
    result = corvio::SystemFetcher()->Fetch(
        request, [](const char*, size_t) { return true; }, &cancel);
  });
  const bool asked = PumpUntil([&] { return !server.Requests().empty(); }, 10000);
  cancel.Cancel();
  worker.join();
  ASSERT_TRUE(asked);
  EXPECT_EQ(result.failure, FetchFailure::kCancelled) << result.error;
  EXPECT_FALSE(result.complete);
}

TEST(DownloadTarget, host_forms_give_host_and_port) {
  struct Row {
    const char* host;
    uint16_t recordPort;
    bool ok;
    const char* wantHost;
    int wantPort;
  } rows[] = {
      {"list.invalid", 80, true, "list.invalid", 80},
      {"127.0.0.1:8080", 80, true, "127.0.0.1", 8080},
      {"127.0.0.1", 8081, true, "127.0.0.1", 8081},
      {"127.0.0.1", 0, true, "127.0.0.1", 80},
      {" http://list.invalid/ ", 80, true, "list.invalid", 80},
      {"[::1]:9000", 80, true, "::1", 9000},
      {"[::1]", 80, true, "::1", 80},
      {"", 80, false, "", 0},
      {"host:", 80, false, "", 0},
      {"host:0", 80, false, "", 0},
      {"host:65536", 80, false, "", 0},
      {"host:80x", 80, false, "", 0},
      {"user@host", 80, false, "", 0},
      {"a host", 80, false, "", 0},
      {"host/path", 80, false, "", 0},
      {"[::1", 80, false, "", 0},
      {":80", 80, false, "", 0},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    DownloadSettingsRecord record = Record(rows[row].host, "zent", "config");
    record.serverPort = rows[row].recordPort;
    corvio::DownloadTarget target;
    std::string why;
    EXPECT_EQ(corvio::ParseDownloadTarget(record, &target, &why), rows[row].ok)
        << "row " << row << " " << rows[row].host << " " << why;
    if (!rows[row].ok) {
      EXPECT_FALSE(why.empty()) << "row " << row;
      continue;
    }
    EXPECT_EQ(target.host, rows[row].wantHost) << "row " << row;
    EXPECT_EQ(target.port, rows[row].wantPort) << "row " << row;
  }
}

TEST(DownloadTarget, paths_are_normalised_and_encoded) {
  struct Row {
    const char* remote;
    const char* file;
    const char* url;
  } rows[] = {
      {"zent", "zentxmlwtz.htm", "http://h.invalid:80/zent/zentxmlwtz.htm"},
      {"\\zent\\sub\\", "f.htm", "http://h.invalid:80/zent/sub/f.htm"},
      {"//zent//./sub/", "f.htm", "http://h.invalid:80/zent/sub/f.htm"},
      {"", "f.htm", "http://h.invalid:80/f.htm"},
      {"my lists", "a b.htm", "http://h.invalid:80/my%20lists/a%20b.htm"},
      {"zent", "\xb4\xf3.htm", "http://h.invalid:80/zent/%B4%F3.htm"},
      {"z%41", "q?x#y", "http://h.invalid:80/z%41/q%3Fx%23y"},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    DownloadSettingsRecord record = Record("h.invalid", rows[row].remote, "config");
    corvio::DownloadTarget target;
    ASSERT_TRUE(corvio::ParseDownloadTarget(record, &target, nullptr)) << "row " << row;
    EXPECT_EQ(corvio::BuildDownloadUrl(target, rows[row].file), rows[row].url) << "row " << row;
  }
}

TEST(DownloadTarget, local_folder_stays_inside_the_program_directory) {
  struct Row {
    const char* local;
    bool ok;
    const char* dir;
  } rows[] = {{"config", true, "config"},       {"a/b\\c", true, "a\\b\\c"},
              {"", true, ""},                   {".\\config\\", true, "config"},
              {"..\\up", false, ""},            {"a\\..\\..\\b", false, ""},
              {"\\abs", false, ""},             {"/abs", false, ""},
              {"C:\\dir", false, ""}};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    DownloadSettingsRecord record = Record("h.invalid", "zent", rows[row].local);
    corvio::DownloadTarget target;
    EXPECT_EQ(corvio::ParseDownloadTarget(record, &target, nullptr), rows[row].ok)
        << "row " << row;
    if (rows[row].ok) {
      EXPECT_EQ(target.localDir, rows[row].dir) << "row " << row;
    }
  }
}

TEST(DownloadTarget, unterminated_host_field_is_refused) {
  DownloadSettingsRecord record = Record("h.invalid", "zent", "config");
  memset(record.serverHost, 'a', sizeof record.serverHost);
  corvio::DownloadTarget target;
  EXPECT_FALSE(corvio::ParseDownloadTarget(record, &target, nullptr));
}

TEST(DownloadTarget, plain_file_names) {
  struct Row {
    const char* name;
    bool plain;
  } rows[] = {{"zentxmlwtz.htm", true}, {"a b", true}, {"", false},   {nullptr, false},
              {".", false},             {"..", false}, {"a\\b", false}, {"a/b", false},
              {"c:x", false}};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    EXPECT_EQ(corvio::IsPlainFileName(rows[row].name), rows[row].plain) << "row " << row;
  }
}

}  // namespace
