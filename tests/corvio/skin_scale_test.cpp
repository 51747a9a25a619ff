// The skin engine above one device pixel per unit: fills, images from "@2x" files or
// filtered, text rasterised at the device size, and a shown dialog whose layout and input
// stay in units while its window has twice the pixels.
#ifndef _WIN32
#include <SDL2/SDL.h>
#endif

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

uint32_t RedGreen(int x, int) { return x == 0 ? 0xFF0000 : 0x00FF00; }
uint32_t Checks(int x, int y) { return (x + y) % 2 ? 0xFFFFFF : 0x0000FF; }

// A w x h opaque image whose pixel (x, y) is colour(x, y).
Image Pattern(int w, int h, uint32_t (*colour)(int, int)) {
  Image image;
  image.width = w, image.height = h, image.opaque = true;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      image.rgba.insert(image.rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
    }
  return image;
}

void WriteImage(const std::string& path, const Image& image) {
  Canvas c;
  c.Resize(image.width, image.height);
  c.DrawImage(image, Rect{0, 0, image.width, image.height}, ImageMode::Stretch, kAll);
  std::string error;
  ASSERT_TRUE(WritePng(path, c, &error)) << error;
}

}  // namespace

TEST(SkinScale, fills_and_frames_cover_their_units_in_device_pixels) {
  const struct {
    float scale;
    Rect device;  // what a fill of units 3,2 4x5 covers
  } rows[] = {{1.0f, {3, 2, 4, 5}}, {2.0f, {6, 4, 8, 10}}, {1.5f, {5, 3, 6, 8}}};  // 4.5..10.5 -> 5..11
  for (const auto& row : rows) {
    Canvas c;
    c.Resize(20, 20, row.scale);
    ASSERT_EQ(c.Width(), static_cast<int>(20 * row.scale));
    c.FillRect(Rect{3, 2, 4, 5}, kWhite, kAll);
    for (int y = 0; y < c.Height(); ++y)
      for (int x = 0; x < c.Width(); ++x)
        EXPECT_EQ(c.PixelAt(x, y) == 0xFFFFFFFFu, row.device.Contains(x, y)) << row.scale << ": " << x << "," << y;
  }
  // A one-unit frame is a unit thick; the clip is in units too (5 units: 10 pixels).
  Canvas c;
  c.Resize(10, 10, 2.0f);
  c.FrameRect(Rect{1, 1, 8, 8}, kWhite, Rect{0, 0, 5, 10});
  EXPECT_EQ(c.PixelAt(3, 10) & c.PixelAt(9, 2), 0xFFFFFFFFu);
  EXPECT_EQ(c.PixelAt(4, 10) | c.PixelAt(10, 2), 0xFF000000u);
}

