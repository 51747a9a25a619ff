// The program directory and the version text shown in the launcher window.
#pragma once

#include "components/program_directory.h"

// Fills `buffer` (LauncherPathSize bytes) with the running executable's directory, without
// the trailing backslash, and returns it; a null buffer returns null. The buffer is empty
// when the program folder is unusable (its path does not fit).
char* ModuleDirectory(char* buffer);

// Builds ModuleDirectory, a backslash and `relative` into `out` (LauncherPathSize bytes).
// False, with `out` empty, when the whole path does not fit or the folder is unusable.
bool ProgramFilePath(const char* relative, char* out);
