// Finding and loading the factory library through Corvio.ini, and creating components.
// Failures are reported on the debugger output and leave a null result; nothing throws.
#pragma once

#include "components/component.h"
#include "components/program_directory.h"

// Creates a factory (loading the library on first use); null on failure, reported.
ComponentFactory* CreateComponentFactory();

// Creates a component of a kind known only at run time. 1 with *out set on success
// (the caller owns it and must Release it), 0 otherwise with *out untouched.
int CreateComponentById(Component** out, ComponentId id, const char* configPath);

// Why the last attempt to get the factory failed, so the player can be told what is
// missing and where it was looked for.
enum class FactoryFailure {
  None,                   // the factory was created (or nothing was tried yet)
  ProgramFolderUnusable,  // the executable's path does not fit a path buffer
  ConfigMissing,          // no Corvio.ini at configFile
  NoLibraryNamed,         // configFile names no library ([361] DLL)
  LibraryNotLoaded,       // the library at `library` did not load; `error` says why
  NoEntry,                // the library has no CreateComponent export
  NoFactory,              // CreateComponent returned null
};

struct FactoryLibraryReport {
  FactoryFailure failure;
  char configFile[LauncherPathSize];  // the Corvio.ini in force, after redirection
  char library[LauncherPathSize];     // the library path tried; empty when none was named
  unsigned long error;                // GetLastError after a failed load, else 0
};

// The outcome of the latest CreateComponentFactory (and so of every component creation).
const FactoryLibraryReport& LastFactoryLibrary();

// Formats a report into 1024 bytes and sends it to the debugger output.
void ReportError(const char* format, ...);
