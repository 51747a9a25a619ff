// The browser pane against a real HTTP server on loopback: a page answered with 200
// notifies with the pane's URL and shows the page; any other answer is silent.
#include "tests/corvio/skin_test_support.h"
#include "tests/e2e/loopback_http_server.h"
#include "tests/e2e/loopback_socket.h"

using namespace skintest;

namespace {

OffscreenVideo offscreen;

const char kNewsPage[] =
    "<html><head><title>t</title><style>p{}</style></head><body>"
    "<h1>Notice</h1><p>Servers &amp; districts&#33;</p><script>x()</script>"
    "<p>Second&nbsp;line</p></body></html>";

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
  LoopbackHttpServer server;
  server.Serve("/news.html", kNewsPage);
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/news.html";
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
  LoopbackHttpServer server;  // every path but the served ones: 404
  std::string skin = WriteBrowserSkin("http://127.0.0.1:" + std::to_string(server.port()) + "/gone.html");
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog->LoadSkin(skin.c_str(), 0), 0);
  unlink(skin.c_str());
  RecordingSink sink;
  dialog->SetEventSink(1, &sink);
  ASSERT_TRUE(RunLoopUntil([&] { return server.Requests("/gone.html") > 0; }, 10000));
  RunLoopUntil([&] { return !sink.events.empty(); }, 700);
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(Impl(dialog)->NodeByName("WebBrowser_right")->browserText, "");
  dialog->Release(0);
}

TEST(SkinBrowser, unreachable_server_is_silent_and_release_while_fetching_is_safe) {
  std::string skin = WriteBrowserSkin("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x");
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
