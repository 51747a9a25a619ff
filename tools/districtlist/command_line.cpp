// Option parsing and error reporting for the district list tool.
#include "command_line.h"

#include <stdio.h>

void ReportError(const std::string& message) {
  fprintf(stderr, "districtlist: %s\n", message.c_str());
}

namespace {

// Reads one input and the options `allowed` names. On a fault prints one message and a
// hint to standard error and returns false.
bool ParseCommandOptions(const char* command, const std::vector<std::string>& args,
                         unsigned allowed, CommandOptions* options) {
  // The options that take a value: the flag that allows each, and where it goes.
  struct ValuedOption {
    const char* name;
    unsigned flag;
    std::string* value;
    const char* what;
  };
  const ValuedOption valued[] = {
      {"-o", OptionOutput, &options->output, "a file name"},
      {"--sign", OptionSign, &options->key, "a key file"},
      {"--key", OptionKey, &options->key, "a key file"},
      {"--public", OptionPublic, &options->publicKey, "the public key"},
      {"--sig", OptionSig, &options->signature, "a signature file"}};
  unsigned given = 0;
  bool haveInput = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string fault;
    const ValuedOption* option = nullptr;
    for (const ValuedOption& candidate : valued) {
      if ((allowed & candidate.flag) && arg == candidate.name) option = &candidate;
    }
    if (option) {
      if (given & option->flag) {
        fault = arg + " given twice";
      } else if (i + 1 >= args.size()) {
        fault = arg + " needs " + option->what;
      } else {
        *option->value = args[++i];
        given |= option->flag;
      }
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    } else if ((allowed & OptionEncode) && arg == "--upper") {
      options->upper = true;
    } else if ((allowed & OptionEncode) && arg == "--force") {
      options->force = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      fault = "unknown option '" + arg + "'";
    } else if (haveInput || (allowed & OptionNoInput)) {
      fault = "more than one input file ('" + options->input + "', '" + arg + "')";
    } else {
      options->input = arg;
      haveInput = true;
    }
    if (!fault.empty()) {
      fprintf(stderr, "districtlist %s: %s\nTry 'districtlist %s --help'.\n", command,
              fault.c_str(), command);
      return false;
    }
  }
  if (!haveInput && !(allowed & OptionNoInput)) {
    fprintf(stderr, "districtlist %s: no input file given ('-' reads standard input)\n"
                    "Try 'districtlist %s --help'.\n", command, command);
    return false;
  }
  return true;
}

}  // namespace

int StartCommand(const char* command, const std::vector<std::string>& args, unsigned allowed,
                 const char* help, CommandOptions* options) {
  if (!ParseCommandOptions(command, args, allowed, options)) return ExitUsage;
  if (options->help) {
    fputs(help, stdout);
    return ExitOk;
  }
  return -1;
}
