// The portable drawing core: blending, stretched and tiled images, image files, text
// conversion and layout, the browser's text extraction and skin file lookup.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "corvio/skin/canvas.h"
#include "corvio/skin/font.h"
#include "corvio/skin/font_source.h"
#include "corvio/skin/image_io.h"
#include "corvio/skin/resources.h"
#include "corvio/skin/text_codec.h"
#include "tests/corvio/skin_test_support.h"

using namespace corvio::skin;

namespace {

const std::string kSkins = std::string(ZENT_SOURCE_DIR) + "/tests/corvio/skins";
const Rect kAll{0, 0, 1000, 1000};

// A 2x2 image: red, green / blue, white.
Image Quad() {
  Image image;
  image.width = 2;
  image.height = 2;
  image.rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  return image;
}

// The bounding box of non-black pixels.
Rect InkBox(const Canvas& c) {
  int x0 = c.Width(), y0 = c.Height(), x1 = -1, y1 = -1;
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x)
      if (c.PixelAt(x, y) & 0xFFFFFF) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  return x1 < 0 ? Rect{} : Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

std::shared_ptr<Font> DefaultFont(int size) {
  std::string error;
  auto font = Font::LoadSystem("", size, &error);
  EXPECT_TRUE(font) << error;
  return font;
}

}  // namespace

TEST(SkinDrawing, fill_blends_by_alpha_and_stays_inside_the_clip) {
  Canvas c;
  c.Resize(10, 10);
  c.FillRect(Rect{0, 0, 10, 10}, Color{255, 255, 255, 255}, kAll);
  c.FillRect(Rect{0, 0, 10, 10}, Color{0, 0, 0, 128}, Rect{0, 0, 5, 10});
  EXPECT_EQ(c.PixelAt(2, 2), 0xFF7F7F7Fu);
  EXPECT_EQ(c.PixelAt(7, 2), 0xFFFFFFFFu) << "outside the clip";
  c.FillRect(Rect{-50, -50, 1000, 1000}, Color{1, 2, 3, 255}, kAll);  // clipped to the canvas
  EXPECT_EQ(c.PixelAt(9, 9), 0xFF010203u);
  EXPECT_EQ(c.PixelAt(10, 10), 0u) << "outside the canvas reads nothing";
}

TEST(SkinDrawing, stretch_scales_and_tile_repeats_at_natural_size) {
  Canvas c;
  c.Resize(4, 4);
  c.DrawImage(Quad(), Rect{0, 0, 4, 4}, ImageMode::Stretch, kAll);
  EXPECT_EQ(c.PixelAt(1, 1), 0xFFFF0000u);
  EXPECT_EQ(c.PixelAt(2, 1), 0xFF00FF00u);
  EXPECT_EQ(c.PixelAt(1, 2), 0xFF0000FFu);
  EXPECT_EQ(c.PixelAt(3, 3), 0xFFFFFFFFu);
  c.DrawImage(Quad(), Rect{0, 0, 4, 4}, ImageMode::Tile, kAll);
  EXPECT_EQ(c.PixelAt(0, 0), 0xFFFF0000u);
  EXPECT_EQ(c.PixelAt(1, 0), 0xFF00FF00u);
  EXPECT_EQ(c.PixelAt(2, 0), 0xFFFF0000u) << "the tile starts again";
  EXPECT_EQ(c.PixelAt(3, 3), 0xFFFFFFFFu);
}

// Buffers of every size keep their bytes through growth from the heap to a mapping of
// their own and back; on Linux a large one starts on a 2 MiB boundary, or the kernel can
// never back it with huge pages.
TEST(SkinDrawing, pixel_buffers_keep_their_bytes_across_the_large_buffer_threshold) {
  for (size_t size : {size_t{0}, size_t{1}, kLargePixelBytes - 1, kLargePixelBytes, size_t{900 * 560 * 4},
                      size_t{5} << 20}) {
    PixelBytes bytes;
    for (size_t i = 0; i < 1000; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
    bytes.resize(1000 + size, 0xA5);
    for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(bytes[i], static_cast<uint8_t>(i * 7)) << size;
    ASSERT_EQ(bytes.back(), size ? 0xA5 : static_cast<uint8_t>(999 * 7)) << size;
#ifdef __linux__
    if (bytes.capacity() >= kLargePixelBytes) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes.data()) % (size_t{2} << 20), 0u) << size;
    }
