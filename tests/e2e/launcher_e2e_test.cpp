// The real ZentPorter, headless, driven through CORVIO_AUTOMATION against a district
// list served on loopback: what the player sees, what gets started, what is remembered.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <fstream>
#include <thread>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e/icmp_echo_watch.h"
#include "tests/e2e/launcher_session.h"
#include "tests/e2e/loopback_http_server.h"
#include "tests/e2e/loopback_socket.h"

namespace {

const char kDx[] = "Dialog_ZentPorter\\Container_dx\\server";
const char kWt[] = "Dialog_ZentPorter\\Container_wt\\server";

std::string Slot(const char* group, int k, const char* part = "Button") {
  return std::string(group) + std::to_string(k) + "\\" + part;
}

struct District {
  std::string name;  // UTF-8; the list carries it as GBK
  int type;
  std::string url;
  std::string pinpip = "127.0.0.1";
  int mart = 0;
  int oper = 0;
  std::string version = "1.0.0";
};

std::string ListXml(const std::vector<District>& districts) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<District>\n";
  for (const District& d : districts) {
    xml += "  <D><name>" + Gbk(d.name) + "</name><version>" + d.version + "</version><type>" +
           std::to_string(d.type) + "</type><mart_type>" + std::to_string(d.mart) +
           "</mart_type><oper_status>" + std::to_string(d.oper) + "</oper_status><pinpip>" +
           d.pinpip + "</pinpip><url>" + d.url + "</url></D>\n";
  }
  return xml + "</District>\n";
}

std::vector<District> SampleDistricts() {
  return {
      {"电信一区", 2, "dx1.zent.invalid:7000", "127.0.0.1", 1},
      {"电信二区", 2, "dx2.zent.invalid:7000", "127.0.0.2", 2},
      {"维护区", 2, "dx3.zent.invalid:7000", "127.0.0.3", 0, 1},
      {"网通一区", 3, "wt1.zent.invalid:7000", "127.0.0.4", 3, 0, "2.5.1"},
      {"网通二区", 3, "wt2.zent.invalid:7000", "127.0.0.5", 5},
  };
}

// The colour at x, y of a PNG screenshot, 0xRRGGBB (0xFFFFFFFF when it cannot be read).
uint32_t ScreenshotPixel(const std::string& file, int x, int y) {
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load(file.c_str(), &w, &h, &n, 3);
  if (!pixels) return 0xFFFFFFFFu;
  uint32_t rgb = 0xFFFFFFFFu;
  if (x >= 0 && y >= 0 && x < w && y < h) {
    const unsigned char* p = pixels + (static_cast<size_t>(y) * w + x) * 3;
    rgb = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  stbi_image_free(pixels);
  return rgb;
}

// Under Wine the tests ask the X display (xwininfo) through the shell: true on success.
bool Sh(const std::string& command) { return system(command.c_str()) == 0; }
// Succeeds when the launcher's X window of this size ("900x560") is on the screen; its id to `id`.
std::string OnScreen(const std::string& size, const std::string& id) {
  return "w=$(xwininfo -root -tree | grep zentporter.exe | grep -m1 ' " + size + "+' | awk '{print $1}'); [ -n \"$w\" ] && echo " +
         "$w >" + id + " && xwininfo -id $w | grep -q IsViewable";
}

long MillisecondsSince(std::chrono::steady_clock::time_point start);

class LauncherE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok()) << "the program directory is incomplete: " << ZENT_DIST_DIR;
    ASSERT_TRUE(server_.ok());
    session_.ConfigureServer(server_.port());
  }
  void ServeList(const std::vector<District>& districts) {
    list_ = session_.EncodeList(ListXml(districts));
    ASSERT_FALSE(list_.empty()) << "districtlist encode failed";
    server_.Serve("/zent/zentxmlwtz.htm", list_);
  }
  // Waits for the list to be drawn, dumps, then runs `then`.
  std::vector<std::string> ShowAndDump(const std::string& lastButton, std::vector<std::string> then) {
    std::vector<std::string> script{"wait-visible " + lastButton + " 15000", "dump " + Dump()};
    script.insert(script.end(), then.begin(), then.end());
    return script;
  }
  std::string Dump() { return session_.Root() + "/dump.txt"; }
  std::map<std::string, DumpedControl> ReadDump() { return ReadDumpAt(Dump()); }
  std::map<std::string, DumpedControl> ReadDumpAt(const std::string& file) {
    return session_.ReadDump(file);
  }

  LauncherSession session_;
  LoopbackHttpServer server_;
  std::string list_;
};

