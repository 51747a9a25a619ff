// The tool's command-line handling shared by its commands.
#pragma once

#include <string>
#include <vector>

// Exit codes: 0 done, 1 the list or file has a problem, 2 a usage or file-access error.
constexpr int ExitOk = 0;
constexpr int ExitProblem = 1;
constexpr int ExitUsage = 2;

struct CommandOptions {
  std::string input;
  std::string output = "-";
  bool upper = false;
  bool force = false;  // encode: seal a list that check finds problems in
  bool help = false;
};

// Reads one input, -o FILE (when allowOutput), --upper and --force (when encodeOptions). On a fault
// prints one message and a hint to standard error and returns false.
bool ParseCommandOptions(const char* command, const std::vector<std::string>& args,
                         bool allowOutput, bool encodeOptions, CommandOptions* options);

// One line on standard error, prefixed with the program's name.
void ReportError(const std::string& message);

int RunEncode(const std::vector<std::string>& args);
int RunDecode(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);

// The largest envelope the launcher can read: its hexadecimal form must fit the
// 20479 characters of the first line it reads.
constexpr size_t MaxListLineChars = 20479;
constexpr size_t MaxEnvelopeBytes = MaxListLineChars / 2 / 8 * 8;  // 10232
constexpr size_t MaxPayloadBytes = MaxEnvelopeBytes - 10;           // no padding needed