#endif
    bytes.resize(10);
    bytes.shrink_to_fit();
    EXPECT_EQ(bytes[9], 9 * 7) << size;
  }
}

// The size-less calls (SDL's, stb_image's) keep a block's bytes as it grows from the heap
// into a mapping, from one mapping into another and back; a block of the C heap is theirs
// to free as well.
TEST(SkinDrawing, size_less_pixel_blocks_keep_their_bytes_between_the_heap_and_mappings) {
  PixelFree(malloc(64));
  const size_t large = kLargePixelBytes;
  auto* p = static_cast<unsigned char*>(PixelMalloc(100));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; ++i) p[i] = static_cast<unsigned char>(i + 1);
  for (size_t size : {3 * large, 5 * large, 2 * large, size_t{50}, large}) {
    p = static_cast<unsigned char*>(PixelRealloc(p, size));
    ASSERT_NE(p, nullptr) << size;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(p[i], i + 1) << size;
    if (size >= large) p[size - 1] = 7;  // the whole block is writable
  }
  PixelFree(p);
  auto* zeroed = static_cast<unsigned char*>(PixelCalloc(3, large));
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(zeroed[0] | zeroed[3 * large / 2] | zeroed[3 * large - 1], 0);
  PixelFree(zeroed);
  EXPECT_EQ(PixelCalloc(SIZE_MAX / 2, 4), nullptr);
}

TEST(SkinDrawing, png_and_tga_files_decode_and_bad_files_say_why) {
  Image png, tga;
  std::string error;
  ASSERT_TRUE(LoadImageFile(kSkins + "/red.png", &png, &error)) << error;
  EXPECT_EQ(png.width, 16);
  EXPECT_EQ(png.rgba[0], 255);
  ASSERT_TRUE(LoadImageFile(kSkins + "/halfwhite.tga", &tga, &error)) << error;
  EXPECT_EQ(tga.rgba[3], 128);
  Image none;
  EXPECT_FALSE(LoadImageFile(kSkins + "/nothing.png", &none, &error));
  EXPECT_NE(error.find("cannot read image file"), std::string::npos);
  EXPECT_FALSE(LoadImageFile(kSkins + "/main.xml", &none, &error));
  EXPECT_NE(error.find("not a readable PNG or TGA"), std::string::npos) << error;
}

TEST(SkinDrawing, screenshot_png_reads_back_the_same_pixels) {
  Canvas c;
  c.Resize(3, 2);
  c.FillRect(Rect{1, 0, 1, 2}, Color{10, 20, 30, 255}, kAll);
  skintest::TempDir dir;
  const std::string path = dir.File("shot.png");
  std::string error;
  ASSERT_TRUE(WritePng(path, c, &error)) << error;
  Image back;
  ASSERT_TRUE(LoadImageFile(path, &back, &error)) << error;
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.rgba[4 * 1 + 0], 10);
  EXPECT_EQ(back.rgba[4 * 1 + 2], 30);
  EXPECT_EQ(back.rgba[0], 0);
  EXPECT_FALSE(WritePng("/nonexistent/dir/x.png", c, &error));
}

