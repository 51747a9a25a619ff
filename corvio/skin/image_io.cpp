// stb_image and stb_image_write behind two functions, compiled privately into this file.
#include "corvio/skin/image_io.h"

#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "corvio/skin/pixel_memory.h"  // before stb, whose allocations it serves
#include "corvio/skin/timeline.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
// Its buffers (a window-sized image, the inflated rows) in pixel memory, as the result is.
#define STBI_MALLOC(size) corvio::skin::PixelMalloc(size)
#define STBI_REALLOC(memory, size) corvio::skin::PixelRealloc(memory, size)
#define STBI_FREE(memory) corvio::skin::PixelFree(memory)
// The header's own code trips GCC's flow analysis in stbi_info; it is not ours to change.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

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

// stb's reason for a failed decode, as one printable line: it may be missing (a silent
// failure, or a thread that never failed before), and one of its texts carries the
// file's raw chunk name.
std::string FailureReason() {
  const char* why = stbi_failure_reason();
  if (!why || !*why) return "damaged image data";
  std::string text = why;
  if (text.find("PNG chunk not known") != std::string::npos) return "unknown PNG chunk";
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  return text;
}

// A PNG whose chunk declares more bytes than the file holds: the decoder would reserve the
// declared length (up to 2 GiB) before finding out.
bool PngChunksFit(const std::vector<unsigned char>& data) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data.size() < 8 || !std::equal(kSignature, kSignature + 8, data.begin())) return true;  // not PNG
  size_t at = 8;
  while (at + 8 <= data.size()) {
    const uint32_t length = (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) |
                            (uint32_t{data[at + 2]} << 8) | uint32_t{data[at + 3]};
    const size_t left = data.size() - at - 8;  // after the length and the type
    if (length > left) return false;
    if (data[at + 4] == 'I' && data[at + 5] == 'E' && data[at + 6] == 'N' && data[at + 7] == 'D') return true;
    at += 8 + size_t{length} + 4;  // the chunk, then its CRC
  }
  return true;  // a cut file: the decoder says what is missing
}

}  // namespace

bool ReadImageHeader(const std::string& path, std::vector<unsigned char>* data, int* width, int* height,
                     std::string* error) {
  SpanTimer timer("image_file_read");
  if (!ReadWholeFile(path, data)) {
    *error = "cannot read image file \"" + path + "\"";
    return false;
  }
  int channels = 0;
  if (data->size() > static_cast<size_t>(INT_MAX) ||
      !stbi_info_from_memory(data->data(), static_cast<int>(data->size()), width, height, &channels) ||
      *width <= 0 || *height <= 0) {
    *error = "image file \"" + path + "\" is not a readable PNG or TGA (" +
             (data->size() > static_cast<size_t>(INT_MAX) ? std::string("too large") : FailureReason()) + ")";
    return false;
  }
  if (!PngChunksFit(*data)) {
    *error = "image file \"" + path + "\" is a damaged PNG (a chunk runs past the end of the file)";
    return false;
  }
  // A damaged or hostile header may declare any size: it is refused before a decoder
  // allocates or loops for it.
  if (*width > kMaxImageSide || *height > kMaxImageSide) {
    *error = "image file \"" + path + "\" declares " + std::to_string(*width) + "x" +
             std::to_string(*height) + " pixels, more than " + std::to_string(kMaxImageSide) + "x" +
             std::to_string(kMaxImageSide);
    return false;
  }
  return true;
}

bool ReadWebImageHeader(const std::vector<unsigned char>& data, int maxSide, int* width, int* height,
                        std::string* error) {
  int channels = 0;
  if (data.size() > static_cast<size_t>(INT_MAX) ||
      !stbi_info_from_memory(data.data(), static_cast<int>(data.size()), width, height, &channels) ||
      *width <= 0 || *height <= 0) {
    *error = "not a readable PNG, JPEG, GIF or BMP image";
    return false;
  }
  if (*width > maxSide || *height > maxSide) {
    *error = "declares " + std::to_string(*width) + "x" + std::to_string(*height) +
             " pixels, more than " + std::to_string(maxSide) + " a side";
    return false;
  }
  if (!PngChunksFit(data)) {
    *error = "a PNG chunk is longer than the file";
    return false;
  }
  return true;
}

bool DecodeImage(const std::string& path, const std::vector<unsigned char>& data, Image* out,
                 std::string* error) {
  SpanTimer timer("image_decode");
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w,
                                                &h, &channels, 4);
  if (!pixels) {
    *error = "image file \"" + path + "\" is not a readable PNG or TGA (" + FailureReason() + ")";
    return false;
  }
  out->width = w;
  out->height = h;
  out->rgba.assign(pixels, pixels + static_cast<size_t>(w) * h * 4);
  stbi_image_free(pixels);
  return true;
}

bool LoadImageFile(const std::string& path, Image* out, std::string* error) {
  std::vector<unsigned char> data;
  int w = 0, h = 0;
  return ReadImageHeader(path, &data, &w, &h, error) && DecodeImage(path, data, out, error);
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
