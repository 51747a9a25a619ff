// Window set-up: working directory, skin, background, version label, sink and ids, the
// district list request, the failure path, and the main window's handle.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win32.h"
#include "tests/app/program_dir_fixture.h"

namespace {

const char kSetUpFailed[] = "\xb3\xf5\xca\xbc\xbb\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";  // "初始化窗口失败"

class WindowSetupTest : public ProgramDirTest {};

TEST_F(WindowSetupTest, set_up_shows_the_window_with_background_version_ids_and_request) {
  WriteFile("Config/rudadever.htm", "2.1.3\r\n");
  SetCurrentDirectoryA(std::filesystem::temp_directory_path().string().c_str());
  auto launcher = MakeLauncher();
  char current[1024] = {0};
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_EQ(std::string(current), windowsDir_);
  EXPECT_EQ(world().skinsLoaded, (std::vector<std::string>{"zentPorter.xml"}));
  const std::string background = world().state["Dialog_ZentPorter"]["Background"];
  EXPECT_TRUE(background == fake::Image("fwq_ditu.png") || background == fake::Image("fwq_ditu_01.png"))
      << background;
  EXPECT_EQ(world().shown.count("main window"), 1u);
  EXPECT_EQ(world().texts["Static_version"], "V2.1.3\n");
  EXPECT_EQ(skin().sink, static_cast<UiEventSink*>(launcher.get()));
  EXPECT_EQ(launcher->enterButtonId, skin().FindControl("Button_enter"));
  EXPECT_EQ(launcher->closeButtonId, skin().FindControl("Button_close"));
  EXPECT_EQ(launcher->backButtonId, skin().FindControl("Button_back"));
  EXPECT_EQ(launcher->browserId, skin().FindControl("WebBrowser_right"));
  EXPECT_NE(launcher->enterButtonId, 0);
  EXPECT_EQ(world().log.back(), "StartDownload MyDefaultCfg zentxmlwtz.htm -1 0 4 0");
  EXPECT_FALSE(QuitPosted());
  EXPECT_EQ(world().Live(PropertyBag::kId), 0);
  EXPECT_EQ(world().Live(PropertyWriter::kId), 0);
  EXPECT_EQ(launcher->GetMainWindowHandle(), 0x5150u);
}

// Without a window there is no hint box: the system's box names the skin file and the
// folder it was looked for in, and the exit code stays 0.
TEST_F(WindowSetupTest, skin_that_does_not_load_is_named_in_the_system_box_and_quits) {
  world().launcherSkinLoads = false;
  StartFailureCapture shown;
  auto launcher = MakeLauncher();
  const std::string text = shown.Text();
  EXPECT_NE(text.find("zentPorter.xml"), std::string::npos) << text;
  EXPECT_NE(text.find(windowsDir_), std::string::npos) << text;
  EXPECT_TRUE(QuitPosted());
  EXPECT_TRUE(world().hints.empty());  // no window to show the hint box over
  EXPECT_EQ(skin().sink, static_cast<UiEventSink*>(launcher.get()));
  EXPECT_EQ(world().log.back(), "StartDownload MyDefaultCfg zentxmlwtz.htm -1 0 4 0");
  EXPECT_EQ(launcher->GetMainWindowHandle(), 0u);
}

TEST_F(WindowSetupTest, missing_main_window_is_a_set_up_failure_told_in_the_system_box) {
  world().launcherHasWindow = false;
  StartFailureCapture shown;
  auto launcher = MakeLauncher();
  EXPECT_NE(shown.Text().find("ZentPorter"), std::string::npos) << shown.Text();
  EXPECT_EQ(shown.Text().find("zentPorter.xml"), std::string::npos) << shown.Text();
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(world().shown.count("main window"), 0u);
}

TEST_F(WindowSetupTest, set_up_failure_message_is_shown_when_a_window_exists) {
  // The window exists but the skin reports failure: the dialog double still offers it.
  world().launcherSkinLoads = false;
  auto launcher = MakeLauncher(false);
  skin().loaded = true;
  launcher->SetUpWindow();
  ASSERT_EQ(world().hints.size(), 1u);
  EXPECT_EQ(world().hints[0], kSetUpFailed);
  EXPECT_TRUE(QuitPosted());
}

TEST_F(WindowSetupTest, skin_without_version_label_does_not_read_the_version_file) {
  world().absentControls.insert("Static_version");
  Remove("Config/rudadever.htm");
  auto launcher = MakeLauncher();
  EXPECT_TRUE(world().hints.empty());
  EXPECT_FALSE(QuitPosted());
}

TEST_F(WindowSetupTest, missing_property_writer_skips_only_the_background) {
  world().missing.insert(PropertyWriter::kId);
  WriteFile("Config/rudadever.htm", "1.0");
  auto launcher = MakeLauncher();
  EXPECT_EQ(world().state.count("Dialog_ZentPorter"), 0u);
  EXPECT_EQ(world().shown.count("main window"), 1u);
  EXPECT_EQ(world().texts["Static_version"], "V1.0");
  EXPECT_FALSE(QuitPosted());
}

TEST_F(WindowSetupTest, without_dialog_component_the_list_is_still_requested) {
  world().missing.insert(SkinDialog::kId);
  auto launcher = MakeLauncher();
  EXPECT_EQ(world().log.back(), "StartDownload MyDefaultCfg zentxmlwtz.htm -1 0 4 0");
  EXPECT_EQ(launcher->GetMainWindowHandle(), 0u);
  EXPECT_FALSE(QuitPosted());
}

}  // namespace
