// Tests of the districtlist program, run as a process on files in a scratch folder. The
// Windows build runs districtlist.exe from its own test program the same way, under Wine.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include "districts/envelope.h"
#include "districts/hex.h"
#include "tests/districts/lenient_lists.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int code;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

#ifdef _WIN32
// The tool lies in the program directory beside the test programs' own folder.
std::string ToolPath() {
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return "districtlist.exe";
  return (fs::path(self).parent_path().parent_path() / "dist" / "districtlist.exe").string();
}

HANDLE OpenInherited(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the tool directly (no shell in between) with the three files as its standard
// streams; a run that does not end within a minute is stopped and counts as code -1.
int RunTool(const std::string& dir, const std::string& args, const std::string& input,
            const std::string& out, const std::string& err) {
  std::string command = "\"" + ToolPath() + "\"";
  if (!args.empty()) command += " " + args;
  HANDLE in = OpenInherited(input == "" ? "NUL" : input, false);
  HANDLE o = OpenInherited(out, true);
  HANDLE e = OpenInherited(err, true);
  int code = -1;
  if (in != INVALID_HANDLE_VALUE && o != INVALID_HANDLE_VALUE && e != INVALID_HANDLE_VALUE) {
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = o;
    start.hStdError = e;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    // Wine's process start now and then fails with ERROR_INTERNAL_ERROR (1359) on a busy
    // machine and works when tried again; any other failure counts at once.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
      if (attempt > 0) Sleep(200);
      started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               dir.c_str(), &start, &process);
      if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (started) {
      DWORD exitCode = 0;
      if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
          GetExitCodeProcess(process.hProcess, &exitCode)) {
        code = static_cast<int>(exitCode);
      } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
      }
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    } else {
      ADD_FAILURE() << "cannot start " << command << ": error " << GetLastError();
    }
  } else {
    ADD_FAILURE() << "cannot open the standard streams for " << command;
  }
  for (HANDLE h : {in, o, e}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  return code;
}
#else
// Runs the tool through the shell; `timeout` stops a run that hangs (code 124).
int RunTool(const std::string& dir, const std::string& args, const std::string& input,
            const std::string& out, const std::string& err) {
  const std::string command = "cd '" + dir + "' && timeout 60 '" ZENT_DIST_DIR "/districtlist' " +
                              args + " <'" + (input == "" ? "/dev/null" : input) + "' >'" + out +
                              "' 2>'" + err + "'";
  const int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

class DistrictListTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    ASSERT_FALSE(error) << error.message();
    std::random_device random;
    const fs::path dir = base / ("districtlist-test-" + std::to_string(random()));
    ASSERT_TRUE(fs::create_directory(dir, error)) << dir.string() << ": " << error.message();
    dir_ = dir.string();
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(dir_, error);
    EXPECT_FALSE(error) << dir_ << ": " << error.message();
  }

  std::string Path(const std::string& name) const { return (fs::path(dir_) / name).string(); }

  // Runs the program with the arguments (already quoted as needed) in the scratch folder;
  // standard input is input, or empty.
  Result Run(const std::string& args, const std::string& input = "") {
    Result r;
    r.code = RunTool(dir_, args, input, Path(".out"), Path(".err"));
    r.out = ReadFile(Path(".out"));
    r.err = ReadFile(Path(".err"));
    return r;
  }

  // A list file holding an envelope made by hand, for damage the encoder never makes.
  void WriteEnvelope(const std::string& name, const std::string& plain) {
    std::string cipher;
    ASSERT_TRUE(EncryptEnvelopeStream(plain, DistrictListKey().data(), &cipher));
    WriteFile(Path(name), HexEncode(reinterpret_cast<const unsigned char*>(cipher.data()),
                                    static_cast<int16_t>(cipher.size())) + "\n");
  }

  std::string dir_;
};

const char kList[] =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
    "<District>\r\n"
    "  <D><name>\xb5\xe7\xd0\xc5\xd2\xbb\xc7\xf8</name><type>2</type><url>http://a.invalid/</url>"
    "<pinpip>127.0.0.1</pinpip><version>1.2.3</version></D>\n"
    "  <D><name>&lt;wt&gt;</name><type>3</type><mart_type>2</mart_type><oper_status>1</oper_status></D>\n"
    "</District>\n";

