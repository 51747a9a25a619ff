// Tests of the tool's XmlReader cursor, alone and under the district walk.
#include "tree_xml_reader.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>

#include "districts/district_walk.h"

namespace {

std::string Text(TreeXmlReader& reader, int size = 64) {
  char buffer[256];
  memset(buffer, 'x', sizeof buffer);
  reader.GetElementText(buffer, size);
  return buffer;
}

TEST(TreeXmlReader, FindSearchesOnwardFromTheCurrentPlace) {
  TreeXmlReader reader;
  ASSERT_EQ(reader.SetDocument("<r><a>1</a><b>2</b><a>3</a></r>"), 1);
  ASSERT_TRUE(reader.FindElement("r"));
  ASSERT_TRUE(reader.EnterElement());
  ASSERT_TRUE(reader.FindElement("a"));
  EXPECT_EQ(Text(reader), "1");
  ASSERT_TRUE(reader.FindElement("a"));
  EXPECT_EQ(Text(reader), "3");
  EXPECT_FALSE(reader.FindElement("b"));
  EXPECT_EQ(Text(reader), "3") << "a failed search keeps the place";
  reader.RewindLevel();
  ASSERT_TRUE(reader.FindElement("b"));
  EXPECT_EQ(Text(reader), "2");
}

TEST(TreeXmlReader, LeaveMakesTheEnteredElementCurrent) {
  TreeXmlReader reader;
  reader.SetDocument("<r><D><n>1</n></D><D><n>2</n></D></r>");
  reader.FindElement("r");
  reader.EnterElement();
  ASSERT_TRUE(reader.FindElement("D"));
  ASSERT_TRUE(reader.EnterElement());
  ASSERT_TRUE(reader.FindElement("n"));
  EXPECT_EQ(Text(reader), "1");
  ASSERT_TRUE(reader.LeaveElement());
  ASSERT_TRUE(reader.FindElement("D"));
  reader.EnterElement();
  reader.FindElement("n");
  EXPECT_EQ(Text(reader), "2");
  reader.LeaveElement();
  EXPECT_FALSE(reader.FindElement("D"));
}

TEST(TreeXmlReader, EnterWithoutCurrentElementAndLeaveAtTopFail) {
  TreeXmlReader reader;
  reader.SetDocument("<r><a/></r>");
  EXPECT_FALSE(reader.EnterElement());
  EXPECT_FALSE(reader.LeaveElement());
  char buffer[4] = "abc";
  EXPECT_EQ(reader.GetElementText(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(TreeXmlReader, ResetToTopStartsOverFromAnyDepth) {
  TreeXmlReader reader;
  reader.SetDocument("<r><a><b>deep</b></a></r>");
  reader.FindElement("r");
  reader.EnterElement();
  reader.FindElement("a");
  reader.EnterElement();
  reader.FindElement("b");
  reader.ResetToTop();
  EXPECT_FALSE(reader.FindElement("b"));
  EXPECT_TRUE(reader.FindElement("r"));
}

TEST(TreeXmlReader, GetElementTextCopiesAtMostSizeMinusOneBytes) {
  TreeXmlReader reader;
  reader.SetDocument("<r>\xb4\xf3\xc7\xf8" "abc</r>");
  reader.FindElement("r");
  const struct {
    int size;
    const char* text;
  } rows[] = {{1, ""}, {2, "\xb4"}, {4, "\xb4\xf3\xc7"}, {8, "\xb4\xf3\xc7\xf8" "abc"}, {64, "\xb4\xf3\xc7\xf8" "abc"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(Text(reader, rows[i].size), rows[i].text) << "row " << i;
  }
  EXPECT_EQ(reader.GetElementText(nullptr, 8), 0);
}

TEST(TreeXmlReader, MalformedTextGivesAnEmptyDocument) {
  TreeXmlReader reader;
  reader.SetDocument("<District><D><name>a</name></D></District>");
  EXPECT_EQ(reader.SetDocument("<District><D><name>a</D></District>"), 0);
  EXPECT_EQ(reader.LastError().line, 1);
  EXPECT_FALSE(reader.FindElement("District"));
  EXPECT_EQ(reader.SetDocument(nullptr), 0);
  EXPECT_FALSE(reader.FindElement("District"));
}

class CountingSink : public DistrictWalkSink {
 public:
  void OnStored(int32_t, int, DistrictInfo*) override { ++stored; }
  int stored = 0;
};

TEST(TreeXmlReader, CarriesTheDistrictWalkOverARealList) {
  std::string xml = "<?xml version=\"1.0\"?><District>";
  const char* types[] = {"2", "2", "2", "3", "3", "2"};
  for (int i = 0; i < 6; ++i) {
    xml += "<D><url>http://" + std::to_string(i) + ".invalid/</url><name>n" + std::to_string(i) +
           "</name><type>" + types[i] + "</type></D>";
  }
  xml += "</District>";
  TreeXmlReader reader;
  ASSERT_EQ(reader.SetDocument(xml.c_str()), 1);
  std::unique_ptr<DistrictTable> table(new DistrictTable());
  CountingSink sink;
  const DistrictWalkResult result = WalkDistrictList(reader, *table, sink, false);
  EXPECT_EQ(result.dxCount, 4);
  EXPECT_EQ(result.wtCount, 2);
  EXPECT_EQ(sink.stored, 6);
  EXPECT_STREQ(table->dxGroup[4].name, "n5");
  EXPECT_STREQ(table->dxGroup[4].url, "http://5.invalid/");
  EXPECT_STREQ(table->wtGroup[2].name, "n4");
}

}  // namespace