// What a player copies: the launcher, the framework, the tool, the skin and the sample
// configuration. No stand-in (it would replace the real game launcher), nothing else.
TEST(ShippedProgramDirectory, holds_only_what_a_player_installs) {
  const LauncherTarget& target = LauncherTarget::Current();
  std::set<std::string> expected{target.program, target.library, target.tool, "Corvio.ini",
                                 "zentPorter.xml", "HintMsg.xml", "Config/rudadever.ini",
                                 "Config/Info.ini", "Config/rudadever.htm"};
  if (!target.windows) expected.insert("libzent_platform.so");
  std::set<std::string> found;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(target.dist, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory()) continue;
    const std::string name = it->path().lexically_relative(target.dist).generic_string();
    const std::string ext = it->path().extension().string();
    if (name.find('/') == std::string::npos && (ext == ".png" || ext == ".tga")) continue;  // images
    found.insert(name);
  }
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(found, expected);
}

TEST_F(LauncherE2eTest, both_groups_show_names_speed_icons_and_tags) {
  ServeList(SampleDistricts());
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  auto dump = ReadDump();
  const auto districts = SampleDistricts();
  int dx = 0, wt = 0;
  for (const District& d : districts) {
    const std::string button = d.type == 2 ? Slot(kDx, ++dx) : Slot(kWt, ++wt);
    ASSERT_TRUE(dump.count(button)) << button;
    EXPECT_TRUE(dump[button].Shown()) << button;
    EXPECT_EQ(dump[button].Field("text"), d.name) << button;
    const std::string icon = d.oper == 1 ? "fuwuqi_down.tga" : "fuwuqi_fast00.tga";
    EXPECT_NE(dump[button].Field("image").find(icon), std::string::npos)
        << button << " " << dump[button].Field("image");
    const std::string tag = d.type == 2 ? Slot(kDx, dx, "Tag") : Slot(kWt, wt, "Tag");
    static const char* const kTags[] = {"", "item_tuijian.png", "item_new.png", "item_huodong.png",
                                        "item_double.png", "item_bisai.png"};
    if (d.mart >= 1 && d.mart <= 5) {
      EXPECT_TRUE(dump[tag].Shown()) << tag;
      EXPECT_NE(dump[tag].Field("image").find(kTags[d.mart]), std::string::npos) << tag;
    } else {
      EXPECT_FALSE(dump[tag].Shown()) << tag;
    }
  }
  EXPECT_FALSE(dump[Slot(kDx, 4)].Shown());
  EXPECT_FALSE(dump[Slot(kWt, 3)].Shown());
  EXPECT_EQ(server_.Requests("/zent/zentxmlwtz.htm"), 1);
}

