// The downloader against a real HTTP server on loopback: stored files, failures that
// leave the earlier file alone, notifications on the UI thread, release in flight.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "components/interfaces.h"
#include "corvio/download/download_target.h"
#include "corvio/download/downloader.h"
#include "platform/win32.h"

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

namespace {

const char kListBody[] = "0123456789ABCDEF0123456789abcdef\n";

// A small HTTP/1.0 server on 127.0.0.1; the requested file name picks the answer.
class TestServer {
 public:
  TestServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 16) != 0) {
      close(listener_);
      listener_ = -1;
      return;
    }
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~TestServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    stopped_.notify_all();
    if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : connections_) t.join();
    if (listener_ >= 0) close(listener_);
  }
  int port() const { return port_; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void AcceptLoop() {
    for (;;) {
      int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        close(fd);
        return;
      }
      connections_.emplace_back([this, fd] { Serve(fd); });
    }
  }
  static void SendAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
      ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }
  void Serve(int fd) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = recv(fd, buffer, sizeof buffer, 0);
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
      stopped_.wait(lock, [this] { return stopping_; });
    } else if (file == "missing.htm") {
      SendAll(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
    } else if (file == "error.htm") {
      SendAll(fd, "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 5\r\n\r\nerror");
    } else if (file == "short.htm") {
      SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nonly a few bytes");
    } else {
      const std::string body = kListBody + file;
      SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\n\r\n" + body);
    }
    close(fd);
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::vector<std::thread> connections_;
  std::vector<std::string> requests_;
};

// A loopback port with nobody listening.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
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

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (!done()) {
    if (GetTickCount() - start > limitMs) return false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!done()) Sleep(2);
  }
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    }
    closedir(d);
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

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                             "all_proxy", "ALL_PROXY"}) {
      unsetenv(name);  // every request of this test goes straight to loopback
    }
    char pattern[] = "/tmp/corvio-download-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    config = dir + "/config";
    ASSERT_EQ(mkdir(config.c_str(), 0700), 0);
    factory = CreateComponent(361, 0);
    ASSERT_NE(factory, nullptr);
    downloader = NewDownloader();
    ASSERT_NE(downloader, nullptr);
  }
  void TearDown() override {
    if (downloader) downloader->Release(0);
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
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
  // Registers settings for the server under "MyDefaultCfg" and the sink; true on success.
  bool Configure(const std::string& host, RecordingSink* sink) {
    DownloadSettings* settings = NewSettings(Record(host, "zent", "config"));
    if (!settings) return false;
    if (NotifierOf(downloader)->SetDownloadSink(sink, 0) == 0) return false;
    downloader->AddSettings("MyDefaultCfg", settings);
    return true;
  }
  std::vector<std::string> PartFiles() {
    std::vector<std::string> parts;
    for (const std::string& name : FilesIn(config)) {
      if (name.find(".part") != std::string::npos) parts.push_back(name);
    }
    return parts;
  }

  std::string dir, config;
  ComponentFactory* factory = nullptr;
  Downloader* downloader = nullptr;
};

TEST_F(DownloadTest, success_stores_the_file_and_notifies_on_the_ui_thread) {
  TestServer server;
  ASSERT_GT(server.port(), 0);
  RecordingSink sink;
  ASSERT_TRUE(Configure("127.0.0.1:" + std::to_string(server.port()), &sink));
  WriteFile(config + "/zentxmlwtz.htm", "older list\n");
  const int task = downloader->StartDownload("MyDefaultCfg", "zentxmlwtz.htm", -1, 0, 4, 0);
  ASSERT_GT(task, 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  ASSERT_EQ(sink.notices.size(), 1u);
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(sink.notices[0].task, task);
  EXPECT_EQ(sink.notices[0].thread, GetCurrentThreadId());
  EXPECT_EQ(ReadFile(config + "/zentxmlwtz.htm"), std::string(kListBody) + "zentxmlwtz.htm");
  EXPECT_TRUE(PartFiles().empty());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "/zent/zentxmlwtz.htm");
}

TEST_F(DownloadTest, failures_notify_and_leave_the_earlier_file_byte_identical) {
  TestServer server;
  ASSERT_GT(server.port(), 0);
  const std::string live = "127.0.0.1:" + std::to_string(server.port());
  const std::string refused = "127.0.0.1:" + std::to_string(ClosedPort());
  struct Row {
    const char* what;
    std::string host;
    const char* file;
  } rows[] = {{"404", live, "missing.htm"},
              {"500", live, "error.htm"},
              {"body cut short", live, "short.htm"},
              {"never answers", live, "hang.htm"},
              {"connection refused", refused, "zentxmlwtz.htm"}};
  const std::string earlier("earlier list \x00\xff\r\n", 17);
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    Downloader* d = NewDownloader();
    ASSERT_NE(d, nullptr) << "row " << row;
    RecordingSink sink;
    DownloadSettings* settings = NewSettings(Record(rows[row].host, "zent", "config"));
    ASSERT_NE(settings, nullptr) << "row " << row;
    NotifierOf(d)->SetDownloadSink(&sink, 0);
    d->AddSettings("MyDefaultCfg", settings);
    const std::string target = config + "/" + rows[row].file;
    WriteFile(target, earlier);
    const int task = d->StartDownload("MyDefaultCfg", rows[row].file, -1, 0, 4, 0);
    EXPECT_GT(task, 0) << "row " << row << " " << rows[row].what;
    EXPECT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000))
        << "row " << row << " " << rows[row].what;
    PumpUntil([] { return false; }, 50);  // a second notice would show up here
    ASSERT_EQ(sink.notices.size(), 1u) << "row " << row << " " << rows[row].what;
    EXPECT_FALSE(sink.notices[0].finished) << "row " << row << " " << rows[row].what;
    EXPECT_EQ(sink.notices[0].thread, GetCurrentThreadId()) << "row " << row;
    EXPECT_EQ(ReadFile(target), earlier) << "row " << row << " " << rows[row].what;
    EXPECT_TRUE(PartFiles().empty()) << "row " << row << " " << rows[row].what;
    d->Release(0);
  }
}

