// The hint message box: which events close it, with which result, and when it shows nothing.
#include <gtest/gtest.h>

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

}  // namespace
