// The image cache's entries: a fixed header with the key and the pixels' hash, then the
// pixels. An entry is trusted in nothing: every field is checked before the pixels are used.
#include "corvio/skin/image_cache.h"

#include <stdio.h>
#include <string.h>

#include "corvio/skin/timeline.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

namespace {

constexpr char kMagic[8] = {'C', 'V', 'I', 'M', 'G', 'C', 'H', 'E'};
constexpr uint32_t kVersion = 1;

// Written as it is in memory: the cache belongs to one machine.
struct EntryHeader {
  char magic[8];
  uint32_t version;
  uint32_t headerSize;
  uint64_t fileSize;
  int64_t fileTime;
  uint64_t fileHash;
  uint32_t width;
  uint32_t height;
  uint64_t pixelHash;
};

constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull, kP2 = 0xC2B2AE3D27D4EB4Full, kP3 = 0x165667B19E3779F9ull;

uint64_t Rotl(uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }
uint64_t Round(uint64_t acc, uint64_t lane) { return Rotl(acc + lane * kP2, 31) * kP1; }

uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

char HexDigit(unsigned v) { return "0123456789abcdef"[v & 15]; }

}  // namespace

uint64_t Hash64(const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  uint64_t lanes[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
  size_t i = 0;
  for (; i + 32 <= size; i += 32)
    for (int k = 0; k < 4; ++k) lanes[k] = Round(lanes[k], Load64(p + i + 8 * k));
  uint64_t h = Rotl(lanes[0], 1) + Rotl(lanes[1], 7) + Rotl(lanes[2], 12) + Rotl(lanes[3], 18);
  h += static_cast<uint64_t>(size);
  for (; i + 8 <= size; i += 8) h = Rotl(h ^ Round(0, Load64(p + i)), 27) * kP1 + kP3;
  for (; i < size; ++i) h = Rotl(h ^ (p[i] * kP3), 11) * kP1;
  h ^= h >> 33;
  h *= kP2;
  h ^= h >> 29;
  h *= kP3;
  return h ^ (h >> 32);
}

std::string ImageCacheFolder() {
  const std::string base = UserCacheFolder();
  return base.empty() ? base : base + "/images";
}

bool MakeImageKey(const std::string& path, const std::vector<unsigned char>& data, int width, int height,
                  ImageKey* key) {
  if (!FileStamp(path, &key->fileSize, &key->fileTime)) return false;
  key->fileHash = Hash64(data.data(), data.size());
  key->width = width;
  key->height = height;
  return key->fileSize == data.size();  // the file changed since it was read: no entry
}

std::string ImageCacheEntry(const std::string& folder, const std::string& path) {
  const uint64_t h = Hash64(path.data(), path.size());
  std::string name(16, '0');
  for (int i = 0; i < 16; ++i) name[i] = HexDigit(static_cast<unsigned>(h >> (60 - 4 * i)));
  return folder + "/" + name + ".rgba";
}

bool ReadCachedPixels(const std::string& entry, const ImageKey& key, PixelBytes* rgba) {
  SpanTimer timer("image_cache_read");
  FILE* f = fopen(entry.c_str(), "rb");
  if (!f) return false;
  EntryHeader h;
  const size_t pixels = static_cast<size_t>(key.width) * static_cast<size_t>(key.height) * 4;
  bool ok = fread(&h, sizeof h, 1, f) == 1 && memcmp(h.magic, kMagic, sizeof kMagic) == 0 &&
            h.version == kVersion && h.headerSize == sizeof h && h.fileSize == key.fileSize &&
            h.fileTime == key.fileTime && h.fileHash == key.fileHash &&
            h.width == static_cast<uint32_t>(key.width) && h.height == static_cast<uint32_t>(key.height);
  if (ok) {
    PixelBytes read(pixels);
    unsigned char extra;
    // Exactly the pixels: a longer file is not the entry that was written either.
    ok = fread(read.data(), 1, pixels, f) == pixels && fread(&extra, 1, 1, f) == 0 &&
         Hash64(read.data(), read.size()) == h.pixelHash;
    if (ok) rgba->swap(read);
  }
  fclose(f);
  return ok;
}

bool WriteCachedPixels(const std::string& entry, const ImageKey& key, const PixelBytes& rgba) {
  if (rgba.size() != static_cast<size_t>(key.width) * static_cast<size_t>(key.height) * 4) return false;
  const size_t slash = entry.find_last_of('/');
  if (slash == std::string::npos || !MakeFolders(entry.substr(0, slash))) return false;
  EntryHeader h;
  memcpy(h.magic, kMagic, sizeof kMagic);
  h.version = kVersion;
  h.headerSize = sizeof h;
  h.fileSize = key.fileSize;
  h.fileTime = key.fileTime;
  h.fileHash = key.fileHash;
  h.width = static_cast<uint32_t>(key.width);
  h.height = static_cast<uint32_t>(key.height);
  h.pixelHash = Hash64(rgba.data(), rgba.size());
  // Named after the process: two programs writing the same entry do not mix their bytes.
  const std::string partial = entry + "." + std::to_string(static_cast<unsigned long>(GetCurrentProcessId())) + ".partial";
  FILE* f = fopen(partial.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(&h, sizeof h, 1, f) == 1 && fwrite(rgba.data(), 1, rgba.size(), f) == rgba.size();
  ok = fclose(f) == 0 && ok;
  if (ok) ok = MoveOver(partial, entry);
  if (!ok) remove(partial.c_str());
  return ok;
}

}  // namespace skin
}  // namespace corvio
