// Reading skin descriptions: a valid skin, paths and ids, defaults, and every kind of
// mistake reported as one "file:line: reason" line.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "corvio/skin/skin_loader.h"
#include "tests/corvio/skin_test_support.h"

using namespace corvio::skin;

namespace {

const std::string kSkins = std::string(ZENT_SOURCE_DIR) + "/tests/corvio/skins";

// Writes text as a skin in a fresh folder that also holds red.png.
class TempSkin {
 public:
  explicit TempSkin(const std::string& text) : path_(dir_.File("skin.xml")) {
    std::ofstream(path_, std::ios::binary) << text;
    std::ifstream in(kSkins + "/red.png", std::ios::binary);
    std::ofstream(dir_.File("Red.PNG"), std::ios::binary) << in.rdbuf();
  }
  const std::string& Path() const { return path_; }

 private:
  skintest::TempDir dir_;
  std::string path_;
};

std::string Wrap(const std::string& inner) {
  return "<Skin>\n<Dialog name=\"D\" size=\"100,100\">\n" + inner + "\n</Dialog>\n</Skin>\n";
}

}  // namespace

TEST(SkinFormat, valid_skin_builds_tree_with_ids_in_document_order) {
  LoadedSkin skin;
  std::string error;
  ASSERT_TRUE(LoadSkinFile(kSkins + "/main.xml", &skin, &error)) << error;
  const ControlTree& tree = skin.tree;
  EXPECT_EQ(tree.root->name, "Dialog_Test");
  EXPECT_EQ(tree.root->id, 1);
  EXPECT_EQ(tree.dialog.width, 400);
  EXPECT_EQ(tree.dialog.height, 300);
  Node* close = tree.ByName("Button_close");
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->id, 2);
  Node* slot2 = tree.ByPath("Dialog_Test\\Container_dx\\server2\\Button");
  ASSERT_NE(slot2, nullptr);
  EXPECT_EQ(slot2->id, 8);
  EXPECT_EQ(ControlTree::PathOf(slot2), "Dialog_Test\\Container_dx\\server2\\Button");
  // Positions are relative to the parent.
  EXPECT_EQ(slot2->abs.x, 10 + 100);
  EXPECT_EQ(slot2->abs.y, 40);
  // A bare name finds the first control of that name.
  EXPECT_EQ(tree.ByName("Button")->id, 5);
  EXPECT_EQ(tree.ByName("Tag")->id, 6);
  EXPECT_FALSE(tree.ByName("Button")->visible);
  // The default for buttons applies, the control's own value wins.
  EXPECT_EQ(tree.ByName("Button_ok")->textColor.r, 255);
  EXPECT_EQ(tree.ByName("Button_ok")->text, "OK");
  EXPECT_EQ(tree.ByName("Image_logo")->images[kNormalImage].ref.mode, ImageMode::Tile);
  ASSERT_TRUE(tree.ByName("Image_logo")->images[kNormalImage].pixels);
  EXPECT_EQ(tree.ByName("Image_logo")->images[kNormalImage].pixels->width, 16);
}

TEST(SkinFormat, unknown_names_and_paths_give_nothing) {
  LoadedSkin skin;
  std::string error;
  ASSERT_TRUE(LoadSkinFile(kSkins + "/main.xml", &skin, &error)) << error;
  const char* const missing[] = {"Button_none", "Dialog_Test\\Container_dx\\server3\\Button",
                                 "Dialog_Test\\Button", "Other\\Button_ok", "", "Dialog_Test\\"};
  for (size_t i = 0; i < sizeof missing / sizeof *missing; ++i) {
    EXPECT_EQ(skin.tree.ByName(missing[i]), nullptr) << "row " << i;
    EXPECT_EQ(skin.tree.ByPath(missing[i]), nullptr) << "row " << i;
  }
  EXPECT_EQ(skin.tree.ById(0), nullptr);
  EXPECT_EQ(skin.tree.ById(-1), nullptr);
  EXPECT_EQ(skin.tree.ById(static_cast<int>(skin.tree.byId.size()) + 1), nullptr);
}

TEST(SkinFormat, chinese_text_is_kept_as_gbk) {
  TempSkin skin(Wrap("<Static name=\"S\" text=\"\xE5\xA4\xA7\xE5\x8C\xBA\"/>"));
  LoadedSkin loaded;
  std::string error;
  ASSERT_TRUE(LoadSkinFile(skin.Path(), &loaded, &error)) << error;
  // 大区 in GBK
  EXPECT_EQ(loaded.tree.ByName("S")->text, "\xB4\xF3\xC7\xF8");
}

TEST(SkinFormat, image_names_resolve_in_the_skin_folder_without_regard_to_case) {
  TempSkin skin(Wrap("<Image name=\"I\" image=\"ONEIMAGE:red.png;Tile\"/>"));
  LoadedSkin loaded;
  std::string error;
  ASSERT_TRUE(LoadSkinFile(skin.Path(), &loaded, &error)) << error;
  EXPECT_TRUE(loaded.tree.ByName("I")->images[kNormalImage].pixels);
}

