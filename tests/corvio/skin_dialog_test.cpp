// The SkinDialog component's operations as the program calls them: loading, lookups,
// control objects, properties, the window handle, and what gets drawn.
#include <string.h>

#include <fstream>

#include "corvio/props/property_bag_impl.h"
#include "corvio/skin/renderer.h"
#include "corvio/skin/text_codec.h"
#include "tests/corvio/skin_test_support.h"

using namespace skintest;
using corvio::skin::Kind;
using corvio::skin::Node;

namespace {

OffscreenVideo offscreen;

class SkinDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = Make<SkinDialog>();
    ASSERT_NE(dialog, nullptr);
  }
  void TearDown() override {
    if (dialog) dialog->Release(0);
  }
  void Load(const char* name = "main.xml") {
    ASSERT_NE(dialog->LoadSkin((Skins() + "/" + name).c_str(), 0), 0);
  }
  Node* NodeOf(const char* name) { return Impl(dialog)->NodeByName(name); }
  // Pixels of the whole window as drawn now.
  uint32_t Pixel(int x, int y) { return Impl(dialog)->RenderAll().PixelAt(x, y); }
  int Ink(int x0, int y0, int w, int h) {
    const auto& canvas = Impl(dialog)->RenderAll();
    int ink = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x)
        if ((canvas.PixelAt(x, y) & 0xFFFFFF) != 0) ++ink;
    return ink;
  }
  SkinDialog* dialog = nullptr;
};

