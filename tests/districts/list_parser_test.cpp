// ParseDistrictList: groups and counts, drawing order, the shared wait for probe results,
// the remembered district, and lists that do not open. The probes are doubles here: a
// district's pinpip says what its probe does.
#include <gtest/gtest.h>

#include <string.h>

#include <chrono>

#include "districts/hex.h"
#include "platform/win32.h"
#include "probe/probe_round.h"
#include "tests/app/program_dir_fixture.h"

namespace {

std::vector<std::string> g_probed;  // pinpip of every probe started, in order
int g_rounds = 0;

}  // namespace

// Probe doubles: "ms:N" answers N at once, "pending" never answers, "nothread" cannot start.
void BeginProbeRound() { ++g_rounds; }
void EndProbes() {}
void SetProbeResultListener(ProbeResultListener, void*) {}
int PingWorkersRunning() { return 0; }
bool StartPingWorker(DistrictInfo* record) {
  const std::string address = record->pinpip;
  g_probed.push_back(address);
  if (address == "nothread") return false;
  if (address.compare(0, 3, "ms:") == 0) StoreLatency(*record, atoi(address.c_str() + 3));
  return true;
}

namespace {

using fake::Image;

class ListParserTest : public ProgramDirTest {
 protected:
  void SetUp() override {
    ProgramDirTest::SetUp();
    g_probed.clear();
    g_rounds = 0;
    launcher_ = MakeLauncher();
  }
  void Serve(const std::string& districtsXml) {
    WriteFile("Config/zentxmlwtz.htm", SealList("<District>" + districtsXml + "</District>") + "\n");
  }
  static std::string D(const std::string& name, int type, const std::string& url,
                       const std::string& pinpip = "ms:10", const std::string& extra = "") {
    return DistrictXml(name, type, url, "<pinpip>" + pinpip + "</pinpip>" + extra);
  }
  // The targets of the Caption applies, in the order the buttons were drawn.
  std::vector<std::string> DrawOrder() {
    std::vector<std::string> order;
    for (const auto& a : world().applies) {
      if (a.props.size() == 2 && a.props[1].name == "Caption") order.push_back(a.props[1].value);
    }
    return order;
  }
  std::string Button(const char* group, int k) {
    return std::string("Dialog_ZentPorter\\Container_") + group + "\\server" + std::to_string(k) + "\\Button";
  }
  std::unique_ptr<LauncherDialog> launcher_;
};

TEST_F(ListParserTest, districts_fill_their_groups_in_list_order_and_are_drawn_dx_then_wt) {
  Serve(D("d1", 2, "u1") + D("d2", 2, "u2") + D("d3", 2, "u3") + D("w1", 3, "v1") +
        D("w2", 3, "v2") + D("d4", 2, "u4"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(launcher_->dxCount, 4);
  EXPECT_EQ(launcher_->wtCount, 2);
  EXPECT_EQ(launcher_->recommendedCount, 0);
  EXPECT_STREQ(launcher_->districts.dxGroup[4].name, "d4");
  EXPECT_STREQ(launcher_->districts.wtGroup[2].name, "w2");
  EXPECT_EQ(DrawOrder(), (std::vector<std::string>{"d1", "d2", "d3", "d4", "w1", "w2"}));
  EXPECT_EQ(world().state[Button("wt", 1)]["Caption"], "w1");
  EXPECT_EQ(g_probed.size(), 6u);
  EXPECT_EQ(g_rounds, 1);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(ListParserTest, probe_results_choose_the_icons_and_failed_threads_read_as_failed) {
  Serve(D("fast", 2, "a", "ms:5") + D("slow", 2, "b", "ms:300") + D("nothread", 3, "c", "nothread"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(world().state[Button("dx", 1)]["Background"], Image("fuwuqi_fast00.tga"));
  EXPECT_EQ(world().state[Button("dx", 2)]["Background"], Image("fuwuqi_slow00.tga"));
  EXPECT_EQ(LoadLatency(launcher_->districts.wtGroup[1]), LatencyFailed);
  EXPECT_EQ(world().state[Button("wt", 1)]["Background"], Image("fuwuqi_slow00.tga"));
}

TEST_F(ListParserTest, unanswered_probes_share_one_budget_of_about_three_seconds) {
  Serve(D("p1", 2, "a", "pending") + D("p2", 2, "b", "pending") + D("p3", 3, "c", "pending"));
  const auto start = std::chrono::steady_clock::now();
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start).count();
  // One budget for the whole list, not one per district.
  EXPECT_GE(elapsed, 3000);
  EXPECT_LT(elapsed, 8000);
  EXPECT_EQ(DrawOrder(), (std::vector<std::string>{"p1", "p2", "p3"}));
  for (int k = 1; k <= 2; ++k) {
    EXPECT_EQ(LoadLatency(launcher_->districts.dxGroup[k]), LatencyPending) << k;
    EXPECT_EQ(world().state[Button("dx", k)]["Background"], Image("fuwuqi_slow00.tga")) << k;
  }
}

TEST_F(ListParserTest, answered_probes_need_no_waiting) {
  std::string list;
  for (int i = 1; i <= 20; ++i) list += D("d" + std::to_string(i), 2, "u", "ms:1");
  Serve(list);
  const auto start = std::chrono::steady_clock::now();
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(elapsed, 2500);
  EXPECT_EQ(launcher_->dxCount, 20);
}

TEST_F(ListParserTest, twenty_first_district_of_a_group_is_neither_stored_nor_probed) {
  std::string list;
  for (int i = 1; i <= 21; ++i) list += D("w" + std::to_string(i), 3, "u", "ms:" + std::to_string(i));
  Serve(list);
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(launcher_->wtCount, 20);
  ASSERT_EQ(g_probed.size(), 20u);
  EXPECT_EQ(g_probed.back(), "ms:20");
  EXPECT_EQ(DrawOrder().size(), 20u);
}

TEST_F(ListParserTest, remembered_url_preselects_the_last_open_match) {
  WriteFile("Config/Info.ini", "[Public]\r\nLastLoginUrl=" + std::string("616263") + "\r\n");
  Serve(D("first", 2, "abc", "ms:1", "<version>1.0.1</version>") + D("other", 2, "abd") +
        D("second", 3, "abc", "ms:1", "<version>2.0.2</version>"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_STREQ(launcher_->selectedDistrict.name, "second");
  EXPECT_EQ(world().editText, "second");
  EXPECT_EQ(world().texts["Static_version_zone"], "2.0.2");
  // The groups' measuring notes go once the districts are drawn.
  for (const char* group : {"dx", "wt"})
    EXPECT_EQ(world().state[std::string("Dialog_ZentPorter\\Container_") + group + "\\Image_measuring"]["Visible"],
              "false") << group;
  // The preselected button is marked as chosen, the earlier match is not.
  EXPECT_EQ(world().state[Button("wt", 1)]["Selected"], "true");
  EXPECT_EQ(world().state[Button("dx", 1)].count("Selected"), 0u);
}

TEST_F(ListParserTest, remembered_district_under_maintenance_is_not_selected) {
  WriteFile("Config/Info.ini", "[Public]\r\nLastLoginUrl=616263\r\n");
  Serve(D("down", 2, "abc", "ms:1", "<oper_status>1</oper_status>"));
  const size_t hintsBefore = world().hints.size();
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(launcher_->selectedDistrict.url[0], '\0');
  EXPECT_EQ(world().editText, "");
  EXPECT_EQ(world().hints.size(), hintsBefore);
  EXPECT_EQ(world().state[Button("dx", 1)]["Background"], Image("fuwuqi_down.tga"));
}

TEST_F(ListParserTest, remembered_url_that_matches_nothing_selects_nothing) {
  WriteFile("Config/Info.ini", "[Public]\r\nLastLoginUrl=61626364\r\n");
  Serve(D("a", 2, "abc"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(launcher_->selectedDistrict.name[0], '\0');
}

TEST_F(ListParserTest, local_copy_that_does_not_open_gives_no_districts_and_a_usable_window) {
  WriteFile("zaduvodi.xml", "<html>not a list</html>\n");
  launcher_->dxCount = 3;
  launcher_->ParseDistrictList("zaduvodi.xml");
  EXPECT_EQ(launcher_->dxCount, 0);
  EXPECT_EQ(launcher_->wtCount, 0);
  EXPECT_TRUE(DrawOrder().empty());
  EXPECT_FALSE(QuitPosted());
  // The window still reacts: a click on the close button ends it as usual.
  skin().Send("Button_close", NotifyClick);
  EXPECT_TRUE(QuitPosted());
}

// A 200 answer that is no list (an error page, say) is a failed download: the last good
// list shows, as when the server is down.
TEST_F(ListParserTest, download_that_is_not_a_list_shows_the_local_copy) {
  WriteFile("zaduvodi.xml", SealList("<District>" + D("kept", 2, "u") + "</District>") + "\n");
  WriteFile("Config/zentxmlwtz.htm", "<html><body>404 Not Found</body></html>\n");
  world().downloadSink->OnDownloadFinished(1, 0);
  EXPECT_EQ(launcher_->dxCount, 1);
  EXPECT_EQ(DrawOrder(), (std::vector<std::string>{"kept"}));
  EXPECT_FALSE(QuitPosted());
}

TEST_F(ListParserTest, character_references_name_districts_in_gbk) {
  Serve(D("&#x4e2d;&#25991;", 2, "a") + D("&#x1F600;x", 2, "b") + D("A&#38;B&#x41;", 3, "c"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(DrawOrder(), (std::vector<std::string>{"\xd6\xd0\xce\xc4", "?x", "A&BA"}));
}

TEST_F(ListParserTest, district_whose_address_would_split_is_not_drawn_and_is_named) {
  InstallStandIn("ZentLauncher.exe");
  Serve(D("good", 2, "dx1.zent.invalid:7000") + D("forged", 2, "dx1:7000 --inject \"two words\"") +
        D("tabbed", 3, "w\tx") + D("after", 2, "dx2.zent.invalid"));
  testing::internal::CaptureStderr();
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(DrawOrder(), (std::vector<std::string>{"good", "after"}));
  EXPECT_NE(err.find("district \"forged\" is not shown"), std::string::npos) << err;
  EXPECT_NE(err.find("district \"tabbed\" is not shown: its address \"w?x\""), std::string::npos)
      << err;
  // What is drawn starts the game launcher with exactly the address and the command line.
  snprintf(launcher_->cmdLine, sizeof launcher_->cmdLine, "%s", "-k v");
  skin().Send(skin().FindControlByPath(Button("dx", 2).c_str(), 0), NotifyClick);
  skin().Send("Button_enter", NotifyClick);
  std::vector<std::string> args;
  ASSERT_TRUE(WaitForArgs("ZentLauncher.exe", 10000, &args));
  EXPECT_EQ(args, (std::vector<std::string>{"dx2.zent.invalid", "-k", "v"}));
}

TEST_F(ListParserTest, second_parse_recounts_and_keeps_older_records_above_the_count) {
  Serve(D("w1", 3, "a") + D("w2", 3, "b") + D("w3", 3, "c") + D("w4", 3, "d") + D("w5", 3, "e"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  Serve(D("n1", 3, "x") + D("n2", 3, "y"));
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_EQ(launcher_->wtCount, 2);
  EXPECT_STREQ(launcher_->districts.wtGroup[2].name, "n2");
  EXPECT_STREQ(launcher_->districts.wtGroup[5].name, "w5");
  EXPECT_EQ(g_rounds, 2);
}

TEST_F(ListParserTest, document_without_district_element_stores_nothing) {
  // A copy kept before only real lists replaced it.
  WriteFile("zaduvodi.xml", SealList("<List><D><name>x</name></D></List>") + "\n");
  launcher_->ParseDistrictList("zaduvodi.xml");
  EXPECT_EQ(launcher_->dxCount, 0);
  EXPECT_TRUE(g_probed.empty());
  EXPECT_FALSE(QuitPosted());
}

TEST_F(ListParserTest, unreadable_list_and_no_copy_quits_and_leaves_the_table) {
  launcher_->dxCount = 2;
  launcher_->ParseDistrictList("config\\zentxmlwtz.htm");
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(launcher_->dxCount, 2);
}

}  // namespace
