// The framework's XmlReader cursor over a parsed document, so the tool walks a list
// exactly as the launcher does without the framework library.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "components/interfaces.h"
#include "xml_document.h"

class TreeXmlReader final : public XmlReader {
 public:
  TreeXmlReader();
  ~TreeXmlReader() = default;

  int Release(int reserved) override;
  int Initialize(int reserved) override;
  // Loads the document; malformed text gives an empty document and a result of 0.
  int SetDocument(const char* text) override;
  int FindElement(const char* name) override;
  int EnterElement() override;
  int LeaveElement() override;
  int RewindLevel() override;
  int ResetToTop() override;
  int GetElementText(char* buffer, int size) override;

  // Why the last SetDocument gave an empty document (line 0: it did not).
  const XmlParseError& LastError() const { return error_; }

 private:
  const XmlNode* Current() const;

  XmlNode root_;  // its children are the top level
  XmlParseError error_;
  // Each level: the element whose children it is, and the place (-1: before the first).
  std::vector<std::pair<const XmlNode*, long>> levels_;
};