std::string LoadErrorLine(SkinDialog* dialog, const std::string& path, int* result) {
  testing::internal::CaptureStderr();
  *result = dialog->LoadSkin(path.c_str(), 0);
  return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST_F(SkinDialogTest, loaded_skin_gives_ids_paths_and_control_objects_of_the_right_kind) {
  Load();
  int dlg = dialog->FindControl("Dialog_Test");
  EXPECT_EQ(dlg, 1);
  int slot = dialog->FindControlByPath("Dialog_Test\\Container_dx\\server2\\Button", 0);
  EXPECT_EQ(slot, 8);
  char path[1024];
  ASSERT_NE(dialog->GetControlPath(slot, path, 1023), 0);
  EXPECT_STREQ(path, "Dialog_Test\\Container_dx\\server2\\Button");
  EXPECT_EQ(dialog->FindControl("Button_none"), 0);
  EXPECT_EQ(dialog->FindControlByPath("Dialog_Test\\Container_wt\\server1\\Button", 0), 0);
  EXPECT_EQ(dialog->GetControl(0), nullptr);
  EXPECT_EQ(dialog->GetControl(999), nullptr);

  EXPECT_NE(dynamic_cast<StaticControl*>(dialog->GetControl(dialog->FindControl("Static_text"))), nullptr);
  EXPECT_NE(dynamic_cast<EditControl*>(dialog->GetControl(dialog->FindControl("Edit_select"))), nullptr);
  EXPECT_NE(dynamic_cast<WindowObject*>(dialog->GetControl(dlg)), nullptr);
  EXPECT_EQ(dynamic_cast<StaticControl*>(dialog->GetControl(dialog->FindControl("Image_logo"))), nullptr);
  EXPECT_EQ(dynamic_cast<EditControl*>(dialog->GetControl(dialog->FindControl("Static_text"))), nullptr);
  EXPECT_EQ(static_cast<Control*>(dialog->GetMainWindow()), dialog->GetControl(dlg));
}

TEST_F(SkinDialogTest, control_path_needs_room_for_the_whole_path) {
  Load();
  int slot = dialog->FindControlByPath("Dialog_Test\\Container_dx\\server2\\Button", 0);
  const size_t len = strlen("Dialog_Test\\Container_dx\\server2\\Button");
  char buffer[64];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(dialog->GetControlPath(slot, buffer, static_cast<int>(len)), 0) << "one byte short";
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_NE(dialog->GetControlPath(slot, buffer, static_cast<int>(len + 1)), 0) << "exact fit";
  EXPECT_EQ(strlen(buffer), len);
  EXPECT_EQ(dialog->GetControlPath(0, buffer, sizeof buffer), 0);
  EXPECT_EQ(dialog->GetControlPath(slot, nullptr, 10), 0);
}

TEST_F(SkinDialogTest, before_loading_nothing_is_found) {
  EXPECT_EQ(dialog->FindControl("Dialog_Test"), 0);
  EXPECT_EQ(dialog->GetMainWindow(), nullptr);
  EXPECT_EQ(dialog->GetControl(1), nullptr);
  PropertyBag* bag = Make<PropertyBag>();
  EXPECT_EQ(dialog->ApplyProperties(1, bag), 0);
  bag->Release(0);
}

TEST_F(SkinDialogTest, failed_loads_write_one_line_with_file_and_line) {
  struct Row {
    std::string path;
    std::string expect;
  } rows[] = {
      {Skins() + "/absent.xml", Skins() + "/absent.xml:0: cannot open the skin file"},
      {Skins() + "/../skins/../skins/absent2.xml", "absent2.xml:0: cannot open"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    int result = -1;
    std::string err = LoadErrorLine(dialog, rows[i].path, &result);
    EXPECT_EQ(result, 0) << "row " << i;
    EXPECT_NE(err.find(rows[i].expect), std::string::npos) << "row " << i << ": " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "row " << i << ": " << err;
    EXPECT_EQ(dialog->GetMainWindow(), nullptr) << "row " << i;
  }
}

TEST_F(SkinDialogTest, a_failed_load_after_a_good_one_leaves_no_stale_controls) {
  Load();
  int result = -1;
  LoadErrorLine(dialog, Skins() + "/absent.xml", &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(dialog->FindControl("Button_ok"), 0);
}

TEST_F(SkinDialogTest, named_properties_apply_to_the_control) {
  Load();
  int id = dialog->FindControlByPath("Dialog_Test\\Container_dx\\server1\\Button", 0);
  Node* button = NodeOf("Dialog_Test\\Container_dx\\server1\\Button");
  ASSERT_FALSE(button->visible);
  SetNamed(dialog, id, "Visible", "true", false);
  EXPECT_TRUE(button->visible);
  // 电信一区 in GBK
  SetNamed(dialog, id, "Caption", "\xB5\xE7\xD0\xC5\xD2\xBB\xC7\xF8", false);
  EXPECT_EQ(button->text, "\xB5\xE7\xD0\xC5\xD2\xBB\xC7\xF8");
  SetNamed(dialog, id, "Background", "ONEIMAGE:green.png;Tile", true);
  SetNamed(dialog, id, "BackgroundHover", "ONEIMAGE:red.png;Tile", true);
  SetNamed(dialog, id, "BackgroundPressed", "ONEIMAGE:yellow4.png;Tile", true);
  EXPECT_EQ(button->images[corvio::skin::kNormalImage].ref.file, "green.png");
  EXPECT_EQ(button->images[corvio::skin::kHoverImage].ref.file, "red.png");
  EXPECT_EQ(button->images[corvio::skin::kPressedImage].ref.file, "yellow4.png");
  EXPECT_TRUE(button->images[corvio::skin::kPressedImage].pixels);
  SetNamed(dialog, id, "Visible", "false", false);
  EXPECT_FALSE(button->visible);
}

TEST_F(SkinDialogTest, button_states_show_their_images_and_normal_is_the_fallback) {
  Load();
  int id = dialog->FindControlByPath("Dialog_Test\\Container_dx\\server2\\Button", 0);
  Node* b = NodeOf("Dialog_Test\\Container_dx\\server2\\Button");
  int cx = b->abs.x + 5, cy = b->abs.y + 5;
  auto* host = Impl(dialog);
  // Only a normal image: every state shows it (blue).
  host->OnMouseMove(cx, cy);
  host->OnMouseDown(cx, cy);
  EXPECT_EQ(Pixel(cx, cy), 0xFF0000FFu);
  host->OnMouseUp(cx + 500, cy);
  SetNamed(dialog, id, "BackgroundHover", "ONEIMAGE:red.png;Tile", true);
  SetNamed(dialog, id, "BackgroundPressed", "ONEIMAGE:green.png;Tile", true);
  host->OnMouseMove(cx, cy);
  EXPECT_EQ(Pixel(cx, cy), 0xFFFF0000u) << "hover";
  host->OnMouseDown(cx, cy);
  EXPECT_EQ(Pixel(cx, cy), 0xFF00FF00u) << "pressed";
  host->OnMouseMove(cx + 500, cy);
  EXPECT_EQ(Pixel(cx, cy), 0xFF0000FFu) << "pointer left while pressed";
  host->OnMouseUp(cx + 500, cy);
  host->OnMouseLeave();
  EXPECT_EQ(Pixel(cx, cy), 0xFF0000FFu) << "normal";
}

TEST_F(SkinDialogTest, a_missing_image_is_reported_and_the_earlier_image_stays) {
  Load();
  int id = dialog->FindControl("Button_ok");
  PropertyWriter* writer = Make<PropertyWriter>();
  PropertyBag* bag = Make<PropertyBag>();
  writer->BeginValue(ValueKindImage);
  writer->SetProperty("Background", "ONEIMAGE:no_such_image.png;Tile", bag);
  writer->EndValue();
  testing::internal::CaptureStderr();
  EXPECT_EQ(dialog->ApplyProperties(id, bag), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("no_such_image.png"), std::string::npos) << err;
  EXPECT_EQ(NodeOf("Button_ok")->images[0].ref.file, "green.png");
  bag->Release(0);
  writer->Release(0);
}

TEST_F(SkinDialogTest, unknown_property_is_reported_and_the_others_still_apply) {
  Load();
  int id = dialog->FindControl("Button_ok");
  PropertyWriter* writer = Make<PropertyWriter>();
  PropertyBag* bag = Make<PropertyBag>();
  writer->SetProperty("Colour", "red", bag);
  writer->SetProperty("Caption", "Go", bag);
  testing::internal::CaptureStderr();
  EXPECT_EQ(dialog->ApplyProperties(id, bag), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("unknown property \"Colour\""), std::string::npos) << err;
  EXPECT_EQ(NodeOf("Button_ok")->text, "Go");
  bag->Release(0);
  writer->Release(0);
}

TEST_F(SkinDialogTest, text_key_sets_static_and_edit_texts_and_get_text_reads_them) {
  Load();
  auto* edit = dynamic_cast<EditControl*>(dialog->GetControl(dialog->FindControl("Edit_select")));
  ASSERT_NE(edit, nullptr);
  EXPECT_STREQ(edit->GetText(), "");
  PropertyBag* bag = Make<PropertyBag>();
  bag->Clear();
  bag->SetString(PropText, "\xB4\xF3\xC7\xF8");  // 大区
  EXPECT_NE(edit->SetProperties(bag), 0);
  EXPECT_STREQ(edit->GetText(), "\xB4\xF3\xC7\xF8");
  auto* label = dynamic_cast<StaticControl*>(dialog->GetControl(dialog->FindControl("Static_text")));
  ASSERT_NE(label, nullptr);
  label->SetText("v1.2");
  EXPECT_EQ(NodeOf("Static_text")->text, "v1.2");
  std::string big(3000, 'a');
  label->SetText(big.c_str());
  EXPECT_EQ(NodeOf("Static_text")->text.size(), 1023u) << "texts are bounded";
  bag->Release(0);
}

TEST_F(SkinDialogTest, window_handle_is_reported_as_a_number) {
  Load();
  PropertyBag* bag = Make<PropertyBag>();
  EXPECT_NE(dialog->QueryProperties(bag, PropWindowHandle), 0);
  int handle = bag->GetValue(PropWindowHandle, 1);
  EXPECT_NE(handle, 0);
  EXPECT_TRUE(IsWindow(reinterpret_cast<HWND>(static_cast<intptr_t>(handle))));
  bag->Release(0);
}

TEST_F(SkinDialogTest, show_opens_the_window_and_the_dialog_background_can_change) {
  Load();
  WindowObject* window = dialog->GetMainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(window->Show(1), 0);
  EXPECT_TRUE(Impl(dialog)->WindowShown());
  SetNamed(dialog, 1, "Background", "ONEIMAGE:yellow4.png;Tile", true);
  EXPECT_EQ(Pixel(5, 290), 0xFFFFFF00u) << "tiled background";
  EXPECT_EQ(Pixel(398, 150), 0xFFFFFF00u);
}

TEST_F(SkinDialogTest, gbk_caption_is_drawn_inside_its_control) {
  Load();
  Node* label = NodeOf("Static_text");
  const corvio::skin::Rect r = label->abs;
  int empty = Ink(r.x, r.y, r.w, r.h);
  auto* stat = dynamic_cast<StaticControl*>(dialog->GetControl(label->id));
  stat->SetText("\xB4\xF3\xC7\xF8");  // 大区
  int drawn = Ink(r.x, r.y, r.w, r.h);
  EXPECT_EQ(empty, 0);
  EXPECT_GT(drawn, 40) << "two Chinese characters at 20 pixels leave ink";
  // Left aligned: the ink is in the left part of the label, nothing outside it.
  EXPECT_EQ(Ink(r.x + 60, r.y, r.w - 60, r.h), 0);
  EXPECT_EQ(Ink(0, r.y + r.h, 400, 5), 0);
}

TEST_F(SkinDialogTest, half_transparent_image_is_blended_over_the_background) {
  Load();
  Node* logo = NodeOf("Image_logo");
  uint32_t p = Pixel(logo->abs.x + 3, logo->abs.y + 3);
  // White at alpha 128 over black.
  EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 128, 2);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 2);
}

TEST_F(SkinDialogTest, owner_cannot_be_the_dialog_itself) {
  Load();
  EXPECT_EQ(dialog->SetOwnerDialog(dialog), 0);
  EXPECT_NE(dialog->SetOwnerDialog(nullptr), 0);
}

TEST_F(SkinDialogTest, drag_area_is_the_caption_outside_its_buttons) {
  Load();
  auto* host = Impl(dialog);
  struct Row {
    int x, y;
    bool drag;
  } rows[] = {{5, 5, true}, {399, 29, true}, {380, 10, false}, {5, 30, false}, {5, 100, false}};
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i)
    EXPECT_EQ(host->IsDragArea(rows[i].x, rows[i].y), rows[i].drag) << "row " << i;
}

