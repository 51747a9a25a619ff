// The browser pane against a real HTTP server on loopback: a page answered with 200
// notifies with the pane's URL and shows the page; any other answer is silent.
#include <poll.h>

#include <atomic>
#include "tests/corvio/loopback_socket.h"
#include "tests/corvio/skin_test_support.h"

using namespace skintest;

namespace {

OffscreenVideo offscreen;

// Answers GET /news.html with a small page and every other path with 404.
class LoopbackServer {
 public:
  LoopbackServer() {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    port_ = BindLoopback(listen_);
    listen(listen_, 8);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  int Port() const { return port_; }
  int Requests() const { return requests_; }

 private:
  void Serve() {
    // Bounded: stops when told or after 200 connections.
    for (int served = 0; !stop_ && served < 200;) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int c = accept(listen_, nullptr, nullptr);
      if (c < 0) continue;
      ++served;
      char buf[2048] = {0};
      ssize_t n = recv(c, buf, sizeof buf - 1, 0);
      std::string request(buf, n > 0 ? n : 0);
      ++requests_;
      std::string body, status;
      if (request.compare(0, 15, "GET /news.html ") == 0) {
        status = "200 OK";
        body = "<html><head><title>t</title><style>p{}</style></head><body>"
               "<h1>Notice</h1><p>Servers &amp; districts&#33;</p><script>x()</script>"
               "<p>Second&nbsp;line</p></body></html>";
      } else {
        status = "404 Not Found";
        body = "<p>missing</p>";
      }
      std::string answer = "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
      close(c);
    }
  }
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

// A skin with a browser pane on the given URL, next to the test images.
std::string WriteBrowserSkin(const std::string& url) {
  std::string path = Skins() + "/browser_" + std::to_string(getpid()) + ".xml";
  std::ofstream(path) << "<Skin><Dialog name=\"Dialog_B\" size=\"300,200\" title=\"skin-test-browser\">"
                         "<Browser name=\"WebBrowser_right\" pos=\"0,0,300,200\" visible=\"false\" url=\""
                      << url << "\"/></Dialog></Skin>";
  return path;
}

}  // namespace

TEST(SkinBrowser, page_with_status_200_notifies_with_the_url_and_shows_its_text) {
  LoopbackServer server;
  std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/news.html";
  std::string skin = WriteBrowserSkin(url);
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog->LoadSkin(skin.c_str(), 0), 0);
  unlink(skin.c_str());
  RecordingSink sink;
  dialog->SetEventSink(1, &sink);
  ASSERT_TRUE(RunLoopUntil([&] { return !sink.events.empty(); }, 10000));
  EXPECT_EQ(sink.events[0].code, NotifyBrowserUrl);
  EXPECT_EQ(sink.events[0].sender, dialog->FindControl("WebBrowser_right"));
  EXPECT_EQ(sink.events[0].url, url);
  EXPECT_EQ(Impl(dialog)->NodeByName("WebBrowser_right")->browserText,
            "Notice Servers & districts! Second\xC2\xA0line");
  dialog->Release(0);
}

TEST(SkinBrowser, page_with_status_404_is_silent) {
  LoopbackServer server;
  std::string skin = WriteBrowserSkin("http://127.0.0.1:" + std::to_string(server.Port()) + "/gone.html");
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog->LoadSkin(skin.c_str(), 0), 0);
  unlink(skin.c_str());
  RecordingSink sink;
  dialog->SetEventSink(1, &sink);
  ASSERT_TRUE(RunLoopUntil([&] { return server.Requests() > 0; }, 10000));
  RunLoopUntil([&] { return !sink.events.empty(); }, 700);
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(Impl(dialog)->NodeByName("WebBrowser_right")->browserText, "");
  dialog->Release(0);
}

TEST(SkinBrowser, unreachable_server_is_silent_and_release_while_fetching_is_safe) {
  std::string skin = WriteBrowserSkin("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x");
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog->LoadSkin(skin.c_str(), 0), 0);
  RecordingSink sink;
  dialog->SetEventSink(1, &sink);
  RunLoopUntil([&] { return !sink.events.empty(); }, 500);
  EXPECT_TRUE(sink.events.empty());
  dialog->Release(0);
  // Another dialog released at once, with its request still under way.
  SkinDialog* second = Make<SkinDialog>();
  ASSERT_NE(second->LoadSkin(skin.c_str(), 0), 0);
  second->Release(0);
  unlink(skin.c_str());
  RunLoopUntil([] { return false; }, 300);
}
