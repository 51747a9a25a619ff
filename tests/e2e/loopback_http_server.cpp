// The loopback HTTP server of the end-to-end tests.
#include "tests/e2e/loopback_http_server.h"

#include <poll.h>

#include "tests/e2e/loopback_socket.h"

LoopbackHttpServer::LoopbackHttpServer() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) return;
  port_ = BindLoopback(listener_);
  if (port_ == 0 || listen(listener_, 16) != 0) {
    close(listener_);
    listener_ = -1;
    port_ = 0;
    return;
  }
  thread_ = std::thread([this] { Loop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) close(listener_);
}

void LoopbackHttpServer::Serve(const std::string& path, const std::string& body, int status,
                               const std::string& headers) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = {status, body};
  headers_[path] = headers;
}

int LoopbackHttpServer::Requests(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = requests_.find(path);
  return it == requests_.end() ? 0 : it->second;
}

void LoopbackHttpServer::Loop() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    Answer(client);
    close(client);
  }
}

void LoopbackHttpServer::Answer(int client) {
  std::string request;
  char buffer[4096];
  // Reads up to the end of the request head, for at most about two seconds.
  for (int tries = 0; tries < 40 && request.find("\r\n\r\n") == std::string::npos; ++tries) {
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::string path;
  size_t first = request.find(' ');
  size_t second = first == std::string::npos ? first : request.find(' ', first + 1);
  if (second != std::string::npos) path = request.substr(first + 1, second - first - 1);
  int status = 404;
  std::string body = "not found";
  std::string headers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++requests_[path];
    auto it = routes_.find(path);
    if (it != routes_.end()) {
      status = it->second.first;
      body = it->second.second;
      headers = headers_[path];
    }
  }
  std::string answer = "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Error") +
                       "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\n" + headers + "Connection: close\r\n\r\n" + body;
  size_t sent = 0;
  while (sent < answer.size()) {
    ssize_t n = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
}
