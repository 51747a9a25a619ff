// The launcher object: what construction creates, what destruction releases and in which
// order, and the host's creation of components by id.
#include <gtest/gtest.h>

#include "tests/app/program_dir_fixture.h"

namespace {

class LauncherDialogTest : public ProgramDirTest {};

bool AllZero(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i)
    if (p[i]) return false;
  return true;
}

TEST_F(LauncherDialogTest, construction_creates_three_components_and_zeroes_the_rest) {
  auto launcher = MakeLauncher(false);
  EXPECT_NE(launcher->dialog.component, nullptr);
  EXPECT_NE(launcher->downloader.component, nullptr);
  EXPECT_NE(launcher->xmlReader.component, nullptr);
  EXPECT_TRUE(AllZero(launcher->cmdLine, sizeof launcher->cmdLine));
  EXPECT_TRUE(AllZero(&launcher->districts, sizeof launcher->districts));
  EXPECT_TRUE(AllZero(&launcher->selectedDistrict, sizeof launcher->selectedDistrict));
  EXPECT_EQ(launcher->dxCount, 0);
  EXPECT_EQ(launcher->wtCount, 0);
  EXPECT_EQ(launcher->recommendedCount, 0);
}

TEST_F(LauncherDialogTest, destruction_releases_reader_downloader_then_dialog) {
  auto launcher = MakeLauncher(false);
  world().log.clear();
  launcher.reset();
  EXPECT_EQ(world().log, (std::vector<std::string>{"release XmlReader", "release Downloader",
                                                   "release SkinDialog"}));
  EXPECT_EQ(world().Live(SkinDialog::kId), 0);
  EXPECT_EQ(world().Live(Downloader::kId), 0);
  EXPECT_EQ(world().Live(XmlReader::kId), 0);
}

TEST_F(LauncherDialogTest, without_the_factory_every_handle_is_empty_and_nothing_is_released) {
  world().missing.insert(ComponentFactory::kId);
  auto launcher = MakeLauncher(false);
  EXPECT_EQ(launcher->dialog.component, nullptr);
  EXPECT_EQ(launcher->downloader.component, nullptr);
  EXPECT_EQ(launcher->xmlReader.component, nullptr);
  launcher.reset();
  EXPECT_TRUE(world().released.empty());
}

TEST_F(LauncherDialogTest, destroying_through_the_host_destroys_the_whole_object) {
  std::unique_ptr<ComponentHost> host(new LauncherDialog());
  host.reset();
  EXPECT_EQ(world().Live(SkinDialog::kId), 0);
  EXPECT_EQ(world().Live(XmlReader::kId), 0);
}

TEST_F(LauncherDialogTest, host_creates_components_by_id_for_the_caller) {
  auto launcher = MakeLauncher(false);
  Component* made = nullptr;
  EXPECT_EQ(launcher->CreateComponentById(&made, DownloadSettings::kId, nullptr), 1);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(launcher->DropComponent(made), 0);  // the host never keeps one
  made->Release(0);
  Component* none = reinterpret_cast<Component*>(0x1);
  EXPECT_EQ(launcher->CreateComponentById(&none, 4242, nullptr), 0);
  EXPECT_EQ(none, reinterpret_cast<Component*>(0x1));
  EXPECT_EQ(launcher->CreateComponentById(nullptr, DownloadSettings::kId, nullptr), 0);
}

}  // namespace
