// Loading the district list into the reader and checking it with the launcher's own walk.
#include "districts/list_document.h"

#include <memory>

namespace {

// Collects the walk's problems in the tool's words and passes everything on.
class ProblemCollector : public DistrictWalkSink {
 public:
  ProblemCollector(DistrictWalkSink* next, std::vector<std::string>* problems)
      : next_(next), problems_(problems) {}
  void OnStored(int32_t group, int slot, DistrictInfo* record) override {
    if (next_) next_->OnStored(group, slot, record);
  }
  void OnProblem(int elementIndex, const char* what) override {
    problems_->push_back("D element " + std::to_string(elementIndex) + ": " + what);
    if (next_) next_->OnProblem(elementIndex, what);
  }
  void OnUnusableAddress(int elementIndex, const char* name, const char* url) override {
    if (next_) next_->OnUnusableAddress(elementIndex, name, url);
  }
  virtual ~ProblemCollector() = default;

 private:
  DistrictWalkSink* next_;
  std::vector<std::string>* problems_;
};

}  // namespace

bool HasDistrictRoot(XmlReader& reader) {
  reader.ResetToTop();
  const bool found = reader.FindElement("District") != 0;
  reader.ResetToTop();
  return found;
}

bool LoadDistrictList(XmlReader& reader, const std::string& xml) {
  const std::string text = GbkFromCharacterReferences(xml);
  const bool parsed = reader.SetDocument(text.c_str()) != 0;
  return parsed && HasDistrictRoot(reader);
}

DistrictListReport CheckDistrictList(XmlReader& reader, DistrictWalkSink* sink) {
  DistrictListReport report = {0, 0, {}};
  if (!HasDistrictRoot(reader))
    report.problems.push_back("no top-level \"District\" element; the launcher shows no districts");
  // 17 KB of records: on the heap, all zero as the launcher's table starts.
  std::unique_ptr<DistrictTable> table(new DistrictTable());
  ProblemCollector collector(sink, &report.problems);
  const DistrictWalkResult counts = WalkDistrictList(reader, *table, collector, true);
  report.dxCount = counts.dxCount;
  report.wtCount = counts.wtCount;
  return report;
}
