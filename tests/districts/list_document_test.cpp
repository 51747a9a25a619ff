// The district list as a document: character references in GBK, the District root, and
// the problems the operator's tool reports, over the framework's own XML reader.
#include "districts/list_document.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "corvio/xml/xml_reader.h"

namespace {

struct ReleaseReader {
  void operator()(corvio::XmlReaderImpl* reader) const { reader->Release(0); }
};
using Reader = std::unique_ptr<corvio::XmlReaderImpl, ReleaseReader>;

Reader NewReader() { return Reader(new corvio::XmlReaderImpl()); }

TEST(GbkFromCharacterReferences, turns_references_into_gbk_and_leaves_the_rest) {
  struct Row {
    const char* xml;
    const char* expected;
  } rows[] = {
      {"<n>&#x4e2d;&#25991;</n>", "<n>\xd6\xd0\xce\xc4</n>"},        // "中文"
      {"<n>&#x4E2D;</n>", "<n>\xd6\xd0</n>"},                         // upper-case digits
      {"<n>&#x0E01;&#x1F600;&#xD800;</n>", "<n>?" "?" "?</n>"},       // no GBK form
      {"<n>&#60;&#x26;&#65;</n>", "<n>&#60;&#x26;&#65;</n>"},         // ASCII: the reader's
      {"<n>&#X4e2d;&#x;&#12a;&#x4e2d &#x110000;</n>", "<n>&#X4e2d;&#x;&#12a;&#x4e2d &#x110000;</n>"},
      {"<n>&amp;#x4e2d;</n>", "<n>&amp;#x4e2d;</n>"},                 // an escaped ampersand
      {"<!-- &#x4e2d; --><n><![CDATA[&#x4e2d;]]></n><?pi &#x4e2d;?>",
       "<!-- &#x4e2d; --><n><![CDATA[&#x4e2d;]]></n><?pi &#x4e2d;?>"},
      {"<!DOCTYPE D [<!ENTITY e \"&#x4e2d;\">]><n a=\"&#x6587;\"/>",
       "<!DOCTYPE D [<!ENTITY e \"&#x4e2d;\">]><n a=\"\xce\xc4\"/>"},
      {"\xb4\xf3\xc7\xf8&#x4e2d;\n&#x4e2d;", "\xb4\xf3\xc7\xf8\xd6\xd0\n\xd6\xd0"},  // lines kept
      {"<n>&#x4e2d;", "<n>\xd6\xd0"},
      {"", ""},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(GbkFromCharacterReferences(rows[i].xml), rows[i].expected) << "row " << i;
  }
}

TEST(LoadDistrictList, takes_only_a_document_with_a_district_root) {
  struct Row {
    const char* xml;
    bool list;
  } rows[] = {
      {"<District><D><name>A</name></D></District>", true},
      {"<District/>", true},  // a list without districts
      {"<?xml version=\"1.0\" encoding=\"gb2312\"?><District></District>", true},
      {"<Distrikt><D><name>A</name></D></Distrikt>", false},
      {"<District><D><name>A</name></D>", false},  // cut short
      {"<html><body>502 Bad Gateway</body></html>", false},
      {"", false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Reader reader = NewReader();
    EXPECT_EQ(LoadDistrictList(*reader, rows[i].xml), rows[i].list) << "row " << i;
  }
}

TEST(LoadDistrictList, names_read_back_in_gbk) {
  Reader reader = NewReader();
  ASSERT_TRUE(LoadDistrictList(*reader, "<District><D><name>&#x4e2d;&#x1F600;</name></D></District>"));
  const DistrictListReport report = CheckDistrictList(*reader, nullptr);
  EXPECT_TRUE(report.problems.empty());
  ASSERT_EQ(report.dxCount, 1);
  reader->ResetToTop();
  reader->FindElement("District");
  reader->EnterElement();
  reader->FindElement("D");
  reader->EnterElement();
  reader->FindElement("name");
  char name[48] = {0};
  reader->GetElementText(name, sizeof name);
  EXPECT_STREQ(name, "\xd6\xd0?");
}

// What `districtlist check` prints, and what `encode` must refuse: the same list of words.
TEST(CheckDistrictList, lists_every_problem_in_the_tools_words) {
  struct Row {
    const char* xml;
    std::vector<std::string> problems;
    int dx;
  } rows[] = {
      {"<District><D><name>A</name><type>2</type><url>dx1:7000</url></D></District>", {}, 1},
      {"<District/>", {}, 0},
      {"<List><D><name>A</name></D></List>",
       {"no top-level \"District\" element; the launcher shows no districts"}, 0},
      {"<District><D><name>A</name><type>7</type></D><D><type>2</type></D></District>",
       {"D element 1: type \"7\" (read as 7) is not 2 or 3: the district is skipped",
        "D element 2: no \"name\": the district is skipped"},
       0},
      {"<District><D><name>A</name><url>a b</url></D></District>",
       {"D element 1: url holds a blank, a quote or a control character: the district is skipped"},
       0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Reader reader = NewReader();
    LoadDistrictList(*reader, rows[i].xml);
    const DistrictListReport report = CheckDistrictList(*reader, nullptr);
    EXPECT_EQ(report.problems, rows[i].problems) << "row " << i;
    EXPECT_EQ(report.dxCount, rows[i].dx) << "row " << i;
  }
}

}  // namespace
