// Tests of the profile (INI) file calls; the same cases run against the real calls in
// the Windows build (under Wine), so both implementations answer alike.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <initializer_list>
#include <string>

#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>
#endif

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"
#include "tests/platform/wine.h"

namespace {

const char* const kFile = ".\\t.ini";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// One file for all reading rows, written with CR LF; the tests also run it with LF and
// with CR alone as line ends.
const char* const kReadFile =
    "[section1]\r\n"
    "name1=val1\r\n"
    "name2 = \"val2\"\r\n"
    "name3='val3'\r\n"
    "name4=\"unmatched\r\n"
    "name5 = inner  blanks  \r\n"
    "empty=\r\n"
    "quoteonly=\"\r\n"
    "twoquotes=\"\"\r\n"
    "mixed=\"abc'\r\n"
    "novalue\r\n"
    ";comment=1\r\n"
    "semi=a;b\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "eq=a=b\r\n"
    "\t tabbed\t=\tx\t\r\n"
    "  [ Spaced Section ]  \r\n"
    " spaced key = spaced value \r\n"
    "[section1]\r\n"
    "later=1\r\n"
    "[brackets]]\r\n"
    "k=v\r\n"
    "[open\r\n"
    "k2=v2\r\n"
    "[empty section]\r\n"
    "[last]\r\n"
    "final=end";

struct ReadRow {
  const char* section;
  const char* key;
  const char* defaultValue;
  DWORD size;
  const char* want;  // null: the buffer must stay untouched
  DWORD wantCount;
  const char* wineDiffers = nullptr;
};

const ReadRow kReadRows[] = {
    {"section1", "name1", "def", 64, "val1", 4},
    {"SECTION1", "NAME1", "def", 64, "val1", 4},
    {" section1 ", " name1 ", "def", 64, "val1", 4},
    {"section1", "name2", "def", 64, "val2", 4},
    {"section1", "name3", "def", 64, "val3", 4},
    {"section1", "name4", "def", 64, "\"unmatched", 10},
    {"section1", "name5", "def", 64, "inner  blanks", 13},
    {"section1", "empty", "def", 64, "", 0},
    {"section1", "quoteonly", "def", 64, "\"", 1},
    {"section1", "twoquotes", "def", 64, "", 0},
    {"section1", "mixed", "def", 64, "\"abc'", 5},
    {"section1", "novalue", "def", 64, "def", 3},
    {"section1", ";comment", "def", 64, "def", 3, "Wine reads a ';' line as a key"},
    {"section1", "semi", "def", 64, "a;b", 3},
    {"section1", "dup", "def", 64, "first", 5},
    {"section1", "eq", "def", 64, "a=b", 3},
    {"section1", "tabbed", "def", 64, "x", 1},
    {"Spaced Section", "spaced key", "def", 64, "spaced value", 12},
    {"section1", "later", "def", 64, "def", 3},
    {"brackets]", "k", "def", 64, "v", 1},
    {"brackets]", "k2", "def", 64, "v2", 2},
    {"open", "k2", "def", 64, "def", 3},
    {"empty section", "k", "def", 64, "def", 3},
    {"last", "final", "def", 64, "end", 3},
    {"section1", "name1", "def", 4, "val", 3},
    {"section1", "name1", "def", 5, "val1", 4},
    {"section1", "name1", "def", 2, "v", 1},
    {"section1", "name1", "def", 1, "", 0},
    {"section1", "name1", "def", 0, nullptr, 0},
    {"section1", "missing", "def", 64, "def", 3},
    {"section1", "missing", "def  ", 64, "def", 3},
    {"section1", "missing", "  def", 64, "  def", 5},
    {"section1", "missing", "def\t", 64, "def\t", 4},
    {"section1", "missing", nullptr, 64, "", 0},
    {"section1", "missing", "default", 4, "def", 3},
    {"section1", "missing", "default", 1, "", 0},
    {"nosection", "name1", "def", 64, "def", 3},
};

void RunReadRows(const CoreTempDir& dir, const std::string& ending) {
  dir.Write("t.ini", Replace(kReadFile, "\r\n", ending));
  const bool wine = RunningUnderWine();
  int row = 0;
  for (const ReadRow& r : kReadRows) {
    if (r.wineDiffers && wine) {
      ++row;
      continue;  // see wineDiffers in the row
    }
    char buffer[128];
    memset(buffer, 'X', sizeof buffer);
    const DWORD got = GetPrivateProfileStringA(r.section, r.key, r.defaultValue, buffer, r.size, kFile);
    EXPECT_EQ(got, r.wantCount) << "row " << row;
    if (r.want) {
      EXPECT_STREQ(buffer, r.want) << "row " << row;
    } else {
      EXPECT_EQ(buffer[0], 'X') << "row " << row;
    }
    if (r.size < sizeof buffer) {
      EXPECT_EQ(buffer[r.size], 'X') << "row " << row << ": written past the size";
    }
    ++row;
  }
}

class PlatformProfile : public ::testing::Test {
 protected:
  CoreTempDir dir_;
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
};

TEST_F(PlatformProfile, read_rows_with_crlf_line_ends) { RunReadRows(dir_, "\r\n"); }
TEST_F(PlatformProfile, read_rows_with_lf_line_ends) { RunReadRows(dir_, "\n"); }
TEST_F(PlatformProfile, read_rows_with_cr_line_ends) { RunReadRows(dir_, "\r"); }

TEST_F(PlatformProfile, missing_file_gives_default_and_file_not_found) {
  char buffer[32];
  SetLastError(0);
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "dflt", buffer, sizeof buffer, ".\\none.ini"), 4u);
  EXPECT_STREQ(buffer, "dflt");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrivateProfileIntA("s", "k", 17, ".\\none.ini"), 17u);
}

