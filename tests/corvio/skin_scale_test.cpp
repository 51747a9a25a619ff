// The skin engine above one device pixel per unit: drawing (fills, images from "@2x" files
// or filtered, text rasterised at the device size) and a shown dialog whose layout and
// input stay in units while its window has twice the pixels.
#ifndef _WIN32
#include <SDL2/SDL.h>
#endif

#include <stdlib.h>

#include "corvio/skin/canvas.h"
#include "corvio/skin/font.h"
#include "corvio/skin/image_io.h"
#include "corvio/skin/resources.h"
#include "tests/corvio/skin_test_support.h"

using namespace corvio::skin;
using namespace skintest;

namespace {

OffscreenVideo offscreen;

const Rect kAll{0, 0, 1000, 1000};
const Color kWhite{255, 255, 255, 255};

// A w x h image whose pixel (x, y) is colour(x, y).
Image Pattern(int w, int h, uint32_t (*colour)(int, int)) {
  Image image;
  image.width = w;
  image.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      image.rgba.insert(image.rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
    }
  image.opaque = true;
  return image;
}

uint32_t RedGreen(int x, int) { return x == 0 ? 0xFF0000 : 0x00FF00; }
uint32_t Checks(int x, int y) { return (x + y) % 2 ? 0xFFFFFF : 0x0000FF; }

void WriteImage(const std::string& path, const Image& image) {
  Canvas c;
  c.Resize(image.width, image.height);
  c.DrawImage(image, Rect{0, 0, image.width, image.height}, ImageMode::Stretch, kAll);
  std::string error;
  ASSERT_TRUE(WritePng(path, c, &error)) << error;
}

// Ink of a text drawn at a scale: its device bounding box, and whether every 2x2 block of
// the device pixels is one colour (a bitmap merely doubled).
struct Ink {
  Rect box;
  bool doubled = true;
};

Ink TextInk(float scale) {
  std::string error;
  auto font = Font::LoadSystem("", 16, &error);
  EXPECT_TRUE(font) << error;
  Ink ink;
  if (!font) return ink;
  Canvas c;
  c.Resize(120, 40, scale);
  font->Draw(&c, "Hg\xE5\xA4\xA7", Rect{0, 0, 120, 40}, kWhite, HAlign::Left, VAlign::Top, false, kAll);
  int x0 = c.Width(), y0 = c.Height(), x1 = -1, y1 = -1;
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x) {
      if (!(c.PixelAt(x, y) & 0xFFFFFF)) continue;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      if (c.PixelAt(x, y) != c.PixelAt(x & ~1, y & ~1)) ink.doubled = false;
    }
  ink.box = x1 < 0 ? Rect{} : Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
  return ink;
}

}  // namespace

TEST(SkinScale, fills_and_frames_cover_their_units_in_device_pixels) {
  struct Row {
    float scale;
    Rect units;
    Rect device;  // what the fill covers
  } rows[] = {
      {1.0f, {3, 2, 4, 5}, {3, 2, 4, 5}},
      {2.0f, {3, 2, 4, 5}, {6, 4, 8, 10}},
      {1.5f, {3, 2, 4, 5}, {5, 3, 6, 8}},  // edges 4.5 -> 5, 10.5 -> 11, 3 and 10.5 -> 11
  };
  for (const Row& row : rows) {
    Canvas c;
    c.Resize(20, 20, row.scale);
    ASSERT_EQ(c.Width(), static_cast<int>(20 * row.scale + 0.5f));
    c.FillRect(row.units, kWhite, kAll);
    int inside = 0;
    for (int y = 0; y < c.Height(); ++y)
      for (int x = 0; x < c.Width(); ++x) {
        const bool lit = c.PixelAt(x, y) == 0xFFFFFFFFu;
        EXPECT_EQ(lit, row.device.Contains(x, y)) << "scale " << row.scale << " at " << x << "," << y;
        inside += lit;
      }
    EXPECT_EQ(inside, row.device.w * row.device.h);
  }
  // A one-unit frame is as thick as a unit; the clip is in units too.
  Canvas c;
  c.Resize(10, 10, 2.0f);
  c.FrameRect(Rect{1, 1, 8, 8}, kWhite, Rect{0, 0, 5, 10});
  EXPECT_EQ(c.PixelAt(2, 10), 0xFFFFFFFFu);
  EXPECT_EQ(c.PixelAt(3, 10), 0xFFFFFFFFu);
  EXPECT_EQ(c.PixelAt(4, 10), 0xFF000000u);
  EXPECT_EQ(c.PixelAt(9, 2), 0xFFFFFFFFu) << "the top edge, inside the clip";
  EXPECT_EQ(c.PixelAt(10, 2), 0xFF000000u) << "outside the clip (5 units = 10 pixels)";
}

