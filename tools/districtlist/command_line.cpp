// Option parsing and error reporting for the district list tool.
#include "command_line.h"

#include <stdio.h>

void ReportError(const std::string& message) {
  fprintf(stderr, "districtlist: %s\n", message.c_str());
}

bool ParseCommandOptions(const char* command, const std::vector<std::string>& args,
                         bool allowOutput, bool encodeOptions, CommandOptions* options) {
  bool haveInput = false;
  bool haveOutput = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string fault;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    } else if (allowOutput && arg == "-o") {
      if (haveOutput) {
        fault = "-o given twice";
      } else if (i + 1 >= args.size()) {
        fault = "-o needs a file name";
      } else {
        options->output = args[++i];
        haveOutput = true;
      }
    } else if (encodeOptions && arg == "--upper") {
      options->upper = true;
    } else if (encodeOptions && arg == "--force") {
      options->force = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      fault = "unknown option '" + arg + "'";
    } else if (haveInput) {
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
  if (!haveInput) {
    fprintf(stderr, "districtlist %s: no input file given ('-' reads standard input)\n"
                    "Try 'districtlist %s --help'.\n", command, command);
    return false;
  }
  return true;
}
