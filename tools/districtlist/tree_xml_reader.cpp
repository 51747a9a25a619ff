// Cursor operations of the XmlReader over an XmlNode tree.
#include "tree_xml_reader.h"

#include <string.h>

TreeXmlReader::TreeXmlReader() { ResetToTop(); }

int TreeXmlReader::Release(int) { return 0; }

int TreeXmlReader::Initialize(int) { return 1; }

int TreeXmlReader::SetDocument(const char* text) {
  root_.children.clear();
  error_ = XmlParseError();
  int ok = 0;
  if (text == nullptr) {
    error_.line = 1;
    error_.reason = "no document";
  } else {
    ok = ParseXml(text, &root_.children, &error_) ? 1 : 0;
  }
  ResetToTop();
  return ok;
}

int TreeXmlReader::FindElement(const char* name) {
  if (name == nullptr) return 0;
  auto& level = levels_.back();
  const std::vector<XmlNode>& children = level.first->children;
  for (size_t i = static_cast<size_t>(level.second + 1); i < children.size(); ++i) {
    if (children[i].name == name) {
      level.second = static_cast<long>(i);
      return 1;
    }
  }
  return 0;
}

int TreeXmlReader::EnterElement() {
  const XmlNode* current = Current();
  if (current == nullptr) return 0;
  levels_.emplace_back(current, -1);
  return 1;
}

int TreeXmlReader::LeaveElement() {
  if (levels_.size() < 2) return 0;
  levels_.pop_back();  // the parent's place is still the element that was entered
  return 1;
}

int TreeXmlReader::RewindLevel() {
  levels_.back().second = -1;
  return 1;
}

int TreeXmlReader::ResetToTop() {
  levels_.clear();
  levels_.emplace_back(&root_, -1);
  return 1;
}

int TreeXmlReader::GetElementText(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  const XmlNode* current = Current();
  if (current == nullptr) return 0;
  size_t n = current->text.size();
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  memcpy(buffer, current->text.data(), n);
  buffer[n] = '\0';
  return 1;
}

const XmlNode* TreeXmlReader::Current() const {
  const auto& level = levels_.back();
  if (level.second < 0) return nullptr;
  return &level.first->children[static_cast<size_t>(level.second)];
}