TEST(SkinFormat, missing_file_is_reported) {
  LoadedSkin skin;
  std::string error;
  EXPECT_FALSE(LoadSkinFile("/nonexistent/skin.xml", &skin, &error));
  EXPECT_NE(error.find("/nonexistent/skin.xml"), std::string::npos) << error;
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  EXPECT_EQ(skin.tree.root, nullptr);
}

struct BadSkin {
  const char* text;
  int line;
  const char* reason;
};

TEST(SkinFormat, mistakes_name_themselves_with_file_and_line) {
  const BadSkin rows[] = {
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Button name=\"B\"\n</Dialog></Skin>", 4,
       "malformed XML"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Slider name=\"S\"/>\n</Dialog></Skin>", 3,
       "unknown control kind \"Slider\""},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Button name=\"B\" colour=\"#FFFFFF\"/>\n</Dialog></Skin>",
       3, "unknown attribute \"colour\" on Button \"B\""},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Button name=\"B\" normalimage=\"nothere.png\"/>\n</Dialog></Skin>",
       3, "nothere.png"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n\n<Static name=\"S\" textcolor=\"red\"/>\n</Dialog></Skin>",
       4, "bad colour \"red\""},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Static name=\"S\" pos=\"1,2,3\"/>\n</Dialog></Skin>", 3,
       "bad rectangle"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Static name=\"S\" visible=\"yes\"/>\n</Dialog></Skin>", 3,
       "bad boolean"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Static pos=\"1,2,3,4\"/>\n</Dialog></Skin>", 3,
       "without a name"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Static name=\"S\"/>\n<Button name=\"S\"/>\n</Dialog></Skin>",
       4, "duplicate name \"S\""},
      {"<Skin>\n<Dialog name=\"D\">\n</Dialog></Skin>", 2, "without a size"},
      {"<Skin>\n<Button name=\"B\"/>\n</Skin>", 2, "must be a Dialog"},
      {"<Skins>\n</Skins>", 1, "outermost element must be <Skin>"},
      {"<Skin>\n</Skin>", 1, "no Dialog"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Button name=\"B\">\n<Static name=\"S\"/>\n</Button>\n</Dialog></Skin>",
       4, "cannot hold controls"},
      {"<Skin>\n<Default kind=\"Knob\"/>\n<Dialog name=\"D\" size=\"10,10\"/></Skin>", 2,
       "unknown control kind \"Knob\""},
      {"<Skin>\n<Default kind=\"Image\" text=\"x\"/>\n<Dialog name=\"D\" size=\"10,10\"/></Skin>", 2,
       "unknown attribute \"text\" on Default for Image"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\" defaultbutton=\"Nope\">\n</Dialog></Skin>", 2,
       "no Button \"Nope\""},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Static name=\"S\" font=\"huge\"/>\n</Dialog></Skin>", 3,
       "unknown font \"huge\""},
      {"<Skin>\n<Font name=\"f\" file=\"missing.ttf\"/>\n<Dialog name=\"D\" size=\"10,10\"/></Skin>", 2,
       "missing.ttf"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\">\n<Image name=\"I\" image=\"red.png;Zoom\"/>\n</Dialog></Skin>",
       3, "bad image value"},
      {"<Skin>\n<Dialog name=\"D\" size=\"10,10\"/>\n<Dialog name=\"E\" size=\"10,10\"/>\n</Skin>", 3,
       "nothing may follow the Dialog"},
      {"<Skin>\n<Theme name=\"t\">\n</Theme>\n<Dialog name=\"D\" size=\"10,10\"/></Skin>", 2,
       "Theme without a background"},
      {"<Skin>\n<Theme background=\"red.png\">\n<Color control=\"Nope\" textcolor=\"#FFFFFF\"/>\n</Theme>\n"
       "<Dialog name=\"D\" size=\"10,10\"/></Skin>", 3, "no control \"Nope\""},
      {"<Skin>\n<Theme background=\"red.png\">\n<Color control=\"D\" bkimage=\"red.png\"/>\n</Theme>\n"
       "<Dialog name=\"D\" size=\"10,10\"/></Skin>", 3, "only colours, not \"bkimage\""},
      {"<Skin>\n<Theme background=\"red.png\">\n\n<Color control=\"S\" bordercolor=\"#FFFFFF\"/>\n</Theme>\n"
       "<Dialog name=\"D\" size=\"10,10\"><Static name=\"S\"/></Dialog></Skin>", 4, "Static \"S\" takes no bordercolor"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    TempSkin skin(rows[i].text);
    LoadedSkin loaded;
    std::string error;
    EXPECT_FALSE(LoadSkinFile(skin.Path(), &loaded, &error)) << "row " << i;
    std::string where = skin.Path() + ":" + std::to_string(rows[i].line) + ": ";
    EXPECT_EQ(error.compare(0, where.size(), where), 0) << "row " << i << ": " << error;
    EXPECT_NE(error.find(rows[i].reason), std::string::npos) << "row " << i << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "row " << i << ": one line only";
    EXPECT_EQ(loaded.tree.root, nullptr) << "row " << i;
  }
}

