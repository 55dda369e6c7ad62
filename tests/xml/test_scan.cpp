// The checks made on outside bytes before TinyXML parses them: newline normalisation with padding,
// and the nesting count, which must follow the parser through every construct that can hide markup.
#include "YdxTest.h"
#include "15_XML.h"
#include <tinyxml.h>
#include <string>

namespace {

int TreeDepth(const TiXmlNode* node) {
  int deepest = 0;
  for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
    int depth = TreeDepth(child) + (child->ToElement() ? 1 : 0);
    if (depth > deepest) deepest = depth;
  }
  return deepest;
}

// The depth the scan reports and the depth of the tree TinyXML builds from the same text (also the
// partial tree of a document it rejects).
void ExpectScanMatchesParser(const std::string& bytes) {
  std::string text = XMLPrepareText(bytes.data(), bytes.size());
  TiXmlDocument document;
  document.Parse(text.c_str());
  EXPECT_EQ(XMLMeasure(text.c_str(), 1000, 100000).depth, TreeDepth(&document)) << bytes;
}

}  // namespace

class XmlScanTest : public YdxTest {};

TEST_F(XmlScanTest, PreparedTextNormalisesNewlinesStopsAtNulAndIsPadded) {
  const char raw[] = "a\r\nb\rc\r\r\nd\ne\0tail";
  std::string text = XMLPrepareText(raw, sizeof raw - 1);
  ASSERT_GE(text.size(), 11u + 4u);
  EXPECT_EQ(std::string(text.c_str()), "a\nb\nc\n\nd\ne");
  for (size_t i = 11; i < text.size(); i++) EXPECT_EQ(text[i], '\0');
  EXPECT_EQ(std::string(XMLPrepareText("x\r", 2).c_str()), "x\n");
  EXPECT_EQ(std::string(XMLPrepareText("", 0).c_str()), "");
}

TEST_F(XmlScanTest, CountsPlainNesting) {
  ExpectScanMatchesParser("<a><b><c/></b><d>text</d></a>");
  ExpectScanMatchesParser("<?xml version='1.0'?>\n<a>\n  <b x='1' y=\"2\"/>\n</a>\n");
  ExpectScanMatchesParser("<a><b><c><d><e/></d></c></b></a>");
  ExpectScanMatchesParser("<a x=1 y=2><b z=3/></a>");   // unquoted values
}

TEST_F(XmlScanTest, MarkupInsideCommentsCdataAndAttributesIsNotCounted) {
  ExpectScanMatchesParser("<a><!-- <b><c><d> --><e/></a>");
  ExpectScanMatchesParser("<a><!-- </a></a> --><b><c/></b></a>");
  ExpectScanMatchesParser("<a><![CDATA[ </a><b><c> ]]><d/></a>");
  ExpectScanMatchesParser("<a v='</a>' w=\"<b><c>\"><d/></a>");
  ExpectScanMatchesParser("<!DOCTYPE a [ <!ELEMENT a ANY> ]><a><b/></a>");
  ExpectScanMatchesParser("<?pi </a> ?><a><?xml version='</a>'?><b/></a>");
}

TEST_F(XmlScanTest, NumericReferencesThatHideMarkupAreFollowed) {
  // The parser reads "&#x</b>x1;" as one character reference, so the "</b>" closes nothing.
  ExpectScanMatchesParser("<a><b>&#x</b>x1;<c><d/></c></b></a>");
  ExpectScanMatchesParser("<a><b>&#1</b>#5;<c><d/></c></b></a>");
  ExpectScanMatchesParser("<a><b v='&#x'x1;'><c/></b></a>");
  ExpectScanMatchesParser("<a>&#x<b>zz;<c/></a>");   // not a valid reference: the parser gives up
}

TEST_F(XmlScanTest, MultiByteCharactersFollowTheDocumentEncoding) {
  // Read as UTF-8, the lead byte takes the '<' of "</b>" with it; read as Latin-1 it does not.
  const std::string body = "<a><b>\xC3</b><c><d/></c></b></a>";
  ExpectScanMatchesParser("<?xml version='1.0' encoding='UTF-8'?>" + body);
  ExpectScanMatchesParser("<?xml version='1.0' encoding='ISO-8859-1'?>" + body);
  ExpectScanMatchesParser("<?xml version='1.0'?>" + body);   // no encoding named: UTF-8
  ExpectScanMatchesParser(body);                              // no declaration: byte by byte
  ExpectScanMatchesParser("\xEF\xBB\xBF" + body);            // byte-order mark: UTF-8
  ExpectScanMatchesParser("<!--x--><?xml version='1.0' encoding='utf8'?>" + body);
  ExpectScanMatchesParser("<x><?xml version='1.0' encoding='UTF-8'?></x>" + body);   // not at top level
  ExpectScanMatchesParser("<?xml version='1.0' encoding='UTF-8'?><a v='\xE2'><b/>'><c/></a>");
}

TEST_F(XmlScanTest, TruncatedAndBrokenDocumentsCountWhatTheParserReached) {
  ExpectScanMatchesParser("<a><b><c");
  ExpectScanMatchesParser("<a><b></c></b></a>");
  // The parser gives up at a repeated attribute; the scan reads on, counting more, never less.
  std::string twice = XMLPrepareText("<a><b x='1' x='2'><c/></b></a>", 30);
  EXPECT_EQ(XMLMeasure(twice.c_str(), 1000, 100000).depth, 3);
  ExpectScanMatchesParser("<?xml version='1.0' encoding='UTF-8'?><a>\xF0");
  ExpectScanMatchesParser("text first<a><b/></a>");
  ExpectScanMatchesParser("</x><a><b/></a>");
}

TEST_F(XmlScanTest, CountsAttributesOfOneElement) {
  std::string text = XMLPrepareText("<?xml version='1' encoding='x'?><a x='1' y=\"2\"><b z=3/></a>", 60);
  XMLShape shape = XMLMeasure(text.c_str());
  EXPECT_EQ(shape.attributes, 2);
  EXPECT_EQ(shape.depth, 2);
}

TEST_F(XmlScanTest, StopsCountingPastTheLimits) {
  std::string deep, wide = "<a";
  for (int i = 0; i < 100000; i++) deep += "<a>";
  for (int i = 0; i < 100000; i++) wide += " a" + std::to_string(i) + "=''";
  std::string text = XMLPrepareText(deep.data(), deep.size());
  EXPECT_EQ(XMLMeasure(text.c_str()).depth, 257);
  text = XMLPrepareText(wide.data(), wide.size());
  EXPECT_EQ(XMLMeasure(text.c_str()).attributes, 257);
}
