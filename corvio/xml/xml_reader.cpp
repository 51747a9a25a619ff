// XmlReader on pugixml: the level is an element (or the document), the place on it the
// current child; a missing place means "before the first element". The framework and the
// district list tool both build this file, so the tool's verdict is the launcher's reading.
#include "corvio/xml/xml_reader.h"

#include <string.h>

#include <pugixml.hpp>

#include "corvio/report.h"

namespace corvio {

struct XmlReaderImpl::Doc {
  pugi::xml_document document;
  pugi::xml_node level;    // whose children are the current level
  pugi::xml_node current;  // null: before the level's first element
};

XmlReaderImpl::XmlReaderImpl() : doc_(new Doc) { doc_->level = doc_->document; }

XmlReaderImpl::~XmlReaderImpl() = default;

int XmlReaderImpl::Release(int) {
  delete this;
  return 0;
}

int XmlReaderImpl::SetDocument(const char* text) {
  Doc& d = *doc_;
  d.document.reset();
  d.level = d.document;
  d.current = pugi::xml_node();
  problem_ = {0, nullptr};
  if (!text) {
    problem_ = {1, "no document"};
    return 0;
  }
  const size_t length = strlen(text);
  const int loaded = Guarded([&] {
    // Declared UTF-8 so that pugixml copies every byte as it is and never converts; the
    // characters that matter to XML are ASCII, which no GBK trail byte can be.
    pugi::xml_parse_result result =
        d.document.load_buffer(text, length, pugi::parse_default, pugi::encoding_utf8);
    if (result) return 1;
    // The offset counts bytes of the text as given, since nothing was converted.
    const size_t end = result.offset >= 0 && static_cast<size_t>(result.offset) < length
                           ? static_cast<size_t>(result.offset)
                           : length;
    int line = 1;
    for (size_t i = 0; i < end; ++i) line += text[i] == '\n';
    problem_ = {line, result.description()};
    return 0;
  }, -1);
  if (loaded <= 0) {
    if (loaded < 0) problem_ = {1, "out of memory"};
    d.document.reset();
    return 0;
  }
  d.level = d.document;
  return 1;
}

int XmlReaderImpl::FindElement(const char* name) {
  if (!name) return 0;
  Doc& d = *doc_;
  pugi::xml_node node = d.current ? d.current.next_sibling() : d.level.first_child();
  for (; node; node = node.next_sibling()) {
    if (node.type() == pugi::node_element && strcmp(node.name(), name) == 0) {
      d.current = node;
      return 1;
    }
  }
  return 0;  // the place stays where it was
}

int XmlReaderImpl::EnterElement() {
  Doc& d = *doc_;
  if (!d.current) return 0;
  d.level = d.current;
  d.current = pugi::xml_node();
  return 1;
}

int XmlReaderImpl::LeaveElement() {
  Doc& d = *doc_;
  if (d.level == d.document) return 0;
  d.current = d.level;
  d.level = d.level.parent();
  return 1;
}

int XmlReaderImpl::RewindLevel() {
  doc_->current = pugi::xml_node();
  return 1;
}

int XmlReaderImpl::ResetToTop() {
  doc_->level = doc_->document;
  doc_->current = pugi::xml_node();
  return 1;
}

int XmlReaderImpl::GetElementText(char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  pugi::xml_node node = doc_->current;
  if (!node) return 0;
  // The element's own text: its direct text and CDATA children, in order.
  size_t used = 0;
  const size_t room = static_cast<size_t>(size) - 1;
  for (pugi::xml_node child = node.first_child(); child && used < room;
       child = child.next_sibling()) {
    if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) continue;
    const char* value = child.value();
    size_t n = strlen(value);
    if (n > room - used) n = room - used;
    memcpy(buffer + used, value, n);
    used += n;
  }
  buffer[used] = '\0';
  return static_cast<int>(used);
}

}  // namespace corvio