// UTF-16 code units, each written little or big endian after the mark.
std::string Utf16(std::initializer_list<char16_t> units, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : units) {
    const char low = static_cast<char>(u & 0xFF);
    const char high = static_cast<char>(u >> 8);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}
std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string out = Utf16({}, bigEndian);
  for (char16_t u : text) out += Utf16({u}, bigEndian).substr(2);
  return out;
}

bool AnsiIsGbk() {
#ifdef _WIN32
  return GetACP() == 936;
#else
  return true;  // the platform layer's ANSI code page is always GBK
#endif
}

// Files with a byte-order mark are read as Wine reads them: UTF-8 and UTF-16 (LE, BE),
// names matched as Unicode, values handed back in GBK, '?' for what GBK cannot hold.
// Windows itself reads only UTF-16 LE so and takes a UTF-8 mark for bytes of line one.
struct EncodedRow {
  std::string bytes;
  const char* section;
  const char* key;
  const char* want;
  bool needsGbk;  // names or values beyond ASCII: only where the ANSI code page is GBK
};

TEST_F(PlatformProfile, files_with_a_byte_order_mark_read_as_unicode) {
  const std::u16string text = u"[bom]\r\nk=v\r\n[next]\r\nk=w\r\n";
  const EncodedRow rows[] = {
      {"\xEF\xBB\xBF[bom]\r\nk=v\r\n[next]\r\nk=w\r\n", "bom", "k", "v", false},
      {"\xEF\xBB\xBF[bom]\r\nk=v\r\n[next]\r\nk=w\r\n", "next", "k", "w", false},
      {Utf16(text, false), "bom", "k", "v", false},
      {Utf16(text, false), "NEXT", "K", "w", false},
      {Utf16(text, true), "bom", "k", "v", false},
      {"\xEF\xBB\xBF[s]\r\nk=大区\r\n", "s", "k", "\xb4\xf3\xc7\xf8", true},
      {Utf16(u"[大区]\r\nk=1\r\n", false), "\xb4\xf3\xc7\xf8", "k", "1", true},
      {Utf16(u"[s]\r\n大=区\r\n", true), "s", "\xb4\xf3", "\xc7\xf8", true},
      {"\xEF\xBB\xBF[s]\r\nk=a한b\r\n", "s", "k", "a?b", true},  // Hangul: not in GBK
      {"[s]\r\nk=\xb4\xf3\xc7\xf8\r\n", "s", "k", "\xb4\xf3\xc7\xf8", false},  // no mark: GBK as it is
  };
  const bool gbk = AnsiIsGbk();
  int row = 0;
  for (const EncodedRow& r : rows) {
    if (r.needsGbk && !gbk) {
      ++row;
      continue;
    }
    dir_.Write("t.ini", r.bytes);
    char buffer[32];
    memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA(r.section, r.key, "d", buffer, sizeof buffer, kFile), strlen(r.want))
        << "row " << row;
    EXPECT_STREQ(buffer, r.want) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformProfile, write_keeps_the_files_byte_order_mark_and_encoding) {
  const struct {
    std::string before;
    const char* value;
    std::string after;
    bool needsGbk;
  } rows[] = {
      {Utf16(u"[s]\r\nk=1\r\n", false), "2", Utf16(u"[s]\r\nk=2\r\n", false), false},
      {Utf16(u"[s]\r\nk=1\r\n", true), "2", Utf16(u"[s]\r\nk=2\r\n", true), false},
      {"\xEF\xBB\xBF[s]\r\nk=1\r\n", "\xb4\xf3\xc7\xf8", "\xEF\xBB\xBF[s]\r\nk=大区\r\n", true},
      {Utf16(u"[s]\r\nk=1\r\n", false), "\xb4\xf3\xc7\xf8", Utf16(u"[s]\r\nk=大区\r\n", false), true},
  };
  const bool gbk = AnsiIsGbk();
  int row = 0;
  for (const auto& r : rows) {
    if (r.needsGbk && !gbk) {
      ++row;
      continue;
    }
    dir_.Write("t.ini", r.before);
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", r.value, kFile)) << "row " << row;
    EXPECT_EQ(dir_.Read("t.ini"), r.after) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformProfile, null_section_and_null_key_list_names) {
  dir_.Write("t.ini", "[a]\r\nx=1\r\ny=2\r\n[b]\r\n");
  char buffer[32];
  memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "d", buffer, sizeof buffer, kFile), 4u);
  EXPECT_EQ(std::string(buffer, 5), std::string("a\0b\0\0", 5));
  memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA("A", nullptr, "d", buffer, sizeof buffer, kFile), 4u);
  EXPECT_EQ(std::string(buffer, 5), std::string("x\0y\0\0", 5));
}

