// The downloader's temporary files on Windows: FlushFileBuffers, MoveFileExA written
// through, and the owner of a left-over file looked up with OpenProcess.
#include <io.h>

#include "corvio/download/part_files.h"
#include "platform/win32.h"

namespace corvio {

namespace {

// OpenProcess refuses an id that names no process with ERROR_INVALID_PARAMETER; access
// denied is a live process of another user. An ended one still held open has an exit code.
bool ProcessIsGone(unsigned long pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

}  // namespace

bool FlushToDisk(FILE* file) {
  if (fflush(file) != 0) return false;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

bool ReplaceWithPart(const std::string& partPath, const std::string& finalPath) {
  return MoveFileExA(partPath.c_str(), finalPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int RemoveStaleParts(const std::string& folder, const std::string& fileName) {
  WIN32_FIND_DATAA found;
  const std::string pattern = folder + "\\" + fileName + ".*.part";
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  const unsigned long self = GetCurrentProcessId();
  int removed = 0;
  do {
    unsigned long pid = 0;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!ParsePartFileName(found.cFileName, fileName, &pid) || pid == self) continue;
    if (!ProcessIsGone(pid)) continue;
    if (DeleteFileA((folder + "\\" + found.cFileName).c_str())) ++removed;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return removed;
}

}  // namespace corvio