TEST_F(DownloadTest, several_downloads_run_at_once) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure("127.0.0.1:" + std::to_string(server.port()), &sink));
  const char* files[] = {"a.htm", "b.htm", "c.htm", "hang.htm"};
  for (const char* file : files) {
    EXPECT_GT(downloader->StartDownload("MyDefaultCfg", file, -1, 0, 4, 0), 0) << file;
  }
  // Three finish while the fourth is still waiting for its answer.
  ASSERT_TRUE(PumpUntil([&] { return sink.notices.size() >= 3; }, 15000));
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(sink.notices[i].finished) << "notice " << i;
  for (const char* file : {"a.htm", "b.htm", "c.htm"}) {
    EXPECT_EQ(ReadFile(config + "/" + file), std::string(kListBody) + file) << file;
  }
  ASSERT_TRUE(PumpUntil([&] { return sink.notices.size() >= 4; }, 15000));
  EXPECT_FALSE(sink.notices[3].finished);
}

TEST_F(DownloadTest, release_with_a_download_in_flight_returns_and_never_notifies) {
  TestServer server;
  RecordingSink sink;
  ASSERT_TRUE(Configure("127.0.0.1:" + std::to_string(server.port()), &sink));
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
  ASSERT_TRUE(Configure("127.0.0.1:" + std::to_string(server.port()), &sink));
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
  DownloadSettings* settings = NewSettings(
      Record("127.0.0.1:" + std::to_string(server.port()), "\\zent\\", "cache\\lists"));
  ASSERT_NE(settings, nullptr);
  NotifierOf(downloader)->SetDownloadSink(&sink, 0);
  downloader->AddSettings("Cfg", settings);
  ASSERT_GT(downloader->StartDownload("Cfg", "x.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(ReadFile(dir + "/cache/lists/x.htm"), std::string(kListBody) + "x.htm");
  EXPECT_EQ(server.Requests()[0], "/zent/x.htm");
}

TEST_F(DownloadTest, local_folder_matches_an_existing_folder_of_other_case) {
  TestServer server;
  RecordingSink sink;
  ASSERT_EQ(rmdir(config.c_str()), 0);
  ASSERT_EQ(mkdir((dir + "/Config").c_str(), 0700), 0);
  ASSERT_TRUE(Configure("127.0.0.1:" + std::to_string(server.port()), &sink));
  ASSERT_GT(downloader->StartDownload("MyDefaultCfg", "zentxmlwtz.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_TRUE(sink.notices[0].finished);
  EXPECT_EQ(ReadFile(dir + "/Config/zentxmlwtz.htm"),
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
  DownloadSettings* settings =
      NewSettings(Record("127.0.0.1:" + std::to_string(server.port()), "zent", "config"));
  ASSERT_NE(settings, nullptr);
  NotifierOf(downloader)->SetDownloadSink(&sink, 0);
  downloader->AddSettings("Cfg", settings);
  ASSERT_GT(downloader->StartDownload("Cfg", "x.htm", -1, 0, 4, 0), 0);
  auto* impl = dynamic_cast<corvio::DownloaderImpl*>(downloader);
  ASSERT_TRUE(PumpUntil([&] { return impl->DownloadsInFlight() == 0; }, 15000));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(sink.calls, 0);
  EXPECT_EQ(ReadFile(config + "/x.htm"), std::string(kListBody) + "x.htm");
}

TEST_F(DownloadTest, unwritable_local_folder_fails_cleanly) {
  TestServer server;
  RecordingSink sink;
  WriteFile(dir + "/blocked", "a file where the folder should be");
  DownloadSettings* settings =
      NewSettings(Record("127.0.0.1:" + std::to_string(server.port()), "zent", "blocked"));
  ASSERT_NE(settings, nullptr);
  NotifierOf(downloader)->SetDownloadSink(&sink, 0);
  downloader->AddSettings("Cfg", settings);
  ASSERT_GT(downloader->StartDownload("Cfg", "x.htm", -1, 0, 4, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return !sink.notices.empty(); }, 15000));
  EXPECT_FALSE(sink.notices[0].finished);
  EXPECT_EQ(ReadFile(dir + "/blocked"), "a file where the folder should be");
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