struct IntRow {
  const char* value;  // null: the key is missing
  INT defaultValue;
  UINT want;
};

const IntRow kIntRows[] = {
    {"42", 5, 42u},
    {"-1", 5, 4294967295u},
    {"+7", 5, 7u},
    {"0x1F", 5, 31u},
    {"0x1f", 5, 31u},
    {"0X1f", 5, 0u},
    {"0b101", 5, 5u},
    {"0o17", 5, 15u},
    {"0B1", 5, 0u},
    {"\" 12\"", 5, 12u},
    {"0x-1", 5, 0u},
    {"+-1", 5, 0u},
    {"-0x10", 5, 4294967280u},
    {"12abc", 5, 12u},
    {"1 2", 5, 1u},
    {"abc", 5, 0u},
    {"", 5, 5u},
    {nullptr, 5, 5u},
    {nullptr, -3, 4294967293u},
    {"\"33\"", 5, 33u},
    {"4294967297", 5, 1u},
    {"-4294967297", 5, 4294967295u},
    {"0x100000001", 5, 1u},
    {"0x", 5, 0u},
    {"0x1g", 5, 1u},
    {"08", 5, 8u},
    {"1e3", 5, 1u},
    {"--1", 5, 0u},
    {"- 5", 5, 0u},
    {"2147483648", 5, 2147483648u},
};

