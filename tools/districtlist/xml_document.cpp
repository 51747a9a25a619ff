// Recursive-descent XML parsing with the tolerance of a non-validating reader: several
// top-level elements are accepted, attributes are read and dropped, DTDs skipped.
#include "xml_document.h"

#include <string.h>

namespace {

constexpr int kMaxDepth = 256;  // deeper nesting is refused rather than overflowing the stack

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
  return !IsSpace(c) && c != '<' && c != '>' && c != '/' && c != '=' && c != '&' &&
         c != '"' && c != '\'' && c != '\0';
}

void AppendUtf8(unsigned long code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  bool Document(std::vector<XmlNode>* top) {
    if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    while (true) {
      SkipSpace();
      if (AtEnd()) break;
      if (!StartsWith("<")) return Fail("text outside the top-level element");
      if (StartsWith("<?")) {
        if (!SkipPast("?>", "unterminated processing instruction")) return false;
      } else if (StartsWith("<!--")) {
        if (!Comment()) return false;
      } else if (StartsWith("<!DOCTYPE")) {
        if (!Doctype()) return false;
      } else if (StartsWith("</")) {
        return Fail("closing tag without an opening tag");
      } else if (StartsWith("<!")) {
        return Fail("unexpected markup outside the top-level element");
      } else {
        top->emplace_back();
        if (!Element(&top->back(), 0)) return false;
      }
    }
    if (top->empty()) return Fail("no element in the document");
    return true;
  }

  XmlParseError error;

 private:
  bool AtEnd() const { return pos_ >= s_.size(); }
  bool StartsWith(const char* prefix) const { return s_.compare(pos_, strlen(prefix), prefix) == 0; }

  void SkipSpace() {
    while (!AtEnd() && IsSpace(s_[pos_])) ++pos_;
  }

  bool Fail(const char* reason) {
    if (error.line == 0) {
      error.line = 1;
      for (size_t i = 0; i < pos_ && i < s_.size(); ++i) error.line += s_[i] == '\n';
      error.reason = reason;
    }
    return false;
  }

  bool SkipPast(const char* end, const char* reason) {
    const size_t found = s_.find(end, pos_);
    if (found == std::string::npos) return Fail(reason);
    pos_ = found + strlen(end);
    return true;
  }

  bool Comment() {
    pos_ += 4;
    const size_t found = s_.find("--", pos_);
    if (found == std::string::npos) return Fail("unterminated comment");
    if (s_.compare(found, 3, "-->") != 0) {
      pos_ = found;
      return Fail("\"--\" inside a comment");
    }
    pos_ = found + 3;
    return true;
  }

  bool Doctype() {
    int brackets = 0;
    for (; !AtEnd(); ++pos_) {
      const char c = s_[pos_];
      if (c == '[') ++brackets;
      if (c == ']') --brackets;
      if (c == '>' && brackets <= 0) {
        ++pos_;
        return true;
      }
    }
    return Fail("unterminated DOCTYPE");
  }

  bool Name(std::string* name) {
    const size_t start = pos_;
    while (!AtEnd() && IsNameChar(s_[pos_])) ++pos_;
    if (pos_ == start) return Fail("missing element or attribute name");
    name->assign(s_, start, pos_ - start);
    return true;
  }

  // Decodes one reference at pos_ ('&') into out.
  bool Reference(std::string* out) {
    const size_t end = s_.find(';', pos_);
    if (end == std::string::npos || end - pos_ > 12) return Fail("'&' without a reference");
    const std::string ref = s_.substr(pos_ + 1, end - pos_ - 1);
    if (ref == "lt") {
      out->push_back('<');
    } else if (ref == "gt") {
      out->push_back('>');
    } else if (ref == "amp") {
      out->push_back('&');
    } else if (ref == "quot") {
      out->push_back('"');
    } else if (ref == "apos") {
      out->push_back('\'');
    } else if (ref.size() >= 2 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      const size_t first = hex ? 2 : 1;
      if (first >= ref.size()) return Fail("empty character reference");
      unsigned long code = 0;
      for (size_t i = first; i < ref.size(); ++i) {
        const char c = ref[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return Fail("bad character reference");
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        if (code > 0x10FFFF) return Fail("character reference out of range");
      }
      if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return Fail("character reference out of range");
      AppendUtf8(code, out);
    } else {
      return Fail("unknown entity");
    }
    pos_ = end + 1;
    return true;
  }

  bool Attributes(bool* selfClosing) {
    while (true) {
      const size_t before = pos_;
      SkipSpace();
      if (AtEnd()) return Fail("unterminated start tag");
      if (StartsWith("/>")) {
        pos_ += 2;
        *selfClosing = true;
        return true;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        *selfClosing = false;
        return true;
      }
      if (pos_ == before) return Fail("attributes must be separated by blanks");
      std::string name;
      if (!Name(&name)) return false;
      SkipSpace();
      if (AtEnd() || s_[pos_] != '=') return Fail("attribute without a value");
      ++pos_;
      SkipSpace();
      if (AtEnd() || (s_[pos_] != '"' && s_[pos_] != '\'')) return Fail("attribute value without quotes");
      const char quote = s_[pos_++];
      while (!AtEnd() && s_[pos_] != quote) {
        if (s_[pos_] == '<') return Fail("'<' in an attribute value");
        std::string ignored;
        if (s_[pos_] == '&') {
          if (!Reference(&ignored)) return false;
        } else {
          ++pos_;
        }
      }
      if (AtEnd()) return Fail("unterminated attribute value");
      ++pos_;
    }
  }

  // Ends a text run. An element's text is all its CDATA sections and text runs in order,
  // except runs of blanks only, with line ends made LF: what the launcher's reader gives.
  static void TakeRun(XmlNode* node, std::string* run, bool* runHasText, bool cdata) {
    if (cdata || *runHasText) {
      for (size_t i = 0; i < run->size(); ++i) {
        const char c = (*run)[i];
        if (c == '\r') {
          node->text.push_back('\n');
          if (i + 1 < run->size() && (*run)[i + 1] == '\n') ++i;
        } else {
          node->text.push_back(c);
        }
      }
    }
    run->clear();
    *runHasText = false;
  }

  bool Element(XmlNode* node, int depth) {
    if (depth >= kMaxDepth) return Fail("elements nested too deeply");
    ++pos_;  // '<'
    if (!Name(&node->name)) return false;
    bool selfClosing = false;
    if (!Attributes(&selfClosing)) return false;
    if (selfClosing) return true;

    std::string run;
    bool runHasText = false;  // judged on the raw text, before references are decoded
    while (true) {
      if (AtEnd()) return Fail("element not closed before the end of the document");
      const char c = s_[pos_];
      if (c == '&') {
        if (!Reference(&run)) return false;
        runHasText = true;
        continue;
      }
      if (c != '<') {
        run.push_back(c);
        runHasText = runHasText || !IsSpace(c);
        ++pos_;
        continue;
      }
      TakeRun(node, &run, &runHasText, false);
      if (StartsWith("</")) {
        pos_ += 2;
        std::string name;
        if (!Name(&name)) return false;
        if (name != node->name) return Fail("closing tag does not match the opening tag");
        SkipSpace();
        if (AtEnd() || s_[pos_] != '>') return Fail("unterminated closing tag");
        ++pos_;
        return true;
      }
      if (StartsWith("<![CDATA[")) {
        pos_ += 9;
        const size_t end = s_.find("]]>", pos_);
        if (end == std::string::npos) return Fail("unterminated CDATA section");
        run.assign(s_, pos_, end - pos_);
        pos_ = end + 3;
        TakeRun(node, &run, &runHasText, true);
      } else if (StartsWith("<!--")) {
        if (!Comment()) return false;
      } else if (StartsWith("<?")) {
        if (!SkipPast("?>", "unterminated processing instruction")) return false;
      } else if (StartsWith("<!")) {
        return Fail("unexpected markup inside an element");
      } else {
        node->children.emplace_back();
        if (!Element(&node->children.back(), depth + 1)) return false;
      }
    }
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

bool ParseXml(const std::string& text, std::vector<XmlNode>* top, XmlParseError* error) {
  top->clear();
  Parser parser(text);
  const bool ok = parser.Document(top);
  if (!ok) top->clear();
  if (error != nullptr) *error = ok ? XmlParseError() : parser.error;
  return ok;
}
