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
  std::string key;        // sign --key KEYFILE, encode --sign KEYFILE
  std::string publicKey;  // verify --public HEX
  std::string signature;  // verify --sig SIGFILE
};

// Which options a command takes besides its one input.
enum CommandOption : unsigned {
  OptionOutput = 1,   // -o FILE
  OptionEncode = 2,   // --upper, --force
  OptionSign = 4,     // --sign KEYFILE
  OptionKey = 8,      // --key KEYFILE
  OptionPublic = 16,  // --public HEX
  OptionSig = 32,     // --sig SIGFILE
  OptionNoInput = 64, // no input file at all
};

// Every command's opening: reads one input and the options `allowed` names, and answers
// --help. -1 when the command goes on, else the exit code to return at once (a fault
// gets one message and a hint on standard error).
int StartCommand(const char* command, const std::vector<std::string>& args, unsigned allowed,
                 const char* help, CommandOptions* options);

// One line on standard error, prefixed with the program's name.
void ReportError(const std::string& message);

// Opens a list file as the launcher does (its first line, decrypted) into its XML text.
// ExitOk, or the exit code after one message on standard error.
int OpenListFile(const std::string& path, std::string* xml);

// Signs the list's XML text with the seed of a key file into the signature file's text.
// ExitOk, or the exit code after one message on standard error.
int SignWithKeyFile(const std::string& xml, const std::string& keyFile, std::string* signature);

int RunEncode(const std::vector<std::string>& args);
int RunDecode(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunKeygen(const std::vector<std::string>& args);
int RunSign(const std::vector<std::string>& args);
int RunVerify(const std::vector<std::string>& args);

// The largest envelope the launcher can read: its hexadecimal form must fit the
// 20479 characters of the first line it reads.
constexpr size_t MaxListLineChars = 20479;
constexpr size_t MaxEnvelopeBytes = MaxListLineChars / 2 / 8 * 8;  // 10232
constexpr size_t MaxPayloadBytes = MaxEnvelopeBytes - 10;           // no padding needed
