// The program folder: the running executable's folder, where the launcher finds its
// framework library, configuration, skin and district lists.
#pragma once

// Size of every path buffer of the launcher, terminating zero included.
constexpr int LauncherPathSize = 260;

// The executable's folder without the trailing backslash, found once for the life of the
// process. Empty when the executable's path does not fit LauncherPathSize bytes: no file
// of the program folder can then be named, and callers must not fall back to another
// folder (a cut path names an ancestor).
const char* ProgramDirectory();
