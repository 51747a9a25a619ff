// The operator's tool for the district list file: encode, decode, check, and the signature.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

const char kUsage[] =
    "Usage: districtlist COMMAND [ARGS]\n"
    "The operator's tool for the launcher's encrypted district list file.\n"
    "  encode LIST.xml [-o FILE] [--upper] [--sign KEYFILE]\n"
    "                                        XML list -> one-line list file (and signature)\n"
    "  decode FILE [-o LIST.xml]             list file -> XML text\n"
    "  check LIST.xml                        list every district and every problem\n"
    "  keygen -o KEYFILE                     new signing key; public key on standard output\n"
    "  sign FILE --key KEYFILE [-o SIGFILE]  list file -> its signature file (FILE.sig)\n"
    "  verify FILE --public HEX [--sig SIGFILE]  does the signature hold?\n"
    "'-' names standard input or output. 'districtlist COMMAND --help' tells more.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs(kUsage, stderr);
    return ExitUsage;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    fputs(kUsage, stdout);
    return ExitOk;
  }
  if (command == "encode") return RunEncode(args);
  if (command == "decode") return RunDecode(args);
  if (command == "check") return RunCheck(args);
  if (command == "keygen") return RunKeygen(args);
  if (command == "sign") return RunSign(args);
  if (command == "verify") return RunVerify(args);
  fprintf(stderr, "districtlist: unknown command '%s'\nTry 'districtlist --help'.\n",
          command.c_str());
  return ExitUsage;
}
