// District list retrieval: the settings record, the request, the notifications, and the
// reading of the list file with its local copy.
#include <gtest/gtest.h>

#include <string.h>

#include "platform/win32.h"
#include "tests/app/program_dir_fixture.h"

namespace {

const char kLoadFailed[] =  // "大区文件加载失败!"
    "\xb4\xf3\xc7\xf8\xce\xc4\xbc\xfe\xbc\xd3\xd4\xd8\xca\xa7\xb0\xdc!";

class ListFileTest : public ProgramDirTest {
 protected:
  std::string Text(const std::vector<unsigned char>& record, size_t offset) {
    return std::string(reinterpret_cast<const char*>(&record[offset]));
  }
  // The local copy as the launcher reads it back: in text mode.
  std::string LocalCopy() {
    FILE* f = PlatformOpenFile("zaduvodi.xml", "r");
    if (!f) return "<none>";
    std::string text;
    int c;
    while ((c = fgetc(f)) != EOF) text += static_cast<char>(c);
    fclose(f);
    return text;
  }
  std::string ValidLine() { return SealList("<District>" + DistrictXml("A", 2, "u") + "</District>"); }
  // The list cannot be read: nothing comes back, the load failure is shown and the window
  // quits.
  void ExpectReadFails(LauncherDialog& launcher) {
    std::string read = "x";
    EXPECT_FALSE(launcher.ReadListFile("config\\zentxmlwtz.htm", &read));
    EXPECT_TRUE(read.empty());
    ASSERT_EQ(world().hints.size(), 1u);
    EXPECT_EQ(world().hints[0], kLoadFailed);
    EXPECT_TRUE(QuitPosted());
  }
};

TEST_F(ListFileTest, settings_record_carries_path_dirs_count_host_and_port_at_their_offsets) {
  WriteFile("Config/rudadever.ini", "[Public]\r\nserverhost=127.0.0.1:8080\r\nserverpath=lists/zent\r\n");
  DownloadSettingsRecord record;
  memset(&record, 0, sizeof record);
  EXPECT_EQ(FillDownloadSettings(&record), 1);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
  std::vector<unsigned char> expected(sizeof record, 0);
  auto put = [&](size_t offset, const std::string& text) { memcpy(&expected[offset], text.data(), text.size()); };
  put(0, "lists/zent");
  put(4096, "config");
  put(4356, "config");
  expected[4628] = 1;
  put(4632, "127.0.0.1:8080");
  expected[4700] = 80;
  for (size_t i = 0; i < sizeof record; ++i) ASSERT_EQ(bytes[i], expected[i]) << "offset " << i;
}

TEST_F(ListFileTest, empty_or_missing_values_fall_back_and_long_ones_are_cut_to_62) {
  struct Row {
    const char* ini;
    std::string host;
    std::string path;
  } rows[] = {
      {nullptr, "districts.zent.example.com", "zent"},
      {"[Public]\r\nserverhost=\r\nserverpath=\r\n", "districts.zent.example.com", "zent"},
      {"[Public]\r\nserverpath=p\r\n", "districts.zent.example.com", "p"},
      {"[Public]\r\nserverhost=h.invalid\r\n", "h.invalid", "zent"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Remove("Config/rudadever.ini");
    if (rows[i].ini) WriteFile("Config/rudadever.ini", rows[i].ini);
    DownloadSettingsRecord record;
    memset(&record, 0, sizeof record);
    FillDownloadSettings(&record);
    EXPECT_EQ(std::string(record.serverHost), rows[i].host) << "row " << i;
    EXPECT_EQ(std::string(record.remotePath), rows[i].path) << "row " << i;
  }
  const std::string longPath(70, 'p');
  WriteFile("Config/rudadever.ini", "[Public]\r\nserverpath=" + longPath + "\r\n");
  DownloadSettingsRecord record;
  memset(&record, 0, sizeof record);
  FillDownloadSettings(&record);
  EXPECT_EQ(std::string(record.remotePath), longPath.substr(0, 62));
}

TEST_F(ListFileTest, request_registers_sink_adds_settings_then_starts) {
  auto launcher = MakeLauncher(false);
  launcher->StartDistrictListDownload();
  EXPECT_EQ(world().log, (std::vector<std::string>{"SetDownloadSink", "AddSettings MyDefaultCfg",
                                                   "StartDownload MyDefaultCfg zentxmlwtz.htm -1 0 4 0"}));
  EXPECT_EQ(world().downloadSink, static_cast<DownloadEventSink*>(launcher.get()));
  EXPECT_EQ(world().Live(DownloadSettings::kId), 1);  // the downloader owns it now
  launcher.reset();
  EXPECT_EQ(world().Live(DownloadSettings::kId), 0);
}

TEST_F(ListFileTest, refused_settings_are_released_and_the_local_copy_read_at_once) {
  world().acceptSettings = 0;
  WriteFile("zaduvodi.xml", ValidLine() + "\n");
  auto launcher = MakeLauncher();
  EXPECT_EQ(launcher->dxCount, 1);
  EXPECT_EQ(world().settingsReleased, 1);
}

TEST_F(ListFileTest, without_downloader_the_local_copy_is_parsed_at_once) {
  world().missing.insert(Downloader::kId);
  WriteFile("zaduvodi.xml", ValidLine() + "\n");
  auto launcher = MakeLauncher();
  EXPECT_EQ(launcher->dxCount, 1);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(ListFileTest, notifications_parse_the_download_or_the_local_copy) {
  auto launcher = MakeLauncher();
  WriteFile("Config/zentxmlwtz.htm",
            SealList("<District>" + DistrictXml("A", 2, "u") + DistrictXml("B", 2, "v") + "</District>") + "\n");
  WriteFile("zaduvodi.xml", ValidLine() + "\n");
  world().downloadSink->OnDownloadFailed(1, 0);
  EXPECT_EQ(launcher->dxCount, 1);
  world().downloadSink->OnDownloadFinished(1, 0);
  EXPECT_EQ(launcher->dxCount, 2);
  world().downloadSink->OnDownloadNoticeA(1, 2, 3);
  world().downloadSink->OnDownloadNoticeB(1);
  world().downloadSink->OnDownloadNoticeC(1, 2);
  EXPECT_EQ(world().downloadSink->IsSinkEnabled(), 1);
  EXPECT_EQ(launcher->dxCount, 2);
}

TEST_F(ListFileTest, only_the_first_line_is_read_and_becomes_the_local_copy) {
  auto launcher = MakeLauncher(false);
  const std::string line = ValidLine();
  WriteFile("Config/zentxmlwtz.htm", line + "\r\nsecond line\r\n");
  std::string read;
  ASSERT_TRUE(launcher->ReadListFile("config\\zentxmlwtz.htm", &read));
  EXPECT_EQ(read, line + "\n");
  EXPECT_EQ(LocalCopy(), line + "\n" + std::string(1, '\0'));
  EXPECT_FALSE(Exists("zaduvodi.xml.new"));
}

TEST_F(ListFileTest, overlong_line_is_cut_at_20479_characters) {
  auto launcher = MakeLauncher(false);
  WriteFile("zaduvodi.xml", std::string(25000, 'a') + "\n");
  std::string read;
  ASSERT_TRUE(launcher->ReadListFile("zaduvodi.xml", &read));
  EXPECT_EQ(read.size(), 20479u);
}

// Only a list that opens and parses with a District root replaces the copy; anything else
// counts as a failed download and the copy is read instead.
TEST_F(ListFileTest, download_that_is_not_a_list_leaves_the_copy_and_reads_it) {
  auto launcher = MakeLauncher(false);
  const std::string good = ValidLine() + "\n";
  std::string damaged = ValidLine();
  damaged[damaged.size() - 3] = damaged[damaged.size() - 3] == '0' ? '1' : '0';
  const std::string rows[] = {
      damaged + "\n",
      "<html><body>502 Bad Gateway</body></html>\n",
      "",
      std::string(25000, 'a') + "\n",  // cut at 20479 characters: never a whole envelope
      SealList("not XML at all") + "\n",
      SealList("<Distrikt>" + DistrictXml("A", 2, "u") + "</Distrikt>") + "\n",
      SealList("<District>" + DistrictXml("A", 2, "u")) + "\n",  // cut short
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    WriteFile("zaduvodi.xml", good + std::string(1, '\0'));
    WriteFile("Config/zentxmlwtz.htm", rows[i]);
    std::string read;
    ASSERT_TRUE(launcher->ReadListFile("config\\zentxmlwtz.htm", &read)) << "row " << i;
    EXPECT_EQ(read, good) << "row " << i;
    EXPECT_EQ(LocalCopy(), good + std::string(1, '\0')) << "row " << i;
    EXPECT_FALSE(QuitPosted()) << "row " << i;
  }
}

TEST_F(ListFileTest, empty_district_list_is_a_list_and_replaces_the_copy) {
  auto launcher = MakeLauncher(false);
  WriteFile("zaduvodi.xml", ValidLine() + "\n");
  const std::string empty = SealList("<District></District>");
  WriteFile("Config/zentxmlwtz.htm", empty + "\n");
  std::string read;
  ASSERT_TRUE(launcher->ReadListFile("config\\zentxmlwtz.htm", &read));
  EXPECT_EQ(read, empty + "\n");
  EXPECT_EQ(LocalCopy(), empty + "\n" + std::string(1, '\0'));
}

TEST_F(ListFileTest, missing_file_falls_back_to_the_local_copy_unchanged) {
  auto launcher = MakeLauncher(false);
  const std::string line = ValidLine();
  const std::string copy = line + "\n" + std::string(1, '\0');
  WriteFile("zaduvodi.xml", copy);
  std::string read;
  ASSERT_TRUE(launcher->ReadListFile("config\\zentxmlwtz.htm", &read));
  EXPECT_EQ(read, line + "\n");
  EXPECT_EQ(ReadFile("zaduvodi.xml"), copy);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(ListFileTest, no_file_at_all_shows_the_message_and_quits) {
  auto launcher = MakeLauncher();
  ExpectReadFails(*launcher);
}

TEST_F(ListFileTest, empty_download_without_a_copy_is_a_failed_download) {
  auto launcher = MakeLauncher();
  WriteFile("Config/zentxmlwtz.htm", "");
  ExpectReadFails(*launcher);
  EXPECT_FALSE(Exists("zaduvodi.xml"));
}

}  // namespace
