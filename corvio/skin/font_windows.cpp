// Font bytes on Windows: GDI picks the face (the skin's family, or one that shows
// Chinese) and hands over its whole file with GetFontData; skin font files are read.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "corvio/skin/font_source.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

namespace {

// GetFontData's table tag for the start of a collection file ('ttcf', bytes reversed).
constexpr DWORD kCollectionTag = 0x66637474;
// Faces with Chinese glyphs that Windows installs, tried in turn when the skin names none;
// the last resort is GDI's own choice for the GB2312 character set.
const wchar_t* const kChineseFamilies[] = {L"Microsoft YaHei", L"SimSun", L"NSimSun", L""};
constexpr int kLookupHeight = 16;  // any size selects the same file

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string Utf8(const wchar_t* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], n, nullptr, nullptr);
  return out;
}

bool ReadTable(HDC dc, DWORD table, std::vector<unsigned char>* out) {
  const DWORD size = GetFontData(dc, table, 0, nullptr, 0);
  if (size == GDI_ERROR || size == 0) return false;
  out->resize(size);
  return GetFontData(dc, table, 0, out->data(), size) == size;
}

// Which face of the collection GDI selected: the one whose table directory is the one
// GetFontData gives for the selected font (table 0 starts there in a collection).
int FaceIndexIn(HDC dc, const std::vector<unsigned char>& file) {
  if (file.size() < 12) return 0;
  const uint32_t faces = BigEndian32(file.data() + 8);
  unsigned char head[12];
  if (GetFontData(dc, 0, 0, head, sizeof head) != sizeof head) return 0;
  const size_t dirSize = 12 + 16 * ((size_t(head[4]) << 8) | head[5]);
  std::vector<unsigned char> dir(dirSize);
  if (GetFontData(dc, 0, 0, dir.data(), static_cast<DWORD>(dirSize)) != dirSize) return 0;
  for (uint32_t i = 0; i < faces && 12 + 4 * (i + 1) <= file.size(); ++i) {
    const size_t at = BigEndian32(file.data() + 12 + 4 * i);
    if (at <= file.size() && file.size() - at >= dirSize &&
        memcmp(file.data() + at, dir.data(), dirSize) == 0)
      return static_cast<int>(i);
  }
  return 0;
}

struct Selected {
  HDC dc = nullptr;
  HFONT font = nullptr;
  HGDIOBJ previous = nullptr;
  ~Selected() {
    if (previous) SelectObject(dc, previous);
    if (font) DeleteObject(font);
    if (dc) DeleteDC(dc);
  }
};

// Selects GDI's face for family in a memory DC; the font mapper answers every name with
// some face, so *chinese tells whether it holds the GB2312 character set.
bool Select(Selected* s, const wchar_t* family, bool* chinese) {
  s->dc = CreateCompatibleDC(nullptr);
  if (!s->dc) return false;
  s->font = CreateFontW(-kLookupHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                        OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, family);
  if (!s->font) return false;
  s->previous = SelectObject(s->dc, s->font);
  if (!s->previous || s->previous == HGDI_ERROR) {
    s->previous = nullptr;
    return false;
  }
  *chinese = GetTextCharset(s->dc) == GB2312_CHARSET;
  return true;
}

// The whole file of the face selected in s (a collection whole, with the face's index).
bool ReadSelected(const Selected& s, FontBytes* out, std::string* what) {
  auto bytes = std::make_shared<std::vector<unsigned char>>();
  int index = 0;
  if (ReadTable(s.dc, kCollectionTag, bytes.get())) {
    index = FaceIndexIn(s.dc, *bytes);
  } else if (!ReadTable(s.dc, 0, bytes.get())) {
    return false;
  }
  wchar_t chosen[LF_FACESIZE] = {0};
  GetTextFaceW(s.dc, LF_FACESIZE, chosen);
  out->data = bytes->data();
  out->size = bytes->size();
  out->faceIndex = index;
  out->owner = bytes;
  *what = "the system font \"" + Utf8(chosen) + "\"";
  return true;
}

}  // namespace

bool ReadFontFile(const std::string& path, FontBytes* out, std::string* error) {
  FILE* f = fopen(path.c_str(), "rb");
  auto bytes = std::make_shared<std::vector<unsigned char>>();
  bool ok = f != nullptr;
  if (ok) {
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes->insert(bytes->end(), buf, buf + n);
    ok = !ferror(f) && !bytes->empty();
    fclose(f);
  }
  if (!ok) {
    *error = "cannot read font file \"" + path + "\"";
    return false;
  }
  out->data = bytes->data();
  out->size = bytes->size();
  out->faceIndex = 0;
  out->owner = bytes;
  return true;
}

// A family the skin names gets GDI's answer for it, as fontconfig answers every name with
// its closest face; without a name, the first face that holds Chinese, else GDI's own.
bool FindSystemFont(const std::string& family, FontBytes* out, std::string* what,
                    std::string* error) {
  const std::wstring asked = Wide(family);
  for (int pass = 0; pass < 2; ++pass) {
    const bool needChinese = family.empty() && pass == 0;
    std::vector<const wchar_t*> candidates;
    if (!family.empty()) candidates.push_back(asked.c_str());
    else if (needChinese) candidates.assign(std::begin(kChineseFamilies), std::end(kChineseFamilies));
    else candidates.push_back(L"");
    for (const wchar_t* candidate : candidates) {
      Selected s;
      bool chinese = false;
      if (!Select(&s, candidate, &chinese) || (needChinese && !chinese)) continue;
      if (ReadSelected(s, out, what)) return true;
    }
    if (!family.empty()) break;
  }
  *error = "no font found for \"" + (family.empty() ? std::string("Chinese text") : family) + "\"";
  return false;
}

}  // namespace skin
}  // namespace corvio
