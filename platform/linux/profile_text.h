// The text of one profile (INI) file: lookups with the Windows rules and the edits that
// WritePrivateProfileStringA makes, keeping every other line and byte as it was. The text
// is GBK (an ANSI file) or UTF-8 (a file with a byte-order mark, after conversion).
#pragma once

#include <string>
#include <vector>

class ProfileText {
 public:
  enum class Encoding { Gbk, Utf8 };
  // Gbk: names compare and brackets are found stepping over double-byte characters,
  // whose trail bytes may look like ASCII. Utf8: bytes of non-ASCII characters are all
  // 0x80 or above, so a plain scan is right.
  // Lookups scan the text as it is, line by line, so a read costs little beyond the text;
  // the first edit splits it into lines.
  ProfileText(std::string bytes, Encoding encoding);

  // The value of key in the first section named section (both without regard to case,
  // blanks around them ignored); the first of duplicate keys wins; one pair of matching
  // surrounding quotes is removed. False when there is no such key.
  bool FindValue(const std::string& section, const std::string& key, std::string* value) const;
  // Every section name, in file order, duplicates once.
  std::vector<std::string> SectionNames() const;
  // Every key of the first section named section; false when there is none.
  bool KeyNames(const std::string& section, std::vector<std::string>* keys) const;

  // Replaces the first key's line, or adds "key=value" after the section's last key, or
  // adds the section at the end. New lines end in CR LF.
  void SetValue(const std::string& section, const std::string& key, const std::string& value);
  // Removes every line of key in the first section named section.
  void DeleteKey(const std::string& section, const std::string& key);
  // Removes the first section named section, its header and all its lines.
  void DeleteSection(const std::string& section);

  std::string Bytes() const;

  // Blanks of profile files: 0x09-0x0D, 0x20 and 0x1A, cut from both ends.
  static std::string Trim(const std::string& text);

 private:
  struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n", "\r" or "" for the last line
  };
  enum class Kind { Other, Section, Key };
  struct Parsed {
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
  };
  Parsed Parse(const std::string& text) const;
  // Names without regard to ASCII case; a double-byte character matches only itself.
  bool NamesEqual(const std::string& a, const std::string& b) const;
  bool Contains(const std::vector<std::string>& names, const std::string& name) const;
  // The last ']' that is a character of its own.
  size_t LastCloseBracket(const std::string& text) const;
  // Length of the character at text[i].
  size_t CharLength(const std::string& text, size_t i) const;
  // Index of the header line of the first section named section, or -1.
  long FindSection(const std::string& section) const;
  // One past the last line of the section whose header is at index header.
  size_t SectionEnd(size_t header) const;

  // Calls visit(line text) for each line in order until it returns false.
  template <typename Visit>
  void EachLine(Visit visit) const;
  // Calls visit(parsed key line) for each key of the first section named section until it
  // returns false; false when there is no such section.
  template <typename Visit>
  bool EachKeyOf(const std::string& section, Visit visit) const;
  // Before an edit: the text as lines.
  void Split();

  Encoding encoding_;
  std::string text_;  // the whole text until the first edit
  bool split_ = false;
  std::vector<Line> lines_;
};