TEST_F(DistrictListTool, encode_then_decode_gives_the_list_back_byte_for_byte) {
  WriteFile(Path("list.xml"), kList);
  Result encoded = Run("encode list.xml -o list.htm");
  ASSERT_EQ(encoded.code, 0) << encoded.err;
  EXPECT_EQ(encoded.out, "");
  const std::string line = ReadFile(Path("list.htm"));
  ASSERT_EQ(Lines(line), 1);
  EXPECT_EQ(line.find_first_not_of("0123456789abcdef"), line.size() - 1) << "lowercase digits, then LF";
  Result decoded = Run("decode list.htm -o back.xml");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(ReadFile(Path("back.xml")), kList);
  EXPECT_FALSE(std::ifstream(Path("back.xml.tmp")).good()) << "no temporary file is left";
}

TEST_F(DistrictListTool, dash_means_standard_input_and_output) {
  WriteFile(Path("list.xml"), kList);
  Result encoded = Run("encode -", Path("list.xml"));
  ASSERT_EQ(encoded.code, 0) << encoded.err;
  WriteFile(Path("list.htm"), encoded.out);
  Result decoded = Run("decode - -o -", Path("list.htm"));
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, kList);
}

TEST_F(DistrictListTool, two_encodes_of_the_same_list_differ) {
  WriteFile(Path("list.xml"), kList);
  Result a = Run("encode list.xml");
  Result b = Run("encode list.xml");
  ASSERT_EQ(a.code, 0);
  ASSERT_EQ(b.code, 0);
  EXPECT_NE(a.out, b.out);
  EXPECT_EQ(a.out.size(), b.out.size());
}

TEST_F(DistrictListTool, upper_writes_uppercase_digits_that_still_decode) {
  WriteFile(Path("list.xml"), kList);
  Result encoded = Run("encode --upper list.xml -o up.htm");
  ASSERT_EQ(encoded.code, 0) << encoded.err;
  const std::string line = ReadFile(Path("up.htm"));
  EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), line.size() - 1);
  Result decoded = Run("decode up.htm");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, kList);
}

TEST_F(DistrictListTool, decode_reads_only_the_first_line_and_drops_cr_lf) {
  WriteFile(Path("list.xml"), kList);
  ASSERT_EQ(Run("encode list.xml -o list.htm").code, 0);
  std::string line = ReadFile(Path("list.htm"));
  line.pop_back();
  WriteFile(Path("crlf.htm"), line + "\r\nsecond line\r\n");
  Result decoded = Run("decode crlf.htm");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, kList);
}

TEST_F(DistrictListTool, decode_stops_at_the_first_zero_byte_of_the_payload) {
  std::string plain = "\x06" "pppppp" "ss";  // pad count 6, padding, salt
  plain += std::string("<District/>\0junk", 16);
  plain += std::string(7, '\0');
  ASSERT_EQ(plain.size(), 32u);
  WriteEnvelope("zero.htm", plain);
  Result decoded = Run("decode zero.htm");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, "<District/>");
}

