// Fuzz target for the Windows command-line rules of ShellExecuteA: quoting any arguments
// and splitting the result gives them back, and any text splits into arguments that
// survive the same round trip.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "common/fuzz_support.h"
#include "platform/linux/command_line.h"

namespace {

using zentfuzz::Shown;

std::string Quoted(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += ' ';
    PlatformAppendQuotedArgument(line, args[i].c_str());
  }
  return line;
}

std::string Listed(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& a : args) text += Shown(a) + " ";
  return text;
}

void CheckRoundTrip(const std::vector<std::string>& args, const char* what) {
  const std::string line = Quoted(args);
  const std::vector<std::string> back = PlatformSplitCommandLine(line.c_str());
  FUZZ_CHECK(back == args, std::string(what) + ": " + Listed(args) + "quoted as " + Shown(line) +
                               " splits into " + Listed(back));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The whole input as one command-line text (a C string, so up to its first NUL).
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckRoundTrip(PlatformSplitCommandLine(text.c_str()), "arguments split from text");

  // The input as a list of arguments, each a C string as ShellExecuteA's callers pass them.
  FuzzedDataProvider input(data, size);
  std::vector<std::string> args;
  while (input.remaining_bytes() > 0 && args.size() < 64) {
    std::string arg = input.ConsumeRandomLengthString(512);
    args.push_back(arg.substr(0, arg.find('\0')));
  }
  CheckRoundTrip(args, "arguments");
  return 0;
}