TEST(SkinDrawing, gbk_and_utf8_convert_both_ways) {
  struct Row {
    std::string gbk, utf8;
  } rows[] = {
      {"\xB4\xF3\xC7\xF8", "\xE5\xA4\xA7\xE5\x8C\xBA"},  // 大区
      {"abc", "abc"},
      {"", ""},
      {"Version\xCE\xC4\xBC\xFE", "Version\xE6\x96\x87\xE4\xBB\xB6"},  // Version文件
  };
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    EXPECT_EQ(GbkToUtf8(rows[i].gbk), rows[i].utf8) << "row " << i;
    EXPECT_EQ(Utf8ToGbk(rows[i].utf8), rows[i].gbk) << "row " << i;
  }
  // Bad input, the same on every system: a byte that starts no character becomes '?',
  // and so does, once, a character the other side lacks.
  struct Bad {
    std::string in, out;
    bool toUtf8;
  } bad[] = {
      {"a\xFF", "a?", true},
      {"\xB4\xF3\xB4", "\xE5\xA4\xA7?", true},  // a lead byte at the end
      {"\xB4\x20z", "? z", true},                  // a lead byte without a trail byte
      {"a\xF0\x9F\x98\x80" "b", "a?b", false},  // U+1F600 is not in GBK
      {"\xE5\xA4x", "??x", false},                  // a cut UTF-8 sequence
      {"\xE5\xA4\xA7\xFF", "\xB4\xF3?", false},
  };
  for (size_t i = 0; i < sizeof bad / sizeof *bad; ++i)
    EXPECT_EQ(bad[i].toUtf8 ? GbkToUtf8(bad[i].in) : Utf8ToGbk(bad[i].in), bad[i].out) << "bad row " << i;
  // Each conversion starts afresh: nothing of the bad input before it is left over.
  EXPECT_EQ(GbkToUtf8(rows[0].gbk), rows[0].utf8);
  EXPECT_EQ(Utf8ToGbk(rows[0].utf8), rows[0].gbk);
  EXPECT_TRUE(IsValidUtf8("\xE5\xA4\xA7"));
  EXPECT_FALSE(IsValidUtf8("\xE5\xA4"));
  std::string s = "a\xB4\xF3";
  PopLastGbkChar(&s);
  EXPECT_EQ(s, "a");
  s = "\xB4\x5C";  // a trail byte 0x5C belongs to its character
  PopLastGbkChar(&s);
  EXPECT_EQ(s, "");
  PopLastGbkChar(&s);
  EXPECT_EQ(s, "");
  // A lead byte before a byte that ends no character: the platform's rule has it stand
  // alone; Windows' own CharPrevA takes any byte after a lead byte with it.
  s = "\xB4\x20";
  PopLastGbkChar(&s);
#ifdef _WIN32
  EXPECT_EQ(s, "");
#else
  EXPECT_EQ(s, "\xB4");
#endif
}

TEST(SkinDrawing, centred_text_inks_around_the_centre_and_wrap_adds_lines) {
  auto font = DefaultFont(16);
  ASSERT_TRUE(font);
  // The default face draws Chinese with its own glyphs, not with the missing-glyph box.
  EXPECT_TRUE(font->HasGlyph(0x5927));  // 大
  EXPECT_TRUE(font->HasGlyph('A'));
  EXPECT_FALSE(font->HasGlyph(0x10FFFD)) << "a private-use code point has no glyph";
  Canvas c;
  c.Resize(200, 100);
  font->Draw(&c, "\xE5\xA4\xA7\xE5\x8C\xBA", Rect{0, 0, 200, 100}, Color{255, 255, 255, 255},
             HAlign::Center, VAlign::Center, false, kAll);
  Rect ink = InkBox(c);
  ASSERT_FALSE(ink.Empty());
  EXPECT_NEAR(ink.x + ink.w / 2, 100, 4);
  EXPECT_NEAR(ink.y + ink.h / 2, 50, 6);
  EXPECT_LT(ink.w, 60);

  Canvas one, wrapped;
  one.Resize(60, 200);
  wrapped.Resize(60, 200);
  const std::string text = "aaaa bbbb cccc dddd";
  font->Draw(&one, text, Rect{0, 0, 60, 200}, Color{255, 255, 255, 255}, HAlign::Left, VAlign::Top,
             false, kAll);
  font->Draw(&wrapped, text, Rect{0, 0, 60, 200}, Color{255, 255, 255, 255}, HAlign::Left,
             VAlign::Top, true, kAll);
  EXPECT_GT(InkBox(wrapped).h, 2 * InkBox(one).h);
  EXPECT_LE(InkBox(wrapped).x + InkBox(wrapped).w, 60);
}

TEST(SkinDrawing, text_is_clipped_to_its_box) {
  auto font = DefaultFont(20);
  ASSERT_TRUE(font);
  Canvas c;
  c.Resize(100, 40);
  font->Draw(&c, "WWWWWWWWWWWW", Rect{0, 0, 30, 40}, Color{255, 255, 255, 255}, HAlign::Left,
             VAlign::Center, false, Rect{0, 0, 30, 40});
  Rect ink = InkBox(c);
  EXPECT_FALSE(ink.Empty());
  EXPECT_LE(ink.x + ink.w, 30);
}

