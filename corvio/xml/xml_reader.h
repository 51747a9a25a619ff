// The XmlReader (ComponentId 1): a cursor over a parsed document, one level at a time.
// Texts come back as the bytes of the document (GBK stays GBK).
#pragma once

#include <memory>

#include "components/interfaces.h"

namespace corvio {

// Why a document gave an empty one: the parser's reason and the 1-based line it stopped
// on. A reason of null means the last document parsed.
struct XmlParseProblem {
  int line;
  const char* reason;  // static text, valid for the life of the program
};

class XmlReaderImpl final : public XmlReader {
 public:
  XmlReaderImpl();
  int Release(int) override;
  int Initialize(int) override { return 0; }
  // Malformed or empty text gives an empty document; returns 1 when the text parsed.
  int SetDocument(const char* text) override;
  int FindElement(const char* name) override;
  int EnterElement() override;  // 0 when there is no current element
  int LeaveElement() override;  // 0 at the top level
  int RewindLevel() override;
  int ResetToTop() override;
  // Returns the number of bytes copied (without the NUL).
  int GetElementText(char* buffer, int size) override;

  // What the last SetDocument found wrong; the district list tool reports it.
  XmlParseProblem LastProblem() const { return problem_; }

  struct Doc;

 private:
  ~XmlReaderImpl();
  std::unique_ptr<Doc> doc_;
  XmlParseProblem problem_ = {0, nullptr};
};

}  // namespace corvio
