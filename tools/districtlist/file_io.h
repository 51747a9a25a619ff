// Reading and writing the tool's files; "-" names standard input or output.
#pragma once

#include <stdio.h>

#include <string>

// Reads the whole file, at most maxBytes; false with a message for the user otherwise.
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::string* data, std::string* error);

// Reads the first line as the launcher does: up to the first line feed, which is dropped
// with a carriage return before it. *tooLong is set when the line exceeds maxChars
// characters (the line is then cut to maxChars).
bool ReadFirstLine(const std::string& path, size_t maxChars, std::string* line, bool* tooLong,
                   std::string* error);

// Writes data to path through a temporary file renamed into place, so a failed write
// never leaves half a file; "-" writes to standard output.
bool WriteWholeFile(const std::string& path, const std::string& data, std::string* error);

// Per system (file_io_posix.cpp, file_io_windows.cpp) from here on.

// Creates a new file holding data, readable and writable by its owner only (mode 0600; on
// Windows an access list naming the owner alone); never replaces an existing file.
bool CreatePrivateFile(const std::string& path, const std::string& data, std::string* error);

// Standard input and output start in text mode on Windows, which would drop the CR of
// CR LF and stop reading at a 0x1A byte; the list passes as bytes on every system.
void SetBinaryMode(FILE* stream);

// Moves the finished temporary file over the old one in one step where the system can;
// false with an errno value in *code otherwise.
bool ReplaceWithTemporary(const std::string& from, const std::string& to, int* code);
