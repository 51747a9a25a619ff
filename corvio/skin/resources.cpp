// Lookup of skin files (case-insensitive fallback, as skins are written for Windows) and
// the per-skin caches of decoded images and fonts.
#include "corvio/skin/resources.h"

#include <ctype.h>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <future>
#include <vector>

#include "corvio/report.h"
#include "corvio/skin/image_io.h"

namespace corvio {
namespace skin {

namespace {

// Image files at least this large are decoded on a thread of their own.
constexpr size_t kDecodeAsideBytes = 64 * 1024;

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& folder, const std::string& part) {
  return folder.back() == '/' ? folder + part : folder + "/" + part;
}

std::string MatchInFolder(const std::string& folder, const std::string& part) {
  std::string candidate = Join(folder, part);
  if (Exists(candidate)) return candidate;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return candidate;
  std::string found = candidate;
  while (dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, part.c_str()) == 0) {
      found = Join(folder, entry->d_name);
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::string ResolveSkinFile(const std::string& folder, const std::string& name) {
  std::string n = name;
  for (char& c : n)
    if (c == '\\') c = '/';
  if (n.empty()) return n;
  std::string path = folder.empty() ? "." : folder;
  size_t start = 0;
  if (n[0] == '/') {
    path = "/";
  } else if (n.size() >= 3 && isalpha(static_cast<unsigned char>(n[0])) && n[1] == ':' &&
             n[2] == '/') {
    path = n.substr(0, 3);  // a drive's root
    start = 3;
  }
  while (start < n.size()) {
    size_t sep = n.find('/', start);
    std::string part = n.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (!part.empty() && part != ".") path = MatchInFolder(path, part);
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  return path;
}

std::shared_ptr<Image> Resources::ImageFor(const std::string& name, std::string* error) {
  auto it = images_.find(name);
  if (it != images_.end()) return it->second;
  auto image = std::make_shared<Image>();
  std::string path = ResolveSkinFile(folder_, name);
  std::vector<unsigned char> data;
  if (!ReadImageHeader(path, &data, &image->width, &image->height, error)) return nullptr;
  const size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
  if (bytes > kMaxSkinPixelBytes - pixelBytes_) {
    *error = "image file \"" + path + "\" would take the skin's images past " +
             std::to_string(kMaxSkinPixelBytes >> 20) + " MiB of pixels";
    return nullptr;
  }
  bool aside = false;
  if (data.size() >= kDecodeAsideBytes) {
    // A background takes milliseconds to decode: that goes on beside the rest of the
    // start-up (fonts, the window), and the first drawing of it waits if it must.
    Image* target = image.get();
    auto shared = std::make_shared<std::vector<unsigned char>>(std::move(data));
    try {
      image->decoding = std::async(std::launch::async, [target, path, shared] {
                          // Only the pixels are handed over; the size is known already
                          // and read meanwhile.
                          Image decoded;
                          std::string failure;
                          if (DecodeImage(path, *shared, &decoded, &failure))
                            target->rgba = std::move(decoded.rgba);
                          else
                            Report("", failure);
                        }).share();
      aside = true;
    } catch (...) {
      data = std::move(*shared);  // no thread to be had: decode it here
    }
  }
  if (!aside && !DecodeImage(path, data, image.get(), error)) return nullptr;
  images_[name] = image;
  pixelBytes_ += bytes;
  return image;
}

std::shared_ptr<Font> Resources::FontFor(const std::string& name, std::string* error) {
  std::string key = name.empty() ? "default" : name;
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  FontChoice choice;
  auto choiceIt = fontChoices_.find(key);
  if (choiceIt != fontChoices_.end()) choice = choiceIt->second;
  std::shared_ptr<Font> font =
      choice.file.empty() ? Font::LoadSystem(choice.face, choice.size, error)
                          : Font::Load(ResolveSkinFile(folder_, choice.file), choice.size, error);
  if (font) fonts_[key] = font;
  return font;
}

}  // namespace skin
}  // namespace corvio
