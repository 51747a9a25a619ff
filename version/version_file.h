// The program directory and the version text shown in the launcher window.
#pragma once

// Size of every path buffer of the launcher, terminating zero included.
constexpr int LauncherPathSize = 260;

// Fills `buffer` (LauncherPathSize bytes) with the running executable's directory, without
// the trailing backslash, and returns it; a null buffer returns null.
char* ModuleDirectory(char* buffer);

// Builds ModuleDirectory, a backslash and `relative` into `out` (LauncherPathSize bytes).
// False, with `out` empty, when the whole path does not fit.
bool ProgramFilePath(const char* relative, char* out);
