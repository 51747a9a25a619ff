// A small XML parser for the district list tool: elements and their character data only.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct XmlNode {
  std::string name;
  std::string text;  // CDATA and non-blank text runs joined, entities decoded, LF line ends
  std::vector<XmlNode> children;
};

struct XmlParseError {
  int line = 0;  // 1-based line of the fault, 0 when there is none
  std::string reason;
};

// Parses text into the top-level elements of a document. Bytes outside markup pass
// through untouched (GBK text); numeric references become UTF-8. On malformed input
// returns false, leaves *top empty and says where in *error.
bool ParseXml(const std::string& text, std::vector<XmlNode>* top, XmlParseError* error);
