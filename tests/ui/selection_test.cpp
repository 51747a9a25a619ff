// Selection and launch: district clicks, maintenance, the enter, back and close buttons,
// the remembered address, the window-close message and the browser pane.
#include <gtest/gtest.h>

#include <string.h>

#include "platform/win32.h"
#include "tests/app/program_dir_fixture.h"

namespace {

const char kMaintenance[] =  // "所选大区正在维护，请稍候再试或登官网"
    "\xcb\xf9\xd1\xa1\xb4\xf3\xc7\xf8\xd5\xfd\xd4\xda\xce\xac\xbb\xa4\xa3\xac\xc7\xeb\xc9\xd4"
    "\xba\xf2\xd4\xd9\xca\xd4\xbb\xf2\xb5\xc7\xb9\xd9\xcd\xf8";
const char kMaintenanceTail[] = "\xb2\xe9\xbf\xb4\xcf\xe0\xb9\xd8\xd0\xc5\xcf\xa2";  // "查看相关信息"
const char kChoose[] = "\xc7\xeb\xd1\xa1\xd4\xf1\xb4\xf3\xc7\xf8!";  // "请选择大区!"
// "所选大区没有服务器地址，请选择其他大区!"
const char kNoAddress[] =
    "\xcb\xf9\xd1\xa1\xb4\xf3\xc7\xf8\xc3\xbb\xd3\xd0\xb7\xfe\xce\xf1\xc6\xf7\xb5\xd8\xd6\xb7"
    "\xa3\xac\xc7\xeb\xd1\xa1\xd4\xf1\xc6\xe4\xcb\xfb\xb4\xf3\xc7\xf8!";
const char kCannotStart[] = "\xce\xde\xb7\xa8\xc6\xf4\xb6\xaf ";  // "无法启动 "
const char kNotFound[] = "\xa3\xba\xd5\xd2\xb2\xbb\xb5\xbd\xb8\xc3\xb3\xcc\xd0\xf2";  // "：找不到该程序"
// "。请检查游戏是否完整安装后重试。"
const char kCheckInstallation[] =
    "\xa1\xa3\xc7\xeb\xbc\xec\xb2\xe9\xd3\xce\xcf\xb7\xca\xc7\xb7\xf1\xcd\xea\xd5\xfb\xb0\xb2"
    "\xd7\xb0\xba\xf3\xd6\xd8\xca\xd4\xa1\xa3";

class SelectionTest : public ProgramDirTest {
 protected:
  void SetUp() override {
    ProgramDirTest::SetUp();
    launcher_ = MakeLauncher();
    QuitPosted();
    Fill(launcher_->districts.dxGroup[1], "Dx One", "1.1.0", "http://dx1.invalid/", 0);
    Fill(launcher_->districts.dxGroup[2], "Dx Two", "1.2.0", "http://dx2.invalid/", 1);
    Fill(launcher_->districts.wtGroup[3], "Wt Three", "3.3.0", "abc", 0);
    Fill(launcher_->districts.wtGroup[1], "No Address", "1.0.0", "", 0);
    launcher_->dxCount = 2;
    launcher_->wtCount = 3;
  }
  static void Fill(DistrictInfo& d, const char* name, const char* version, const char* url, int oper) {
    memset(&d, 0, sizeof d);
    snprintf(d.name, sizeof d.name, "%s", name);
    snprintf(d.version, sizeof d.version, "%s", version);
    snprintf(d.url, sizeof d.url, "%s", url);
    d.oper_status = oper;
    d.type = 2;
  }
  int IdOfPath(const std::string& path) { return skin().FindControlByPath(path.c_str(), 0); }
  void Click(const std::string& path, int message = 0) { skin().Send(IdOfPath(path), NotifyClick, message); }
  void ClickSlot(const char* group, int k) {
    Click(std::string("Dialog_ZentPorter\\Container_") + group + "\\server" + std::to_string(k) +
          "\\Button");
  }
  // The click was refused with `hint`: the window stays and the game launcher never starts.
  void ExpectRefused(const std::string& hint) {
    ASSERT_EQ(world().hints.size(), 1u);
    EXPECT_EQ(world().hints[0], hint);
    EXPECT_FALSE(QuitPosted());
    std::vector<std::string> args;
    EXPECT_FALSE(WaitForArgs("ZentLauncher.exe", 500, &args));
  }
  // The window quit and `program` started with `expected` as its arguments.
  void ExpectStarted(const char* program, const std::vector<std::string>& expected) {
    EXPECT_TRUE(QuitPosted());
    std::vector<std::string> args;
    ASSERT_TRUE(WaitForArgs(program, 10000, &args));
    EXPECT_EQ(args, expected);
  }
  static std::string StoredLoginUrl() {
    char stored[1024] = {0};
    GetPrivateProfileStringA("Public", "LastLoginUrl", "", stored, 1023, "Config\\Info.ini");
    return stored;
  }
  std::unique_ptr<LauncherDialog> launcher_;
};

TEST_F(SelectionTest, clicking_wt_button_three_selects_and_shows_slot_three) {
  ClickSlot("wt", 3);
  EXPECT_STREQ(launcher_->selectedDistrict.name, "Wt Three");
  EXPECT_STREQ(launcher_->selectedDistrict.url, "abc");
  EXPECT_EQ(world().editText, "Wt Three");
  EXPECT_EQ(world().texts["Static_version_zone"], "3.3.0");
  EXPECT_TRUE(world().hints.empty());
  EXPECT_FALSE(QuitPosted());
}

TEST_F(SelectionTest, slot_numbers_are_read_from_the_path_between_prefix_and_button) {
  struct Row {
    const char* path;
    bool selects;
    const char* name;
  } rows[] = {
      {"Dialog_ZentPorter\\Container_dx\\server1\\Button", true, "Dx One"},
      {"Dialog_ZentPorter\\Container_dx\\server\\Button", true, ""},    // slot 0: empty record
      {"Dialog_ZentPorter\\Container_dx\\server21\\Button", false, nullptr},
      {"Dialog_ZentPorter\\Container_dx\\server-1\\Button", false, nullptr},
      {"Dialog_ZentPorter\\Container_dx\\server999999999999999999\\Button", false, nullptr},
      {"Dialog_ZentPorter\\Container_wt\\server 3\\Button", true, "Wt Three"},  // blanks skipped
      {"Dialog_ZentPorter\\Container_wt\\server3x\\Button", true, "Wt Three"},  // up to a non-digit
      {"Dialog_ZentPorter\\Container_dx\\server1\\Tag", false, nullptr},
      {"Dialog_ZentPorter\\Container_xx\\server1\\Button", false, nullptr},
      {"Dialog_ZentPorter\\Button_enter_other", false, nullptr},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    // Controls at these paths, added on the fly to the skin double.
    fake::Dialog& d = skin();
    const int id = 9000 + static_cast<int>(i);
    d.controls[id] = fake::Dialog::Entry{"row", rows[i].path, nullptr};
    memset(&launcher_->selectedDistrict, 0x5a, sizeof launcher_->selectedDistrict);
    launcher_->selectedDistrict.name[sizeof launcher_->selectedDistrict.name - 1] = '\0';
    world().editText = "before";
    d.Send(id, NotifyClick);
    if (rows[i].selects) {
      EXPECT_STREQ(launcher_->selectedDistrict.name, rows[i].name) << "row " << i;
      EXPECT_EQ(world().editText, rows[i].name) << "row " << i;
    } else {
      EXPECT_EQ(static_cast<unsigned char>(launcher_->selectedDistrict.url[0]), 0x5a) << "row " << i;
      EXPECT_EQ(world().editText, "before") << "row " << i;
    }
  }
}

TEST_F(SelectionTest, maintenance_click_shows_message_and_keeps_the_earlier_choice) {
  WriteFile("Config/rudadever.ini", "[Public]\r\nOfficialSite=play.zent.invalid\r\n");
  ClickSlot("dx", 1);
  ClickSlot("dx", 2);
  ASSERT_EQ(world().hints.size(), 1u);
  EXPECT_EQ(world().hints[0], std::string(kMaintenance) + "play.zent.invalid" + kMaintenanceTail);
  EXPECT_STREQ(launcher_->selectedDistrict.url, "http://dx1.invalid/");
  EXPECT_EQ(world().editText, "Dx One");
  EXPECT_EQ(world().texts["Static_version_zone"], "1.1.0");
  // The accepted choice's button is marked in the window; the maintenance one is not.
  EXPECT_EQ(world().state["Dialog_ZentPorter\\Container_dx\\server1\\Button"]["Selected"], "true");
  EXPECT_EQ(world().state["Dialog_ZentPorter\\Container_dx\\server2\\Button"].count("Selected"), 0u);
}

TEST_F(SelectionTest, maintenance_message_names_the_default_site_when_none_is_configured) {
  ClickSlot("dx", 2);
  ASSERT_EQ(world().hints.size(), 1u);
  EXPECT_EQ(world().hints[0], std::string(kMaintenance) + "www.zent.example.com" + kMaintenanceTail);
  EXPECT_EQ(launcher_->selectedDistrict.url[0], '\0');
}

TEST_F(SelectionTest, enter_with_empty_box_asks_for_a_district_and_starts_nothing) {
  InstallStandIn("ZentLauncher.exe");
  WriteFile("Config/Info.ini", "[Public]\r\nIsKeepLoginUrl=1\r\n");
  ClickSlot("wt", 3);
  world().editText.clear();
  Click("Dialog_ZentPorter\\Button_enter");
  ExpectRefused(kChoose);
  EXPECT_EQ(ReadFile("Config/Info.ini").find("LastLoginUrl"), std::string::npos);
}

TEST_F(SelectionTest, enter_with_filled_box_but_no_district_chosen_starts_nothing) {
  InstallStandIn("ZentLauncher.exe");
  world().editText = "typed by hand";
  Click("Dialog_ZentPorter\\Button_enter");
  ExpectRefused(kChoose);
}

TEST_F(SelectionTest, enter_on_a_district_without_address_says_so_and_starts_nothing) {
  InstallStandIn("ZentLauncher.exe");
  ClickSlot("wt", 1);
  EXPECT_EQ(world().editText, "No Address");
  Click("Dialog_ZentPorter\\Button_enter");
  ExpectRefused(kNoAddress);
}

// The player's click is never lost without a word: the hint names the program and the
// reason, and the window stays for another try.
TEST_F(SelectionTest, program_that_does_not_start_is_named_and_the_window_stays) {
  struct Row {
    const char* button;
    const char* program;
  } rows[] = {{"Dialog_ZentPorter\\Button_enter", "ZentLauncher.exe"},
              {"Dialog_ZentPorter\\Button_back", "RudaDever.exe"}};
  ClickSlot("wt", 3);
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    world().hints.clear();
    Click(rows[i].button);
    ASSERT_EQ(world().hints.size(), 1u) << "row " << i;
    EXPECT_EQ(world().hints[0], std::string(kCannotStart) + rows[i].program + kNotFound + kCheckInstallation)
        << "row " << i;
    EXPECT_FALSE(QuitPosted()) << "row " << i;
  }
  // A file that is no program does not start either (the reason depends on the system).
  WriteFile("ZentLauncher.exe", "not a program\n");
  world().hints.clear();
  Click("Dialog_ZentPorter\\Button_enter");
  ASSERT_EQ(world().hints.size(), 1u);
  EXPECT_EQ(world().hints[0].rfind(std::string(kCannotStart) + "ZentLauncher.exe", 0), 0u);
  EXPECT_NE(world().hints[0], std::string(kCannotStart) + "ZentLauncher.exe" + kNotFound + kCheckInstallation);
  EXPECT_FALSE(QuitPosted());
  // Once the program is there, the next click starts it.
  InstallStandIn("ZentLauncher.exe");
  Click("Dialog_ZentPorter\\Button_enter");
  ExpectStarted("ZentLauncher.exe", {"abc"});
}