TEST_F(PlatformProfile, integer_rows) {
  int row = 0;
  for (const IntRow& r : kIntRows) {
    std::string file = "[n]\r\n";
    if (r.value) file += std::string("key=") + r.value + "\r\n";
    dir_.Write("t.ini", file);
    EXPECT_EQ(GetPrivateProfileIntA("n", "key", r.defaultValue, kFile), r.want)
        << "row " << row << " value " << (r.value ? r.value : "(missing)");
    ++row;
  }
}

struct WriteRow {
  const char* before;  // null: no file
  const char* section;
  const char* key;
  const char* value;
  BOOL wantResult;
  DWORD wantError;     // checked when not 0
  const char* after;   // null: no file afterwards
  const char* wineDiffers;
};

const WriteRow kWriteRows[] = {
    {nullptr, "s", "k", "v", TRUE, 0, "[s]\r\nk=v\r\n", nullptr},
    {"[s]\r\nk=v\r\n", "s", "k", "w", TRUE, 0, "[s]\r\nk=w\r\n", nullptr},
    {"[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", "s", "c", "3", TRUE, 0,
     "[s]\r\na=1\r\nc=3\r\n\r\n[t]\r\nb=2\r\n", "Wine rewrites the file and drops blank lines"},
    {"[s]\r\na=1\r\n", "t", "b", "2", TRUE, 0, "[s]\r\na=1\r\n[t]\r\nb=2\r\n", nullptr},
    {"[s]\r\na=1\r\nb=2\r\n", "s", "a", nullptr, TRUE, 0, "[s]\r\nb=2\r\n", nullptr},
    {"[s]\r\na=1\r\n", "s", "gone", nullptr, TRUE, 0, "[s]\r\na=1\r\n", nullptr},
    {"[s]\r\na=1\r\n[t]\r\nb=2\r\n", "s", nullptr, nullptr, TRUE, 0, "[t]\r\nb=2\r\n", nullptr},
    {nullptr, nullptr, "k", "v", FALSE, ERROR_FILE_NOT_FOUND, nullptr, nullptr},
    {"[s]\r\n", nullptr, "k", "v", FALSE, ERROR_FILE_NOT_FOUND, "[s]\r\n", nullptr},
    {nullptr, "s", "k", "  v", TRUE, 0, "[s]\r\nk=  v\r\n", "Wine drops leading blanks of the value"},
    {"; top\r\n[s]\r\n;c\r\na=1\r\n", "s", "a", "2", TRUE, 0, "; top\r\n[s]\r\n;c\r\na=2\r\n", nullptr},
    {"[Sec]\r\nKey=1\r\n", "SEC", "KEY", "2", TRUE, 0, "[Sec]\r\nKey=2\r\n", nullptr},
    {"[s]\r\na=1", "s", "b", "2", TRUE, 0, "[s]\r\na=1\r\nb=2\r\n", nullptr},
    {nullptr, "s", "k", "", TRUE, 0, "[s]\r\nk=\r\n", nullptr},
    {"[s]\r\na=1\r\n", "s", "a", "\"q\"", TRUE, 0, "[s]\r\na=\"q\"\r\n", nullptr},
};

TEST_F(PlatformProfile, write_rows) {
  const bool wine = RunningUnderWine();
  int row = 0;
  for (const WriteRow& r : kWriteRows) {
    DeleteFileA(kFile);
    if (r.before) dir_.Write("t.ini", r.before);
    if (r.wineDiffers && wine) {
      ++row;
      continue;  // see wineDiffers in the row
    }
    SetLastError(0);
    EXPECT_EQ(WritePrivateProfileStringA(r.section, r.key, r.value, kFile), r.wantResult) << "row " << row;
    if (r.wantError) {
      EXPECT_EQ(GetLastError(), r.wantError) << "row " << row;
    }
    EXPECT_EQ(dir_.Read("t.ini"), r.after ? r.after : "<missing>") << "row " << row;
    ++row;
  }
}

