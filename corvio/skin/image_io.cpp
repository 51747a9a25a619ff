// stb_image and stb_image_write behind two functions, compiled privately into this file.
#include "corvio/skin/image_io.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <vector>

namespace corvio {
namespace skin {

namespace {

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* data) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

void AppendToVector(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  auto* bytes = static_cast<unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool LoadImageFile(const std::string& path, Image* out, std::string* error) {
  std::vector<unsigned char> data;
  if (!ReadWholeFile(path, &data)) {
    *error = "cannot read image file \"" + path + "\"";
    return false;
  }
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w,
                                                &h, &channels, 4);
  if (!pixels) {
    *error = "image file \"" + path + "\" is not a readable PNG or TGA (" +
             stbi_failure_reason() + ")";
    return false;
  }
  out->width = w;
  out->height = h;
  out->rgba.assign(pixels, pixels + static_cast<size_t>(w) * h * 4);
  stbi_image_free(pixels);
  return true;
}

bool WritePng(const std::string& path, const Canvas& canvas, std::string* error) {
  std::vector<unsigned char> png;
  if (canvas.Width() <= 0 || canvas.Height() <= 0 ||
      !stbi_write_png_to_func(AppendToVector, &png, canvas.Width(), canvas.Height(), 4,
                              canvas.Pixels(), canvas.Width() * 4)) {
    *error = "cannot encode the picture";
    return false;
  }
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot write \"" + path + "\": " + strerror(errno);
    return false;
  }
  bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) *error = "cannot write \"" + path + "\"";
  return ok;
}

}  // namespace skin
}  // namespace corvio
