// The real launcher with the operator's public key configured: only a list whose
// signature holds is shown, kept or launched; the same program without a key is unchanged.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/loopback_http_server.h"
#include "tests/e2e/loopback_socket.h"

namespace {

const char kFirstDx[] = "Dialog_ZentPorter\\Container_dx\\server1\\Button";
const char kListPath[] = "/zent/zentxmlwtz.htm";
const char kSigPath[] = "/zent/zentxmlwtz.htm.sig";

std::string OneDistrictList(const std::string& name, const std::string& url) {
  return "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<District><D><name>" + Gbk(name) +
         "</name><version>1.0.0</version><type>2</type><pinpip>127.0.0.1</pinpip><url>" + url +
         "</url></D></District>\n";
}

// Standard error (Wine hands the program's through as Linux does) holds the line.
bool Says(const RunResult& r, const char* line) { return r.errors.find(line) != std::string::npos; }

class SignedListE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok()) << "the program directory is incomplete: " << ZENT_DIST_DIR;
    ASSERT_TRUE(server_.ok());
    publicKey_ = Tool("keygen -o operator.key");
    ASSERT_EQ(publicKey_.size(), 65u) << publicKey_;
    publicKey_.pop_back();
    UseKey(publicKey_, server_.port());
  }
  // Runs the Linux tool in the session's folder (the formats are the same for either
  // build); its standard output.
  std::string Tool(const std::string& args) {
    const std::string command =
        "cd '" + session_.Root() + "' && '" ZENT_DIST_DIR "/districtlist' " + args + " >tool.out";
    return system(command.c_str()) == 0 ? session_.ReadFile("../tool.out") : "failed: " + args;
  }
  void UseKey(const std::string& key, int port) {
    session_.ConfigureServer(port);
    if (!key.empty())
      session_.WriteFile("Config/rudadever.ini",
                         session_.ReadFile("Config/rudadever.ini") + "ListPublicKey=" + key + "\r\n");
  }
  // A list file (from EncodeList, which leaves it as list.txt) and its signature with `key`.
  std::pair<std::string, std::string> Signed(const std::string& xml, const std::string& key = "operator.key") {
    const std::string list = session_.EncodeList(xml);
    Tool("sign list.txt --key " + key);
    return {list, session_.ReadFile("../list.txt.sig")};
  }
  std::string Dump() { return session_.Root() + "/dump.txt"; }
  RunResult ShowFirst() {
    return session_.Run({"wait-visible " + std::string(kFirstDx) + " 15000", "dump " + Dump(), "close"});
  }
  // Runs until the message box shows; its text.
  std::string HintShown(RunResult* r) {
    *r = session_.Run({"wait-visible Static_MsgInfo 15000", "dump " + Dump(), "click Button_MsgOk"});
    for (const auto& c : session_.ReadDump(Dump()))
      if (c.first.find("Static_MsgInfo") != std::string::npos) return c.second.Field("text");
    return "";
  }

  LauncherSession session_;
  LoopbackHttpServer server_;
  std::string publicKey_;
};

TEST_F(SignedListE2eTest, signed_list_is_shown_and_kept_with_its_signature) {
  const auto list = Signed(OneDistrictList("签名区", "signed.zent.invalid:7000"));
  server_.Serve(kListPath, list.first);
  server_.Serve(kSigPath, list.second);
  RunResult r = ShowFirst();
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(session_.ReadDump(Dump())[kFirstDx].Field("text"), "签名区");
  EXPECT_EQ(server_.Requests(kSigPath), 1);
  EXPECT_EQ(session_.ReadFile("Config/zentxmlwtz.htm.sig"), list.second);
  EXPECT_EQ(session_.ReadFile("zaduvodi.xml.sig"), list.second);
  // With the server gone the kept pair is shown.
  UseKey(publicKey_, UnusedLoopbackPort());
  RunResult offline = ShowFirst();
  ASSERT_EQ(offline.exitCode, 0) << offline.errors;
  EXPECT_EQ(session_.ReadDump(Dump())[kFirstDx].Field("text"), "签名区");
}