TEST(SkinScale, images_come_from_their_twice_file_else_filtered_and_tiles_keep_their_units) {
  // Without a twice file a 2-pixel image on 4 device pixels is filtered: its outer pixels
  // keep their colour, the inner ones blend (nearest neighbour would copy them).
  const Image pair = Pattern(2, 1, RedGreen);
  Canvas c;
  c.Resize(2, 1, 2.0f);
  c.DrawImage(pair, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  EXPECT_EQ(c.PixelAt(0, 0), 0xFFFF0000u);
  EXPECT_EQ(c.PixelAt(3, 1), 0xFF00FF00u);
  const uint32_t blend = c.PixelAt(1, 0);
  EXPECT_NEAR(int(blend >> 16 & 0xFF), 191, 2);
  EXPECT_NEAR(int(blend >> 8 & 0xFF), 64, 2);

  // With one, its pixels are drawn as they are.
  Image withTwice = Pattern(2, 1, RedGreen);
  withTwice.findTwice = [] { return std::make_shared<Image>(Pattern(4, 2, Checks)); };
  c.DrawImage(withTwice, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(c.PixelAt(x, y) & 0xFFFFFF, Checks(x, y)) << x << "," << y;

  // A tile of 2x1 units repeats every 4 device pixels.
  Canvas tiled;
  tiled.Resize(5, 1, 2.0f);
  tiled.DrawImage(withTwice, Rect{0, 0, 5, 1}, ImageMode::Tile, kAll);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(tiled.PixelAt(x, 1) & 0xFFFFFF, Checks(x % 4, 1)) << x;
}

TEST(SkinScale, a_skin_s_twice_file_is_found_beside_its_image_and_a_wrong_size_is_refused) {
  TempDir dir;
  WriteImage(dir.File("good.png"), Pattern(2, 1, RedGreen));
  WriteImage(dir.File("good@2x.png"), Pattern(4, 2, Checks));
  WriteImage(dir.File("odd.png"), Pattern(2, 1, RedGreen));
  WriteImage(dir.File("odd@2x.png"), Pattern(3, 2, Checks));
  Resources resources(dir.File(""));
  std::string error;
  auto good = resources.ImageFor("good.png", &error), odd = resources.ImageFor("odd.png", &error);
  ASSERT_TRUE(good && odd) << error;

  Canvas c;
  c.Resize(2, 1, 2.0f);
  c.DrawImage(*good, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  EXPECT_EQ(c.PixelAt(1, 1) & 0xFFFFFF, 0x0000FFu) << "the twice file's pixel";
  testing::internal::CaptureStderr();
  c.DrawImage(*odd, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("odd@2x.png\" is not twice the size"), std::string::npos) << said;
  EXPECT_EQ(c.PixelAt(0, 0), 0xFFFF0000u) << "the 1x image, filtered";

  // At one pixel per unit the twice file is not even looked at.
  Canvas one;
  one.Resize(2, 1);
  auto fresh = Resources(dir.File("")).ImageFor("good.png", &error);
  one.DrawImage(*fresh, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  EXPECT_FALSE(fresh->device.looked);
  EXPECT_EQ(one.PixelAt(1, 0), 0xFF00FF00u);
}

TEST(SkinScale, text_is_rasterised_at_the_device_size_not_enlarged) {
  const Ink one = TextInk(1.0f), two = TextInk(2.0f);
  ASSERT_FALSE(one.box.Empty());
  EXPECT_NEAR(two.box.h, 2 * one.box.h, 3);
  EXPECT_NEAR(two.box.w, 2 * one.box.w, 4);
  EXPECT_NEAR(two.box.y, 2 * one.box.y, 3) << "the same place in units";
  EXPECT_FALSE(two.doubled) << "glyphs drawn from a 16 px raster doubled";
}

// A dialog shown at two device pixels per unit: on Linux the backend takes CORVIO_SCALE,
// on Windows the window is told its monitor changed to 192 DPI, as Windows tells it.
class ScaledDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("CORVIO_SCALE", "2", 1);
#endif
    dialog = Make<SkinDialog>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->LoadSkin((Skins() + "/main.xml").c_str(), 0), 0);
    dialog->SetEventSink(1, &sink);
    ASSERT_NE(dialog->GetMainWindow()->Show(1), 0);
#ifdef _WIN32
    window = FindWindowA("CorvioSkinWindow", "skin-test-main");
    ASSERT_NE(window, nullptr);
    RECT r;
    GetWindowRect(window, &r);
    RECT suggested = {r.left, r.top, r.left + 800, r.top + 600};
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
#endif
  }
  void TearDown() override {
    if (dialog) dialog->Release(0);
  }
  // A press and release at device pixel (x, y) of the window, through the window system.
  void ClickDevice(int x, int y) {
#ifdef _WIN32
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
#else
    SDL_Window* w = nullptr;
    for (Uint32 id = 1; id < 200 && !w; ++id)
      if (SDL_Window* any = SDL_GetWindowFromID(id))
        if (strcmp(SDL_GetWindowTitle(any), "skin-test-main") == 0) w = any;
    ASSERT_NE(w, nullptr);
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    EXPECT_EQ(ww, 800) << "the window has the skin's size in device pixels";
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
      SDL_Event e{};
      e.type = type;
      e.button.windowID = SDL_GetWindowID(w);
      e.button.button = SDL_BUTTON_LEFT;
      e.button.x = x;
      e.button.y = y;
      SDL_PushEvent(&e);
    }
#endif
  }
  SkinDialog* dialog = nullptr;
  RecordingSink sink;
#ifdef _WIN32
  HWND window = nullptr;
#endif
};