TEST_F(SkinDialogTest, LongCaptionsStayInTheirBoxAndEndInAnEllipsis) {
  Load("captions.xml");
  const int one = dialog->FindControl("Button_one");
  // 江浙沪电信八区星河（双线加速） and a name that fits, in GBK.
  const std::string kLong = "\xBD\xAD\xD5\xE3\xBB\xA6\xB5\xE7\xD0\xC5\xB0\xCB\xC7\xF8\xD0\xC7\xBA\xD3"
                            "\xA3\xA8\xCB\xAB\xCF\xDF\xBC\xD3\xCB\xD9\xA3\xA9";
  const char* kShort = "\xB4\xF3\xC7\xF8";  // 大区
  Node* node = NodeOf("Button_one");
  auto pixels = [&] {
    std::vector<uint32_t> out;
    const auto& canvas = Impl(dialog)->RenderAll();
    for (int y = 10; y < 38; ++y)
      for (int x = 10; x < 146; ++x) out.push_back(canvas.PixelAt(x, y));
    return out;
  };
  for (const std::string& text : {kLong, std::string(kShort)}) {
    SetNamed(dialog, one, "Caption", text.c_str(), false);
    const bool cut = text == kLong;
    EXPECT_EQ(corvio::skin::TextIsCut(*node), cut) << text.size();
    // The button lies at 10,10 136x28: its icon zone is 34 px, its text box 98 px.
    EXPECT_EQ(Ink(10, 10, 34, 28), 0) << text.size() << ": ink over the icon";
    EXPECT_GT(Ink(44, 10, 20, 28), 0) << text.size() << ": the caption starts after the icon";
    EXPECT_EQ(Ink(142, 10, 20, 28), 0) << text.size() << ": ink right of the text box";
  }
  // What is drawn for the long name is the longest run of whole characters that fits with
  // the ellipsis (GBK A1AD), followed by it.
  SetNamed(dialog, one, "Caption", kLong.c_str(), false);
  const std::vector<uint32_t> drawn = pixels();
  std::string expected;
  for (size_t n = 2; n <= kLong.size(); n += 2) {
    const std::string candidate = kLong.substr(0, n) + "\xA1\xAD";
    if (node->font->TextWidth(corvio::skin::GbkToUtf8(candidate)) > 98) break;
    expected = candidate;
  }
  ASSERT_FALSE(expected.empty());
  node->ellipsis = false;
  SetNamed(dialog, one, "Caption", expected.c_str(), false);
  EXPECT_TRUE(pixels() == drawn) << "the cut name is not drawn as " << expected.size() / 2 - 1
                                 << " characters and the ellipsis";
}

