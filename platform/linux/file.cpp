// PlatformOpenFile on Linux: Windows-form paths and the Windows C runtime's text mode
// (CR LF read as LF, 0x1A ends the file, LF written as CR LF) over a plain stream.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <string>

#include "platform/linux/path.h"
#include "platform/linux/report.h"

namespace {

// The text-mode layer between the caller's stream and the file's own bytes.
struct TextFile {
  FILE* raw = nullptr;
  unsigned char pending[4096];  // bytes read from raw, not yet handed out
  size_t start = 0;
  size_t end = 0;
  bool rawEnded = false;
  bool sawEndMark = false;  // 0x1A seen: the file ends here for reading
};

bool Refill(TextFile* f) {
  if (f->rawEnded) return false;
  if (f->start > 0) {
    memmove(f->pending, f->pending + f->start, f->end - f->start);
    f->end -= f->start;
    f->start = 0;
  }
  const size_t got = fread(f->pending + f->end, 1, sizeof f->pending - f->end, f->raw);
  if (got == 0) f->rawEnded = true;
  f->end += got;
  return got > 0;
}

ssize_t TextRead(void* cookie, char* out, size_t size) {
  auto* f = static_cast<TextFile*>(cookie);
  size_t written = 0;
  while (written < size && !f->sawEndMark) {
    if (f->start == f->end && !Refill(f)) break;
    const unsigned char c = f->pending[f->start];
    if (c == 0x1A) {
      f->sawEndMark = true;
      break;
    }
    if (c == '\r') {
      // Needs the next byte to tell CR LF from a lone CR.
      if (f->start + 1 == f->end && !f->rawEnded) {
        Refill(f);
        continue;
      }
      if (f->start + 1 < f->end && f->pending[f->start + 1] == '\n') {
        out[written++] = '\n';
        f->start += 2;
        continue;
      }
    }
    out[written++] = static_cast<char>(c);
    ++f->start;
  }
  if (written == 0 && ferror(f->raw)) return -1;
  return static_cast<ssize_t>(written);
}

ssize_t TextWrite(void* cookie, const char* data, size_t size) {
  auto* f = static_cast<TextFile*>(cookie);
  size_t from = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != '\n') continue;
    if (i > from && fwrite(data + from, 1, i - from, f->raw) != i - from) return -1;
    if (i < size && fwrite("\r\n", 1, 2, f->raw) != 2) return -1;
    from = i + 1;
  }
  if (fflush(f->raw) != 0) return -1;
  return static_cast<ssize_t>(size);
}

// Positions are those of the file's own bytes, as the Windows runtime reports them.
int TextSeek(void* cookie, off64_t* offset, int whence) {
  auto* f = static_cast<TextFile*>(cookie);
  if (whence == SEEK_CUR) {
    *offset -= static_cast<off64_t>(f->end - f->start);  // bytes read ahead
  }
  if (fseeko(f->raw, *offset, whence) != 0) return -1;
  f->start = f->end = 0;
  f->rawEnded = false;
  f->sawEndMark = false;
  *offset = ftello(f->raw);
  return *offset < 0 ? -1 : 0;
}

int TextClose(void* cookie) {
  auto* f = static_cast<TextFile*>(cookie);
  const int result = fclose(f->raw);
  delete f;
  return result;
}

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

int PlatformOpenRegularFile(const char* function, const std::string& hostPath) {
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  const char* kind = fstat(fd, &st) == 0 ? KindOfFile(st.st_mode) : "unreadable";
  close(fd);
  static std::mutex* mutex = new std::mutex;  // never destroyed: any thread may read late
  static std::set<std::string>* reported = new std::set<std::string>;
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(*mutex);
    first = reported->insert(hostPath).second;
  }
  if (first) PlatformReport("%s: %s is %s, not a file: read as absent", function, hostPath.c_str(), kind);
  errno = EACCES;
  return -1;
}

// "b" in the mode opens in binary, anything else in text mode; "t" is accepted too.
// A folder is refused with EACCES (ERROR_ACCESS_DENIED), as the Windows runtime refuses
// it, where Linux would open it for reading; for reading ("r"), so is anything but a
// regular file (PlatformOpenRegularFile). A path that is not GBK text fails with
// EILSEQ (ERROR_NO_UNICODE_TRANSLATION).
FILE* PlatformOpenFile(const char* path, const char* mode) {
  if (!path || !mode || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) {
    errno = EINVAL;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string hostMode(1, mode[0]);
  bool binary = false;
  for (const char* m = mode + 1; *m; ++m) {
    if (*m == '+') hostMode = std::string(1, mode[0]) + "+";
    else if (*m == 'b') binary = true;
  }
  std::string host;
  if (!PlatformHostPath("PlatformOpenFile", path, &host)) {
    errno = EILSEQ;
    return nullptr;
  }
  FILE* raw = nullptr;
  if (hostMode == "r") {
    // Only a regular file is read: nothing here may block or never end.
    const int fd = PlatformOpenRegularFile("PlatformOpenFile", host);
    raw = fd >= 0 ? fdopen(fd, "r") : nullptr;
    if (fd >= 0 && !raw) close(fd);
  } else {
    raw = fopen(host.c_str(), (hostMode + "e").c_str());
    struct stat st;
    if (raw && fstat(fileno(raw), &st) == 0 && S_ISDIR(st.st_mode)) {
      fclose(raw);
      raw = nullptr;
      errno = EISDIR;
    }
  }
  if (!raw) {
    const int err = errno == EISDIR ? EACCES : errno;
    SetLastError(PlatformErrorFromErrno(err, host));
    errno = err;
    return nullptr;
  }
  if (binary) return raw;
  auto* text = new TextFile();
  text->raw = raw;
  cookie_io_functions_t io = {TextRead, TextWrite, TextSeek, TextClose};
  FILE* stream = fopencookie(text, hostMode.c_str(), io);
  if (!stream) {
    fclose(raw);
    delete text;
    errno = ENOMEM;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return stream;
}