TEST_F(DistrictListTool, every_damage_gives_one_line_on_standard_error_and_exit_one) {
  WriteFile(Path("list.xml"), kList);
  ASSERT_EQ(Run("encode list.xml -o good.htm").code, 0);
  std::string good = ReadFile(Path("good.htm"));
  good.pop_back();
  std::string lastChanged = good;
  lastChanged.back() = lastChanged.back() == '0' ? '1' : '0';
  std::string stray = good;
  stray[4] = 'z';
  stray[5] = 'z';
  WriteFile(Path("cut.htm"), good.substr(0, good.size() - 6) + "\n");
  WriteFile(Path("short.htm"), good.substr(0, 16) + "\n");
  WriteFile(Path("empty.htm"), "");
  WriteFile(Path("trailer.htm"), lastChanged + "\n");
  WriteFile(Path("stray.htm"), stray + "\n");
  WriteFile(Path("long.htm"), std::string(20480, 'a') + "\n");
  WriteEnvelope("pad.htm", std::string("\x07", 1) + std::string(15, '\0'));
  const struct {
    const char* file;
    const char* phrase;
  } rows[] = {
      {"cut.htm", "multiple of 8"},   {"short.htm", "too short"},
      {"empty.htm", "too short"},     {"trailer.htm", "trailer not zero"},
      {"stray.htm", "not hexadecimal"}, {"long.htm", "longer than the 20479"},
      {"pad.htm", "pad count"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Result r = Run(std::string("decode ") + rows[i].file + " -o out.xml");
    EXPECT_EQ(r.code, 1) << "row " << i;
    EXPECT_EQ(Lines(r.err), 1) << "row " << i << ": " << r.err;
    EXPECT_NE(r.err.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << r.err;
    EXPECT_NE(r.err.find(rows[i].file), std::string::npos) << "row " << i << ": " << r.err;
    EXPECT_FALSE(std::ifstream(Path("out.xml")).good()) << "row " << i << ": no output on failure";
  }
}

TEST_F(DistrictListTool, check_lists_every_stored_district_with_every_field) {
  WriteFile(Path("list.xml"), kList);
  Result r = Run("check list.xml");
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("dx 1: name=\"\xb5\xe7\xd0\xc5\xd2\xbb\xc7\xf8\" version=\"1.2.3\" "
                       "url=\"http://a.invalid/\" type=2 mart_type=0 oper_status=0 pinpip=\"127.0.0.1\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("wt 1: name=\"<wt>\" version=\"1.0.0\" url=\"http://www.zent.example.com/\" "
                       "type=3 mart_type=2 oper_status=1 pinpip=\"\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("0 problems"), std::string::npos) << r.out;
}

// Encode refuses what check calls a problem, in check's words, unless forced; a list that
// does not parse is never sealed.
TEST_F(DistrictListTool, check_finds_each_kind_of_problem_and_encode_refuses_it) {
  std::string many = "<District>";
  for (int i = 0; i < 21; ++i) many += "<D><name>d</name></D>";
  many += "</District>";
  const struct {
    std::string xml;
    const char* phrase;
  } rows[] = {
      {"<District><D><type>2</type></D></District>", "no \"name\""},
      {"<District><D><name>a</name><type>5</type></D></District>", "not 2 or 3"},
      {many, "already holds 20"},
      {"<District><D><name>" + std::string(48, 'n') + "</name></D></District>", "name is 48"},
      {"<District><D><name>a</name><version>1234567890123456</version></D></District>", "version is 16"},
      {"<District><D><name>a</name><url>" + std::string(300, 'u') + "</url></D></District>", "url is 300"},
      {"<District><D><name>a</name><pinpip>" + std::string(50, 'p') + "</pinpip></D></District>",
       "pinpip is 50"},
      {"<District><D><name>a</name></D>", "malformed XML"},
      {"<District>\n<D>\n<name>a</D>\n</District>", "line 3: malformed XML: Start-end tags mismatch"},
      {"<Other/>", "no top-level \"District\""},
      {std::string("<District/>\0", 12), "zero byte"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    WriteFile(Path("list.xml"), rows[i].xml);
    Result r = Run("check list.xml");
    EXPECT_EQ(r.code, 1) << "row " << i << ": " << r.out;
    EXPECT_NE(r.out.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << r.out;
    Result refused = Run("encode list.xml -o out.htm");
    EXPECT_EQ(refused.code, 1) << "row " << i << ": " << refused.err;
    EXPECT_FALSE(fs::exists(Path("out.htm"))) << "row " << i;
    const bool parses = r.out.find("malformed XML") == std::string::npos &&
                        r.out.find("zero byte") == std::string::npos;
    if (!parses) continue;
    EXPECT_NE(refused.err.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << refused.err;
    EXPECT_EQ(Run("encode --force list.xml -o out.htm").code, 0) << "row " << i;
    fs::remove(Path("out.htm"));
  }
}

// The tool reads with the launcher's parser, so what the launcher reads whole the check
// reads whole: unknown entities and a bare '&' stay as written, text before the top-level
// element is skipped, a numeric reference names a GBK character.
TEST_F(DistrictListTool, check_reads_lenient_lists_as_the_launcher_does) {
  std::vector<LenientList> rows(std::begin(kLenientLists), std::end(kLenientLists));
  rows.push_back({"<District><D><name>&#x4e2d;</name></D></District>", "\xd6\xd0"});  // GBK, not UTF-8
  for (size_t i = 0; i < rows.size(); ++i) {
    WriteFile(Path("list.xml"), rows[i].xml);
    Result r = Run("check list.xml");
    EXPECT_EQ(r.code, 0) << "row " << i << ": " << r.out << r.err;
    EXPECT_NE(r.out.find(std::string("dx 1: name=\"") + rows[i].name + "\" "), std::string::npos)
        << "row " << i << ": " << r.out;
    EXPECT_NE(r.out.find("1 in dx, 0 in wt, 0 problems"), std::string::npos)
        << "row " << i << ": " << r.out;
    EXPECT_EQ(Run("encode list.xml -o list.htm").code, 0) << "row " << i << ": encode accepts it";
  }
}

TEST_F(DistrictListTool, encode_refuses_lists_the_launcher_cannot_read) {
  const struct {
    std::string xml;
    const char* phrase;
  } rows[] = {
      {"<District><D></District>", "malformed XML"},
      {std::string("<District/>\0", 12), "zero byte"},
      {"<District>" + std::string(10300, ' ') + "</District>", "at most 10222"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    WriteFile(Path("list.xml"), rows[i].xml);
    Result r = Run("encode list.xml -o out.htm");
    EXPECT_EQ(r.code, 1) << "row " << i;
    EXPECT_EQ(Lines(r.err), 1) << "row " << i << ": " << r.err;
    EXPECT_NE(r.err.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << r.err;
    EXPECT_FALSE(std::ifstream(Path("out.htm")).good()) << "row " << i;
  }
}

TEST_F(DistrictListTool, encode_accepts_the_largest_list_the_launcher_reads) {
  const std::string open = "<District>", close = "</District>";
  WriteFile(Path("list.xml"), open + std::string(10222 - open.size() - close.size(), ' ') + close);
  Result r = Run("encode list.xml -o big.htm");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_LE(ReadFile(Path("big.htm")).size(), 20479u + 1);
  EXPECT_EQ(Run("decode big.htm -o back.xml").code, 0);
  EXPECT_EQ(ReadFile(Path("back.xml")), ReadFile(Path("list.xml")));
}

TEST_F(DistrictListTool, help_is_given_for_the_program_and_each_command) {
  const char* rows[] = {"--help", "-h", "encode --help", "decode --help", "check --help",
                        "decode x.htm --help", "keygen --help", "sign --help", "verify --help"};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Result r = Run(rows[i]);
    EXPECT_EQ(r.code, 0) << "row " << i;
    EXPECT_EQ(r.out.rfind("Usage: districtlist", 0), 0u) << "row " << i << ": " << r.out;
    EXPECT_EQ(r.err, "") << "row " << i;
  }
}

TEST_F(DistrictListTool, usage_faults_and_missing_files_exit_two_with_a_message) {
  const struct {
    const char* args;
    const char* phrase;
  } rows[] = {
      {"", "Usage"},
      {"frobnicate", "unknown command"},
      {"encode --bogus list.xml", "unknown option '--bogus'"},
      {"decode --upper x.htm", "unknown option '--upper'"},
      {"check list.xml -o out", "unknown option '-o'"},
      {"encode", "no input file"},
      {"encode a.xml b.xml", "more than one input"},
      {"encode a.xml -o", "-o needs a file name"},
      {"encode missing.xml", "cannot open 'missing.xml'"},
      {"decode missing.htm", "cannot open 'missing.htm'"},
      {"check missing.xml", "cannot open 'missing.xml'"},
      {"keygen", "keygen needs -o KEYFILE"},
      {"sign list.htm", "sign needs --key KEYFILE"},
      {"verify list.htm --public 12", "64 hexadecimal digits"},
      {"encode list.xml --sign k.key", "needs -o FILE"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Result r = Run(rows[i].args);
    EXPECT_EQ(r.code, 2) << "row " << i << ": " << rows[i].args;
    EXPECT_NE(r.err.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << r.err;
  }
}

// The operator's key: a new file only its owner reads (on Windows no access list entry for
// anyone but the owner and the system itself, where a plain file grants Everyone reading).
void ExpectOwnerOnly(const std::string& path) {
#ifdef _WIN32
  unsigned char buffer[2048];
  DWORD needed = 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  PSID owner = nullptr;
  ASSERT_TRUE(GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                               buffer, sizeof buffer, &needed));
  ASSERT_TRUE(GetSecurityDescriptorDacl(buffer, &present, &acl, &defaulted) && present && acl);
  ASSERT_TRUE(GetSecurityDescriptorOwner(buffer, &owner, &defaulted) && owner);
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
    PSID sid = &ace->SidStart;
    EXPECT_TRUE(EqualSid(sid, owner) || IsWellKnownSid(sid, WinLocalSystemSid)) << "entry " << i;
  }
#else
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST_F(DistrictListTool, keygen_encode_sign_and_verify_agree) {
  WriteFile(Path("list.xml"), kList);
  Result key = Run("keygen -o op.key");
  ASSERT_EQ(key.code, 0) << key.err;
  ASSERT_EQ(key.out.find_first_not_of("0123456789abcdef"), 64u) << key.out;
  const std::string publicKey = key.out.substr(0, 64);
  ExpectOwnerOnly(Path("op.key"));
  const std::string seed = ReadFile(Path("op.key"));
  Result again = Run("keygen -o op.key");
  EXPECT_EQ(again.code, 2);
  EXPECT_NE(again.err.find("never replaced"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(Path("op.key")), seed);
  ASSERT_EQ(Run("encode list.xml -o list.htm --sign op.key").code, 0);
  EXPECT_EQ(Lines(ReadFile(Path("list.htm.sig"))), 1);
  EXPECT_EQ(Run("verify list.htm --public " + publicKey).code, 0);
  // Another encoding of the same XML keeps the signature; sign makes the same one.
  ASSERT_EQ(Run("encode list.xml -o again.htm").code, 0);
  EXPECT_EQ(Run("verify again.htm --public " + publicKey + " --sig list.htm.sig").code, 0);
  ASSERT_EQ(Run("sign again.htm --key op.key").code, 0);
  EXPECT_EQ(ReadFile(Path("again.htm.sig")), ReadFile(Path("list.htm.sig")));
}

TEST_F(DistrictListTool, verify_says_why_a_signature_does_not_hold) {
  WriteFile(Path("list.xml"), kList);
  WriteFile(Path("other.xml"), std::string(kList) + "<!-- -->\n");
  const std::string publicKey = Run("keygen -o op.key").out.substr(0, 64);
  ASSERT_EQ(Run("encode list.xml -o list.htm --sign op.key").code, 0);
  ASSERT_EQ(Run("encode other.xml -o other.htm --sign op.key").code, 0);
  WriteFile(Path("big.sig"), std::string(2000, '0'));
  WriteFile(Path("bad.htm"), "0011\n");
  const struct {
    std::string args;
    int code;
    const char* phrase;
  } rows[] = {
      {"verify list.htm --sig other.htm.sig", 1, "list.htm: bad signature"},
      {"verify list.htm --sig missing.sig", 1, "list.htm: no signature"},
      {"verify list.htm --sig big.sig", 1, "malformed signature"},
      {"verify bad.htm", 1, "damaged district list"},
      {"sign bad.htm --key op.key", 1, "damaged district list"},
  };
  for (const auto& row : rows) {
    const bool verify = row.args.rfind("verify", 0) == 0;
    Result r = Run(verify ? row.args + " --public " + publicKey : row.args);
    EXPECT_EQ(r.code, row.code) << row.args << ": " << r.err;
    EXPECT_EQ(Lines(r.err), 1) << row.args << ": " << r.err;
    EXPECT_NE(r.err.find(row.phrase), std::string::npos) << row.args << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists(Path("bad.htm.sig"))) << "a list that does not open is not signed";
}

}  // namespace
