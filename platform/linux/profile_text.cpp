// Profile file text: line parsing, lookups and edits with the rules Windows applies.
#include "platform/linux/profile_text.h"

#include <utility>

#include "platform/linux/gbk_chars.h"

namespace {

bool IsBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }
char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

size_t ProfileText::CharLength(const std::string& text, size_t i) const {
  return encoding_ == Encoding::Gbk ? GbkCharLength(text.data(), text.size(), i) : 1;
}

bool ProfileText::NamesEqual(const std::string& a, const std::string& b) const {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t length = CharLength(a, i);
    if (length == 2) {
      // A double-byte character matches only itself: its trail byte is no letter.
      if (a.compare(i, 2, b, i, 2) != 0) return false;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
    i += length;
  }
  return true;
}

bool ProfileText::Contains(const std::vector<std::string>& names, const std::string& name) const {
  for (const std::string& n : names) {
    if (NamesEqual(n, name)) return true;
  }
  return false;
}

size_t ProfileText::LastCloseBracket(const std::string& text) const {
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size();) {
    const size_t length = CharLength(text, i);
    if (length == 1 && text[i] == ']') found = i;
    i += length;
  }
  return found;
}

std::string ProfileText::Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

ProfileText::ProfileText(std::string bytes, Encoding encoding)
    : encoding_(encoding), text_(std::move(bytes)) {}

template <typename Visit>
void ProfileText::EachLine(Visit visit) const {
  if (split_) {
    for (const Line& line : lines_) {
      if (!visit(line.text)) return;
    }
    return;
  }
  std::string line;
  for (size_t i = 0; i < text_.size();) {
    size_t end = text_.find_first_of("\r\n", i);
    if (end == std::string::npos) end = text_.size();
    line.assign(text_, i, end - i);
    if (!visit(line)) return;
    i = end;
    if (i < text_.size()) i += (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') ? 2 : 1;
  }
}

void ProfileText::Split() {
  if (split_) return;
  Line line;
  for (size_t i = 0; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c != '\r' && c != '\n') {
      line.text += c;
      continue;
    }
    if (c == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') {
      line.ending = "\r\n";
      ++i;
    } else {
      line.ending = std::string(1, c);
    }
    lines_.push_back(line);
    line = Line();
  }
  if (!line.text.empty()) lines_.push_back(line);
  std::string().swap(text_);
  split_ = true;
}

ProfileText::Parsed ProfileText::Parse(const std::string& text) const {
  Parsed out;
  const std::string line = Trim(text);
  if (line.empty() || line[0] == ';') return out;
  if (line[0] == '[') {
    // Without a closing bracket the line is an ordinary line, not a header.
    const size_t close = LastCloseBracket(line);
    if (close == std::string::npos) return out;
    out.kind = Kind::Section;
    out.name = Trim(line.substr(1, close - 1));
    return out;
  }
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return out;
  out.kind = Kind::Key;
  out.name = Trim(line.substr(0, equals));
  out.value = Trim(line.substr(equals + 1));
  return out;
}

long ProfileText::FindSection(const std::string& section) const {
  const std::string wanted = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Parsed p = Parse(lines_[i].text);
    if (p.kind == Kind::Section && NamesEqual(p.name, wanted)) return static_cast<long>(i);
  }
  return -1;
}

size_t ProfileText::SectionEnd(size_t header) const {
  for (size_t i = header + 1; i < lines_.size(); ++i) {
    if (Parse(lines_[i].text).kind == Kind::Section) return i;
  }
  return lines_.size();
}

template <typename Visit>
bool ProfileText::EachKeyOf(const std::string& section, Visit visit) const {
  const std::string wanted = Trim(section);
  bool inside = false;
  bool found = false;
  // Only the first section of the name is searched; the next header ends it.
  EachLine([&](const std::string& text) {
    const Parsed p = Parse(text);
    if (p.kind == Kind::Section) {
      if (inside) return false;
      inside = found = NamesEqual(p.name, wanted);
      return true;
    }
    return !inside || p.kind != Kind::Key || visit(p);
  });
  return found;
}

bool ProfileText::FindValue(const std::string& section, const std::string& key,
                            std::string* value) const {
  const std::string wanted = Trim(key);
  bool found = false;
  EachKeyOf(section, [&](const Parsed& p) {
    if (!NamesEqual(p.name, wanted)) return true;
    const std::string& v = p.value;
    const bool quoted = v.size() > 1 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0];
    *value = quoted ? v.substr(1, v.size() - 2) : v;
    found = true;
    return false;
  });
  return found;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  EachLine([&](const std::string& text) {
    const Parsed p = Parse(text);
    if (p.kind == Kind::Section && !Contains(names, p.name)) names.push_back(p.name);
    return true;
  });
  return names;
}

bool ProfileText::KeyNames(const std::string& section, std::vector<std::string>* keys) const {
  return EachKeyOf(section, [&](const Parsed& p) {
    if (!Contains(*keys, p.name)) keys->push_back(p.name);
    return true;
  });
}

void ProfileText::SetValue(const std::string& section, const std::string& key,
                           const std::string& value) {
  Split();
  const std::string sectionName = Trim(section);
  const std::string keyName = Trim(key);
  const long header = FindSection(sectionName);
  if (header < 0) {
    // A new section goes at the very end, with no blank line before it.
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = "\r\n";
    lines_.push_back(Line{"[" + sectionName + "]", "\r\n"});
    lines_.push_back(Line{keyName + "=" + value, "\r\n"});
    return;
  }
  const size_t end = SectionEnd(static_cast<size_t>(header));
  size_t insertAfter = static_cast<size_t>(header);
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    const Parsed p = Parse(lines_[i].text);
    if (p.kind != Kind::Key) continue;
    if (NamesEqual(p.name, keyName)) {
      lines_[i].text = p.name + "=" + value;  // the key keeps the spelling it has
      return;
    }
    insertAfter = i;
  }
  if (lines_[insertAfter].ending.empty()) lines_[insertAfter].ending = "\r\n";
  lines_.insert(lines_.begin() + static_cast<long>(insertAfter) + 1,
                Line{keyName + "=" + value, "\r\n"});
}

void ProfileText::DeleteKey(const std::string& section, const std::string& key) {
  Split();
  const long header = FindSection(section);
  if (header < 0) return;
  const std::string wanted = Trim(key);
  size_t end = SectionEnd(static_cast<size_t>(header));
  for (size_t i = static_cast<size_t>(header) + 1; i < end;) {
    const Parsed p = Parse(lines_[i].text);
    if (p.kind == Kind::Key && NamesEqual(p.name, wanted)) {
      lines_.erase(lines_.begin() + static_cast<long>(i));
      --end;
    } else {
      ++i;
    }
  }
}

void ProfileText::DeleteSection(const std::string& section) {
  Split();
  const long header = FindSection(section);
  if (header < 0) return;
  const size_t end = SectionEnd(static_cast<size_t>(header));
  lines_.erase(lines_.begin() + header, lines_.begin() + static_cast<long>(end));
}

std::string ProfileText::Bytes() const {
  if (!split_) return text_;
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.ending;
  }
  return out;
}