// At 192 DPI (the Windows build: in a Wine prefix set so) the window has twice the skin's
// pixels, drawn at that size, while clicks still land in the skin's units.
TEST_F(LauncherE2eTest, at_192_dpi_the_window_is_drawn_at_twice_the_pixels_and_clicks_keep_their_units) {
  ASSERT_TRUE(session_.UseDpi(192));
  ServeList(SampleDistricts());
  const std::string shot = session_.Root() + "/dpi192.png";
  // 网通一区's button (units 338,92 136x28) and 进入游戏 (712,486 148x46).
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"screenshot " + shot, "click-at 406 106", "click-at 786 509"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  int w = 0, h = 0, n = 0;
  ASSERT_TRUE(stbi_info(shot.c_str(), &w, &h, &n));
  EXPECT_TRUE(w == 1800 && h == 1120) << w << "x" << h;
  // Inside 进入游戏's plate, left of its text: its orange, not the background behind it.
  const uint32_t plate = ScreenshotPixel(shot, 2 * 712 + 12, 2 * 486 + 12);
  EXPECT_TRUE((plate >> 16 & 0xFF) > 0xC0 && (plate & 0xFF) < 0x90) << std::hex << plate;
  std::vector<std::string> args;
  for (int i = 0; i < 250 && !session_.StandInArgs("ZentLauncher.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(args, (std::vector<std::string>{"wt1.zent.invalid:7000"})) << "the click on 进入游戏";
}

TEST_F(LauncherE2eTest, enter_starts_the_game_launcher_with_url_and_command_line) {
  ServeList(SampleDistricts());
  RunResult r = session_.Run(
      ShowAndDump(Slot(kWt, 1), {"key Tab", "click " + Slot(kWt, 1), "key Enter"}),  // the focus moves too
      {"-user", "a b", "c\\d"});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::vector<std::string> args;
  for (int i = 0; i < 250 && !session_.StandInArgs("ZentLauncher.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(args, (std::vector<std::string>{"wt1.zent.invalid:7000", "-user", "a b", "c\\d"}));
  EXPECT_NE(session_.ReadFile("Config/Info.ini").find("LastLoginUrl=" + Hex("wt1.zent.invalid:7000")),
            std::string::npos)
      << session_.ReadFile("Config/Info.ini");
}

// The arrows stay in one carrier's grid: dx2 ends its row, and no slot is shown below it.
TEST_F(LauncherE2eTest, arrows_stop_at_the_edges_of_a_carriers_grid) {
  ServeList(SampleDistricts());
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"click " + Slot(kDx, 1), "key Right", "key Right",
                                                        "key Down", "key Space", "key Enter"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::vector<std::string> args{"not run"};
  for (int i = 0; i < 250 && !session_.StandInArgs("ZentLauncher.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(args[0], "dx2.zent.invalid:7000");
}

TEST_F(LauncherE2eTest, keep_login_url_two_leaves_the_remembered_district_alone) {
  session_.WriteFile("Config/Info.ini", "[Public]\r\nIsKeepLoginUrl=2\r\nLastLoginUrl=7a\r\n");
  ServeList(SampleDistricts());
  RunResult r = session_.Run(ShowAndDump(Slot(kDx, 1), {"click " + Slot(kDx, 1), "click Button_enter"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(session_.ReadFile("Config/Info.ini").find("LastLoginUrl=7a\r\n"), std::string::npos);
}

TEST_F(LauncherE2eTest, next_start_preselects_the_district_launched_last) {
  ServeList(SampleDistricts());
  session_.WriteFile("Config/Info.ini",
                     "[Public]\r\nIsKeepLoginUrl=1\r\nLastLoginUrl=" + Hex("wt1.zent.invalid:7000") + "\r\n");
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  auto dump = ReadDump();
  EXPECT_EQ(dump["Dialog_ZentPorter\\Edit_select"].Field("text"), "网通一区");
  EXPECT_EQ(dump["Dialog_ZentPorter\\Static_version_zone"].Field("text"), "2.5.1");
}

TEST_F(LauncherE2eTest, server_down_uses_the_local_copy) {
  ServeList(SampleDistricts());
  session_.WriteFile("zaduvodi.xml", list_ + std::string(1, '\0'));
  session_.ConfigureServer(UnusedLoopbackPort());
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(ReadDump()[Slot(kDx, 1)].Field("text"), "电信一区");
}

TEST_F(LauncherE2eTest, no_list_and_no_local_copy_tells_the_player_and_ends) {
  session_.ConfigureServer(UnusedLoopbackPort());
  RunResult r = session_.Run({"wait-visible Static_MsgInfo 15000", "dump " + Dump(), "click Button_MsgOk"});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  bool found = false;
  for (const auto& c : ReadDump())
    if (c.first.find("Static_MsgInfo") != std::string::npos) found = c.second.Field("text") == "大区文件加载失败!";
  EXPECT_TRUE(found);
}

TEST_F(LauncherE2eTest, damaged_download_keeps_the_old_copy_for_the_next_start) {
  const std::string good = session_.EncodeList(ListXml(SampleDistricts()));
  session_.WriteFile("zaduvodi.xml", good + std::string(1, '\0'));
  server_.Serve("/zent/zentxmlwtz.htm", "<html><body>maintenance page</body></html>\n");
  RunResult first = session_.Run({"wait-visible Button_enter 15000", "close"});
  ASSERT_EQ(first.exitCode, 0) << first.errors;
  EXPECT_EQ(session_.ReadFile("zaduvodi.xml"), good + std::string(1, '\0'));
  session_.ConfigureServer(UnusedLoopbackPort());
  RunResult second = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
  ASSERT_EQ(second.exitCode, 0) << second.errors;
  EXPECT_EQ(ReadDump()[Slot(kWt, 2)].Field("text"), "网通二区");
}

TEST_F(LauncherE2eTest, fresh_download_becomes_the_local_copy) {
  ServeList(SampleDistricts());
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::string copy = session_.ReadFile("zaduvodi.xml");
  std::string line = list_.substr(0, list_.find('\n'));
  EXPECT_EQ(copy.substr(0, line.size()), line);
  EXPECT_EQ(copy.back(), '\0');
}

TEST_F(LauncherE2eTest, back_starts_the_login_program) {
  ServeList(SampleDistricts());
  RunResult r = session_.Run({"wait-visible Button_back 15000", "click Button_back"}, {"-x"},
                             session_.Root());
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::vector<std::string> args{"not run"};
  for (int i = 0; i < 250 && !session_.StandInArgs("RudaDever.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Started from another folder: the program directory became the working directory.
  EXPECT_TRUE(args.empty());
}

TEST_F(LauncherE2eTest, close_button_and_window_close_end_with_zero) {
  ServeList(SampleDistricts());
  RunResult byButton = session_.Run({"wait-visible Button_close 15000", "click Button_close"});
  EXPECT_EQ(byButton.exitCode, 0) << byButton.errors;
  RunResult byWindow = session_.Run({"wait-visible Button_close 15000", "close"});
  EXPECT_EQ(byWindow.exitCode, 0) << byWindow.errors;
}

TEST_F(LauncherE2eTest, twenty_five_districts_of_one_type_show_twenty) {
  std::vector<District> many;
  for (int i = 1; i <= 25; ++i) many.push_back({"D" + std::to_string(i), 2, "u" + std::to_string(i)});
  ServeList(many);
  RunResult r = session_.Run(ShowAndDump(Slot(kDx, 20), {"close"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  auto dump = ReadDump();
  int shown = 0;
  for (int k = 1; k <= 20; ++k) {
    shown += dump[Slot(kDx, k)].Shown();
    EXPECT_EQ(dump[Slot(kDx, k)].Field("text"), "D" + std::to_string(k)) << k;
  }
  EXPECT_EQ(shown, 20);
}

TEST_F(LauncherE2eTest, twenty_first_district_of_a_group_is_not_probed) {
  IcmpEchoWatch watch;
  if (!watch.ok()) GTEST_SKIP() << "counting echo requests needs a raw socket (CAP_NET_RAW)";
  std::vector<District> many;
  for (int i = 1; i <= 21; ++i)
    many.push_back({"W" + std::to_string(i), 3, "w" + std::to_string(i), "127.77.3." + std::to_string(i)});
  ServeList(many);
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 20), {"close"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_GE(watch.RequestsTo("127.77.3.1"), 1);
  EXPECT_GE(watch.RequestsTo("127.77.3.20"), 1);
  EXPECT_EQ(watch.RequestsTo("127.77.3.21"), 0);
  EXPECT_EQ(ReadDump()[Slot(kWt, 20)].Field("text"), "W20");
}

TEST_F(LauncherE2eTest, second_start_exits_at_once_while_the_first_runs) {
  ServeList(SampleDistricts());
  // The first shows its window, says so with a dump, then waits for a control that never
  // comes; the test ends it.
  const std::string firstUp = session_.Root() + "/first.txt";
  const int first = session_.Start({"wait-visible Button_enter 15000", "dump " + firstUp,
                                    "wait-visible No_such_control 60000"},
                                   {}, "", "first");
  ASSERT_GT(first, 0);
  for (int i = 0; i < 1000 && session_.ReadDump(firstUp).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_FALSE(session_.ReadDump(firstUp).empty()) << session_.Wait(first, "first", 1).errors;
  const auto start = std::chrono::steady_clock::now();
  RunResult second = session_.Run({"dump " + Dump()});
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(second.exitCode, 0) << second.errors;
  EXPECT_LT(took.count(), 10000);
  EXPECT_TRUE(ReadDump().empty());  // it never showed a window
  session_.Wait(first, "first", 1);
}

// Windows: notepad covers the launcher; a second start puts it back on top (listed first).
TEST_F(LauncherE2eTest, second_start_brings_the_first_over_the_window_that_covered_it) {
  if (!LauncherTarget::Current().windows) GTEST_SKIP() << "window order under Wine only";
  ServeList(SampleDistricts());
  const std::string firstUp = session_.Root() + "/first.txt";
  const int first = session_.Start({"wait-visible Button_enter 15000", "dump " + firstUp,
                                    "wait-visible No_such_control 60000"}, {}, "", "first");
  for (int i = 0; i < 1000 && session_.ReadDump(firstUp).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string topmost =
      "xwininfo -root -children | grep -v ' 1x1+' | grep -e notepad.exe -e 'zentporter.exe.* 900x560+' | head -1 | grep -q ";
  Sh("wine notepad >/dev/null 2>&1 &");
  for (int i = 0; i < 500 && !Sh(topmost + "notepad"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(Sh(topmost + "notepad")) << "notepad never got in front";
  EXPECT_EQ(session_.Run({}).exitCode, 0);
  for (int i = 0; i < 100 && !Sh(topmost + "zentporter"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(Sh(topmost + "zentporter")) << "the launcher stayed under the window that covered it";
  Sh("wine taskkill /im notepad.exe >/dev/null 2>&1");
  session_.Wait(first, "first", 1);
}

// Windows, under a window manager: the window leaves the screen within 100 ms of the close
// box, Esc or Enter, and the message box of its button (asked: when the stamp appears).
TEST_F(LauncherE2eTest, windows_leave_the_screen_at_once_under_a_window_manager) {
  if (!LauncherTarget::Current().windows) GTEST_SKIP() << "Wine's windows only";
  ServeList(SampleDistricts());
  ASSERT_TRUE(Sh("command -v openbox >/dev/null && (openbox --sm-disable >/dev/null 2>&1 &) && sleep 1"));
  const std::string stamp = session_.Root() + "/closing.stamp";
  const struct { std::vector<std::string> before; std::string step, size; } rows[] = {
      {{"click " + Slot(kDx, 3), "wait-visible Button_MsgOk 5000"}, "click Button_MsgOk", "380x212"},
      {{}, "click Button_close", "900x560"},
      {{}, "key Escape", "900x560"},
      {{"click " + Slot(kDx, 1)}, "key Enter", "900x560"},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    for (const std::string& file : {stamp, Dump()}) std::filesystem::remove(file);
    std::vector<std::string> script = ShowAndDump(Slot(kWt, 2), rows[row].before);
    script.insert(script.end(), {"sleep 300", "stamp " + stamp, rows[row].step});
    if (row == 0) script.insert(script.end(), {"sleep 500", "close"});  // the launcher stays
    const int pid = session_.Start(script, {}, "", "closing");
    FILE* events = nullptr;  // the window's unmapping, as the X server reports it (xev)
    for (int i = 0; i < 5000 && !std::filesystem::exists(stamp); ++i, usleep(1000))
      if (!events && std::filesystem::exists(Dump()) && Sh(OnScreen(rows[row].size, stamp + ".id")))
        events = popen(("timeout 5 xev -id $(cat " + stamp + ".id) -event structure").c_str(), "r");
    const auto asked = std::chrono::steady_clock::now();
    for (char line[512]; events && fgets(line, sizeof line, events) && !strstr(line, "UnmapNotify") && !strstr(line, "DestroyNotify");) {}
    const long gone = MillisecondsSince(asked);
    EXPECT_TRUE(events && gone < 100) << rows[row].step << (events ? ": gone after " : ": never shown ") << gone << " ms";
    if (events) pclose(events);
    EXPECT_EQ(session_.Wait(pid, "closing", 30000).exitCode, 0) << "row " << row;
  }
  Sh("openbox --exit");
}

TEST_F(LauncherE2eTest, without_the_framework_library_the_launcher_ends_with_zero) {
  session_.Remove(LauncherTarget::Current().library);
  RunResult r = session_.Run({}, {}, "", 30000);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  // The player is told which library is missing (a system message box); on Linux the
  // loader's report lines reach standard error too (on Windows only a debugger).
  EXPECT_NE(r.errors.find("CorvFact.dll"), std::string::npos) << r.errors;
  if (!LauncherTarget::Current().windows) {
    EXPECT_NE(r.errors.find("[Corvio_Error] Load CorvFact.dll Fail."), std::string::npos) << r.errors;
  }
  // The same box on a system whose code page is not 936 (Wine takes it from the locale).
  session_.SetEnv("LC_ALL", "C.UTF-8");
  r = session_.Run({}, {}, "", 30000);
  EXPECT_NE(r.errors.find("无法加载组件库："), std::string::npos) << r.errors;
}

TEST_F(LauncherE2eTest, command_line_is_cut_at_1023_characters) {
  ServeList(SampleDistricts());
  const std::string longArgument(1500, 'a');
  RunResult r = session_.Run(
      ShowAndDump(Slot(kDx, 1), {"click " + Slot(kDx, 1), "click Button_enter"}), {longArgument});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::vector<std::string> args;
  for (int i = 0; i < 250 && !session_.StandInArgs("ZentLauncher.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(args, (std::vector<std::string>{"dx1.zent.invalid:7000", longArgument.substr(0, 1023)}));
}

TEST_F(LauncherE2eTest, broken_skin_ends_the_launcher_with_zero) {
  ServeList(SampleDistricts());
  session_.WriteFile("zentPorter.xml", "<Skin><Dialog name=\"Dialog_ZentPorter\"");
  RunResult r = session_.Run({}, {}, "", 30000);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.errors.find("zentPorter.xml"), std::string::npos) << r.errors;  // the player is told
}

TEST_F(LauncherE2eTest, missing_version_file_tells_the_player_then_shows_the_fallback) {
  ServeList(SampleDistricts());
  session_.Remove("Config/rudadever.htm");
  const std::string hint = session_.Root() + "/hint.txt";
  RunResult r = session_.Run({"wait-visible Static_MsgInfo 15000", "dump " + hint, "click Button_MsgOk",
                              "wait-visible " + Slot(kWt, 2) + " 15000", "dump " + Dump(), "close"});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  bool told = false;
  for (const auto& c : ReadDumpAt(hint))
    if (c.first.find("Static_MsgInfo") != std::string::npos) told = c.second.Field("text") == "Version文件错误!";
  EXPECT_TRUE(told);
  EXPECT_EQ(ReadDump()["Dialog_ZentPorter\\Static_version"].Field("text"), "V2.0.0");
}

TEST_F(LauncherE2eTest, browser_pane_is_revealed_on_the_exact_page_only) {
  ServeList(SampleDistricts());
  server_.Serve("/news.html", "<html><body><p>news</p></body></html>");
  const std::string page = "http://127.0.0.1:" + std::to_string(server_.port()) + "/news.html";
  session_.ConfigureServer(server_.port(), page);
  RunResult exact = session_.Run({"wait-visible WebBrowser_right 15000", "close"});
  EXPECT_EQ(exact.exitCode, 0) << exact.errors;
  session_.ConfigureServer(server_.port(), "http://127.0.0.1:" + std::to_string(server_.port()) + "/NEWS.html");
  RunResult other = session_.Run({"wait-visible " + Slot(kWt, 2) + " 15000", "wait-visible WebBrowser_right 3000"});
  EXPECT_EQ(other.exitCode, 3) << other.errors;
  EXPECT_GE(server_.Requests("/news.html"), 2);
}

// The notice page as a player meets it: styled, with its banner, scrolled by the wheel, a
// web link handed to the desktop's browser (a stand-in xdg-open, which Wine's browser
// bridge runs too) and a script link never.
TEST_F(LauncherE2eTest, notice_page_is_drawn_scrolled_and_only_web_links_open) {
  ServeList(SampleDistricts());
  const std::string base = "http://127.0.0.1:" + std::to_string(server_.port());
  std::string page = "<html><head><link rel=stylesheet href=\"s.css\"></head><body>"
                     "<a href=\"/promo.html\"><img src=\"img/banner.png\"></a>"
                     "<a class=js href=\"javascript:alert(1)\">script</a><ul>";
  for (int i = 0; i < 40; ++i) page += "<li>news " + std::to_string(i) + "</li>";
  server_.Serve("/news.html", page + "</ul></body></html>");
  server_.Serve("/s.css", "body{margin:0} img{display:block;width:200px;height:40px} a.js{display:block;height:30px}");
  // A 2x2 magenta PNG, scaled to the banner's box by the page's style.
  server_.Serve("/img/banner.png", std::string(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x02"
      "\x08\x02\x00\x00\x00\xfd\xd4\x9a\x73\x00\x00\x00\x16\x49\x44\x41\x54\x78\x9c\x63\xfc\xcf\xf0\x9f"
      "\x81\x81\x81\x89\x81\x81\x81\x81\x81\x01\x00\x18\x12\x02\x02\x27\x13\x86\x39\x00\x00\x00\x00\x49"
      "\x45\x4e\x44\xae\x42\x60\x82",
      79));
  session_.ConfigureServer(server_.port(), base + "/news.html");
  const std::string bin = session_.Root() + "/bin", opened = session_.Root() + "/opened.txt";
  mkdir(bin.c_str(), 0700);
  session_.WriteFile("../bin/xdg-open", "#!/bin/sh\necho \"$1\" >> " + opened + "\n");
  chmod((bin + "/xdg-open").c_str(), 0755);
  session_.SetEnv("PATH", bin + ":" + getenv("PATH"));
  const std::string before = session_.Root() + "/before.txt";
  // The pane lies at 642,88 in the default skin.
  RunResult r = session_.Run({"wait-visible WebBrowser_right 15000", "sleep 300", "dump " + before,
                              "screenshot " + session_.Root() + "/pane.png", "click-at 660 145",
                              "click-at 660 100", "wheel 760 300 2", "dump " + Dump(), "sleep 1500", "close"});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto shown = ReadDumpAt(before)["Dialog_ZentPorter\\WebBrowser_right"];
  EXPECT_NE(shown.Field("text").find("news 39"), std::string::npos);
  EXPECT_EQ(shown.Field("scroll").substr(0, 2), "0/");
  const std::string scroll = ReadDump()["Dialog_ZentPorter\\WebBrowser_right"].Field("scroll");
  EXPECT_GT(atoi(scroll.c_str()), 0) << scroll;
  EXPECT_EQ(ScreenshotPixel(session_.Root() + "/pane.png", 642 + 100, 88 + 20), 0xFF00FFu) << "the banner";
  std::string clicked;
  for (int i = 0; i < 50 && (clicked = session_.ReadFile("../opened.txt")).empty(); ++i) usleep(100000);
  EXPECT_EQ(clicked, base + "/promo.html\n");
}

// A name server on loopback that takes every question and answers none, named by a
// resolv.conf that the session's runs see in place of the system's; empty, or why not.
std::string UseSilentResolver(LauncherSession& session, int* fd) {
  if (getuid() != 0 || !getenv("ZENT_PRIVATE_NET")) return "needs root in the private network namespace";
  const std::string address = "127.53." + std::to_string(getpid() % 250) + ".1";
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(53);
  inet_pton(AF_INET, address.c_str(), &at.sin_addr);
  *fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (*fd < 0 || bind(*fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) return "cannot bind " + address;
  std::ofstream(session.Root() + "/resolv.conf") << "nameserver " << address << "\n";
  session.BindForRuns(session.Root() + "/resolv.conf", "/etc/resolv.conf");
  return "";
}

long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start).count());
}

// A look-up that never answers: the local copy comes within the 5 s connect limit, a
// probe still waiting is drawn as failed, and the close ends the process within a second.
TEST_F(LauncherE2eTest, resolver_that_never_answers_neither_delays_the_list_nor_holds_the_close) {
  int silent = -1;
  const std::string why = UseSilentResolver(session_, &silent);
  if (!why.empty()) GTEST_SKIP() << why;
  const bool windows = LauncherTarget::Current().windows;
  std::vector<District> hanging = SampleDistricts();
  hanging[0].pinpip = "ping.zent.test";
  const std::string plainCopy = session_.EncodeList(ListXml(SampleDistricts()));
  const std::string hangingCopy = session_.EncodeList(ListXml(hanging));
  // hangingProbe: the first district's ping address is looked up too; waitFor: shown once
  // the list (or only the window) is up.
  const struct { const char* serverhost; bool hangingProbe; std::string waitFor; long shownWithinMs; } rows[] = {
      {"districts.zent.test", false, Slot(kWt, 2), 5000 + 3000},
      {"districts.zent.test", false, "Button_close", 5000},
      {"127.0.0.1:1", true, Slot(kWt, 2), 3000 + 3000},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    session_.WriteFile("Config/rudadever.ini",
                       std::string("[Public]\r\nserverhost=") + rows[row].serverhost + "\r\nserverpath=zent\r\n");
    session_.WriteFile("zaduvodi.xml", (rows[row].hangingProbe ? hangingCopy : plainCopy) + std::string(1, '\0'));
    const std::string tag = "timed" + std::to_string(row), dump = session_.Root() + "/" + tag + ".txt";
    const auto start = std::chrono::steady_clock::now();
    const int pid = session_.Start({"wait-visible " + rows[row].waitFor + " 20000", "dump " + dump, "close"},
                                   {}, "", tag);
    ASSERT_GT(pid, 0);
    while (!std::filesystem::exists(dump) && MillisecondsSince(start) < 25000)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long shown = MillisecondsSince(start);
    RunResult r = session_.Wait(pid, tag, 30000);
    const long closing = MillisecondsSince(start) - shown;
    ASSERT_EQ(r.exitCode, 0) << "row " << row << "\n" << r.errors;
    EXPECT_LT(shown, rows[row].shownWithinMs) << "row " << row;
    // Wine itself takes about two seconds to take a process down.
    EXPECT_LT(closing, windows ? 3000 : 1000) << "row " << row << ": the close waited";
    const std::string image = ReadDumpAt(dump)[Slot(kDx, 1)].Field("image");
    EXPECT_TRUE(!rows[row].hangingProbe || image.find("fuwuqi_slow00.tga") != std::string::npos)
        << "never measured, yet drawn " << image;
    EXPECT_TRUE(windows || row != 0 || r.errors.find("look-up of districts.zent.test did not answer") != std::string::npos)
        << r.errors;
  }
  close(silent);
}

// Configuration that never ends or would block: each counts as absent, is named on
// standard error, and costs neither time nor memory.
TEST_F(LauncherE2eTest, fifos_and_endless_devices_as_configuration_read_as_absent) {
  ServeList(SampleDistricts());
  const LauncherTarget& target = LauncherTarget::Current();
  const std::string redirected = session_.Root() + "/redirected.ini";
  std::string redirect = target.PathForProgram(redirected);
  for (char& c : redirect) c = c == '/' ? '\\' : c;
  const std::string version = "Config/rudadever.htm";
  // A file of the program directory, or the redirect's target; a FIFO, else a link to /dev/zero.
  const struct { std::string file; bool fifo; } rows[] = {{"Config/rudadever.ini", true}, {"Config/rudadever.ini", false}, {version, true},
              {version, false}, {redirected, true}, {redirected, false}};
  const std::string ini = session_.ReadFile("Config/rudadever.ini");
  const std::string corvio = session_.ReadFile("Corvio.ini");
  const std::string versionText = session_.ReadFile(version);
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    const auto& r = rows[row];
    // Wine reads profile files itself: only the version file goes through this program.
    if (target.windows && r.file != version) continue;
    session_.WriteFile("Config/rudadever.ini", ini);
    session_.WriteFile("Corvio.ini", corvio);
    const bool redirecting = r.file == redirected;
    // Without the framework there is no window; without the version file a hint first.
    std::vector<std::string> script{"wait-visible Button_close 15000", "close"};
    if (r.file == version) script.insert(script.begin(), {"wait-visible Button_MsgOk 15000", "click Button_MsgOk"});
    if (redirecting) script = {};
    const std::string path = redirecting ? r.file : session_.ProgramDir() + "/" + r.file;
    if (redirecting) session_.WriteFile("Corvio.ini", "[Redirect]\r\nPath=" + redirect + "\r\n");
    std::filesystem::remove(path);
    ASSERT_EQ(r.fifo ? mkfifo(path.c_str(), 0644) : symlink("/dev/zero", path.c_str()), 0) << path;
    const auto start = std::chrono::steady_clock::now();
    RunResult result = session_.Run(script, {}, "", 20000);
    EXPECT_EQ(result.exitCode, 0) << "row " << row << "\n" << result.errors;
    EXPECT_LT(MillisecondsSince(start), 15000) << "row " << row;
    EXPECT_LT(result.peakKb, 400 * 1024) << "row " << row;
    const std::string named = path.substr(path.rfind('/') + 1) + " is " + (r.fifo ? "a FIFO" : "a device");
    EXPECT_TRUE(target.windows || result.errors.find(named) != std::string::npos) << row << "\n" << result.errors;
    std::filesystem::remove(path);
    if (r.file == version) session_.WriteFile(version, versionText);
  }
}

TEST_F(LauncherE2eTest, server_addresses_the_downloader_refuses_read_the_local_copy_at_once) {
  ServeList(SampleDistricts());
  const char* rows[] = {"127.0.0.1:70000", "user:pw@127.0.0.1", "127.0.0.1/zent", "127.0.0.1 80"};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    session_.WriteFile("zaduvodi.xml", list_ + std::string(1, '\0'));
    session_.WriteFile("Config/rudadever.ini", std::string("[Public]\r\nserverhost=") + rows[row] + "\r\n");
    RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
    ASSERT_EQ(r.exitCode, 0) << "row " << row << "\n" << r.errors;
    EXPECT_EQ(ReadDump()[Slot(kDx, 1)].Field("text"), "电信一区") << "row " << row;
    EXPECT_TRUE(LauncherTarget::Current().windows || r.errors.find("[Corvio_Download] settings refused") != std::string::npos)
        << r.errors;
  }
}

// An answer that is no list is never silent: the operator reads why, the player gets
// the local copy.
TEST_F(LauncherE2eTest, answers_that_are_not_used_say_why_on_standard_error) {
  const std::string good = session_.EncodeList(ListXml(SampleDistricts()));
  const struct {
    std::string body, headers, why;
  } rows[] = {
      {"", "", "is not used: it is empty"},
      {"<html>maintenance</html>\n", "", "is not used: it is not an encrypted district list"},
      {good, "Content-Encoding: gzip\r\n", "(Content-Encoding: gzip), which is not unpacked"},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    session_.WriteFile("zaduvodi.xml", good + std::string(1, '\0'));
    server_.Serve("/zent/zentxmlwtz.htm", rows[row].body, 200, rows[row].headers);
    RunResult r = session_.Run(ShowAndDump(Slot(kWt, 2), {"close"}));
    ASSERT_EQ(r.exitCode, 0) << "row " << row << "\n" << r.errors;
    EXPECT_EQ(ReadDump()[Slot(kWt, 2)].Field("text"), "网通二区") << "row " << row;
    EXPECT_TRUE(LauncherTarget::Current().windows || r.errors.find(rows[row].why) != std::string::npos)
        << "row " << row << "\n" << r.errors;
  }
}

// A file nobody may change while it lives, root and Wine included (the immutable flag).
struct Immutable {
  explicit Immutable(const std::string& path) : path(path), ok(Set(FS_IMMUTABLE_FL)) {}
  ~Immutable() { if (ok) Set(0); }
  bool Set(int flag) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    const bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags = (flags & ~FS_IMMUTABLE_FL) | flag, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0) close(fd);
    return done;
  }
  std::string path;
  bool ok;  // set
};

TEST_F(LauncherE2eTest, choice_that_cannot_be_remembered_is_told_and_the_game_still_starts) {
  ServeList(SampleDistricts());
  session_.WriteFile("Config/Info.ini", "[Public]\r\nIsKeepLoginUrl=1\r\n");
  Immutable locked(session_.ProgramDir() + "/Config/Info.ini");  // root cannot change it either
  if (!locked.ok) GTEST_SKIP() << "this file system has no immutable flag";
  const std::string hint = session_.Root() + "/hint.txt";
  RunResult r = session_.Run(ShowAndDump(Slot(kWt, 1), {"click " + Slot(kWt, 1), "click Button_enter",
                                                         "wait-visible Static_MsgInfo 15000", "dump " + hint,
                                                         "click Button_MsgOk"}));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  bool told = false;
  for (const auto& c : ReadDumpAt(hint))
    if (c.first.find("Static_MsgInfo") != std::string::npos)
      told = c.second.Field("text") == "无法保存所选大区，下次启动需重新选择。";
  EXPECT_TRUE(told);
  std::vector<std::string> args;
  for (int i = 0; i < 250 && !session_.StandInArgs("ZentLauncher.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(args, (std::vector<std::string>{"wt1.zent.invalid:7000"}));
}

}  // namespace