TEST(SkinDrawing, skin_file_names_resolve_with_backslashes_and_any_case) {
  skintest::TempDir dir;
  const std::string sub = dir.File("Images");
  std::filesystem::create_directory(sub);
  std::ofstream(sub + "/Fuwuqi_Fast00.TGA") << "x";
  EXPECT_EQ(ResolveSkinFile(dir.Path(), "Images/Fuwuqi_Fast00.TGA"), sub + "/Fuwuqi_Fast00.TGA");
  const std::string other = ResolveSkinFile(dir.Path(), "images\\fuwuqi_fast00.tga");
  const std::string missing = ResolveSkinFile(dir.Path(), "images/missing.png");
#ifdef _WIN32
  // Windows' file names ignore case: the name as written opens the file.
  EXPECT_EQ(other, dir.Path() + "/images/fuwuqi_fast00.tga");
  EXPECT_TRUE(std::ifstream(other).good());
  EXPECT_EQ(missing, dir.Path() + "/images/missing.png");
#else
  EXPECT_EQ(other, sub + "/Fuwuqi_Fast00.TGA");
  EXPECT_EQ(missing, sub + "/missing.png") << "the folder's case is found, the file keeps its own";
#endif
  // Absolute names leave the skin's folder: a drive root on Windows, "/" everywhere.
  EXPECT_EQ(ResolveSkinFile("skins", "C:\\x\\a.png").substr(0, 3), "C:/");
  EXPECT_EQ(ResolveSkinFile("skins", "\\x\\a.png").substr(0, 1), "/");
}

TEST(SkinDrawing, large_images_decode_aside_and_a_damaged_one_is_not_drawn) {
  skintest::TempDir dir;
  // Noise does not compress: a large file, whose damage shows only when it is decoded.
  const Canvas source = skintest::Noise(12345);
  const std::string big = dir.File("big.png"), bad = dir.File("bad.png");
  std::string error;
  ASSERT_TRUE(WritePng(big, source, &error)) << error;
  std::string bytes;
  {
    std::ifstream in(big, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(bytes.size(), 100000u);
  // The header stays whole, the compressed pixels are damaged.
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 4096; ++i) bytes[i] = '\xFF';
  std::ofstream(bad, std::ios::binary) << bytes;

  Resources resources(dir.Path());
  auto image = resources.ImageFor("big.png", &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->width, 256) << "the size is known before the pixels";
  Canvas drawn;
  drawn.Resize(256, 256);
  drawn.DrawImage(*image, Rect{0, 0, 256, 256}, ImageMode::Stretch, kAll);
  int differing = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) differing += drawn.PixelAt(x, y) != source.PixelAt(x, y);
  EXPECT_EQ(differing, 0);

  // Captured from the start: the decoder may report before the drawing waits for it.
  testing::internal::CaptureStderr();
  auto damaged = resources.ImageFor("bad.png", &error);
  if (!damaged) testing::internal::GetCapturedStderr();
  ASSERT_TRUE(damaged) << "a good header is accepted at once; the damage shows when decoded";
  Canvas untouched;
  untouched.Resize(8, 8);
  untouched.DrawImage(*damaged, Rect{0, 0, 8, 8}, ImageMode::Stretch, kAll);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("bad.png\" is not a readable PNG or TGA"), std::string::npos) << said;
  EXPECT_EQ(untouched.PixelAt(3, 3), 0xFF000000u) << "nothing drawn from a failed image";
}

