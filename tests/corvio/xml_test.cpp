// The XML reader's cursor: levels, places, repeated names, bad input, bytes untouched,
// and the district list walk run against it.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "components/interfaces.h"
#include "districts/district_walk.h"
#include "tests/districts/lenient_lists.h"

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

namespace {

const char kNested[] =
    "<?xml version=\"1.0\"?>\n"
    "<root>\n"
    "  <item><v>1</v><w>one</w></item>\n"
    "  <other>x</other>\n"
    "  <item><v>2</v></item>\n"
    "  <item><v>3</v><v>3b</v></item>\n"
    "</root>\n";

class XmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Component* c = CreateComponent(361, 0)->NewComponent(XmlReader::kId, nullptr);
    ASSERT_NE(c, nullptr);
    c->Initialize(0);
    reader = static_cast<XmlReader*>(c);
  }
  void TearDown() override {
    if (reader) reader->Release(0);
  }
  std::string Text(int size = 256) {
    std::vector<char> buffer(static_cast<size_t>(size), 'X');
    reader->GetElementText(buffer.data(), size);
    return std::string(buffer.data());
  }
  // Loads kNested and enters its root, then its `item`-th item element (none for 0).
  void EnterNested(int item = 0) {
    reader->SetDocument(kNested);
    reader->FindElement("root");
    reader->EnterElement();
    if (item == 0) return;
    for (int i = 0; i < item; ++i) reader->FindElement("item");
    reader->EnterElement();
  }
  XmlReader* reader = nullptr;
};

