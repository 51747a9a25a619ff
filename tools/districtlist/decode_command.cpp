// `districtlist decode`: the list file back into the XML text the launcher would parse;
// the same opening serves sign and verify.
#include <stdio.h>

#include "command_line.h"
#include "districts/envelope.h"
#include "districts/hex.h"
#include "file_io.h"

namespace {

const char kHelp[] =
    "Usage: districtlist decode FILE [-o LIST.xml]\n"
    "Decrypts a district list file and writes its XML text exactly as the launcher sees\n"
    "it. The first line is read as the launcher reads it (its CR LF or LF dropped).\n"
    "  -o LIST.xml   write to LIST.xml instead of standard output ('-' is standard output)\n"
    "FILE '-' reads standard input. A damaged file is named with its fault on standard\n"
    "error and gives exit code 1.\n";

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// What in the text itself may explain a failure: stray characters or an odd length.
std::string TextHint(const std::string& line) {
  size_t stray = 0, first = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (!IsHexDigit(line[i]) && stray++ == 0) first = i + 1;
  }
  std::string hint;
  if (stray > 0) {
    hint = "; the line holds " + std::to_string(stray) +
           " characters that are not hexadecimal digits, the first at column " +
           std::to_string(first);
  }
  if (line.size() % 2 != 0) hint += "; the line has an odd number of characters";
  return hint;
}

}  // namespace

int OpenListFile(const std::string& path, std::string* xml) {
  std::string line, error;
  bool tooLong = false;
  if (!ReadFirstLine(path, MaxListLineChars, &line, &tooLong, &error)) {
    ReportError(error);
    return ExitUsage;
  }
  if (tooLong) {
    ReportError(path + ": damaged district list: the first line is longer than the " +
                std::to_string(MaxListLineChars) + " characters the launcher reads");
    return ExitProblem;
  }
  EnvelopeError reason = EnvelopeError::None;
  if (!DecryptDistrictList(line, xml, &reason)) {
    const size_t bytes = line.size() / 2;
    ReportError(path + ": damaged district list: " + EnvelopeErrorText(reason) + " (" +
                std::to_string(bytes) + " bytes from " + std::to_string(line.size()) +
                " characters" + TextHint(line) + ")");
    return ExitProblem;
  }
  return ExitOk;
}

int RunDecode(const std::vector<std::string>& args) {
  CommandOptions options;
  const int early = StartCommand("decode", args, OptionOutput, kHelp, &options);
  if (early >= 0) return early;
  std::string xml, error;
  const int opened = OpenListFile(options.input, &xml);
  if (opened != ExitOk) return opened;
  if (!WriteWholeFile(options.output, xml, &error)) {
    ReportError(error);
    return ExitUsage;
  }
  return ExitOk;
}
