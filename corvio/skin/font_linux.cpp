// Font bytes on Linux: files are mapped, not read (a CJK font is megabytes, of which a
// few captions touch only the tables and glyphs they need), and fontconfig finds faces;
// its answer is remembered in the user's cache, since reading its configuration and caches
// takes milliseconds at every start.
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "corvio/skin/font_source.h"
#include "corvio/skin/image_cache.h"
#include "corvio/skin/timeline.h"
#include "platform/win32.h"

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

// A remembered answer holds while its font file keeps its size and time and nothing of
// fontconfig's configuration or caches has changed since (fonts added, removed, preferred).
struct Answer {
  std::string path;
  int index = 0;
  uint64_t size = 0;
  int64_t time = 0;
  int64_t configTime = 0;
};

int64_t ConfigTime() {
  std::string folders[] = {"/etc/fonts", "/etc/fonts/conf.d", "/var/cache/fontconfig", ""};
  const char* cache = getenv("XDG_CACHE_HOME");
  const char* home = getenv("HOME");
  if (cache && cache[0] == '/') folders[3] = std::string(cache) + "/fontconfig";
  else if (home && home[0] == '/') folders[3] = std::string(home) + "/.cache/fontconfig";
  int64_t latest = 0;
  for (const std::string& f : folders) {
    struct stat st;
    if (!f.empty() && stat(f.c_str(), &st) == 0)
      latest = std::max<int64_t>(latest, int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec);
  }
  return latest;
}

std::string AnswerFile(const std::string& family) {
  const std::string base = UserCacheFolder();
  if (base.empty()) return base;
  char name[32];
  snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(Hash64(family.data(), family.size())));
  return base + "/fonts/" + name;
}

// The remembered answer when it still holds; any damage or change gives false.
bool RecallAnswer(const std::string& file, Answer* a) {
  FILE* f = fopen(file.c_str(), "rb");
  if (!f) return false;
  char path[PATH_MAX + 2] = {};
  unsigned long long size = 0;
  long long time = 0, configTime = 0;
  const bool read = fscanf(f, "corvio-font 1 %llu %lld %d %lld ", &size, &time, &a->index, &configTime) == 4 &&
                    fgets(path, sizeof path, f) != nullptr;
  fclose(f);
  const size_t length = strlen(path);
  if (!read || length < 2 || path[0] != '/' || path[length - 1] != '\n' || a->index < 0) return false;
  a->path.assign(path, length - 1);
  uint64_t nowSize = 0;
  int64_t nowTime = 0;
  return FileStamp(a->path, &nowSize, &nowTime) && nowSize == size && nowTime == time &&
         configTime == ConfigTime();
}

void RememberAnswer(const std::string& file, const std::string& path, int index) {
  uint64_t size = 0;
  int64_t time = 0;
  const size_t slash = file.find_last_of('/');
  if (file.empty() || path.find('\n') != std::string::npos || !FileStamp(path, &size, &time) ||
      !MakeFolders(file.substr(0, slash)))
    return;
  const std::string partial = file + "." + std::to_string(static_cast<unsigned long>(GetCurrentProcessId())) + ".partial";
  FILE* f = fopen(partial.c_str(), "wb");
  if (!f) return;
  bool ok = fprintf(f, "corvio-font 1 %llu %lld %d %lld\n%s\n", static_cast<unsigned long long>(size),
                    static_cast<long long>(time), index, static_cast<long long>(ConfigTime()), path.c_str()) > 0;
  ok = fclose(f) == 0 && ok;
  if (!ok || !MoveOver(partial, file)) remove(partial.c_str());
}

}  // namespace

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
  const std::string answerFile = AnswerFile(family);
  Answer remembered;
  if (!answerFile.empty() && RecallAnswer(answerFile, &remembered) && ReadFontFile(remembered.path, out, error)) {
    out->faceIndex = remembered.index;
    *what = "font file \"" + remembered.path + "\"";
    return true;
  }
  static FontConfig fc;
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
  RememberAnswer(answerFile, file, out->faceIndex);
  return true;
}

}  // namespace skin
}  // namespace corvio
