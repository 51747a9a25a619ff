// The naming of the downloader's temporary files, shared by both systems.
#include "corvio/download/part_files.h"

#include <string.h>

namespace corvio {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads 1 to 10 digits into *value; false for none, too many or more than 32 bits.
bool ReadNumber(const char** cursor, unsigned long* value) {
  unsigned long long number = 0;
  const char* p = *cursor;
  int digits = 0;
  while (*p >= '0' && *p <= '9') {
    if (++digits > 10) return false;
    number = number * 10 + static_cast<unsigned>(*p - '0');
    ++p;
  }
  if (digits == 0 || number > 0xFFFFFFFFull) return false;
  *value = static_cast<unsigned long>(number);
  *cursor = p;
  return true;
}

}  // namespace

std::string PartFilePath(const std::string& finalPath, unsigned long pid, int task) {
  return finalPath + "." + std::to_string(pid) + "-" + std::to_string(task) + ".part";
}

bool ParsePartFileName(const char* name, const std::string& fileName, unsigned long* pid) {
  if (!name || fileName.empty() || strlen(name) <= fileName.size()) return false;
  for (size_t i = 0; i < fileName.size(); ++i) {
    if (LowerAscii(name[i]) != LowerAscii(fileName[i])) return false;
  }
  const char* p = name + fileName.size();
  unsigned long owner = 0, task = 0;
  if (*p++ != '.' || !ReadNumber(&p, &owner) || *p++ != '-' || !ReadNumber(&p, &task)) {
    return false;
  }
  if (strcmp(p, ".part") != 0 || owner == 0) return false;
  if (pid) *pid = owner;
  return true;
}

}  // namespace corvio