#ifndef _WIN32
TEST(SkinDrawing, the_system_face_is_remembered_and_a_damaged_or_stale_answer_is_looked_up_again) {
  skintest::TempDir dir;
  setenv("XDG_CACHE_HOME", dir.Path().c_str(), 1);
  const auto find = [](std::string* what) {
    FontBytes bytes;
    std::string error;
    return FindSystemFont("", &bytes, what, &error) && bytes.size > 0;
  };
  std::string looked;
  if (!find(&looked)) GTEST_SKIP() << "no Chinese face installed";
  std::vector<std::string> answers;
  for (const auto& e : std::filesystem::directory_iterator(dir.File("corvio/fonts"))) answers.push_back(e.path().string());
  ASSERT_EQ(answers.size(), 1u) << "the answer is kept";
  const std::string good = [&] { std::ifstream in(answers[0]); return std::string(std::istreambuf_iterator<char>(in), {}); }();
  std::istringstream words(good);
  std::string magic, version, size, time;
  words >> magic >> version >> size >> time;
  std::string stale = good;  // the font file's time as it was before
  stale[good.find(" " + time + " ") + time.size()] ^= 1;
  const std::string rows[] = {good, "", "corvio-font 1 x", "corvio-font 1 1 1 0 1\n/nonexistent.ttf\n", stale};
  for (size_t row = 0; row < sizeof rows / sizeof *rows; ++row) {
    std::ofstream(answers[0], std::ios::trunc) << rows[row];
    std::string what;
    EXPECT_TRUE(find(&what)) << "row " << row;
    EXPECT_EQ(what, looked) << "row " << row << ": the same face as fontconfig's";
    std::ifstream in(answers[0]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), good) << "row " << row << ": written anew";
  }
}
#endif

TEST(SkinDrawing, font_files_too_short_or_not_fonts_are_refused) {
  skintest::TempDir dir;
  const std::string path = dir.File("font.ttf");
  for (const char* content : {"ttcf", "this is a text file, not a font at all"}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    std::string error;
    EXPECT_FALSE(Font::Load(path, 12, &error)) << content;
    EXPECT_NE(error.find("is not a TrueType or OpenType font"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(Font::Load("/nonexistent/font.ttf", 12, &error));
  EXPECT_NE(error.find("cannot read font file"), std::string::npos) << error;
}

TEST(SkinDrawing, WrappingBreaksChineseAnywhereButKeepsAddressesWhole) {
  auto font = DefaultFont(14);
  ASSERT_TRUE(font);
  const std::string site = "www.zent.example.com";
  const int siteWidth = font->TextWidth(site);
  const std::string zh = "\xE8\xAF\xB7\xE8\xAE\xBF\xE9\x97\xAE";  // 请访问
  const int zhWidth = font->TextWidth(zh);
  const struct {
    std::string text;
    int width;
    std::vector<std::string> lines;
  } rows[] = {
      // The address does not fit after the Chinese: it moves down whole.
      {zh + site, siteWidth + 2, {zh, site}},
      // Chinese breaks between any two characters.
      {zh, zhWidth - 2, {"\xE8\xAF\xB7\xE8\xAE\xBF", "\xE9\x97\xAE"}},
      // Blanks break as before; the blank stays at the end of its line, none starts one.
      {"aaaa  bbbb", font->TextWidth("aaaa b"), {"aaaa  ", "bbbb"}},
  };
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i)
    EXPECT_EQ(font->WrapLines(rows[i].text, rows[i].width), rows[i].lines) << "row " << i;
  // A run longer than a line is cut where the line ends, and nothing is lost.
  const auto cut = font->WrapLines("10.1.2.3:7000", font->TextWidth("10.1.2."));
  ASSERT_GE(cut.size(), 2u);
  EXPECT_EQ(cut[0], "10.1.2.");
  std::string joined;
  for (const auto& line : cut) joined += line;
  EXPECT_EQ(joined, "10.1.2.3:7000");
}

#ifndef _WIN32
TEST(SkinDrawing, TheFaceFontconfigChoseInACollectionIsTheOneDrawn) {
  // Both faces live in one collection file; the monospaced one is its second face.
  std::string error;
  auto mono = Font::LoadSystem("WenQuanYi Micro Hei Mono", 16, &error);
  auto proportional = Font::LoadSystem("WenQuanYi Micro Hei", 16, &error);
  ASSERT_TRUE(mono && proportional) << error;
  EXPECT_EQ(mono->TextWidth("i"), mono->TextWidth("W"));
  EXPECT_LT(proportional->TextWidth("i"), proportional->TextWidth("W"));
}
#endif
