// Tests of the district walk over a recording in-memory XmlReader.
#include "districts/district_walk.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Node {
  std::string name;
  std::string text;
  std::vector<Node> children;
};

Node El(const std::string& name, const std::string& text) { return Node{name, text, {}}; }
Node El(const std::string& name, std::vector<Node> children) {
  return Node{name, "", std::move(children)};
}

// The reader's cursor: a level (children of one node) and a place on it; it records the
// calls so that tests can tell what the walk read.
class FakeReader : public XmlReader {
 public:
  explicit FakeReader(std::vector<Node> top) { root_.children = std::move(top); ResetToTop(); }

  int Release(int) override { return 0; }
  int Initialize(int) override { return 0; }
  int SetDocument(const char*) override { return 0; }
  int FindElement(const char* name) override {
    calls.push_back(std::string("find ") + name);
    const std::vector<Node>& level = levels_.back().first->children;
    for (size_t i = levels_.back().second + 1; i < level.size(); ++i) {
      if (level[i].name == name) {
        levels_.back().second = static_cast<long>(i);
        return 1;
      }
    }
    return 0;
  }
  int EnterElement() override {
    const Node* current = Current();
    if (current == nullptr) return 0;
    levels_.push_back({current, -1});
    return 1;
  }
  int LeaveElement() override {
    if (levels_.size() < 2) return 0;
    levels_.pop_back();
    return 1;
  }
  int RewindLevel() override {
    levels_.back().second = -1;
    return 1;
  }
  int ResetToTop() override {
    levels_.clear();
    levels_.push_back({&root_, -1});
    return 1;
  }
  int GetElementText(char* buffer, int size) override {
    const Node* current = Current();
    if (current == nullptr || size <= 0) return 0;
    calls.push_back("text " + current->name);
    const size_t n = std::min(current->text.size(), static_cast<size_t>(size - 1));
    memcpy(buffer, current->text.data(), n);
    buffer[n] = '\0';
    return 1;
  }

  int Count(const std::string& call) const {
    int n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }

  std::vector<std::string> calls;

 private:
  const Node* Current() const {
    const auto& level = levels_.back();
    if (level.second < 0) return nullptr;
    return &level.first->children[static_cast<size_t>(level.second)];
  }

  Node root_;
  std::vector<std::pair<const Node*, long>> levels_;
};

struct Stored {
  int32_t group;
  int slot;
  std::string name;
};

class RecordingSink : public DistrictWalkSink {
 public:
  void OnStored(int32_t group, int slot, DistrictInfo* record) override {
    stored.push_back({group, slot, record->name});
  }
  void OnProblem(int index, const char* what) override { problems.push_back({index, what}); }
  void OnUnusableAddress(int index, const char* name, const char* url) override {
    unusable.push_back(std::to_string(index) + " " + name + " [" + url + "]");
  }

  std::vector<Stored> stored;
  std::vector<std::pair<int, std::string>> problems;
  std::vector<std::string> unusable;
};

Node District(const std::string& name, const std::string& type) {
  return El("D", {El("name", name), El("type", type), El("url", "http://" + name + ".invalid/")});
}

// `count` districts of one type, named prefix1, prefix2, ...
std::vector<Node> Districts(const std::string& prefix, const std::string& type, int count) {
  std::vector<Node> list;
  for (int i = 1; i <= count; ++i) list.push_back(District(prefix + std::to_string(i), type));
  return list;
}

Node List(std::vector<Node> districts) { return El("District", std::move(districts)); }

struct Walk {
  std::unique_ptr<DistrictTable> table{new DistrictTable()};
  RecordingSink sink;
  DistrictWalkResult result{-1, -1};
  std::vector<std::string> calls;

  void Run(std::vector<Node> districts, bool check = false) {
    FakeReader reader({List(std::move(districts))});
    result = WalkDistrictList(reader, *table, sink, check);
    calls = reader.calls;
  }
};

bool AllZero(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (b[i] != 0) return false;
  }
  return true;
}

TEST(WalkDistrictList, sorts_districts_into_their_groups_in_list_order) {
  Walk w;
  w.Run({District("d1", "2"), District("d2", "2"), District("d3", "2"), District("w1", "3"),
         District("w2", "3"), District("d4", "2")});
  EXPECT_EQ(w.result.dxCount, 4);
  EXPECT_EQ(w.result.wtCount, 2);
  EXPECT_STREQ(w.table->dxGroup[4].name, "d4");
  EXPECT_STREQ(w.table->wtGroup[2].name, "w2");
  const char* order[] = {"d1", "d2", "d3", "w1", "w2", "d4"};
  const int slots[] = {1, 2, 3, 1, 2, 4};
  ASSERT_EQ(w.sink.stored.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(w.sink.stored[i].name, order[i]) << "row " << i;
    EXPECT_EQ(w.sink.stored[i].slot, slots[i]) << "row " << i;
    EXPECT_EQ(w.sink.stored[i].group, i == 3 || i == 4 ? Wt : Dx) << "row " << i;
  }
}

