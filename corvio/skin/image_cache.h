// Decoded pixels of large skin images kept between runs, one file per image in the user's
// cache folder, so that a start-up reads a background instead of inflating it again. An
// entry is used only when it matches the image file (size, modification time, a hash of
// its bytes) and its own pixels still match their hash; anything else is ignored and the
// entry is written anew, whole under another name first, then renamed over the old one.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "corvio/skin/pixel_memory.h"

namespace corvio {
namespace skin {

// Images below this many pixels decode faster than a cache file is checked.
constexpr size_t kCachedImageMinPixels = 256 * 256;

// The framework's folder in the user's cache: $XDG_CACHE_HOME/corvio (else ~/.cache/corvio)
// on Linux, %LOCALAPPDATA%\Corvio on Windows; empty when there is none. Per system.
std::string UserCacheFolder();
// Its images/ folder, where the entries are; empty when there is none.
std::string ImageCacheFolder();

// What an entry must match: the image file as it was read.
struct ImageKey {
  uint64_t fileSize = 0;
  int64_t fileTime = 0;  // modification time, in the system's finest unit
  uint64_t fileHash = 0;
  int width = 0, height = 0;
};

// The key of the image file at path whose bytes are data; false when it cannot be read.
bool MakeImageKey(const std::string& path, const std::vector<unsigned char>& data, int width, int height,
                  ImageKey* key);
// The entry's file for the image file at path, in folder.
std::string ImageCacheEntry(const std::string& folder, const std::string& path);

// True with the pixels (width * height * 4 bytes) when the entry matches key in every part.
bool ReadCachedPixels(const std::string& entry, const ImageKey& key, PixelBytes* rgba);
// Writes the entry (creating its folder); false when it could not be written whole.
bool WriteCachedPixels(const std::string& entry, const ImageKey& key, const PixelBytes& rgba);

// The hash used for file bytes and pixels (64 bits, fast; not for security).
uint64_t Hash64(const void* data, size_t size);

// Per system: the file's size and modification time; its absolute form; a folder made with
// its parents; a file renamed over another in one step (ReplaceFile is a Windows macro).
bool FileStamp(const std::string& path, uint64_t* size, int64_t* time);
std::string AbsoluteFilePath(const std::string& path);
bool MakeFolders(const std::string& folder);
bool MoveOver(const std::string& from, const std::string& to);

}  // namespace skin
}  // namespace corvio
