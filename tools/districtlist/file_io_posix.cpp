// The tool's files on POSIX systems: the key file created exclusively with mode 0600, and
// the replacing rename.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_io.h"

bool CreatePrivateFile(const std::string& path, const std::string& data, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = "cannot create '" + path + "': " + strerror(errno) +
             (errno == EEXIST ? " (an existing key file is never replaced)" : "");
    return false;
  }
  // The umask may only take bits away; the mode is set whole all the same.
  int code = fchmod(fd, 0600) == 0 ? 0 : errno;
  size_t done = 0;
  while (code == 0 && done < data.size()) {
    const ssize_t wrote = write(fd, data.data() + done, data.size() - done);
    if (wrote > 0) done += static_cast<size_t>(wrote);
    else if (wrote < 0 && errno != EINTR) code = errno;
    else if (wrote == 0) code = EIO;
  }
  if (code == 0 && fsync(fd) != 0) code = errno;
  if (close(fd) != 0 && code == 0) code = errno;
  const bool ok = code == 0;
  if (!ok) {
    *error = "cannot write '" + path + "': " + strerror(code);
    unlink(path.c_str());
  }
  return ok;
}

void SetBinaryMode(FILE*) {}

bool ReplaceWithTemporary(const std::string& from, const std::string& to, int* code) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  *code = errno;
  return false;
}