TEST_F(SelectionTest, enter_remembers_the_url_in_hex_and_starts_the_game_launcher) {
  InstallStandIn("ZentLauncher.exe");
  WriteFile("Config/Info.ini", "[Public]\r\nIsKeepLoginUrl=1\r\n");
  snprintf(launcher_->cmdLine, sizeof launcher_->cmdLine, "%s", "-user \"a b\" x\\y");
  ClickSlot("wt", 3);
  Click("Dialog_ZentPorter\\Button_enter");
  EXPECT_EQ(StoredLoginUrl(), "616263");
  ExpectStarted("ZentLauncher.exe", {"abc", "-user", "a b", "x\\y"});
}

TEST_F(SelectionTest, keep_login_url_other_than_one_leaves_the_old_value) {
  InstallStandIn("ZentLauncher.exe");
  WriteFile("Config/Info.ini", "[Public]\r\nIsKeepLoginUrl=2\r\nLastLoginUrl=7a7a\r\n");
  ClickSlot("dx", 1);
  Click("Dialog_ZentPorter\\Button_enter");
  EXPECT_EQ(StoredLoginUrl(), "7a7a");
  // An empty command line: the parameters are the url and one space.
  ExpectStarted("ZentLauncher.exe", {"http://dx1.invalid/"});
}