TEST_F(ScaledDialogTest, layout_stays_in_units_while_pixels_and_input_are_scaled) {
  auto* impl = Impl(dialog);
  ASSERT_TRUE(RunLoopUntil([&] { return impl->RenderAll().Width() == 800; }));
  const Canvas& canvas = impl->RenderAll();
  EXPECT_EQ(canvas.Height(), 600);
  const Node* close = impl->NodeByName("Button_close");
  EXPECT_EQ(close->abs.x, 370) << "the layout keeps its units";
  // The red close box covers 740..787 x 8..55 in device pixels.
  EXPECT_EQ(canvas.PixelAt(741, 9) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(canvas.PixelAt(786, 54) & 0xFFFFFF, 0xFF0000u);
  EXPECT_NE(canvas.PixelAt(739, 9) & 0xFFFFFF, 0xFF0000u);

  // Device (450, 470) is unit (225, 235), inside Button_ok (200,220 90x30); unscaled it
  // would lie below the 300-unit window.
  ClickDevice(450, 470);
  ASSERT_TRUE(RunLoopUntil([&] { return !sink.events.empty(); }));
  EXPECT_EQ(sink.events[0].sender, dialog->FindControl("Button_ok"));
}

// Tips are sized in units from the text as the scaled face draws it: sized from the face
// at 1, a long address lost its end to an ellipsis at 2.
TEST(SkinScale, a_text_measured_at_the_scale_fits_its_box_whole_when_drawn_there) {
  const std::string url = "https://www.zent.example.com/news/1186.html?from=pane&id=0042";
  for (int size = 10; size <= 18; ++size) {
    std::string error;
    auto font = Font::LoadSystem("", size, &error);
    ASSERT_TRUE(font) << error;
    for (float scale : {1.0f, 1.25f, 1.5f, 1.75f, 2.0f}) {
      Canvas c;
      c.Resize(800, 40, scale);
      const Rect box{3, 0, font->TextWidthAt(url, scale), 40};
      EXPECT_TRUE(font->Draw(&c, url, box, kWhite, HAlign::Left, VAlign::Center, false, kAll, true))
          << size << " px at " << scale;
    }
  }
}
