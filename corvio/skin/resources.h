// Images and fonts of one skin, found relative to the skin's folder and decoded once.
#pragma once

#include <stddef.h>

#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corvio/skin/canvas.h"
#include "corvio/skin/font.h"

namespace corvio {
namespace skin {

// A file name as written in a skin (backslashes allowed) to a host path under folder
// (unless the name is absolute: "/x", "C:\\x"); a component whose exact case does not exist
// is matched without regard to ASCII case.
std::string ResolveSkinFile(const std::string& folder, const std::string& name);

struct FontChoice {
  std::string face;
  std::string file;  // relative to the skin folder; wins over face
  int size = 12;
};

class Resources {
 public:
  explicit Resources(std::string folder) : folder_(std::move(folder)) {}
  const std::string& Folder() const { return folder_; }
  // Named ImageFor, not LoadImage: windows.h makes that name a macro.
  // The image's size is read at once, its pixels decoded when first drawn (Image::WaitDecoded).
  std::shared_ptr<Image> ImageFor(const std::string& name, std::string* error);
  // Decodes these images on another thread, in this order, ahead of their first drawing
  // (not when they are few and small: then the drawing decodes them).
  void DecodeAhead(std::vector<std::shared_ptr<Image>> images);
  void DefineFont(const std::string& name, const FontChoice& choice) { fontChoices_[name] = choice; }
  bool HasFont(const std::string& name) const { return fontChoices_.count(name) != 0; }
  // An empty name gives the "default" font, or the system's Chinese face at 12 px.
  std::shared_ptr<Font> FontFor(const std::string& name, std::string* error);

 private:
  std::string folder_;
  std::map<std::string, std::shared_ptr<Image>> images_;
  size_t pixelBytes_ = 0;  // of the images above, against kMaxSkinPixelBytes
  std::map<std::string, FontChoice> fontChoices_;
  std::map<std::string, std::shared_ptr<Font>> fonts_;
  std::vector<std::future<void>> ahead_;  // last: the skin's end waits for its decodes
};

}  // namespace skin
}  // namespace corvio
