// The downloader's temporary files on Linux: fsync, rename through the platform, and the
// folder's entries read on the host side of the platform's path translation.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "corvio/download/part_files.h"
#include "platform/linux/path.h"
#include "platform/win32.h"

namespace corvio {

namespace {

std::string FolderOf(const std::string& hostPath) {
  const size_t slash = hostPath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

// kill with signal 0 only asks: ESRCH means no such process; EPERM is someone else's.
bool ProcessIsGone(unsigned long pid) {
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

bool FlushToDisk(FILE* file) {
  return fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool ReplaceWithPart(const std::string& partPath, const std::string& finalPath) {
  if (!MoveFileExA(partPath.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  // The rename itself reaches the disk only with its folder.
  std::string host;
  if (!PlatformHostPath("ReplaceWithPart", finalPath.c_str(), &host)) return true;
  const int folder = open(FolderOf(host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

int RemoveStaleParts(const std::string& folder, const std::string& fileName) {
  // The target's host path gives the folder as found and the name as the disk spells it.
  std::string target;
  if (!PlatformHostPath("RemoveStaleParts", (folder + "\\" + fileName).c_str(), &target)) {
    return 0;
  }
  const std::string hostName = PlatformHostBaseName(target);
  const std::string hostFolder = FolderOf(target);
  DIR* dir = opendir(hostFolder.c_str());
  if (!dir) return 0;
  const unsigned long self = static_cast<unsigned long>(getpid());
  int removed = 0;
  while (dirent* entry = readdir(dir)) {
    unsigned long pid = 0;
    if (!ParsePartFileName(entry->d_name, hostName, &pid) || pid == self) continue;
    if (!ProcessIsGone(pid)) continue;
    if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

}  // namespace corvio
