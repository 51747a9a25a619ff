// A small HTTP/1.0 server on 127.0.0.1 for the end-to-end tests: fixed answers per path,
// a count of the requests it served, stopped whatever happens when it goes out of scope.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();   // listens on a free port
  ~LoopbackHttpServer();  // stops and joins
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  int port() const { return port_; }
  bool ok() const { return listener_ >= 0; }
  // Answers GET `path` with `status` and `body` (and `headers`, each line ending in CR LF);
  // any other path gets 404.
  void Serve(const std::string& path, const std::string& body, int status = 200,
             const std::string& headers = "");
  int Requests(const std::string& path);

 private:
  void Loop();
  void Answer(int client);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, std::pair<int, std::string>> routes_;
  std::map<std::string, int> requests_;
  std::map<std::string, std::string> headers_;
  std::thread thread_;
};
