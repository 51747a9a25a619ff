// Tests of the districtlist program, run as a process on files in a scratch folder.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "districts/envelope.h"
#include "districts/hex.h"

namespace {

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

class DistrictListTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/districtlist-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    const std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(system(command.c_str()), 0);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Runs the program with the arguments (already quoted as needed) in the scratch folder.
  Result Run(const std::string& args, const std::string& input = "/dev/null") {
    const std::string command = "cd '" + dir_ + "' && '" ZENT_DIST_DIR "/districtlist' " + args +
                                " <'" + input + "' >'" + Path(".out") + "' 2>'" + Path(".err") + "'";
    const int status = system(command.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

TEST_F(DistrictListTool, EncodeThenDecodeGivesTheListBackByteForByte) {
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

TEST_F(DistrictListTool, DashMeansStandardInputAndOutput) {
  WriteFile(Path("list.xml"), kList);
  Result encoded = Run("encode -", Path("list.xml"));
  ASSERT_EQ(encoded.code, 0) << encoded.err;
  WriteFile(Path("list.htm"), encoded.out);
  Result decoded = Run("decode - -o -", Path("list.htm"));
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, kList);
}

TEST_F(DistrictListTool, TwoEncodesOfTheSameListDiffer) {
  WriteFile(Path("list.xml"), kList);
  Result a = Run("encode list.xml");
  Result b = Run("encode list.xml");
  ASSERT_EQ(a.code, 0);
  ASSERT_EQ(b.code, 0);
  EXPECT_NE(a.out, b.out);
  EXPECT_EQ(a.out.size(), b.out.size());
}

TEST_F(DistrictListTool, UpperWritesUppercaseDigitsThatStillDecode) {
  WriteFile(Path("list.xml"), kList);
  Result encoded = Run("encode --upper list.xml -o up.htm");
  ASSERT_EQ(encoded.code, 0) << encoded.err;
  const std::string line = ReadFile(Path("up.htm"));
  EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), line.size() - 1);
  Result decoded = Run("decode up.htm");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, kList);
}

TEST_F(DistrictListTool, DecodeReadsOnlyTheFirstLineAndDropsCrLf) {
  WriteFile(Path("list.xml"), kList);
  ASSERT_EQ(Run("encode list.xml -o list.htm").code, 0);
  std::string line = ReadFile(Path("list.htm"));
  line.pop_back();
  WriteFile(Path("crlf.htm"), line + "\r\nsecond line\r\n");
  Result decoded = Run("decode crlf.htm");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, kList);
}

TEST_F(DistrictListTool, DecodeStopsAtTheFirstZeroByteOfThePayload) {
  std::string plain = "\x06" "pppppp" "ss";  // pad count 6, padding, salt
  plain += std::string("<District/>\0junk", 16);
  plain += std::string(7, '\0');
  ASSERT_EQ(plain.size(), 32u);
  WriteEnvelope("zero.htm", plain);
  Result decoded = Run("decode zero.htm");
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, "<District/>");
}

TEST_F(DistrictListTool, EveryDamageGivesOneLineOnStandardErrorAndExitOne) {
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

TEST_F(DistrictListTool, CheckListsEveryStoredDistrictWithEveryField) {
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

TEST_F(DistrictListTool, CheckFindsEachKindOfProblemAndExitsOne) {
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
      {"<Other/>", "no top-level \"District\""},
      {std::string("<District/>\0", 12), "zero byte"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    WriteFile(Path("list.xml"), rows[i].xml);
    Result r = Run("check list.xml");
    EXPECT_EQ(r.code, 1) << "row " << i << ": " << r.out;
    EXPECT_NE(r.out.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << r.out;
  }
}

TEST_F(DistrictListTool, EncodeRefusesListsTheLauncherCannotRead) {
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

TEST_F(DistrictListTool, EncodeAcceptsTheLargestListTheLauncherReads) {
  const std::string open = "<District>", close = "</District>";
  WriteFile(Path("list.xml"), open + std::string(10222 - open.size() - close.size(), ' ') + close);
  Result r = Run("encode list.xml -o big.htm");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_LE(ReadFile(Path("big.htm")).size(), 20479u + 1);
  EXPECT_EQ(Run("decode big.htm -o back.xml").code, 0);
  EXPECT_EQ(ReadFile(Path("back.xml")), ReadFile(Path("list.xml")));
}

TEST_F(DistrictListTool, HelpIsGivenForTheProgramAndEachCommand) {
  const char* rows[] = {"--help", "-h", "encode --help", "decode --help", "check --help",
                        "decode x.htm --help"};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Result r = Run(rows[i]);
    EXPECT_EQ(r.code, 0) << "row " << i;
    EXPECT_EQ(r.out.rfind("Usage: districtlist", 0), 0u) << "row " << i << ": " << r.out;
    EXPECT_EQ(r.err, "") << "row " << i;
  }
}

TEST_F(DistrictListTool, UsageFaultsAndMissingFilesExitTwoWithAMessage) {
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
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Result r = Run(rows[i].args);
    EXPECT_EQ(r.code, 2) << "row " << i << ": " << rows[i].args;
    EXPECT_NE(r.err.find(rows[i].phrase), std::string::npos) << "row " << i << ": " << r.err;
  }
}

}  // namespace