TEST_F(SkinDialogTest, OneChosenButtonAGroupAndReadOnlyBoxesTakeNoFocus) {
  Load("captions.xml");
  const int one = dialog->FindControl("Button_one"), two = dialog->FindControl("Button_two");
  // Unchosen, nothing is drawn at a button's middle (no normal image); chosen, its hover
  // image (blue) shows under the half-white selected image.
  EXPECT_EQ(Pixel(20, 24) & 0xFFFFFF, 0u);
  SetNamed(dialog, one, "Selected", "true", false);
  const uint32_t chosen = Pixel(20, 24);
  EXPECT_GT(chosen & 0xFF, 0x80u) << "blue under the selected image";
  EXPECT_GT((chosen >> 16) & 0xFF, 0x40u) << "the selected image over it";
  SetNamed(dialog, two, "Selected", "true", false);
  EXPECT_EQ(Pixel(20, 24) & 0xFFFFFF, 0u) << "choosing another button of the group clears the first";
  EXPECT_EQ(Pixel(170, 24), chosen);
  EXPECT_FALSE(NodeOf("Button_one")->selected);

  auto* impl = Impl(dialog);
  impl->OnMouseDown(100, 70);
  impl->OnMouseUp(100, 70);
  EXPECT_NE(Pixel(10, 60), 0xFFFFD700u) << "a read-only box shows no focus frame";
}

