// Font bytes on Linux: files are mapped, not read (a CJK font is megabytes, of which a
// few captions touch only the tables and glyphs they need), and fontconfig finds faces.
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "corvio/skin/font_source.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

namespace {

struct Mapping {
  void* data = nullptr;
  size_t size = 0;
  ~Mapping() {
    if (data) munmap(data, size);
  }
};

// The engine's own font configuration, freed again at exit so that nothing of it leaks.
struct FontConfig {
  FcConfig* config = nullptr;
  bool tried = false;
  ~FontConfig() {
    if (config) {
      FcConfigDestroy(config);
      FcFini();
    }
  }
};

FontConfig& TheFontConfig() {
  static FontConfig fc;
  return fc;
}

}  // namespace

void PrepareSystemFonts() { TheFontConfig(); }

bool ReadFontFile(const std::string& path, FontBytes* out, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    if (fd >= 0) close(fd);
    *error = "cannot read font file \"" + path + "\"";
    return false;
  }
  void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (map == MAP_FAILED) {
    *error = "cannot read font file \"" + path + "\"";
    return false;
  }
  auto mapping = std::make_shared<Mapping>();
  mapping->data = map;
  mapping->size = static_cast<size_t>(st.st_size);
  out->data = static_cast<const unsigned char*>(map);
  out->size = mapping->size;
  out->faceIndex = 0;
  out->owner = mapping;
  return true;
}

// Called with the face cache's lock held, so fontconfig is entered by one thread at a time.
bool FindSystemFont(const std::string& family, FontBytes* out, std::string* what,
                    std::string* error) {
  SpanTimer timer("font_lookup");
  FontConfig& fc = TheFontConfig();
  if (!fc.tried) {
    fc.tried = true;
    fc.config = FcInitLoadConfigAndFonts();
  }
  if (!fc.config) {
    *error = "the font configuration cannot be read";
    return false;
  }
  FcPattern* pattern = family.empty()
                           ? FcNameParse(reinterpret_cast<const FcChar8*>(":lang=zh-cn"))
                           : FcPatternCreate();
  if (!pattern) {
    *error = "out of memory";
    return false;
  }
  if (!family.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(fc.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(fc.config, pattern, &result);
  std::string file;
  int index = 0;
  if (match) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
      file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  if (file.empty()) {
    *error = "no font found for \"" + (family.empty() ? std::string("Chinese text") : family) + "\"";
    return false;
  }
  if (!ReadFontFile(file, out, error)) return false;
  out->faceIndex = index & 0xFFFF;  // the high half numbers a variable font's instance
  *what = "font file \"" + file + "\"";
  return true;
}

}  // namespace skin
}  // namespace corvio
