// UpdateDistrictButton: slot paths, speed bands, tags, call order and missing controls.
#include <gtest/gtest.h>

#include <string.h>

#include "tests/app/program_dir_fixture.h"
#include "ui/district_buttons.h"

namespace {

using fake::Image;

class DistrictButtonsTest : public ProgramDirTest {
 protected:
  DistrictInfo Named(const char* name) {
    DistrictInfo d;
    memset(&d, 0, sizeof d);
    snprintf(d.name, sizeof d.name, "%s", name);
    return d;
  }
  std::map<std::string, std::string>& State(const std::string& path) { return world().state[path]; }
  int AppliesTo(const std::string& path) {
    int n = 0;
    for (const auto& a : world().applies) n += a.target == path;
    return n;
  }
};

const char kDx1[] = "Dialog_ZentPorter\\Container_dx\\server1\\Button";

TEST_F(DistrictButtonsTest, speed_bands_follow_latency_and_maintenance) {
  struct Row {
    int32_t oper;
    int32_t latency;
    const char* normal;
    const char* hover;
    const char* pressed;
  } rows[] = {
      {0, 70, "fuwuqi_fast00.tga", "fuwuqi_fast01.tga", "fuwuqi_fast02.tga"},
      {0, 71, "fuwuqi_normal00.tga", "fuwuqi_normal01.tga", "fuwuqi_normal02.tga"},
      {0, 200, "fuwuqi_normal00.tga", "fuwuqi_normal01.tga", "fuwuqi_normal02.tga"},
      {0, 201, "fuwuqi_slow00.tga", "fuwuqi_slow01.tga", "fuwuqi_slow02.tga"},
      {0, LatencyPending, "fuwuqi_slow00.tga", "fuwuqi_slow01.tga", "fuwuqi_slow02.tga"},
      {0, -5, "fuwuqi_slow00.tga", "fuwuqi_slow01.tga", "fuwuqi_slow02.tga"},
      {0, 1001, "fuwuqi_slow00.tga", "fuwuqi_slow01.tga", "fuwuqi_slow02.tga"},
      {0, 0, "fuwuqi_fast00.tga", "fuwuqi_fast01.tga", "fuwuqi_fast02.tga"},
      {1, 0, "fuwuqi_down.tga", "fuwuqi_down.tga", "fuwuqi_down.tga"},
      {1, 1001, "fuwuqi_down.tga", "fuwuqi_down.tga", "fuwuqi_down.tga"},
      {2, 150, "fuwuqi_normal00.tga", "fuwuqi_normal01.tga", "fuwuqi_normal02.tga"},
  };
  auto launcher = MakeLauncher();
  const DistrictInfo d = Named("A");
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& r = rows[i];
    world().state.clear();
    EXPECT_TRUE(launcher->UpdateDistrictButton(Dx, 0, r.oper, 1, &d, r.latency)) << "row " << i;
    EXPECT_EQ(State(kDx1)["Background"], Image(r.normal)) << "row " << i;
    EXPECT_EQ(State(kDx1)["BackgroundHover"], Image(r.hover)) << "row " << i;
    EXPECT_EQ(State(kDx1)["BackgroundPressed"], Image(r.pressed)) << "row " << i;
  }
}

TEST_F(DistrictButtonsTest, button_is_shown_named_iconed_and_tipped_in_that_order) {
  auto launcher = MakeLauncher();
  world().applies.clear();
  const DistrictInfo d = Named("North");
  ASSERT_TRUE(launcher->UpdateDistrictButton(Dx, 0, 0, 1, &d, 30));
  ASSERT_EQ(world().applies.size(), 6u);
  const auto& a = world().applies;
  for (const auto& apply : a) EXPECT_EQ(apply.target, kDx1);
  ASSERT_EQ(a[0].props.size(), 1u);
  EXPECT_EQ(a[0].props[0].name, "Visible");
  EXPECT_EQ(a[0].props[0].value, "true");
  EXPECT_FALSE(a[0].props[0].image);
  ASSERT_EQ(a[1].props.size(), 2u);
  EXPECT_EQ(a[1].props[1].name, "Caption");
  EXPECT_EQ(a[1].props[1].value, "North");
  EXPECT_FALSE(a[1].props[1].image);
  ASSERT_EQ(a[2].props.size(), 3u);
  EXPECT_EQ(a[2].props[2].name, "Background");
  EXPECT_TRUE(a[2].props[2].image);
  // The hover and pressed images travel in the second bag.
  ASSERT_EQ(a[3].props.size(), 1u);
  EXPECT_EQ(a[3].props[0].name, "BackgroundHover");
  EXPECT_TRUE(a[3].props[0].image);
  ASSERT_EQ(a[4].props.size(), 2u);
  EXPECT_EQ(a[4].props[1].name, "BackgroundPressed");
  EXPECT_TRUE(a[4].props[1].image);
  ASSERT_EQ(a[5].props.size(), 1u);  // the tooltip last, in a bag of its own
  EXPECT_EQ(a[5].props[0].name + "=" + a[5].props[0].value, "Tooltip=North 30 ms");
}