TEST_F(SkinDialogTest, TheBackgroundBringsItsThemeToImagesColoursAndOwnedBoxes) {
  // Blue images and blue text; the theme of green.png draws blue.png from blue_dusk.png
  // (red) and the label in red, in the main window and in a box it owns.
  TempDir dir;
  auto copy = [&](const char* from, const char* to) {
    std::ifstream in(Skins() + "/" + from, std::ios::binary);
    std::ofstream(dir.File(to), std::ios::binary) << in.rdbuf();
  };
  copy("blue.png", "blue.png");
  copy("green.png", "green.png");
  copy("yellow4.png", "yellow4.png");
  copy("red.png", "blue_dusk.png");
  const char* theme =
      "<Theme name=\"dusk\" background=\"Green.png\" imagesuffix=\"_dusk\">"
      "<Color control=\"Static_label\" textcolor=\"#FFFF0000\"/></Theme>";
  std::ofstream(dir.File("main.xml"), std::ios::binary)
      << "<Skin>" << theme << "<Dialog name=\"D\" size=\"200,100\">"
      << "<Button name=\"Button_one\" pos=\"0,0,50,50\" normalimage=\"blue.png\"/>"
      << "<Button name=\"Button_two\" pos=\"50,0,50,50\"/>"
      << "<Static name=\"Static_label\" pos=\"0,60,200,40\" textcolor=\"#FF0000FF\" text=\"大区大区\"/>"
      << "</Dialog></Skin>";
  std::ofstream(dir.File("box.xml"), std::ios::binary)
      << "<Skin>" << theme << "<Dialog name=\"B\" size=\"60,60\">"
      << "<Button name=\"Button_ok\" pos=\"0,0,60,60\" normalimage=\"blue.png\"/>"
      << "<Static name=\"Static_label\" pos=\"0,0,1,1\"/></Dialog></Skin>";
  ASSERT_NE(dialog->LoadSkin(dir.File("main.xml").c_str(), 0), 0);
  const int two = dialog->FindControl("Button_two");
  // Label pixels where the ink's one channel (red or blue) clearly leads the other two:
  // none on the plain, green or yellow ground.
  auto labelInk = [&](uint32_t rgb) {
    const int shift = rgb == 0xFF0000 ? 16 : 0;
    const auto& canvas = Impl(dialog)->RenderAll();
    int n = 0;
    for (int y = 60; y < 100; ++y)
      for (int x = 0; x < 200; ++x) {
        const uint32_t p = canvas.PixelAt(x, y);
        const int lead = (p >> shift) & 0xFF;
        const int others = ((p >> 8) & 0xFF) + 80, other = ((p >> (16 - shift)) & 0xFF) + 80;
        n += lead > others && lead > other;
      }
    return n;
  };
  const struct {
    const char* background;
    uint32_t image, ink;
  } rows[] = {
      {nullptr, 0x0000FF, 0x0000FF},
      {"ONEIMAGE:green.png;Tile", 0xFF0000, 0xFF0000},
      {"ONEIMAGE:yellow4.png;Tile", 0x0000FF, 0x0000FF},  // another background: the skin's own look
  };
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    if (rows[i].background) SetNamed(dialog, 1, "Background", rows[i].background, true);
    SetNamed(dialog, two, "Background", "ONEIMAGE:blue.png;Tile", true);  // as the program writes
    EXPECT_EQ(Pixel(25, 25) & 0xFFFFFF, rows[i].image) << "row " << i << ": the skin's image";
    EXPECT_EQ(Pixel(75, 25) & 0xFFFFFF, rows[i].image) << "row " << i << ": the program's image";
    EXPECT_GT(labelInk(rows[i].ink), 10) << "row " << i << ": the label's colour";
    EXPECT_EQ(NodeOf("Button_two")->images[0].ref.file, "blue.png") << "row " << i;
    if (i != 1) continue;
    SkinDialog* box = Make<SkinDialog>();
    ASSERT_NE(box, nullptr);
    box->SetOwnerDialog(dialog);
    ASSERT_NE(box->LoadSkin(dir.File("box.xml").c_str(), 0), 0);
    EXPECT_EQ(Impl(box)->RenderAll().PixelAt(30, 30) & 0xFFFFFF, 0xFF0000u) << "the owner's theme";
    box->SetOwnerDialog(nullptr);
    EXPECT_EQ(Impl(box)->RenderAll().PixelAt(30, 30) & 0xFFFFFF, 0x0000FFu) << "no owner, no theme";
    box->Release(0);
  }
}
