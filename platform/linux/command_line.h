// The Windows command-line rules, both ways: splitting one command-line text into
// arguments, and quoting an argument so that splitting gives it back. Internal to platform/.
#pragma once

#include <string>
#include <vector>

// Arguments split on blanks and tabs; "..." groups; 2n backslashes before a quote give n
// backslashes and the quote delimits, 2n+1 give n and a literal quote; inside quotes ""
// is a literal quote; other backslashes are literal. Null or blank text gives none.
std::vector<std::string> PlatformSplitCommandLine(const char* text);

// Appends `arg` so that PlatformSplitCommandLine reads it back unchanged: as it is when
// it needs no quoting, else in quotes with its quotes and the backslashes before them escaped.
void PlatformAppendQuotedArgument(std::string& out, const char* arg);