TEST(WalkDistrictList, keeps_twenty_of_type_three_and_does_not_read_the_url_of_the_twenty_first) {
  Walk w;
  w.Run(Districts("w", "3", 21));
  EXPECT_EQ(w.result.wtCount, 20);
  EXPECT_EQ(w.sink.stored.size(), 20u);
  int urlFinds = 0;
  for (const auto& c : w.calls) urlFinds += c == "find url";
  EXPECT_EQ(urlFinds, 20);
  EXPECT_STREQ(w.table->wtGroup[20].name, "w20");
}

TEST(WalkDistrictList, keeps_the_first_twenty_of_twenty_five_of_type_two) {
  Walk w;
  w.Run(Districts("d", "2", 25));
  EXPECT_EQ(w.result.dxCount, 20);
  for (int k = 1; k <= 20; ++k) {
    EXPECT_EQ(std::string(w.table->dxGroup[k].name), "d" + std::to_string(k)) << "slot " << k;
  }
}

TEST(WalkDistrictList, finds_children_in_any_order) {
  Walk w;
  w.Run({El("D", {El("url", "http://u.invalid/"), El("pinpip", "127.0.0.1"), El("oper_status", "1"),
                  El("mart_type", "4"), El("type", "3"), El("version", "2.1"), El("name", "n")})});
  ASSERT_EQ(w.result.wtCount, 1);
  const DistrictInfo& r = w.table->wtGroup[1];
  EXPECT_STREQ(r.name, "n");
  EXPECT_STREQ(r.version, "2.1");
  EXPECT_STREQ(r.url, "http://u.invalid/");
  EXPECT_STREQ(r.pinpip, "127.0.0.1");
  EXPECT_EQ(r.type, 3);
  EXPECT_EQ(r.mart_type, 4);
  EXPECT_EQ(r.oper_status, 1);
}

// The game launcher gets "url cmdline" and splits it by the Windows rules: an address with
// a blank, a quote or a control character would hand it arguments of the list's choosing.
TEST(WalkDistrictList, skips_a_district_whose_url_would_split_into_more_arguments) {
  struct Row {
    const char* url;
    bool usable;
  } rows[] = {
      {"dx1.zent.invalid:7000", true},
      {"127.0.0.1", true},
      {"", true},  // stored; choosing it says the district has no address
      {"http://www.zent.invalid/", true},
      {"dx1:7000 --inject \"two words\"", false},
      {"dx1:7000\t-x", false},
      {"dx1\"", false},
      {"dx1'", false},
      {"dx1\n", false},
      {"dx1\x01", false},
      {"dx1\x7f", false},
      {"\xb4\xf3\xc7\xf8:7000", true},  // GBK bytes are never blanks, quotes or controls
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Walk w;
    w.Run({El("D", {El("name", "bad"), El("url", rows[i].url)}), District("next", "2")}, true);
    const int expectedCount = rows[i].usable ? 2 : 1;
    EXPECT_EQ(w.result.dxCount, expectedCount) << "row " << i;
    EXPECT_STREQ(w.table->dxGroup[expectedCount].name, "next") << "row " << i;  // no slot used
    EXPECT_EQ(IsUsableDistrictAddress(rows[i].url), rows[i].usable) << "row " << i;
    if (rows[i].usable) {
      EXPECT_TRUE(w.sink.unusable.empty()) << "row " << i;
      continue;
    }
    EXPECT_EQ(w.sink.unusable, std::vector<std::string>{"1 bad [" + std::string(rows[i].url) + "]"})
        << "row " << i;
    ASSERT_EQ(w.sink.problems.size(), 1u) << "row " << i;
    EXPECT_EQ(w.sink.problems[0].second,
              "url holds a blank, a quote or a control character: the district is skipped");
    // The launcher does not check lengths, and still hears of it.
    Walk quiet;
    quiet.Run({El("D", {El("name", "bad"), El("url", rows[i].url)})}, false);
    EXPECT_EQ(quiet.sink.unusable.size(), 1u) << "row " << i;
    EXPECT_TRUE(quiet.sink.problems.empty()) << "row " << i;
  }
}