TEST(SkinFormat, value_parsers_accept_only_their_forms) {
  struct Row {
    const char* text;
    bool ok;
    ImageMode mode;
    const char* file;
  } images[] = {
      {"a.png", true, ImageMode::Stretch, "a.png"},
      {"a.png;Tile", true, ImageMode::Tile, "a.png"},
      {"ONEIMAGE:fwq_ditu.png;Tile", true, ImageMode::Tile, "fwq_ditu.png"},
      {"a.png;Stretch", true, ImageMode::Stretch, "a.png"},
      {"", true, ImageMode::Stretch, ""},
      {";Tile", false, ImageMode::Stretch, ""},
      {"a.png;tile", false, ImageMode::Stretch, ""},
  };
  for (size_t i = 0; i < sizeof images / sizeof *images; ++i) {
    ImageRef ref;
    EXPECT_EQ(ParseImageRef(images[i].text, &ref), images[i].ok) << "row " << i;
    if (!images[i].ok) continue;
    EXPECT_EQ(ref.file, images[i].file) << "row " << i;
    EXPECT_EQ(ref.mode, images[i].mode) << "row " << i;
  }
  Color c;
  ASSERT_TRUE(ParseColor("#80102030", &c));
  EXPECT_EQ(c.a, 0x80);
  EXPECT_EQ(c.r, 0x10);
  EXPECT_EQ(c.b, 0x30);
  ASSERT_TRUE(ParseColor("#102030", &c));
  EXPECT_EQ(c.a, 0xFF);
  EXPECT_FALSE(ParseColor("#1020", &c));
  EXPECT_FALSE(ParseColor("#GG2030", &c));
  Rect r;
  EXPECT_TRUE(ParseRect(" 1, 2,3 ,4", &r));
  EXPECT_EQ(r.w, 3);
  EXPECT_FALSE(ParseRect("1,2,-3,4", &r));
  EXPECT_FALSE(ParseRect("1,2,3,4,5", &r));
  EXPECT_FALSE(ParseRect("1,,3,4", &r));
  int w, h;
  EXPECT_FALSE(ParseSize("0,10", &w, &h));
  EXPECT_TRUE(ParseSize("800,600", &w, &h));
  EXPECT_EQ(h, 600);
}

namespace {

// A TGA header declaring width x height, 24-bit; rle makes its pixels one grey run after
// another, so that a large image stays a small file.
std::string Tga(int width, int height, bool rle) {
  std::string t(18, '\0');
  t[2] = rle ? 10 : 2;
  t[12] = static_cast<char>(width & 0xFF);
  t[13] = static_cast<char>(width >> 8);
  t[14] = static_cast<char>(height & 0xFF);
  t[15] = static_cast<char>(height >> 8);
  t[16] = 24;
  const long long pixels = static_cast<long long>(width) * height;
  if (!rle) return t + std::string(40, '\x7F');  // far too short for what it declares
  for (long long left = pixels; left > 0; left -= 128) {
    const int run = left < 128 ? static_cast<int>(left) : 128;
    t += static_cast<char>(0x80 | (run - 1));
    t += std::string(3, '\x7F');
  }
  return t;
}

}  // namespace

TEST(SkinFormat, images_declaring_huge_sizes_are_refused_before_decoding) {
  const struct {
    int width, height;
  } rows[] = {{6000, 6000}, {28415, 2622}, {4097, 1}, {1, 4097}};
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    TempSkin skin(Wrap("<Image name=\"I\" image=\"huge.tga\"/>"));
    const std::string folder = skin.Path().substr(0, skin.Path().rfind('/'));
    const std::string image = Tga(rows[i].width, rows[i].height, false);
    ASSERT_LT(image.size(), 100u) << "row " << i;
    std::ofstream(folder + "/huge.tga", std::ios::binary) << image;
    LoadedSkin loaded;
    std::string error;
    EXPECT_FALSE(LoadSkinFile(skin.Path(), &loaded, &error)) << "row " << i;
    const std::string where = skin.Path() + ":3: image file \"" + folder + "/huge.tga\" declares ";
    EXPECT_EQ(error.compare(0, where.size(), where), 0) << "row " << i << ": " << error;
    EXPECT_NE(error.find("more than 4096x4096"), std::string::npos) << "row " << i << ": " << error;
  }

  // 4096x2048 is 32 MiB of pixels: two fill the skin's 64 MiB, a third image is refused.
  skintest::TempDir dir;
  std::ofstream(dir.File("wide.tga"), std::ios::binary) << Tga(4096, 2048, true);
  std::ofstream(dir.File("dot.tga"), std::ios::binary) << Tga(1, 1, true);
  Resources resources(dir.Path());
  std::string error;
  ASSERT_TRUE(resources.ImageFor("wide.tga", &error)) << error;
  ASSERT_TRUE(resources.ImageFor("WIDE.TGA", &error)) << error;
  EXPECT_FALSE(resources.ImageFor("dot.tga", &error));
  EXPECT_NE(error.find("dot.tga\" would take the skin's images past 64 MiB of pixels"), std::string::npos)
      << error;
}
