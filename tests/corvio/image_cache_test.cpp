// The image cache: a valid entry is used, and every kind of damaged or stale entry is
// ignored, never crashes and never shows its pixels, and is written anew.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "corvio/skin/image_cache.h"
#include "corvio/skin/image_io.h"
#include "corvio/skin/resources.h"
#include "tests/corvio/skin_test_support.h"

using namespace corvio::skin;

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spill(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The pixels a fresh skin draws of the image: through the cache, as at a start-up.
PixelBytes Drawn(const std::string& folder) {
  Resources resources(folder);
  std::string error;
  auto image = resources.ImageFor("big.png", &error);
  if (!image) return {};
  image->WaitDecoded();
  return image->rgba;
}

}  // namespace

TEST(ImageCache, AValidEntryIsUsedAndADamagedOrStaleOneNeverIs) {
  skintest::TempDir dir;
  // The cache goes to this test's folder (the suite points it away from the user's too).
#ifdef _WIN32
  SetEnvironmentVariableA("LOCALAPPDATA", dir.Path().c_str());
#else
  setenv("XDG_CACHE_HOME", dir.Path().c_str(), 1);
#endif
  const Canvas noise = skintest::Noise(99);  // large enough to be cached
  const std::string source = dir.File("big.png");
  std::string error;
  ASSERT_TRUE(WritePng(source, noise, &error)) << error;
  Image reference;
  ASSERT_TRUE(LoadImageFile(source, &reference, &error)) << error;

  ASSERT_EQ(Drawn(dir.Path()), reference.rgba) << "first start: decoded, and the entry written";
  const std::string entry = ImageCacheEntry(ImageCacheFolder(), AbsoluteFilePath(source));
  ASSERT_EQ(entry.compare(0, dir.Path().size(), dir.Path()), 0) << entry;
  const std::string file = Slurp(source);
  ImageKey key;
  ASSERT_TRUE(MakeImageKey(source, std::vector<unsigned char>(file.begin(), file.end()), 256, 256, &key));
  PixelBytes read;
  ASSERT_TRUE(ReadCachedPixels(entry, key, &read));
  EXPECT_EQ(read, reference.rgba);

  // An entry that matches is what is drawn, without decoding: other pixels show through.
  PixelBytes inverted = reference.rgba;
  for (uint8_t& v : inverted) v = static_cast<uint8_t>(~v);
  ASSERT_TRUE(WriteCachedPixels(entry, key, inverted));
  EXPECT_EQ(Drawn(dir.Path()), inverted);
  const std::string good = Slurp(entry);
  const auto sourceTime = std::filesystem::last_write_time(source);

  // Header: magic 0, version 8, header size 12, file size 16, time 24, file hash 32,
  // width 40, height 44, pixel hash 48; the pixels from 56.
  const auto flip = [](size_t at) { return [at](std::string* b) { (*b)[at] ^= 0x5A; }; };
  struct Row {
    const char* damage;
    std::function<void(std::string*)> entryBytes;  // null: the entry is left as it is
    bool touchSource;                             // the image file's time moves on
  } rows[] = {
      {"empty file", [](std::string* b) { b->clear(); }, false},
      {"cut inside the header", [](std::string* b) { b->resize(20); }, false},
      {"cut inside the pixels", [](std::string* b) { b->resize(b->size() - 100); }, false},
      {"one byte too many", [](std::string* b) { b->push_back('x'); }, false},
      {"another magic", flip(0), false},
      {"another version", flip(8), false},
      {"another header size", flip(12), false},
      {"another file size", flip(16), false},
      {"another file hash (the bytes changed)", flip(32), false},
      {"another width", flip(40), false},
      {"another pixel hash", flip(49), false},
      {"a pixel changed", flip(56 + 4 * 256 * 128 + 1), false},
      {"the image file is newer", nullptr, true},
  };
  for (size_t row = 0; row < sizeof rows / sizeof *rows; ++row) {
    Spill(entry, good);
    std::filesystem::last_write_time(source, sourceTime);
    if (rows[row].entryBytes) {
      std::string damaged = good;
      rows[row].entryBytes(&damaged);
      Spill(entry, damaged);
    }
    if (rows[row].touchSource) std::filesystem::last_write_time(source, sourceTime + std::chrono::hours(1));
    EXPECT_EQ(Drawn(dir.Path()), reference.rgba) << "row " << row << ": " << rows[row].damage;
    ImageKey now;
    ASSERT_TRUE(MakeImageKey(source, std::vector<unsigned char>(file.begin(), file.end()), 256, 256, &now));
    read.clear();
    EXPECT_TRUE(ReadCachedPixels(entry, now, &read) && read == reference.rgba)
        << "row " << row << ": the entry is written anew from the decoded image";
  }
}