TEST_F(SelectionTest, enter_without_selection_box_quits_without_starting_anything) {
  fake::ResetWorld();
  world().absentControls.insert("Edit_select");
  launcher_ = MakeLauncher();
  InstallStandIn("ZentLauncher.exe");
  Fill(launcher_->selectedDistrict, "S", "1", "http://s.invalid/", 0);
  Click("Dialog_ZentPorter\\Button_enter");
  EXPECT_TRUE(QuitPosted());
  std::vector<std::string> args;
  EXPECT_FALSE(WaitForArgs("ZentLauncher.exe", 500, &args));
}

TEST_F(SelectionTest, back_starts_the_login_program_without_arguments_and_quits) {
  InstallStandIn("RudaDever.exe");
  snprintf(launcher_->cmdLine, sizeof launcher_->cmdLine, "%s", "-x");
  Click("Dialog_ZentPorter\\Button_back");
  ExpectStarted("RudaDever.exe", {});
}

TEST_F(SelectionTest, back_with_another_notification_does_nothing) {
  skin().Send("Button_back", NotifyBrowserUrl);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(SelectionTest, close_button_and_window_close_message_quit) {
  Click("Dialog_ZentPorter\\Button_close");
  EXPECT_TRUE(QuitPosted());
  skin().Send(0, 0, WindowMessageClose);
  EXPECT_TRUE(QuitPosted());
}

TEST_F(SelectionTest, window_close_message_quits_after_the_senders_step) {
  ClickSlot("wt", 3);
  EXPECT_FALSE(QuitPosted());
  memset(&launcher_->selectedDistrict, 0, sizeof launcher_->selectedDistrict);
  Click("Dialog_ZentPorter\\Container_dx\\server1\\Button", WindowMessageClose);
  EXPECT_STREQ(launcher_->selectedDistrict.name, "Dx One");
  EXPECT_TRUE(QuitPosted());
}

TEST_F(SelectionTest, null_event_is_ignored) {
  launcher_->OnUiEvent(launcher_->closeButtonId, nullptr);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(SelectionTest, browser_pane_is_revealed_only_on_an_exact_url_match) {
  WriteFile("Config/rudadever.ini", "[Public]\r\nWebBrowserUrl=http://news.invalid/Index.html\r\n");
  const int browser = skin().FindControl("WebBrowser_right");
  const std::string other = "http://news.invalid/index.html";
  skin().Send(browser, NotifyBrowserUrl, 0, &other);
  EXPECT_EQ(world().shown.count("WebBrowser_right"), 0u);
  const std::string exact = "http://news.invalid/Index.html";
  skin().Send(browser, NotifyClick, 0, &exact);
  EXPECT_EQ(world().shown.count("WebBrowser_right"), 0u);
  skin().Send(browser, NotifyBrowserUrl, 0, &exact);
  EXPECT_EQ(world().shown.count("WebBrowser_right"), 1u);
}

TEST_F(SelectionTest, district_selected_directly_shows_name_and_version) {
  DistrictInfo d;
  Fill(d, "Direct", "9.9.9", "u", 0);
  EXPECT_EQ(launcher_->OnDistrictSelected(&d, d.version, d.oper_status), 1);
  EXPECT_EQ(world().editText, "Direct");
  EXPECT_EQ(world().texts["Static_version_zone"], "9.9.9");
  d.oper_status = OperStatusMaintenance;
  EXPECT_EQ(launcher_->OnDistrictSelected(&d, d.version, d.oper_status), 0);
  EXPECT_EQ(world().hints.size(), 1u);
}

}  // namespace
