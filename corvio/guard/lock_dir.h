// Where the instance lock files live: the user's runtime folder, else a private folder
// of the user below the temporary directory.
#pragma once

#include <string>

namespace corvio {

// The folder for lock files, created when missing; empty when no safe folder exists
// (one that is a real directory, owned by the user, not writable by others).
std::string LockDirectory();

// The lock file's name for an instance name: safe characters kept, others as %XX.
std::string LockFileName(const std::string& instanceName);

}  // namespace corvio
