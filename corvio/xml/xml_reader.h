// The XmlReader (ComponentId 1): a cursor over a parsed document, one level at a time.
// Texts come back as the bytes of the document (GBK stays GBK).
#pragma once

#include <memory>

#include "components/interfaces.h"

namespace corvio {

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

  struct Doc;

 private:
  ~XmlReaderImpl();
  std::unique_ptr<Doc> doc_;
};

}  // namespace corvio
