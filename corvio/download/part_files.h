// The downloader's temporary files: named after their process, written through to the
// disk before they replace the target, and removed by a later start once their process
// is gone (a start that was killed leaves its file behind).
#pragma once

#include <stdio.h>

#include <string>

namespace corvio {

// "<finalPath>.<pid>-<task>.part"
std::string PartFilePath(const std::string& finalPath, unsigned long pid, int task);

// True when name is "<fileName>.<pid>-<n>.part" (fileName compared without regard to
// ASCII case, as the file system does on Windows), with the pid.
bool ParsePartFileName(const char* name, const std::string& fileName, unsigned long* pid);

// Writes the file's buffers through to the disk. Per system.
bool FlushToDisk(FILE* file);

// Renames the part file over the target in one step and through to the disk. Per system.
bool ReplaceWithPart(const std::string& partPath, const std::string& finalPath);

// Deletes the part files of fileName in folder (both Windows form) whose process has
// ended; those of this process and of live ones stay. Returns how many went. Per system.
int RemoveStaleParts(const std::string& folder, const std::string& fileName);

}  // namespace corvio