TEST(SkinScale, images_come_from_their_twice_file_else_filtered_and_tiles_keep_their_units) {
  // Without a twice file, 2 pixels on 4 are filtered: the outer ones keep their colour, the
  // inner ones blend (nearest neighbour would copy them).
  Canvas c;
  c.Resize(2, 1, 2.0f);
  c.DrawImage(Pattern(2, 1, RedGreen), Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  EXPECT_EQ(c.PixelAt(0, 0), 0xFFFF0000u);
  EXPECT_EQ(c.PixelAt(3, 1), 0xFF00FF00u);
  EXPECT_NEAR(int(c.PixelAt(1, 0) >> 16 & 0xFF), 191, 2);
  EXPECT_NEAR(int(c.PixelAt(1, 0) >> 8 & 0xFF), 64, 2);
  // With one, its pixels are drawn as they are, and a tile of 2x1 units repeats every 4 pixels.
  Image withTwice = Pattern(2, 1, RedGreen);
  withTwice.findTwice = [] { return std::make_shared<Image>(Pattern(4, 2, Checks)); };
  c.DrawImage(withTwice, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  Canvas tiled;
  tiled.Resize(5, 1, 2.0f);
  tiled.DrawImage(withTwice, Rect{0, 0, 5, 1}, ImageMode::Tile, kAll);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x) {
      if (x < 4) {
        EXPECT_EQ(c.PixelAt(x, y) & 0xFFFFFF, Checks(x, y)) << x << "," << y;
      }
      EXPECT_EQ(tiled.PixelAt(x, y) & 0xFFFFFF, Checks(x % 4, y)) << x << "," << y;
    }
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
  // At one pixel per unit the twice file is not even looked for.
  auto fresh = Resources(dir.File("")).ImageFor("good.png", &error);
  Canvas one;
  one.Resize(2, 1);
  one.DrawImage(*fresh, Rect{0, 0, 2, 1}, ImageMode::Stretch, kAll);
  EXPECT_FALSE(fresh->device.looked);
}

TEST(SkinScale, text_is_rasterised_at_the_device_size_not_enlarged) {
  std::string error;
  auto font = Font::LoadSystem("", 16, &error);
  ASSERT_TRUE(font) << error;
  Rect box[2];
  bool doubled = true;  // every 2x2 block of the 2x ink one colour: a 1x raster enlarged
  for (int k = 0; k < 2; ++k) {
    Canvas c;
    c.Resize(120, 40, k + 1.0f);
    font->Draw(&c, "Hg\xE5\xA4\xA7", Rect{0, 0, 120, 40}, kWhite, HAlign::Left, VAlign::Top, false, kAll);
    int x0 = c.Width(), y0 = c.Height(), x1 = -1, y1 = -1;
    for (int y = 0; y < c.Height(); ++y)
      for (int x = 0; x < c.Width(); ++x) {
        if (!(c.PixelAt(x, y) & 0xFFFFFF)) continue;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        if (k == 1 && c.PixelAt(x, y) != c.PixelAt(x & ~1, y & ~1)) doubled = false;
      }
    box[k] = Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
  }
  ASSERT_GT(box[0].w, 10);
  EXPECT_NEAR(box[1].h, 2 * box[0].h, 3);
  EXPECT_NEAR(box[1].w, 2 * box[0].w, 4);
  EXPECT_NEAR(box[1].y, 2 * box[0].y, 3) << "the same place in units";
  EXPECT_FALSE(doubled);
}

// Tips are sized from the text as the scaled face draws it (from the face at 1, an address lost its end).
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

// A dialog at two device pixels per unit: on Linux the backend takes CORVIO_SCALE, on
// Windows the window hears that its monitor went to 192 DPI, as Windows tells it.
TEST(SkinScaleDialog, layout_stays_in_units_while_pixels_and_input_are_scaled) {
#ifndef _WIN32
  setenv("CORVIO_SCALE", "2", 1);
#endif
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog, nullptr);
  RecordingSink sink;
  ASSERT_NE(dialog->LoadSkin((Skins() + "/main.xml").c_str(), 0), 0);
  dialog->SetEventSink(1, &sink);
  ASSERT_NE(dialog->GetMainWindow()->Show(1), 0);
  // Device (450, 470) is unit (225, 235), inside Button_ok (200,220 90x30); taken as
  // units it would lie below the 300-unit window.
  const int x = 450, y = 470;
#ifdef _WIN32
  HWND window = FindWindowA("CorvioSkinWindow", "skin-test-main");
  ASSERT_NE(window, nullptr);
  RECT r;
  GetWindowRect(window, &r);
  RECT suggested = {r.left, r.top, r.left + 800, r.top + 600};
  SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  GetClientRect(window, &r);
  EXPECT_EQ(r.right, 800) << "the suggested rectangle";
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
#else
  SDL_Window* window = nullptr;
  for (Uint32 id = 1; id < 200 && !window; ++id)
    if (SDL_Window* any = SDL_GetWindowFromID(id))
      if (strcmp(SDL_GetWindowTitle(any), "skin-test-main") == 0) window = any;
  ASSERT_NE(window, nullptr);
  int ww = 0;
  SDL_GetWindowSize(window, &ww, nullptr);
  EXPECT_EQ(ww, 800);
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button = SDL_MouseButtonEvent{type, 0, SDL_GetWindowID(window), 0, SDL_BUTTON_LEFT, 0, 1, 0, x, y};
    SDL_PushEvent(&e);
  }
#endif
  auto* impl = Impl(dialog);
  ASSERT_TRUE(RunLoopUntil([&] { return !sink.events.empty(); }));
  EXPECT_EQ(sink.events[0].sender, dialog->FindControl("Button_ok"));
  const Canvas& canvas = impl->RenderAll();
  EXPECT_EQ(canvas.Height(), 600);
  EXPECT_EQ(impl->NodeByName("Button_close")->abs.x, 370) << "the layout keeps its units";
  // The red close box (units 370,4 24x24) covers 740..787 x 8..55 in device pixels.
  EXPECT_EQ(canvas.PixelAt(741, 9) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(canvas.PixelAt(786, 54) & 0xFFFFFF, 0xFF0000u);
  EXPECT_NE(canvas.PixelAt(739, 9) & 0xFFFFFF, 0xFF0000u);
  dialog->Release(0);
}
