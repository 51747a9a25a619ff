// The instance name in the form every system's namespace of locks accepts: the same
// escaped text names the lock file on Linux and the mutex on Windows.
#pragma once

#include <string>

namespace corvio {

// Letters, digits, '-', '_' and '.' stay; every other byte (a slash, a backslash, a blank,
// a GBK byte) becomes %XX, and a leading dot becomes %2E, so two names never meet and the
// result is never hidden, "." or "..".
std::string EscapeInstanceName(const std::string& name);

}  // namespace corvio
