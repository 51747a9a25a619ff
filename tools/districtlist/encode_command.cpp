// `districtlist encode`: an XML district list into the one-line encrypted list file.
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "command_line.h"
#include "districts/envelope.h"
#include "districts/hex.h"
#include "file_io.h"
#include "list_reader.h"

namespace {

const char kHelp[] =
    "Usage: districtlist encode LIST.xml [-o FILE] [--upper] [--force] [--sign KEYFILE]\n"
    "Encrypts an XML district list into the one-line hexadecimal list file that the\n"
    "launcher downloads. Every run draws fresh random header bits, padding and salt.\n"
    "  -o FILE   write to FILE instead of standard output ('-' is standard output)\n"
    "  --upper   write uppercase hexadecimal digits (default lowercase)\n"
    "  --force   encode even a list that 'districtlist check' finds problems in\n"
    "  --sign KEYFILE  also sign the list with KEYFILE (see 'districtlist keygen') into\n"
    "            FILE.sig, written after FILE; needs -o FILE\n"
    "LIST.xml '-' reads standard input. The list must be well-formed XML without zero\n"
    "bytes and small enough for the launcher to read (at most 10222 bytes). A list that\n"
    "'districtlist check' reports problems in is refused, with check's words (exit 1).\n";

}  // namespace

int RunEncode(const std::vector<std::string>& args) {
  CommandOptions options;
  const int early = StartCommand("encode", args, OptionOutput | OptionEncode | OptionSign, kHelp, &options);
  if (early >= 0) return early;
  if (!options.key.empty() && options.output == "-") {
    ReportError("encode --sign needs -o FILE: the signature goes to FILE.sig");
    return ExitUsage;
  }
  std::string xml, error;
  if (!ReadWholeFile(options.input, 1 << 20, &xml, &error)) {
    ReportError(error);
    return ExitUsage;
  }
  const size_t zero = xml.find('\0');
  if (zero != std::string::npos) {
    ReportError(options.input + ": zero byte at offset " + std::to_string(zero) +
                "; the launcher would end the list there");
    return ExitProblem;
  }
  ListReader reader = NewListReader();
  if (!ParseListAsLauncher(*reader, xml)) {
    const corvio::XmlParseProblem fault = reader->LastProblem();
    ReportError(options.input + ":" + std::to_string(fault.line) + ": malformed XML: " +
                fault.reason);
    return ExitProblem;
  }
  // What check calls a problem is refused here too: an operator must not publish a list
  // whose districts the launcher would drop.
  const DistrictListReport report = CheckDistrictList(*reader, nullptr);
  if (!report.problems.empty() && !options.force) {
    for (const std::string& problem : report.problems) fprintf(stderr, "problem: %s\n", problem.c_str());
    ReportError(options.input + ": " + std::to_string(report.problems.size()) +
                (report.problems.size() == 1 ? " problem" : " problems") +
                " (see 'districtlist check'); not encoded (--force encodes it all the same)");
    return ExitProblem;
  }
  if (xml.size() > MaxPayloadBytes) {
    ReportError(options.input + ": " + std::to_string(xml.size()) +
                " bytes; the launcher reads lists of at most " + std::to_string(MaxPayloadBytes));
    return ExitProblem;
  }
  // Signed before anything is written, so a key that does not read leaves no unsigned list.
  std::string signature;
  if (!options.key.empty()) {
    const int code = SignWithKeyFile(xml, options.key, &signature);
    if (code != ExitOk) return code;
  }
  std::string cipher;
  if (!SealEnvelope(xml, DistrictListKey().data(), &cipher)) {
    ReportError("no random source available to seal the list");
    return ExitProblem;
  }
  std::string line = HexEncode(reinterpret_cast<const unsigned char*>(cipher.data()),
                               static_cast<int16_t>(cipher.size()));
  if (options.upper) {
    for (char& c : line) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  }
  line.push_back('\n');
  if (!WriteWholeFile(options.output, line, &error) ||
      (!options.key.empty() && !WriteWholeFile(options.output + ".sig", signature, &error))) {
    ReportError(error);
    return ExitUsage;
  }
  return ExitOk;
}
