// The hint message box: which events close it, with which result, and when it shows
// nothing; and the texts of failures the player is told about.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/app/program_dir_fixture.h"
#include "ui/hint_box.h"

namespace {

class HintBoxTest : public ProgramDirTest {};

TEST_F(HintBoxTest, each_button_click_closes_with_its_own_id) {
  for (const char* button : {"Button_MsgOk", "Button_Cancel", "Button_Quit"}) {
    fake::ResetWorld();
    world().onModal = [button](fake::Dialog& box) { box.Send(button, NotifyClick); };
    auto launcher = MakeLauncher();
    HintMsgBox box;
    fake::Dialog* dialog = static_cast<fake::Dialog*>(box.dialog.component);
    const int result = box.Run("hello");
    EXPECT_EQ(result, dialog->FindControl(button)) << button;
    EXPECT_NE(result, 0) << button;
    ASSERT_EQ(world().hints.size(), 1u) << button;
    EXPECT_EQ(world().hints[0], "hello") << button;
  }
}

TEST_F(HintBoxTest, clicks_elsewhere_and_other_notifications_do_not_close) {
  world().onModal = [](fake::Dialog& box) {
    box.Send("Button_Other", NotifyClick);
    box.Send("Static_MsgInfo", NotifyClick);
    box.Send("Button_MsgOk", NotifyBrowserUrl);
    EXPECT_FALSE(box.modalEnded);
    box.Send("Button_Cancel", NotifyClick);
  };
  auto launcher = MakeLauncher();
  HintMsgBox box;
  const int result = box.Run("x");
  EXPECT_EQ(result, box.cancelButtonId);
}

TEST_F(HintBoxTest, closing_the_window_closes_like_quit) {
  world().onModal = [](fake::Dialog& box) { box.Send(0, 0, WindowMessageClose); };
  auto launcher = MakeLauncher();
  HintMsgBox box;
  EXPECT_EQ(box.Run("x"), box.quitButtonId);
}

TEST_F(HintBoxTest, show_hint_loads_hint_skin_with_owner_and_text) {
  auto launcher = MakeLauncher();
  world().skinsLoaded.clear();
  launcher->ShowHint("");
  launcher->ShowHint("second");
  EXPECT_EQ(world().skinsLoaded, (std::vector<std::string>{"HintMsg.xml", "HintMsg.xml"}));
  EXPECT_EQ(world().hints, (std::vector<std::string>{"", "second"}));
  // Two boxes, each with its own dialog, both released again.
  EXPECT_EQ(world().created[SkinDialog::kId], 3);
  EXPECT_EQ(world().Live(SkinDialog::kId), 1);
  EXPECT_EQ(world().Live(PropertyBag::kId), 0);
}

TEST_F(HintBoxTest, nothing_is_shown_before_the_launcher_window_exists) {
  world().launcherSkinLoads = false;
  auto launcher = MakeLauncher(false);
  launcher->ShowHint("lost");
  EXPECT_TRUE(world().hints.empty());
  EXPECT_EQ(world().Live(SkinDialog::kId), 1);
}

TEST_F(HintBoxTest, box_without_text_control_runs_without_text) {
  world().absentHintControls.insert("Static_MsgInfo");
  auto launcher = MakeLauncher();
  launcher->ShowHint("unseen");
  ASSERT_EQ(world().hints.size(), 1u);
  EXPECT_EQ(world().hints[0], "");
}

TEST_F(HintBoxTest, box_whose_skin_does_not_load_shows_nothing) {
  world().hintSkinLoads = false;
  auto launcher = MakeLauncher();
  launcher->ShowHint("unseen");
  EXPECT_TRUE(world().hints.empty());
}

TEST_F(HintBoxTest, box_sets_its_owner_to_the_launcher_dialog) {
  auto launcher = MakeLauncher();
  SkinDialog* owner = nullptr;
  world().onModal = [&owner](fake::Dialog& box) {
    owner = box.owner;
    box.Send("Button_MsgOk", NotifyClick);
  };
  launcher->ShowHint("x");
  EXPECT_EQ(owner, launcher->dialog.component);
}

TEST_F(HintBoxTest, event_without_object_is_ignored) {
  auto launcher = MakeLauncher();
  HintMsgBox box;
  box.OnUiEvent(box.okButtonId, nullptr);
  EXPECT_TRUE(world().hints.empty());
}

// "无法启动 ", "。请检查游戏是否完整安装后重试。" and the reasons, as GBK bytes.
const std::string kCannotStart = "\xce\xde\xb7\xa8\xc6\xf4\xb6\xaf ";
const std::string kCheck =
    "\xa1\xa3\xc7\xeb\xbc\xec\xb2\xe9\xd3\xce\xcf\xb7\xca\xc7\xb7\xf1\xcd\xea\xd5\xfb\xb0\xb2"
    "\xd7\xb0\xba\xf3\xd6\xd8\xca\xd4\xa1\xa3";
const std::string kNotFound = "\xa3\xba\xd5\xd2\xb2\xbb\xb5\xbd\xb8\xc3\xb3\xcc\xd0\xf2";
const std::string kDenied =
    "\xa3\xba\xc3\xbb\xd3\xd0\xd4\xcb\xd0\xd0\xb8\xc3\xb3\xcc\xd0\xf2\xb5\xc4\xc8\xa8\xcf\xde";
const std::string kMemory = "\xa3\xba\xc4\xda\xb4\xe6\xb2\xbb\xd7\xe3";
const std::string kNotAProgram =
    "\xa3\xba\xb8\xc3\xce\xc4\xbc\xfe\xb2\xbb\xca\xc7\xbf\xc9\xd2\xd4\xd4\xcb\xd0\xd0\xb5\xc4"
    "\xb3\xcc\xd0\xf2";
const std::string kCode = "\xa3\xba\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb ";

TEST(LaunchFailedText, names_the_program_and_the_reason_of_each_result) {
  struct Row {
    intptr_t result;
    std::string reason;
  } rows[] = {{2, kNotFound},     {3, kNotFound},      {5, kDenied},     {8, kMemory},
              {0, kMemory},       {11, kNotAProgram},  {31, kNotAProgram}, {26, kCode + "26"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(LaunchFailedText("ZentLauncher.exe", rows[i].result),
              kCannotStart + "ZentLauncher.exe" + rows[i].reason + kCheck)
        << "row " << i;
  }
}

// Every text names what is missing and where it was looked for.
TEST(FrameworkMissingText, names_the_file_that_is_missing_and_where) {
  struct Row {
    FactoryFailure failure;
    std::vector<std::string> named;
  } rows[] = {
      {FactoryFailure::ProgramFolderUnusable, {"259"}},
      {FactoryFailure::ConfigMissing, {"C:\\Zent\\Corvio.ini"}},
      {FactoryFailure::NoLibraryNamed, {"C:\\Zent\\Corvio.ini", "[361] DLL"}},
      {FactoryFailure::LibraryNotLoaded, {"C:\\Zent\\lib\\CorvFact.dll", "C:\\Zent\\Corvio.ini", " 126"}},
      {FactoryFailure::NoEntry, {"C:\\Zent\\lib\\CorvFact.dll", "CreateComponent"}},
      {FactoryFailure::NoFactory, {"C:\\Zent\\lib\\CorvFact.dll"}},
      {FactoryFailure::None, {"C:\\Zent\\lib\\CorvFact.dll"}},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    FactoryLibraryReport report = {rows[i].failure, "C:\\Zent\\Corvio.ini", "C:\\Zent\\lib\\CorvFact.dll", 126};
    const std::string text = FrameworkMissingText(report);
    for (const std::string& part : rows[i].named)
      EXPECT_NE(text.find(part), std::string::npos) << "row " << i << ": " << part;
  }
  // No two failures read alike.
  std::set<std::string> texts;
  for (const Row& row : rows) {
    FactoryLibraryReport report = {row.failure, "c", "l", 1};
    texts.insert(FrameworkMissingText(report));
  }
  EXPECT_EQ(texts.size(), sizeof rows / sizeof rows[0]);
}

TEST(SkinMissingText, names_the_skin_and_its_folder) {
  // "无法加载界面文件 zentPorter.xml，查找位置：" "\n" the folder "\n" "请重新安装游戏。"
  EXPECT_EQ(SkinMissingText("zentPorter.xml", "C:\\Zent"),
            "\xce\xde\xb7\xa8\xbc\xd3\xd4\xd8\xbd\xe7\xc3\xe6\xce\xc4\xbc\xfe zentPorter.xml"
            "\xa3\xac\xb2\xe9\xd5\xd2\xce\xbb\xd6\xc3\xa3\xba\nC:\\Zent\n"
            "\xc7\xeb\xd6\xd8\xd0\xc2\xb0\xb2\xd7\xb0\xd3\xce\xcf\xb7\xa1\xa3");
}

}  // namespace
