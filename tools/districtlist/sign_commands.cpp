// `districtlist keygen`, `sign` and `verify`: the operator's Ed25519 key and the signature
// file published beside the list, which the launcher checks when it holds the public key.
#include <stdio.h>

#include <string>

#include "command_line.h"
#include "districts/hex.h"
#include "districts/list_signature.h"
#include "file_io.h"

namespace {

const char kKeygenHelp[] =
    "Usage: districtlist keygen -o KEYFILE\n"
    "Makes a new signing key: KEYFILE gets one line, the 32-byte secret seed as 64\n"
    "hexadecimal digits, readable by its owner only; an existing file is never replaced.\n"
    "Standard output gets the public key (64 hexadecimal digits): the value of\n"
    "ListPublicKey in section [Public] of the launcher's Config\\rudadever.ini.\n"
    "Keep KEYFILE off the download server.\n";

const char kSignHelp[] =
    "Usage: districtlist sign LISTFILE --key KEYFILE [-o SIGFILE]\n"
    "Signs a list file (as made by 'districtlist encode') with the key of 'districtlist\n"
    "keygen'. What is signed is the list's XML text, so the signature survives another\n"
    "encoding of the same XML. SIGFILE (default LISTFILE.sig; '-' is standard output)\n"
    "gets 128 hexadecimal digits and a line feed; upload it beside the list. A list that\n"
    "does not open is refused (exit 1).\n";

const char kVerifyHelp[] =
    "Usage: districtlist verify LISTFILE --public HEX [--sig SIGFILE]\n"
    "Checks the signature of a list file as the launcher does: HEX is the public key\n"
    "(ListPublicKey), SIGFILE defaults to LISTFILE.sig. Exit code 0: the signature holds;\n"
    "1: it does not, with one line saying why; 2: usage or file error.\n";

// Reads the one-line key file into seed; false after a message.
bool ReadKeyFile(const std::string& path, unsigned char seed[ListSeedBytes]) {
  std::string text, error;
  if (!ReadWholeFile(path, MaxSignatureFileBytes, &text, &error)) {
    ReportError(error);
    return false;
  }
  const bool parsed = ParseHexLine(text, seed, ListSeedBytes);
  WipeSecret(&text[0], text.size());
  if (!parsed) ReportError(path + ": not a key file (one line of 64 hexadecimal digits)");
  return parsed;
}

}  // namespace

int SignWithKeyFile(const std::string& xml, const std::string& keyFile, std::string* signature) {
  unsigned char seed[ListSeedBytes];
  if (!ReadKeyFile(keyFile, seed)) return ExitUsage;
  const bool signedOk = SignList(xml, seed, signature);
  WipeSecret(seed, sizeof seed);
  if (signedOk) return ExitOk;
  ReportError("cannot sign: the signature library failed");
  return ExitProblem;
}

int RunKeygen(const std::vector<std::string>& args) {
  CommandOptions options;
  const int early = StartCommand("keygen", args, OptionOutput | OptionNoInput, kKeygenHelp, &options);
  if (early >= 0) return early;
  if (options.output == "-") {
    ReportError("keygen needs -o KEYFILE (the secret key never goes to standard output)");
    return ExitUsage;
  }
  unsigned char seed[ListSeedBytes];
  unsigned char publicKey[ListPublicKeyBytes];
  if (!NewListSeed(seed) || !ListPublicKeyOf(seed, publicKey)) {
    WipeSecret(seed, sizeof seed);
    ReportError("cannot make a key: the signature library failed");
    return ExitProblem;
  }
  std::string text = HexEncode(seed, static_cast<int16_t>(sizeof seed)) + "\n";
  WipeSecret(seed, sizeof seed);
  std::string error;
  const bool created = CreatePrivateFile(options.output, text, &error);
  WipeSecret(&text[0], text.size());
  if (!created) {
    ReportError(error);
    return ExitUsage;
  }
  printf("%s\n", HexEncode(publicKey, static_cast<int16_t>(sizeof publicKey)).c_str());
  return ExitOk;
}

int RunSign(const std::vector<std::string>& args) {
  CommandOptions options;
  options.output.clear();  // to tell the default from "-o -"
  const int early = StartCommand("sign", args, OptionOutput | OptionKey, kSignHelp, &options);
  if (early >= 0) return early;
  if (options.key.empty()) {
    ReportError("sign needs --key KEYFILE");
    return ExitUsage;
  }
  // Beside the list by default; a list from standard input signs to standard output.
  const std::string sigFile = !options.output.empty() ? options.output
                              : options.input == "-"  ? "-"
                                                      : options.input + ".sig";
  std::string xml, signature, error;
  int code = OpenListFile(options.input, &xml);
  if (code == ExitOk) code = SignWithKeyFile(xml, options.key, &signature);
  if (code != ExitOk) return code;
  if (!WriteWholeFile(sigFile, signature, &error)) {
    ReportError(error);
    return ExitUsage;
  }
  return ExitOk;
}

int RunVerify(const std::vector<std::string>& args) {
  CommandOptions options;
  const int early = StartCommand("verify", args, OptionPublic | OptionSig, kVerifyHelp, &options);
  if (early >= 0) return early;
  unsigned char publicKey[ListPublicKeyBytes];
  if (!ParseHexBytes(options.publicKey, publicKey, sizeof publicKey)) {
    ReportError("verify needs --public HEX, the public key as 64 hexadecimal digits");
    return ExitUsage;
  }
  const std::string sigFile = options.signature.empty() ? options.input + ".sig" : options.signature;
  std::string xml, signature, error;
  const int opened = OpenListFile(options.input, &xml);
  if (opened != ExitOk) return opened;
  SignatureProblem problem = SignatureProblem::Missing;
  if (ReadWholeFile(sigFile, MaxSignatureFileBytes, &signature, &error)) {
    problem = CheckListSignature(xml, signature, publicKey);
  } else if (FILE* exists = fopen(sigFile.c_str(), "rb")) {
    fclose(exists);  // there, but unreadable or larger than a signature file can be
    problem = SignatureProblem::Malformed;
  }
  if (problem != SignatureProblem::None) {
    ReportError(options.input + ": " + SignatureProblemText(problem) + " in " + sigFile);
    return ExitProblem;
  }
  printf("%s: the signature holds\n", options.input.c_str());
  return ExitOk;
}