TEST_F(DistrictButtonsTest, tags_appear_only_for_promotion_marks_one_to_five) {
  struct Row {
    int32_t mart;
    const char* image;
  } rows[] = {{1, "item_tuijian.png"}, {2, "item_new.png"}, {3, "item_huodong.png"},
              {4, "item_double.png"},  {5, "item_bisai.png"}, {0, nullptr},
              {6, nullptr},            {-1, nullptr}};
  auto launcher = MakeLauncher();
  const DistrictInfo d = Named("T");
  const std::string tag = "Dialog_ZentPorter\\Container_wt\\server2\\Tag";
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    world().state.clear();
    world().applies.clear();
    EXPECT_TRUE(launcher->UpdateDistrictButton(Wt, rows[i].mart, 0, 2, &d, 10)) << "row " << i;
    if (rows[i].image) {
      EXPECT_EQ(State(tag)["Visible"], "true") << "row " << i;
      EXPECT_EQ(State(tag)["Background"], Image(rows[i].image)) << "row " << i;
    } else {
      EXPECT_EQ(AppliesTo(tag), 0) << "row " << i;
    }
  }
}

TEST_F(DistrictButtonsTest, first_wt_district_uses_wt_slot_one) {
  auto launcher = MakeLauncher();
  const DistrictInfo d = Named("W");
  ASSERT_TRUE(launcher->UpdateDistrictButton(Wt, 0, 0, 1, &d, 10));
  EXPECT_EQ(State("Dialog_ZentPorter\\Container_wt\\server1\\Button")["Caption"], "W");
  EXPECT_EQ(AppliesTo(kDx1), 0);
}

TEST_F(DistrictButtonsTest, forty_seven_character_name_is_the_whole_caption) {
  auto launcher = MakeLauncher();
  const std::string name(47, 'n');
  const DistrictInfo d = Named(name.c_str());
  ASSERT_TRUE(launcher->UpdateDistrictButton(Dx, 0, 0, 20, &d, 10));
  EXPECT_EQ(State("Dialog_ZentPorter\\Container_dx\\server20\\Button")["Caption"], name);
}

TEST_F(DistrictButtonsTest, missing_button_changes_nothing_tag_included) {
  world().absentControls.insert(kDx1);
  auto launcher = MakeLauncher();
  world().applies.clear();
  const DistrictInfo d = Named("M");
  EXPECT_FALSE(launcher->UpdateDistrictButton(Dx, 1, 0, 1, &d, 10));
  EXPECT_TRUE(world().applies.empty());
}

TEST_F(DistrictButtonsTest, missing_tag_leaves_the_button_updated) {
  world().absentControls.insert("Dialog_ZentPorter\\Container_dx\\server3\\Tag");
  auto launcher = MakeLauncher();
  const DistrictInfo d = Named("K");
  EXPECT_FALSE(launcher->UpdateDistrictButton(Dx, 2, 0, 3, &d, 10));
  EXPECT_EQ(State("Dialog_ZentPorter\\Container_dx\\server3\\Button")["Caption"], "K");
}

TEST_F(DistrictButtonsTest, unknown_group_or_slot_beyond_the_skin_is_skipped) {
  auto launcher = MakeLauncher();
  world().applies.clear();
  const DistrictInfo d = Named("X");
  EXPECT_FALSE(launcher->UpdateDistrictButton(Recommended, 0, 0, 1, &d, 10));
  EXPECT_FALSE(launcher->UpdateDistrictButton(4, 0, 0, 1, &d, 10));
  EXPECT_FALSE(launcher->UpdateDistrictButton(Dx, 0, 0, 21, &d, 10));
  EXPECT_TRUE(world().applies.empty());
}

TEST_F(DistrictButtonsTest, every_writer_and_bag_is_released) {
  auto launcher = MakeLauncher();
  const DistrictInfo d = Named("R");
  launcher->UpdateDistrictButton(Dx, 3, 0, 1, &d, 10);
  launcher->UpdateDistrictButton(Dx, 0, 0, 21, &d, 10);
  EXPECT_EQ(world().Live(PropertyBag::kId), 0);
  EXPECT_EQ(world().Live(PropertyWriter::kId), 0);
  EXPECT_GT(world().created[PropertyBag::kId], 0);
}

TEST_F(DistrictButtonsTest, without_a_dialog_component_nothing_is_drawn) {
  world().missing.insert(SkinDialog::kId);
  auto launcher = MakeLauncher();
  const DistrictInfo d = Named("N");
  EXPECT_FALSE(launcher->UpdateDistrictButton(Dx, 0, 0, 1, &d, 10));
}

}  // namespace
