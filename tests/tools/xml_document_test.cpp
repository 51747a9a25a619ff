// Tests of the tool's XML parser: what it reads, and malformed text refused with a line.
#include "xml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TextRow {
  const char* xml;
  const char* text;  // of the first child of the first top-level element
};

TEST(ParseXml, ReadsElementTextWithEntitiesAndCdata) {
  const TextRow rows[] = {
      {"<a><b>plain</b></a>", "plain"},
      {"<a><b>x &lt;&gt;&amp;&quot;&apos; y</b></a>", "x <>&\"' y"},
      {"<a><b>&#65;&#x42;&#x4e2d;</b></a>", "AB\xe4\xb8\xad"},
      {"<a><b><![CDATA[<raw> & ]]></b></a>", "<raw> & "},
      {"<a><b>  spaced  </b></a>", "  spaced  "},
      {"<a><b>\n  <!-- note -->first<c/>second</b></a>", "firstsecond"},
      {"<a><b>one <c/>  <c/> two</b></a>", "one  two"},
      {"<a><b><c/></b></a>", ""},
      {"<a><b/></a>", ""},
      {"<a><b attr=\"1\" other='x &amp; y'>v</b></a>", "v"},
      {"<a><b>\xb4\xf3\xc7\xf8</b></a>", "\xb4\xf3\xc7\xf8"},
      {"<a><b>line1\r\nline2\rline3</b></a>", "line1\nline2\nline3"},
      {"<a><b>&#32;</b></a>", " "},
      {"<a><b><![CDATA[ ]]>later</b></a>", " later"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GBK\"?><!DOCTYPE a [<!ELEMENT a ANY>]>"
       "<!-- c --><a><b>bom</b></a><!-- after -->",
       "bom"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::vector<XmlNode> top;
    XmlParseError error;
    ASSERT_TRUE(ParseXml(rows[i].xml, &top, &error)) << "row " << i << ": " << error.reason;
    ASSERT_EQ(top.size(), 1u) << "row " << i;
    ASSERT_FALSE(top[0].children.empty()) << "row " << i;
    EXPECT_EQ(top[0].children[0].text, rows[i].text) << "row " << i;
    EXPECT_EQ(error.line, 0) << "row " << i;
  }
}

TEST(ParseXml, KeepsChildrenInDocumentOrder) {
  std::vector<XmlNode> top;
  XmlParseError error;
  ASSERT_TRUE(ParseXml("<District><D><name>1</name></D><X/><D><name>2</name></D></District>",
                       &top, &error));
  ASSERT_EQ(top[0].name, "District");
  ASSERT_EQ(top[0].children.size(), 3u);
  EXPECT_EQ(top[0].children[0].name, "D");
  EXPECT_EQ(top[0].children[1].name, "X");
  EXPECT_EQ(top[0].children[2].children[0].text, "2");
}

TEST(ParseXml, AcceptsSeveralTopLevelElements) {
  std::vector<XmlNode> top;
  XmlParseError error;
  ASSERT_TRUE(ParseXml("<a/>\n<District/>", &top, &error));
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[1].name, "District");
}

struct BadRow {
  const char* xml;
  int line;
};

TEST(ParseXml, RefusesMalformedTextNamingTheLine) {
  const BadRow rows[] = {
      {"", 1},
      {"   \n  ", 2},
      {"plain text", 1},
      {"<a>", 1},
      {"<a>\n<b></a>", 2},
      {"<a></b>", 1},
      {"<a>\n\n&bogus;</a>", 3},
      {"<a>& alone</a>", 1},
      {"<a>&#0;</a>", 1},
      {"<a>&#x110000;</a>", 1},
      {"<a>&#12a;</a>", 1},
      {"<a b=1/>", 1},
      {"<a b=\"1/>", 1},
      {"<a b/>", 1},
      {"<a><![CDATA[open</a>", 1},
      {"<a><!-- open</a>", 1},
      {"<a><!-- a -- b --></a>", 1},
      {"</a>", 1},
      {"<a/>text", 1},
      {"<>", 1},
      {"<a b=\"<\"/>", 1},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::vector<XmlNode> top(1);
    XmlParseError error;
    EXPECT_FALSE(ParseXml(rows[i].xml, &top, &error)) << "row " << i << ": " << rows[i].xml;
    EXPECT_TRUE(top.empty()) << "row " << i;
    EXPECT_EQ(error.line, rows[i].line) << "row " << i << ": " << error.reason;
    EXPECT_FALSE(error.reason.empty()) << "row " << i;
  }
}

TEST(ParseXml, RefusesNestingDeeperThanItCanFollow) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  std::vector<XmlNode> top;
  XmlParseError error;
  EXPECT_FALSE(ParseXml(deep, &top, &error));
  EXPECT_TRUE(top.empty());
}

}  // namespace