TEST_F(XmlTest, find_element_searches_onward_from_the_current_place) {
  reader->SetDocument(kNested);
  ASSERT_EQ(reader->FindElement("root"), 1);
  ASSERT_EQ(reader->EnterElement(), 1);
  std::vector<std::string> seen;
  while (reader->FindElement("item")) {
    ASSERT_EQ(reader->EnterElement(), 1);
    ASSERT_EQ(reader->FindElement("v"), 1);
    seen.push_back(Text());
    ASSERT_EQ(reader->LeaveElement(), 1);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(XmlTest, leave_element_makes_the_entered_element_current) {
  EnterNested(1);
  reader->LeaveElement();
  // The first item is current again: the next search finds "other", then the second item.
  EXPECT_EQ(reader->FindElement("other"), 1);
  EXPECT_EQ(Text(), "x");
  EXPECT_EQ(reader->FindElement("item"), 1);
  reader->EnterElement();
  reader->FindElement("v");
  EXPECT_EQ(Text(), "2");
}

TEST_F(XmlTest, rewind_level_restarts_the_search_at_the_first_element) {
  EnterNested(1);
  ASSERT_EQ(reader->FindElement("w"), 1);
  EXPECT_EQ(reader->FindElement("v"), 0);  // v lies before w
  reader->RewindLevel();
  ASSERT_EQ(reader->FindElement("v"), 1);
  EXPECT_EQ(Text(), "1");
}

TEST_F(XmlTest, repeated_name_first_found_after_rewind) {
  EnterNested(3);
  reader->RewindLevel();
  ASSERT_EQ(reader->FindElement("v"), 1);
  EXPECT_EQ(Text(), "3");
  ASSERT_EQ(reader->FindElement("v"), 1);
  EXPECT_EQ(Text(), "3b");
  EXPECT_EQ(reader->FindElement("v"), 0);
}

TEST_F(XmlTest, missing_element_keeps_the_place) {
  EnterNested();
  ASSERT_EQ(reader->FindElement("other"), 1);
  EXPECT_EQ(reader->FindElement("nothing"), 0);
  EXPECT_EQ(Text(), "x");
  EXPECT_EQ(reader->FindElement("item"), 1);  // continues after "other"
  reader->EnterElement();
  reader->FindElement("v");
  EXPECT_EQ(Text(), "2");
}

TEST_F(XmlTest, search_stays_on_its_level) {
  reader->SetDocument(kNested);
  EXPECT_EQ(reader->FindElement("item"), 0);  // only root is on the top level
  reader->FindElement("root");
  reader->EnterElement();
  EXPECT_EQ(reader->FindElement("v"), 0);  // v lives one level further down
}

TEST_F(XmlTest, reset_to_top_returns_to_the_document_level) {
  EnterNested(1);
  reader->ResetToTop();
  EXPECT_EQ(reader->FindElement("root"), 1);
}

TEST_F(XmlTest, any_call_order_is_safe) {
  EXPECT_EQ(reader->LeaveElement(), 0);  // nothing loaded yet
  EXPECT_EQ(reader->EnterElement(), 0);
  EXPECT_EQ(Text(), "");
  reader->SetDocument(kNested);
  EXPECT_EQ(reader->EnterElement(), 0);  // no current element yet
  EXPECT_EQ(reader->LeaveElement(), 0);  // already at the top
  EXPECT_EQ(reader->FindElement(nullptr), 0);
  EXPECT_EQ(Text(), "");
  reader->FindElement("root");
  reader->EnterElement();
  reader->LeaveElement();
  EXPECT_EQ(reader->LeaveElement(), 0);
  EXPECT_EQ(reader->GetElementText(nullptr, 10), 0);
  char one = 'X';
  reader->GetElementText(&one, 0);
  EXPECT_EQ(one, 'X');  // a size of 0 leaves the buffer alone
  reader->GetElementText(&one, 1);
  EXPECT_EQ(one, '\0');
}

TEST_F(XmlTest, malformed_or_empty_text_gives_an_empty_document) {
  const char* rows[] = {"", "<root><a></root>", "<root>", "not xml at all <", nullptr,
                        "<District><D><name>x</name></D>"};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    reader->SetDocument(kNested);  // a good document first: it must be gone afterwards
    reader->SetDocument(rows[row]);
    EXPECT_EQ(reader->FindElement("root"), 0) << "row " << row;
    EXPECT_EQ(reader->FindElement("District"), 0) << "row " << row;
    EXPECT_EQ(reader->EnterElement(), 0) << "row " << row;
  }
}

TEST_F(XmlTest, new_document_resets_the_cursor) {
  EnterNested();
  reader->SetDocument("<root><item><v>9</v></item></root>");
  ASSERT_EQ(reader->FindElement("root"), 1);
}

TEST_F(XmlTest, text_is_cut_to_size_minus_one) {
  reader->SetDocument("<a>abcdef</a>");
  reader->FindElement("a");
  struct Row {
    int size;
    const char* expected;
  } rows[] = {{1, ""}, {2, "a"}, {6, "abcde"}, {7, "abcdef"}, {64, "abcdef"}};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    char buffer[64];
    memset(buffer, 'X', sizeof buffer);
    const int copied = reader->GetElementText(buffer, rows[row].size);
    EXPECT_STREQ(buffer, rows[row].expected) << "row " << row;
    EXPECT_EQ(copied, static_cast<int>(strlen(rows[row].expected))) << "row " << row;
    if (rows[row].size < 64) {
      EXPECT_EQ(buffer[rows[row].size], 'X') << "row " << row;
    }
  }
}

TEST_F(XmlTest, gbk_bytes_pass_through_untouched) {
  // 大区 电信一区 and bytes whose trail is 0x5C (a backslash) or 0x80..0xFE.
  const std::string name = "\xb4\xf3\xc7\xf8 \xb5\xe7\xd0\xc5\xd2\xbb\xc7\xf8 \x95\x5c \xfe\xfe";
  const std::string doc = "<?xml version=\"1.0\" encoding=\"gb2312\"?><D><name>" + name +
                          "</name></D>";
  reader->SetDocument(doc.c_str());
  ASSERT_EQ(reader->FindElement("D"), 1);
  reader->EnterElement();
  ASSERT_EQ(reader->FindElement("name"), 1);
  EXPECT_EQ(Text(), name);
}

TEST_F(XmlTest, entities_and_cdata_are_element_text) {
  reader->SetDocument("<a>x &amp; y<![CDATA[ <z> ]]></a>");
  reader->FindElement("a");
  EXPECT_EQ(Text(), "x & y <z> ");
}

