// `districtlist check`: every district as the launcher would store it, and every problem.
#include <stdio.h>
#include <string.h>

#include <memory>

#include "command_line.h"
#include "districts/district_walk.h"
#include "file_io.h"
#include "list_reader.h"

namespace {

const char kHelp[] =
    "Usage: districtlist check LIST.xml\n"
    "Walks an XML district list as the launcher does and lists every district it would\n"
    "store (group, slot and every field) and every problem: malformed XML, no \"District\"\n"
    "element, a district without name, a type other than 2 or 3, more than 20 districts\n"
    "in a group, text longer than the launcher stores. LIST.xml '-' reads standard input.\n"
    "Exit code 0: no problem; 1: problems were found; 2: usage or file error.\n";

class CheckPrinter : public DistrictWalkSink {
 public:
  void OnStored(int32_t group, int slot, DistrictInfo* r) override {
    printf("%s %d: name=\"%s\" version=\"%s\" url=\"%s\" type=%d mart_type=%d oper_status=%d "
           "pinpip=\"%s\"\n",
           group == Dx ? "dx" : "wt", slot, r->name, r->version, r->url, static_cast<int>(r->type),
           static_cast<int>(r->mart_type), static_cast<int>(r->oper_status), r->pinpip);
  }
  void OnProblem(int elementIndex, const char* what) override {
    printf("problem: D element %d: %s\n", elementIndex, what);
    ++problems;
  }
  virtual ~CheckPrinter() = default;

  int problems = 0;
};

}  // namespace

int RunCheck(const std::vector<std::string>& args) {
  CommandOptions options;
  const int early = StartCommand("check", args, 0, kHelp, &options);
  if (early >= 0) return early;
  std::string xml, error;
  if (!ReadWholeFile(options.input, 16u << 20, &xml, &error)) {
    ReportError(error);
    return ExitUsage;
  }
  CheckPrinter printer;
  const size_t zero = xml.find('\0');
  if (zero != std::string::npos) {
    printf("problem: zero byte at offset %zu; the launcher reads the list only up to it\n", zero);
    ++printer.problems;
    xml.resize(zero);
  }
  if (xml.size() > MaxPayloadBytes) {
    printf("problem: %zu bytes; the launcher reads lists of at most %zu\n", xml.size(),
           MaxPayloadBytes);
    ++printer.problems;
  }
  ListReader list = NewListReader();
  corvio::XmlReaderImpl& reader = *list;
  if (!ParseListAsLauncher(reader, xml)) {
    const corvio::XmlParseProblem fault = reader.LastProblem();
    printf("problem: line %d: malformed XML: %s; the launcher sees an empty list\n", fault.line,
           fault.reason);
    fprintf(stderr, "districtlist: %s:%d: malformed XML: %s\n", options.input.c_str(),
            fault.line, fault.reason);
    ++printer.problems;
  } else if (!reader.FindElement("District")) {
    printf("problem: no top-level \"District\" element; the launcher shows no districts\n");
    ++printer.problems;
  }
  std::unique_ptr<DistrictTable> table(new DistrictTable());
  memset(table.get(), 0, sizeof(DistrictTable));
  const DistrictWalkResult counts = WalkDistrictList(reader, *table, printer, true);
  printf("%d in dx, %d in wt, %d problem%s\n", static_cast<int>(counts.dxCount),
         static_cast<int>(counts.wtCount), printer.problems, printer.problems == 1 ? "" : "s");
  return printer.problems > 0 ? ExitProblem : ExitOk;
}