TEST_F(PlatformProfile, written_value_reads_back) {
  ASSERT_TRUE(WritePrivateProfileStringA("Public", "LastLoginUrl", "10.0.0.1:9000", ".\\Info.ini"));
  char buffer[260];
  EXPECT_EQ(GetPrivateProfileStringA("public", "lastloginurl", "", buffer, sizeof buffer, ".\\INFO.INI"), 13u);
  EXPECT_STREQ(buffer, "10.0.0.1:9000");
  ASSERT_TRUE(WritePrivateProfileStringA("Public", "IsKeepLoginUrl", "1", ".\\Info.ini"));
  EXPECT_EQ(GetPrivateProfileIntA("Public", "IsKeepLoginUrl", 0, ".\\Info.ini"), 1u);
}

TEST_F(PlatformProfile, write_into_missing_folder_fails_and_creates_nothing) {
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", ".\\nofolder\\t.ini"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(dir_.Exists("nofolder"));
}

TEST_F(PlatformProfile, very_long_line_reads_without_crash) {
  const std::string longValue(100000, 'a');
  dir_.Write("t.ini", "[s]\r\nlong=" + longValue + "\r\nafter=1");
  char buffer[200];
  EXPECT_EQ(GetPrivateProfileStringA("s", "long", "d", buffer, sizeof buffer, kFile), 199u);
  EXPECT_EQ(std::string(buffer), longValue.substr(0, 199));
  EXPECT_EQ(GetPrivateProfileStringA("s", "after", "d", buffer, sizeof buffer, kFile), 1u);
  EXPECT_STREQ(buffer, "1");
}

TEST_F(PlatformProfile, binary_bytes_and_no_final_line_end_read_without_crash) {
  std::string bytes = "[s]\r\nok=1\r\n";
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  bytes += "=\x80\x81\xff";
  dir_.Write("t.ini", bytes);
  char buffer[64];
  EXPECT_EQ(GetPrivateProfileStringA("s", "ok", "d", buffer, sizeof buffer, kFile), 1u);
  EXPECT_STREQ(buffer, "1");
  const DWORD got = GetPrivateProfileStringA("s", "missing", "d", buffer, sizeof buffer, kFile);
  EXPECT_EQ(got, 1u);
  EXPECT_STREQ(buffer, "d");
}

#ifndef _WIN32
TEST_F(PlatformProfile, gbk_trail_letters_are_no_letters_to_fold) {
  // "\x81\x61" and "\x81\x41" are two different characters, not one in two cases.
  dir_.Write("t.ini", "[\x81\x61]\r\nk=lower\r\n[Sec]\r\n\x81\x61z=1\r\n");
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("\x81\x41", "k", "d", buffer, sizeof buffer, kFile), 1u);
  EXPECT_EQ(GetPrivateProfileStringA("\x81\x61", "K", "d", buffer, sizeof buffer, kFile), 5u);
  EXPECT_EQ(GetPrivateProfileStringA("sec", "\x81\x61Z", "d", buffer, sizeof buffer, kFile), 1u);
  EXPECT_STREQ(buffer, "1");
}

TEST_F(PlatformProfile, line_breaks_in_written_text_cannot_forge_lines) {
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v\r\n[evil]\r\nx=1", kFile));
  EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\nk=v\r\n");
}

TEST_F(PlatformProfile, deleting_from_missing_file_creates_nothing) {
  EXPECT_TRUE(WritePrivateProfileStringA("s", "k", nullptr, kFile));
  EXPECT_TRUE(WritePrivateProfileStringA("s", nullptr, nullptr, kFile));
  EXPECT_FALSE(dir_.Exists("t.ini"));
}

TEST_F(PlatformProfile, duplicate_keys_are_all_deleted) {
  dir_.Write("t.ini", "[s]\r\nk=1\r\nk=2\r\n");
  EXPECT_TRUE(WritePrivateProfileStringA("s", "k", nullptr, kFile));
  EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\n");
}

