// File access with the standard library, in binary mode so bytes pass untouched; what
// differs per system is in file_io_posix.cpp and file_io_windows.cpp.
#include "file_io.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace {

std::string Describe(const char* what, const std::string& path, int code) {
  std::string text = "cannot ";
  text += what;
  text += " '" + path + "': ";
  text += code != 0 ? strerror(code) : "unknown error";
  return text;
}

// Opens path, or standard input for "-"; *owned says whether to close it.
FILE* OpenInput(const std::string& path, bool* owned, std::string* error) {
  *owned = path != "-";
  if (!*owned) {
    SetBinaryMode(stdin);
    return stdin;
  }
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) *error = Describe("open", path, errno);
  return file;
}

}  // namespace

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::string* data, std::string* error) {
  data->clear();
  bool owned = false;
  FILE* file = OpenInput(path, &owned, error);
  if (file == nullptr) return false;
  char chunk[8192];
  bool ok = true;
  while (true) {
    const size_t got = fread(chunk, 1, sizeof chunk, file);
    if (got > 0) {
      if (data->size() + got > maxBytes) {
        *error = "'" + path + "' is larger than " + std::to_string(maxBytes) + " bytes";
        ok = false;
        break;
      }
      data->append(chunk, got);
    }
    if (got < sizeof chunk) {
      if (ferror(file)) {
        *error = Describe("read", path, errno);
        ok = false;
      }
      break;
    }
  }
  if (owned) fclose(file);
  if (!ok) data->clear();
  return ok;
}

bool ReadFirstLine(const std::string& path, size_t maxChars, std::string* line, bool* tooLong,
                   std::string* error) {
  line->clear();
  *tooLong = false;
  bool owned = false;
  FILE* file = OpenInput(path, &owned, error);
  if (file == nullptr) return false;
  bool ok = true;
  int c;
  while ((c = fgetc(file)) != EOF) {
    if (c == '\r') {  // CR LF ends the line as LF does, as text mode reads it
      const int next = fgetc(file);
      if (next == '\n') break;
      if (next != EOF) ungetc(next, file);
    }
    if (c == '\n') break;
    if (line->size() >= maxChars) {
      *tooLong = true;
      break;
    }
    line->push_back(static_cast<char>(c));
  }
  if (ferror(file)) {
    *error = Describe("read", path, errno);
    ok = false;
  }
  if (owned) fclose(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& data, std::string* error) {
  if (path == "-") {
    SetBinaryMode(stdout);
    if (fwrite(data.data(), 1, data.size(), stdout) != data.size() || fflush(stdout) != 0) {
      *error = Describe("write", "standard output", errno);
      return false;
    }
    return true;
  }
  const std::string temporary = path + ".tmp";
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    *error = Describe("create", temporary, errno);
    return false;
  }
  const bool written = fwrite(data.data(), 1, data.size(), file) == data.size();
  const int writeErrno = errno;
  const bool closed = fclose(file) == 0;
  if (!written || !closed) {
    *error = Describe("write", temporary, written ? errno : writeErrno);
    remove(temporary.c_str());
    return false;
  }
  int code = 0;
  if (!ReplaceWithTemporary(temporary, path, &code)) {
    *error = Describe("replace", path, code) + " (the new content is in '" + temporary + "')";
    return false;
  }
  return true;
}