TEST_F(SignedListE2eTest, forged_list_is_never_shown_stored_or_launched) {
  const auto good = Signed(OneDistrictList("正版区", "good.zent.invalid:7000"));
  session_.WriteFile("zaduvodi.xml", good.first + std::string(1, '\0'));
  session_.WriteFile("zaduvodi.xml.sig", good.second);
  ASSERT_EQ(Tool("keygen -o forger.key").size(), 65u);
  const auto forged = Signed(OneDistrictList("正版区", "forged.zent.invalid:7000"), "forger.key");
  server_.Serve(kListPath, forged.first);
  server_.Serve(kSigPath, forged.second);
  RunResult r = session_.Run({"wait-visible " + std::string(kFirstDx) + " 15000", "click " + std::string(kFirstDx),
                              "click Button_enter"});
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  std::vector<std::string> args;
  for (int i = 0; i < 250 && !session_.StandInArgs("ZentLauncher.exe", &args); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(args, std::vector<std::string>{"good.zent.invalid:7000"});
  EXPECT_EQ(session_.ReadFile("zaduvodi.xml"), good.first + std::string(1, '\0'));
  EXPECT_EQ(session_.ReadFile("zaduvodi.xml.sig"), good.second);
  EXPECT_FALSE(session_.Exists("Config/zentxmlwtz.htm"));
  EXPECT_TRUE(Says(r, "config\\zentxmlwtz.htm: list refused: bad signature")) << r.errors;
}

TEST_F(SignedListE2eTest, unsigned_list_is_refused_with_a_key_and_taken_without) {
  const auto list = Signed(OneDistrictList("无签名区", "plain.zent.invalid:7000"));
  server_.Serve(kListPath, list.first);
  RunResult refused;
  EXPECT_EQ(HintShown(&refused), "大区文件加载失败!");
  EXPECT_FALSE(session_.Exists("zaduvodi.xml"));
  EXPECT_TRUE(Says(refused, "config\\zentxmlwtz.htm: list refused: no signature")) << refused.errors;
  UseKey("", server_.port());
  RunResult taken = ShowFirst();
  ASSERT_EQ(taken.exitCode, 0) << taken.errors;
  EXPECT_EQ(session_.ReadDump(Dump())[kFirstDx].Field("text"), "无签名区");
  EXPECT_EQ(server_.Requests(kSigPath), 1) << "only the run with a key asks for it";
}

TEST_F(SignedListE2eTest, local_copy_whose_signature_fails_is_not_shown) {
  const auto a = Signed(OneDistrictList("甲区", "a.zent.invalid:7000"));
  const auto b = Signed(OneDistrictList("乙区", "b.zent.invalid:7000"));
  session_.WriteFile("zaduvodi.xml", a.first + std::string(1, '\0'));
  session_.WriteFile("zaduvodi.xml.sig", b.second);
  UseKey(publicKey_, UnusedLoopbackPort());
  RunResult r;
  EXPECT_EQ(HintShown(&r), "大区文件加载失败!");
  EXPECT_TRUE(Says(r, "zaduvodi.xml: list refused: bad signature")) << r.errors;
}

TEST_F(SignedListE2eTest, malformed_key_fails_closed) {
  const auto list = Signed(OneDistrictList("签名区", "signed.zent.invalid:7000"));
  server_.Serve(kListPath, list.first);
  server_.Serve(kSigPath, list.second);
  UseKey(publicKey_.substr(1), server_.port());
  RunResult r;
  EXPECT_EQ(HintShown(&r), "大区文件加载失败!");
  EXPECT_FALSE(session_.Exists("zaduvodi.xml"));
  EXPECT_TRUE(Says(r, "Config\\rudadever.ini: bad key: [Public] ListPublicKey")) << r.errors;
}

}  // namespace