TEST_F(PlatformProfile, bare_file_name_uses_the_windows_directory_not_the_current_one) {
  const std::string windowsDir = dir_.path() + "/windir";
  setenv("ZENT_WINDOWS_DIR", windowsDir.c_str(), 1);
  EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "v", "bare.ini"));
  EXPECT_EQ(dir_.Read("windir/bare.ini"), "[s]\r\nk=v\r\n");
  EXPECT_FALSE(dir_.Exists("bare.ini"));
  dir_.Write("bare.ini", "[s]\r\nk=cwd\r\n");
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, "BARE.INI"), 1u);
  EXPECT_STREQ(buffer, "v");
  unsetenv("ZENT_WINDOWS_DIR");
}

TEST_F(PlatformProfile, write_keeps_file_mode_and_leaves_no_temporary_file) {
  dir_.Write("t.ini", "[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod((dir_.path() + "/t.ini").c_str(), 0640), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "2", kFile));
  struct stat st;
  ASSERT_EQ(stat((dir_.path() + "/t.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

// The folder's entries other than "t.ini".
std::vector<std::string> OtherEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "t.ini") names.push_back(name);
  }
  return names;
}

// A process that has ended and been reaped: its pid names no process.
pid_t EndedProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  return child;
}

// A start killed in the middle of a write (here by the file size limit) leaves its
// temporary behind, named after it; the next write of the file takes it away.
TEST_F(PlatformProfile, temporary_of_a_killed_write_is_named_after_its_process_and_removed_later) {
  dir_.Write("t.ini", "[s]\r\nk=1\r\n");
  const pid_t child = fork();
  ASSERT_GE(child, 0) << "fork: " << strerror(errno);
  if (child == 0) {
    const rlimit noCore = {0, 0};
    const rlimit small = {16, 16};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_FSIZE, &small);
    signal(SIGXFSZ, SIG_DFL);
    WritePrivateProfileStringA("s", "k", std::string(1000, 'v').c_str(), kFile);
    _exit(3);  // not killed: the test below says so
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "status " << status;
  const std::vector<std::string> left = OtherEntries(dir_.path());
  ASSERT_EQ(left.size(), 1u);
  const std::string prefix = ".t.ini." + std::to_string(child) + ".";
  EXPECT_EQ(left[0].compare(0, prefix.size(), prefix), 0) << left[0];
  EXPECT_EQ(left[0].size(), prefix.size() + 6) << left[0];
  EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\nk=1\r\n");

  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "2", kFile));
  EXPECT_TRUE(OtherEntries(dir_.path()).empty());
  EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\nk=2\r\n");
}

