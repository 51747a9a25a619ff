// Finding and loading the factory library through Corvio.ini, and creating components.
// Failures are reported on the debugger output and leave a null result; nothing throws.
#pragma once

#include "components/component.h"

// Creates a factory (loading the library on first use); null on failure, reported.
ComponentFactory* CreateComponentFactory();

// Creates a component of a kind known only at run time. 1 with *out set on success
// (the caller owns it and must Release it), 0 otherwise with *out untouched.
int CreateComponentById(Component** out, ComponentId id, const char* configPath);

// Formats a report into 1024 bytes and sends it to the debugger output.
void ReportError(const char* format, ...);
