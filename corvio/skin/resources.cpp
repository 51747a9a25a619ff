// Lookup of skin files (case-insensitive fallback, as skins are written for Windows) and
// the per-skin caches of decoded images and fonts.
#include "corvio/skin/resources.h"

#include <ctype.h>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "corvio/report.h"
#include "corvio/skin/image_cache.h"
#include "corvio/skin/image_io.h"

namespace corvio {
namespace skin {

namespace {

constexpr size_t kAheadMinPixels = 64 * 1024;

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

namespace {

// The image file at path with its size read and its pixels decoded when first needed
// (Image::WaitDecoded); null with a reason.
std::shared_ptr<Image> OpenImage(const std::string& path, std::string* error) {
  auto image = std::make_shared<Image>();
  std::vector<unsigned char> data;
  if (!ReadImageHeader(path, &data, &image->width, &image->height, error)) return nullptr;
  Image* target = image.get();
  auto file = std::make_shared<std::vector<unsigned char>>(std::move(data));
  image->decode = [target, path, file] {
    Guarded([&] {
      // A large image's pixels may be in the cache from an earlier run.
      const bool cached = static_cast<size_t>(target->width) * static_cast<size_t>(target->height) >=
                          kCachedImageMinPixels;
      ImageKey key;
      std::string entry;
      if (cached) {
        const std::string folder = ImageCacheFolder(), absolute = AbsoluteFilePath(path);
        if (!folder.empty() && !absolute.empty() &&
            MakeImageKey(path, *file, target->width, target->height, &key))
          entry = ImageCacheEntry(folder, absolute);
        if (!entry.empty() && ReadCachedPixels(entry, key, &target->rgba)) return;
      }
      Image decoded;
      std::string failure;
      if (!DecodeImage(path, *file, &decoded, &failure)) {
        Report("", failure);
        return;
      }
      target->rgba = std::move(decoded.rgba);
      if (!entry.empty()) WriteCachedPixels(entry, key, target->rgba);  // a failure costs only speed
    });
    bool opaque = !target->rgba.empty();
    for (size_t i = 3; opaque && i < target->rgba.size(); i += 4) opaque = target->rgba[i] == 255;
    target->opaque = opaque;
    std::vector<unsigned char>().swap(*file);  // the file's bytes are not needed again
  };
  image->pending = std::make_shared<Image::Pending>();
  return image;
}

// "dir/name.png" -> "dir/name@2x.png".
std::string TwiceName(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  const size_t dot = name.rfind('.');
  const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? name.size() : dot;
  return name.substr(0, at) + "@2x" + name.substr(at);
}

}  // namespace

std::shared_ptr<Image> Resources::ImageFor(const std::string& name, std::string* error) {
  auto it = images_.find(name);
  if (it != images_.end()) return it->second;
  std::string path = ResolveSkinFile(folder_, name);
  // Only the size is known now: a skin names many images (every state, a background the
  // program replaces) that the first paint never shows, and decoding is most of their cost.
  std::shared_ptr<Image> image = OpenImage(path, error);
  if (!image) return nullptr;
  const size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
  if (bytes > kMaxSkinPixelBytes - pixelBytes_) {
    *error = "image file \"" + path + "\" would take the skin's images past " +
             std::to_string(kMaxSkinPixelBytes >> 20) + " MiB of pixels";
    return nullptr;
  }
  // Looked for only when drawn at a scale above 1. It must be exactly twice the size, which
  // also bounds its memory to four times the image's.
  const std::string folder = folder_;
  const int w = image->width, h = image->height;
  image->findTwice = [folder, name, w, h]() -> std::shared_ptr<Image> {
    const std::string twicePath = ResolveSkinFile(folder, TwiceName(name));
    if (!Exists(twicePath)) return nullptr;
    std::string failure;
    std::shared_ptr<Image> twice = OpenImage(twicePath, &failure);
    if (twice && (twice->width != 2 * w || twice->height != 2 * h)) {
      failure = "image file \"" + twicePath + "\" is not twice the size of its 1x image";
      twice = nullptr;
    }
    if (!twice) Report("", failure);
    return twice;
  };
  images_[name] = image;
  pixelBytes_ += bytes;
  return image;
}

void Resources::DecodeAhead(std::vector<std::shared_ptr<Image>> images) {
  // Small images decode in less time than a thread takes to start: they wait for their drawing.
  size_t pixels = 0;
  images.erase(std::remove_if(images.begin(), images.end(), [](const std::shared_ptr<Image>& i) { return i->Decoded(); }),
               images.end());
  for (const auto& image : images) pixels += static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  if (pixels < kAheadMinPixels) return;
  // Futures of finished work are dropped as new work comes, so the list stays short.
  ahead_.erase(std::remove_if(ahead_.begin(), ahead_.end(),
                              [](const std::future<void>& f) {
                                return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
                              }),
               ahead_.end());
  Guarded([&] {
    ahead_.push_back(std::async(std::launch::async, [images] {
      for (const auto& image : images) image->WaitDecoded();
    }));
  });  // without a thread, each image is decoded when it is drawn
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