// Which entries beside the file a write takes for left behind: its own temporaries whose
// process is gone, and unowned ones (no pid in the name) older than an hour.
TEST_F(PlatformProfile, write_removes_only_stale_temporaries_of_its_file) {
  const std::string dead = std::to_string(EndedProcessId());
  ASSERT_TRUE(kill(std::stoi(dead), 0) != 0 && errno == ESRCH) << "pid " << dead << " still in use";
  const std::string live = std::to_string(getppid());  // alive while this test runs
  const std::string self = std::to_string(getpid());
  const struct {
    std::string name;
    int ageSeconds;
    bool folder;  // a folder of that name rather than a file
    bool removed;
  } rows[] = {
      {".t.ini." + dead + ".a1B2c3", 0, false, true},
      {".t.ini." + live + ".d4E5f6", 7200, false, false},
      {".t.ini." + self + ".g7H8i9", 7200, false, false},
      {".t.ini.j0K1l2", 7200, false, true},  // unowned, two hours old
      {".t.ini.m3N4o5", 600, false, false},  // unowned, ten minutes old
      {".t.ini." + dead + ".p6Q7", 0, false, false},  // not six characters after the pid
      {".t.ini." + dead + ".r8S9t0.x", 0, false, false},
      {".t.ini.0.u1V2w3", 7200, false, false},  // pid 0 names no process
      {".t.ini.-" + dead + ".x4Y5z6", 0, false, false},
      {".t.ini." + dead + ".Folder", 0, true, false},
      {".T.INI." + dead + ".a1B2c3", 0, false, false},  // another file's: the disk tells case apart
      {".u.ini." + dead + ".a1B2c3", 0, false, false},
      {"t.ini." + dead + ".a1B2c3", 0, false, false},
  };
  dir_.Write("t.ini", "[s]\r\nk=1\r\n");
  const timespec now = {time(nullptr), 0};
  for (const auto& row : rows) {
    const std::string path = dir_.path() + "/" + row.name;
    if (row.folder) {
      ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << row.name;
    } else {
      dir_.Write(row.name, "x");
    }
    const timespec stamps[2] = {now, {now.tv_sec - row.ageSeconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), stamps, 0), 0) << row.name;
  }
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "2", kFile));
  EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\nk=2\r\n");
  int row = 0;
  for (const auto& r : rows) {
    EXPECT_EQ(dir_.Exists(r.name), !r.removed) << "row " << row << ": " << r.name;
    ++row;
  }
}

TEST_F(PlatformProfile, read_only_file_is_not_replaced) {
  dir_.Write("t.ini", "[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod((dir_.path() + "/t.ini").c_str(), 0444), 0);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "2", kFile));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\nk=1\r\n");
}

TEST_F(PlatformProfile, file_that_cannot_be_read_is_not_replaced) {
  ASSERT_EQ(mkdir((dir_.path() + "/t.ini").c_str(), 0755), 0);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "2", kFile));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  struct stat st;
  ASSERT_EQ(stat((dir_.path() + "/t.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// A FIFO would block, a device never end, a folder holds no text: each reads as a missing
// file at once, and a write leaves it as it is.
TEST_F(PlatformProfile, fifo_device_and_folder_read_as_missing_and_are_never_replaced) {
  const std::string path = dir_.path() + "/t.ini";
  for (int row = 0; row < 3; ++row) {
    std::filesystem::remove_all(path);
    ASSERT_EQ(row == 0 ? mkfifo(path.c_str(), 0644) : row == 1 ? symlink("/dev/zero", path.c_str()) : mkdir(path.c_str(), 0755), 0);
    char buffer[16];
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "def", buffer, sizeof buffer, kFile), 3u) << "row " << row;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << "row " << row;
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", kFile)) << "row " << row;
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0) << "row " << row;
    EXPECT_FALSE(S_ISREG(st.st_mode)) << "row " << row << ": replaced by a file";
  }
}

// Past 16 MiB nothing is read, and a read costs a small multiple of what it read, however
// many lines it holds; a write would lose the tail, so it is refused.
TEST_F(PlatformProfile, long_file_is_read_up_to_16_mib_in_little_memory) {
  std::string text = "[s]\r\nk=v\r\n";
  while (text.size() < (20u << 20)) text += "kkkk\n";
  dir_.Write("t.ini", text + "late=1\r\n");
  std::string().swap(text);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    char buffer[16];
    const bool early = GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, kFile) == 1;
    const bool late = GetPrivateProfileIntA("s", "late", 0, kFile) == 0;
    getrusage(RUSAGE_SELF, &after);
    const bool small = after.ru_maxrss - before.ru_maxrss < 48 * 1024;
    SetLastError(0);
    const bool kept = !WritePrivateProfileStringA("s", "k", "w", kFile) && GetLastError() == ERROR_FILE_TOO_LARGE;
    _exit((early ? 0 : 1) | (late ? 0 : 2) | (small ? 0 : 4) | (kept ? 0 : 8));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the key at the start, 2: the tail was read, 4: memory, "
                                       "8: the cut file was written";
}
#endif

}  // namespace