TEST(WalkDistrictList, uses_the_first_of_two_version_children) {
  Walk w;
  w.Run({El("D", {El("name", "n"), El("version", "first"), El("version", "second")})});
  EXPECT_STREQ(w.table->dxGroup[1].version, "first");
}

TEST(WalkDistrictList, skips_a_district_without_name_and_reads_the_next) {
  Walk w;
  w.Run({El("D", {El("type", "2"), El("url", "http://x.invalid/")}), District("after", "2")});
  EXPECT_EQ(w.result.dxCount, 1);
  EXPECT_STREQ(w.table->dxGroup[1].name, "after");
}

TEST(WalkDistrictList, converts_type_text_as_atoi_does) {
  struct Row {
    const char* type;
    int dx, wt;
  };
  const Row rows[] = {{"3abc", 0, 1}, {"abc", 0, 0}, {" 2", 1, 0}, {"+3", 0, 1}, {"1", 0, 0},
                      {"4", 0, 0},    {"0", 0, 0},   {"-2", 0, 0}, {"", 0, 0},   {"02", 1, 0},
                      {"00000003", 0, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Walk w;
    w.Run({District("n", rows[i].type)});
    EXPECT_EQ(w.result.dxCount, rows[i].dx) << "row " << i << ": " << rows[i].type;
    EXPECT_EQ(w.result.wtCount, rows[i].wt) << "row " << i << ": " << rows[i].type;
  }
}

TEST(WalkDistrictList, a_district_without_type_is_type_two) {
  Walk w;
  w.Run({El("D", {El("name", "n")})});
  ASSERT_EQ(w.result.dxCount, 1);
  EXPECT_EQ(w.table->dxGroup[1].type, 2);
}

TEST(WalkDistrictList, fills_defaults_for_missing_fields) {
  Walk w;
  w.Run({El("D", {El("name", "n")})});
  const DistrictInfo& r = w.table->dxGroup[1];
  EXPECT_STREQ(r.version, "1.0.0");
  EXPECT_STREQ(r.url, DefaultGameSiteUrl);
  EXPECT_STREQ(DefaultGameSiteUrl, "http://www.zent.example.com/");
  EXPECT_STREQ(r.pinpip, "");
  EXPECT_EQ(r.mart_type, 0);
  EXPECT_EQ(r.oper_status, 0);
}

TEST(WalkDistrictList, cuts_fields_to_their_buffers_and_zero_fills_every_field) {
  const std::string longText(300, 'x');
  Walk w;
  memset(w.table.get(), 0xAB, sizeof(DistrictTable));
  w.Run({El("D", {El("name", longText), El("version", "1234567890abcdefghij"), El("url", longText),
                  El("pinpip", longText), El("mart_type", "123456789"), El("oper_status", "1")})});
  const DistrictInfo& r = w.table->dxGroup[1];
  EXPECT_EQ(std::string(r.name), std::string(47, 'x'));
  EXPECT_EQ(std::string(r.version), "1234567890abcde");
  EXPECT_EQ(std::string(r.url), std::string(255, 'x'));
  EXPECT_EQ(std::string(r.pinpip), std::string(47, 'x'));
  EXPECT_EQ(r.mart_type, 123456);
  EXPECT_TRUE(AllZero(r.version + 15, sizeof r.version - 15));
  EXPECT_TRUE(AllZero(r.name + 47, 1));
  EXPECT_TRUE(AllZero(r.url + 255, 1));
  Walk shortFields;
  memset(shortFields.table.get(), 0xAB, sizeof(DistrictTable));
  shortFields.Run({El("D", {El("name", "ab")})});
  const DistrictInfo& s = shortFields.table->dxGroup[1];
  EXPECT_TRUE(AllZero(s.name + 2, sizeof s.name - 2));
  EXPECT_TRUE(AllZero(s.version + 5, sizeof s.version - 5));
  EXPECT_TRUE(AllZero(s.url + strlen(DefaultGameSiteUrl), sizeof s.url - strlen(DefaultGameSiteUrl)));
  EXPECT_TRUE(AllZero(s.pinpip, sizeof s.pinpip));
}

TEST(WalkDistrictList, leaves_slot_zero_and_the_latency_alone) {
  Walk w;
  w.table->dxGroup[1].latency = 1234;
  w.Run({District("a", "2"), District("b", "3")});
  EXPECT_TRUE(AllZero(&w.table->dxGroup[0], sizeof(DistrictInfo)));
  EXPECT_TRUE(AllZero(&w.table->wtGroup[0], sizeof(DistrictInfo)));
  EXPECT_TRUE(AllZero(w.table->recommendedGroup, sizeof w.table->recommendedGroup));
  EXPECT_EQ(w.table->dxGroup[1].latency, 1234);
}

TEST(WalkDistrictList, a_second_shorter_walk_leaves_older_records_above_the_count) {
  Walk w;
  w.Run(Districts("w", "3", 5));
  ASSERT_EQ(w.result.wtCount, 5);
  w.Run(Districts("n", "3", 2));
  EXPECT_EQ(w.result.wtCount, 2);
  EXPECT_STREQ(w.table->wtGroup[1].name, "n1");
  EXPECT_STREQ(w.table->wtGroup[2].name, "n2");
  EXPECT_STREQ(w.table->wtGroup[3].name, "w3");
  EXPECT_STREQ(w.table->wtGroup[5].name, "w5");
}

TEST(WalkDistrictList, skips_other_children_of_the_list) {
  Walk w;
  w.Run({El("Note", "x"), District("a", "2"), El("X", {El("name", "no")}), District("b", "2")});
  EXPECT_EQ(w.result.dxCount, 2);
  EXPECT_STREQ(w.table->dxGroup[2].name, "b");
}

TEST(WalkDistrictList, a_document_without_district_stores_nothing) {
  RecordingSink sink;
  std::unique_ptr<DistrictTable> table(new DistrictTable());
  FakeReader reader({El("Other", {District("a", "2")})});
  const DistrictWalkResult result = WalkDistrictList(reader, *table, sink, false);
  EXPECT_EQ(result.dxCount, 0);
  EXPECT_EQ(result.wtCount, 0);
  EXPECT_TRUE(sink.stored.empty());
  FakeReader empty({});
  EXPECT_EQ(WalkDistrictList(empty, *table, sink, true).dxCount, 0);
}

TEST(WalkDistrictList, reports_no_problems_unless_checking) {
  Walk w;
  w.Run({El("D", {El("type", "2")}), District("a", "7"), El("D", {El("name", std::string(60, 'n'))})});
  EXPECT_TRUE(w.sink.problems.empty());
}

TEST(WalkDistrictList, checking_reports_every_problem_with_its_element_number) {
  std::vector<Node> list;
  list.push_back(El("D", {El("type", "2")}));                               // 1: no name
  list.push_back(District("a", "7"));                                      // 2: type
  list.push_back(El("D", {El("name", std::string(60, 'n'))}));             // 3: name
  list.push_back(El("D", {El("name", "v"), El("version", std::string(16, '1'))}));   // 4
  list.push_back(El("D", {El("name", "p"), El("pinpip", std::string(48, 'p'))}));    // 5
  list.push_back(El("D", {El("name", "u"), El("url", std::string(256, 'u'))}));      // 6
  list.push_back(El("D", {El("name", "t"), El("type", "00000002")}));     // 7: type text, type 0
  list.push_back(El("D", {El("name", "m"), El("mart_type", "1234567")}));  // 8
  list.push_back(El("D", {El("name", "o"), El("oper_status", "1234567")}));  // 9
  for (int i = 0; i < 14; ++i) list.push_back(District("d" + std::to_string(i), "2"));
  list.push_back(District("full", "2"));                                   // 24: group full
  list.push_back(District("fine", "3"));                                   // 25: no problem
  Walk w;
  w.Run(list, true);
  const int expected[] = {1, 2, 3, 4, 5, 6, 7, 7, 8, 9, 24};
  const char* words[] = {"name", "type", "name", "version", "pinpip", "url",
                         "type", "type", "mart_type", "oper_status", "20"};
  ASSERT_EQ(w.sink.problems.size(), sizeof expected / sizeof expected[0]);
  for (size_t i = 0; i < w.sink.problems.size(); ++i) {
    EXPECT_EQ(w.sink.problems[i].first, expected[i]) << "row " << i << ": " << w.sink.problems[i].second;
    EXPECT_NE(w.sink.problems[i].second.find(words[i]), std::string::npos)
        << "row " << i << ": " << w.sink.problems[i].second;
  }
  EXPECT_EQ(w.result.dxCount, 20);
  EXPECT_EQ(w.result.wtCount, 1);
}

TEST(WalkDistrictList, checking_stores_the_same_records) {
  std::vector<Node> list = {District("a", "2"), El("D", {El("name", std::string(60, 'n'))}),
                            District("b", "3")};
  Walk plain, checked;
  plain.Run(list, false);
  checked.Run(list, true);
  EXPECT_EQ(memcmp(plain.table.get(), checked.table.get(), sizeof(DistrictTable)), 0);
  EXPECT_EQ(plain.result.dxCount, checked.result.dxCount);
}

}  // namespace