// What the launcher reads whole, and so what the district list tool must accept too.
TEST_F(XmlTest, lenient_lists_are_read_whole) {
  std::vector<LenientList> rows(std::begin(kLenientLists), std::end(kLenientLists));
  rows.push_back({"<District><D><name>a\r\nb</name></D></District>", "a\nb"});
  for (size_t row = 0; row < rows.size(); ++row) {
    EXPECT_EQ(reader->SetDocument(rows[row].xml), 1) << "row " << row;
    ASSERT_EQ(reader->FindElement("District"), 1) << "row " << row;
    reader->EnterElement();
    ASSERT_EQ(reader->FindElement("D"), 1) << "row " << row;
    reader->EnterElement();
    ASSERT_EQ(reader->FindElement("name"), 1) << "row " << row;
    EXPECT_EQ(Text(), rows[row].name) << "row " << row;
  }
}

// Records the order in which the walk stores districts.
class RecordingWalkSink final : public DistrictWalkSink {
 public:
  void OnStored(int32_t group, int slot, DistrictInfo* record) override {
    stored.push_back(std::to_string(group) + ":" + std::to_string(slot) + ":" + record->name);
  }
  std::vector<std::string> stored;
};

std::string District(const char* name, int type, const char* url) {
  return std::string("<D><url>") + url + "</url><type>" + std::to_string(type) +
         "</type><name>" + name + "</name><pinpip>127.0.0.1</pinpip></D>";
}

TEST_F(XmlTest, district_walk_of_three_dx_two_wt_one_dx) {
  const std::string list = "<District>" + District("dx1", 2, "u1") + District("dx2", 2, "u2") +
                           District("dx3", 2, "u3") + "<Note>skip me</Note>" +
                           District("wt1", 3, "u4") + District("wt2", 3, "u5") +
                           District("dx4", 2, "u6") + "</District>";
  reader->SetDocument(list.c_str());
  static DistrictTable table;
  memset(&table, 0, sizeof table);
  RecordingWalkSink sink;
  const DistrictWalkResult counts = WalkDistrictList(*reader, table, sink, false);
  EXPECT_EQ(counts.dxCount, 4);
  EXPECT_EQ(counts.wtCount, 2);
  EXPECT_STREQ(table.dxGroup[4].name, "dx4");
  EXPECT_STREQ(table.dxGroup[4].url, "u6");
  EXPECT_STREQ(table.wtGroup[2].name, "wt2");
  EXPECT_STREQ(table.wtGroup[1].pinpip, "127.0.0.1");
  EXPECT_EQ(sink.stored, (std::vector<std::string>{"2:1:dx1", "2:2:dx2", "2:3:dx3", "3:1:wt1",
                                                   "3:2:wt2", "2:4:dx4"}));
}

TEST_F(XmlTest, district_walk_by_hand_reads_children_in_any_order) {
  // The call sequence of the parse, written out: find each field after a rewind.
  reader->SetDocument(("<District>" + District("only", 3, "http://x.invalid/") +
                       "</District>").c_str());
  reader->ResetToTop();
  ASSERT_EQ(reader->FindElement("District"), 1);
  reader->EnterElement();
  ASSERT_EQ(reader->FindElement("D"), 1);
  reader->EnterElement();
  ASSERT_EQ(reader->FindElement("name"), 1);
  EXPECT_EQ(Text(48), "only");
  reader->RewindLevel();
  ASSERT_EQ(reader->FindElement("type"), 1);
  EXPECT_EQ(Text(8), "3");
  reader->RewindLevel();
  EXPECT_EQ(reader->FindElement("version"), 0);
  reader->RewindLevel();
  ASSERT_EQ(reader->FindElement("url"), 1);
  EXPECT_EQ(Text(256), "http://x.invalid/");
  reader->RewindLevel();
  reader->RewindLevel();
  reader->LeaveElement();
  EXPECT_EQ(reader->FindElement("D"), 0);
}

}  // namespace
